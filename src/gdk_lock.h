// The toolkit's global lock, taken by threads other than the main thread before
// they read or write widgets. GTK already holds it while it dispatches handlers on
// the main thread, and the lock is not recursive, so the main thread never takes it.
#pragma once

#include <gtk/gtk.h>

// Remembers the calling thread as the main thread (called once at start-up).
void gdk_lock_record_main_thread();
// True on the thread recorded at start-up.
bool gdk_lock_on_main_thread();

// gdk_threads_* are deprecated but are the documented contract between the
// workers and the main loop; the deprecation is silenced only here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
inline void gdk_lock_enter() { gdk_threads_enter(); }
inline void gdk_lock_leave() { gdk_threads_leave(); }
#pragma GCC diagnostic pop

// Holds the toolkit lock for a scope of a worker thread.
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
    ~GdkUnlock() { gdk_lock_enter(); }
    GdkUnlock(const GdkUnlock&) = delete;
    GdkUnlock& operator=(const GdkUnlock&) = delete;
};
