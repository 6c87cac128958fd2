// Where a main-loop stall's time goes, for bench/responsiveness: the main thread's
// own processor time, its wait for a processor (the scheduler's run delay) and its
// wait for the toolkit lock, with the longest hold of the lock by another thread
// meanwhile (and how much of that hold the holder itself waited for a processor).
// The bench installs these lock functions in place of GDK's before the toolkit
// starts; they lock a plain mutex as GDK's own do, and time it.
#pragma once

#include <gtk/gtk.h>

#include <execinfo.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
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

inline ThreadTimes times_from(int fd) {
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

inline ThreadTimes thread_times() {
    thread_local const int fd = open("/proc/thread-self/schedstat", O_RDONLY | O_CLOEXEC);
    return times_from(fd);
}

// The X server's main thread, found as the peer of the display's connection; -1
// when it cannot be (a remote display).
inline int x_server_fd = -1;
inline void find_x_server(int connection) {
    ucred peer{};
    socklen_t size = sizeof peer;
    if (getsockopt(connection, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.pid > 0)
        x_server_fd = open(("/proc/" + std::to_string(peer.pid) + "/schedstat").c_str(),
                           O_RDONLY | O_CLOEXEC);
}
inline ThreadTimes x_server_times() {
    return times_from(x_server_fd);
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

// Where the main thread is while the main loop is late: a watchdog thread that,
// once the tick is more than kSampleAfter late, interrupts the main thread every
// kSampleEvery and keeps its call stack. A stall whose time is neither the main
// thread's work nor a wait for the processor or the lock shows here what it waited in.
// The watchdog also times its own 1 ms sleeps: a sleep that overran by more than
// the watchdog's own wait for a processor is time in which the machine itself
// stood still (a virtual machine whose processors the host did not run).
constexpr auto kSampleAfter = std::chrono::milliseconds(10);
constexpr auto kSampleEvery = std::chrono::milliseconds(3);
struct Sample {
    Clock::time_point at;
    std::vector<void*> frames;
};
struct Pause {
    Clock::time_point from, to;
};
inline std::atomic<Clock::rep> tick_at{0}; // the main loop's last tick, steady clock
inline pthread_t main_thread;
inline void* caught[48];
inline std::atomic<int> caught_depth{-1};
inline std::vector<Sample> samples; // the watchdog's alone until it is stopped
inline std::vector<Pause> pauses;   // likewise
inline std::atomic<bool> sampling{false};
inline std::thread watchdog;

inline void on_sample_signal(int) {
    caught_depth = backtrace(caught, 48);
}

inline void watch() {
    Clock::time_point last_sample{};
    auto before = Clock::now();
    ThreadTimes times = thread_times();
    while (sampling) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const auto now = Clock::now();
        const ThreadTimes after = thread_times();
        const double overran = std::chrono::duration<double, std::milli>(now - before).count() -
                               1.5 - (after.runq_ms - times.runq_ms);
        if (overran > 5)
            pauses.push_back({before, now});
        before = now;
        times = after;
        const Clock::time_point tick{Clock::duration(tick_at.load())};
        if (now - tick < kSampleAfter || now - last_sample < kSampleEvery)
            continue;
        caught_depth = -1;
        pthread_kill(main_thread, SIGPROF);
        const auto give_up = now + std::chrono::milliseconds(50);
        while (caught_depth < 0 && Clock::now() < give_up)
            std::this_thread::yield();
        if (caught_depth > 0)
            samples.push_back({now, std::vector<void*>(caught, caught + caught_depth.load())});
        last_sample = now;
        before = Clock::now();
        times = thread_times();
    }
}

// On the main thread, once the main loop's tick has started.
inline void start_sampling() {
    main_thread = pthread_self();
    void* warm[2];
    backtrace(warm, 2); // loads the unwinder now, not in the signal handler
    struct sigaction action {};
    action.sa_handler = on_sample_signal;
    action.sa_flags = SA_RESTART;
    sigaction(SIGPROF, &action, nullptr);
    tick_at = Clock::now().time_since_epoch().count();
    sampling = true;
    watchdog = std::thread(watch);
}

inline void stop_sampling() {
    sampling = false;
    if (watchdog.joinable())
        watchdog.join();
}

// The functions of a sampled stack, innermost first, at most `count`, the signal
// handler's own frames left out. A run of frames without a name (functions a library
// does not export) shows as the library's file name in brackets, once.
inline std::string named_frames(const Sample& sample, std::size_t count) {
    char** names = backtrace_symbols(sample.frames.data(), int(sample.frames.size()));
    std::string stack;
    std::string unnamed_in;
    std::size_t shown = 0;
    for (std::size_t i = 2; names && i < sample.frames.size() && shown < count; ++i) {
        const std::string name = names[i];
        const auto open = name.find('('), plus = name.find('+', open);
        if (open == std::string::npos || plus == std::string::npos)
            continue;
        std::string shown_as;
        if (plus == open + 1) {
            const std::string library = name.substr(0, open);
            const std::string file = library.substr(library.rfind('/') + 1);
            if (file == unnamed_in)
                continue;
            unnamed_in = file;
            shown_as = "[" + file + "]";
        } else {
            unnamed_in.clear();
            shown_as = name.substr(open + 1, plus - open - 1);
        }
        stack += (shown++ ? " < " : "") + shown_as;
    }
    std::free(names);
    return stack;
}

// What the bench did when (a sale started, ...), to place each stall.
struct Mark {
    Clock::time_point at;
    std::string what;
};
inline std::mutex marks_mutex;
inline std::vector<Mark> marks;
inline void mark(std::string what) {
    std::lock_guard keep(marks_mutex);
    marks.push_back({Clock::now(), std::move(what)});
}

// A stall of the main loop and where its time went.
struct Stall {
    int phase;
    Clock::time_point from, to;
    double late_ms;
    ThreadTimes main; // the main thread's own
    double lock_wait_ms;
    ThreadTimes x_server; // the X server's, zero if unknown
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

// How long of the stall the machine stood still (see the watchdog).
inline double stood_still_ms(const Stall& s) {
    double still_ms = 0;
    for (const Pause& p : pauses)
        if (p.to > s.from && p.from < s.to)
            still_ms += std::chrono::duration<double, std::milli>(std::min(p.to, s.to) -
                                                                  std::max(p.from, s.from))
                            .count();
    return still_ms;
}

// The stall less the time in which the main thread or the X server (which it may
// wait for) was ready to run but had no processor, or the machine stood still: what
// of it the console and the server took themselves. Call after stop_sampling.
inline double without_waits_for_processors_ms(const Stall& s) {
    const double waited = std::max(stood_still_ms(s), s.main.runq_ms + s.x_server.runq_ms);
    return std::max(0.0, s.late_ms - waited);
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
        {
            std::lock_guard keep_marks(marks_mutex);
            const Mark* last = nullptr;
            for (const Mark& m : marks)
                if (m.at <= s.from)
                    last = &m;
            if (last)
                std::printf("; %.0f ms after %s",
                            std::chrono::duration<double, std::milli>(s.from - last->at).count(),
                            last->what.c_str());
        }
        if (x_server_fd >= 0)
            std::printf("; X server working %.2f, waiting for a processor %.2f",
                        s.x_server.cpu_ms, s.x_server.runq_ms);
        std::printf("\n");
        if (const double still_ms = stood_still_ms(s); still_ms > 0)
            std::printf("      the whole machine stood still %.2f ms of it\n", still_ms);
        // Where the main thread was, once per different place.
        std::string last;
        for (const Sample& sample : samples) {
            if (sample.at < s.from || sample.at > s.to)
                continue;
            std::string stack = named_frames(sample, 9);
            if (stack == last)
                continue;
            std::printf("      main thread at +%.0f ms: %s\n",
                        std::chrono::duration<double, std::milli>(sample.at - s.from).count(),
                        stack.c_str());
            last = std::move(stack);
        }
    }
}

} // namespace stall_causes
