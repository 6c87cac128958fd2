// Where a main-loop stall's time goes, for bench/responsiveness: the main thread's
// own processor time, its wait for a processor (the scheduler's run delay) and its
// wait for the toolkit lock, with the longest hold of the lock by another thread
// meanwhile (and how much of that hold the holder itself waited for a processor).
// The bench installs these lock functions in place of GDK's before the toolkit
// starts; they lock a plain mutex as GDK's own do, and time it.
#pragma once

#include <gtk/gtk.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <vector>

namespace stall_causes {

using Clock = std::chrono::steady_clock;

// A thread's processor time and its time spent runnable but waiting for a
// processor, from the scheduler's own counters (/proc/thread-self/schedstat), in
// milliseconds. Zero where the kernel does not keep them.
struct ThreadTimes {
    double cpu_ms = 0;
    double runq_ms = 0;
};

inline ThreadTimes thread_times() {
    thread_local const int fd = open("/proc/thread-self/schedstat", O_RDONLY | O_CLOEXEC);
    char text[96];
    const ssize_t size = fd >= 0 ? pread(fd, text, sizeof text - 1, 0) : -1;
    if (size <= 0)
        return {};
    text[size] = '\0';
    unsigned long long run = 0, wait = 0;
    if (std::sscanf(text, "%llu %llu", &run, &wait) != 2)
        return {};
    return {run / 1e6, wait / 1e6};
}

// A hold of the toolkit lock of more than kLongHold, by a thread other than the
// main loop's.
struct Hold {
    const char* who;
    Clock::time_point from, to;
    ThreadTimes spent; // the holder's, during the hold
};
constexpr auto kLongHold = std::chrono::milliseconds(2);

// The name the current thread has in the report ("worker" unless named).
inline thread_local const char* thread_name = "worker";
inline thread_local bool is_main = false;

inline std::mutex toolkit_lock;
inline std::mutex holds_mutex;
inline std::vector<Hold> holds;
inline double main_lock_wait_ms = 0; // the main thread's, written and read by it alone

inline thread_local Clock::time_point held_since;
inline thread_local ThreadTimes held_at;

inline void enter() {
    const auto asked = Clock::now();
    toolkit_lock.lock();
    held_since = Clock::now();
    if (is_main)
        main_lock_wait_ms += std::chrono::duration<double, std::milli>(held_since - asked).count();
    else
        held_at = thread_times();
}

inline void leave() {
    if (!is_main) {
        const auto now = Clock::now();
        if (now - held_since > kLongHold) {
            const ThreadTimes end = thread_times();
            std::lock_guard keep(holds_mutex);
            holds.push_back({thread_name, held_since, now,
                             {end.cpu_ms - held_at.cpu_ms, end.runq_ms - held_at.runq_ms}});
        }
    }
    toolkit_lock.unlock();
}

// Before gdk_threads_init; `main` is the thread that will run the main loop.
inline void install_on_main_thread() {
    is_main = true;
    thread_name = "main loop";
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    gdk_threads_set_lock_functions(G_CALLBACK(enter), G_CALLBACK(leave));
#pragma GCC diagnostic pop
}

// A stall of the main loop and where its time went.
struct Stall {
    int phase;
    Clock::time_point from, to;
    double late_ms;
    ThreadTimes main; // the main thread's own
    double lock_wait_ms;
};

// The longest hold by another thread that overlaps the stall; null if none.
inline const Hold* longest_hold_in(const Stall& stall) {
    const Hold* longest = nullptr;
    for (const Hold& h : holds)
        if (h.to > stall.from && h.from < stall.to &&
            (!longest || h.to - h.from > longest->to - longest->from))
            longest = &h;
    return longest;
}

// One line per stall, the longest first, at most `count`.
inline void print(std::vector<Stall> stalls, const char* const* phase_names, std::size_t count) {
    std::lock_guard keep(holds_mutex); // a worker outliving the window may still leave the lock
    std::sort(stalls.begin(), stalls.end(),
              [](const Stall& a, const Stall& b) { return a.late_ms > b.late_ms; });
    if (stalls.size() > count)
        stalls.resize(count);
    for (const Stall& s : stalls) {
        const double rest =
            std::max(0.0, s.late_ms - s.main.cpu_ms - s.main.runq_ms - s.lock_wait_ms);
        std::printf("    %7.2f ms (%s): main thread working %.2f, waiting for a processor %.2f, "
                    "for the lock %.2f, other %.2f",
                    s.late_ms, phase_names[s.phase], s.main.cpu_ms, s.main.runq_ms,
                    s.lock_wait_ms, rest);
        if (const Hold* h = longest_hold_in(s))
            std::printf("; lock held by the %s %.2f ms (working %.2f, waiting for a processor "
                        "%.2f)",
                        h->who, std::chrono::duration<double, std::milli>(h->to - h->from).count(),
                        h->spent.cpu_ms, h->spent.runq_ms);
        std::printf("\n");
    }
}

} // namespace stall_causes
