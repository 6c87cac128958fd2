#include "gdk_lock.h"

#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cassert>

namespace {
std::atomic<pthread_t> main_thread{};
std::atomic<bool> main_thread_known{false};
std::atomic<bool> window_gone{false};
} // namespace

void gdk_lock_record_main_thread() {
    main_thread.store(pthread_self());
    main_thread_known.store(true);
}

bool gdk_lock_on_main_thread() {
    return main_thread_known.load() && pthread_equal(main_thread.load(), pthread_self());
}

GdkLock::GdkLock() {
    // Taking the lock again on the main thread would deadlock: GTK holds it there.
    assert(!gdk_lock_on_main_thread());
    gdk_lock_enter();
    gdk_lock_stop_if_window_gone();
}

void gdk_lock_stop_if_window_gone() {
    if (!window_gone.load() || gdk_lock_on_main_thread())
        return;
    // A worker that outlives the window (closed while the terminal still had it
    // busy) stops here: its widgets, buffers and the tables naming them are
    // destroyed, or about to be by the process's exit.
    gdk_lock_leave();
    for (;;)
        pause();
}

void gdk_lock_window_gone() { window_gone.store(true); }
