// The toolkit's global lock, taken by threads other than the main thread before
// they read or write widgets. GTK already holds it while it dispatches handlers on
// the main thread, and the lock is not recursive, so the main thread never takes it.
#pragma once

#include <gtk/gtk.h>

// Remembers the calling thread as the main thread (called once at start-up).
void gdk_lock_record_main_thread();
// True on the thread recorded at start-up.
bool gdk_lock_on_main_thread();
// Called on the main thread, with the lock held, when the main window is destroyed:
// from then on a worker that takes the lock waits there for the process to end
// instead of writing to widgets that are gone.
void gdk_lock_window_gone();
// For a worker holding the lock after it was given up and taken back meanwhile (a
// dialog's own loop, GdkUnlock): when the window went in between, the worker
// waits here for the process to end. Does nothing on the main thread.
void gdk_lock_stop_if_window_gone();

// gdk_threads_* are deprecated but are the documented contract between the
// workers and the main loop; the deprecation is silenced only here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
inline void gdk_lock_enter() { gdk_threads_enter(); }
inline void gdk_lock_leave() { gdk_threads_leave(); }
#pragma GCC diagnostic pop

// Holds the toolkit lock for a scope of a worker thread. Once the main window is
// gone, the constructor does not return (see gdk_lock_window_gone).
class GdkLock {
  public:
    GdkLock();
    ~GdkLock() { gdk_lock_leave(); }
    GdkLock(const GdkLock&) = delete;
    GdkLock& operator=(const GdkLock&) = delete;
};

// Releases the lock for a scope inside a GdkLock section (a library call made
// from a locked section must not keep the window frozen).
class GdkUnlock {
  public:
    GdkUnlock() { gdk_lock_leave(); }
    ~GdkUnlock() {
        gdk_lock_enter();
        gdk_lock_stop_if_window_gone();
    }
    GdkUnlock(const GdkUnlock&) = delete;
    GdkUnlock& operator=(const GdkUnlock&) = delete;
};
