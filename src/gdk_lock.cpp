#include "gdk_lock.h"

#include <pthread.h>

#include <atomic>
#include <cassert>

namespace {
std::atomic<pthread_t> main_thread{};
std::atomic<bool> main_thread_known{false};
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
}
