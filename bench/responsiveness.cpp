// responsiveness: how long the console's main loop cannot run while the terminal
// works. A 5 ms tick on the main loop, taken under the toolkit lock as every
// handler is, records how late it comes; meanwhile the real console window runs
// sales with their receipts on the simulated terminal, a thread polls the
// terminal's state through the library, and then 10,000 receipt lines arrive in
// one burst. Prints the 50th and 99th percentile and the longest stall per phase,
// and what the window's frames cost the main thread. Last, the answer of a sale is
// shown --answers times more, as the transaction worker shows it, each followed by
// the window's next frame: the display's own cost, without the terminal. Under
// callgrind (--collect-atstart=no --toggle-collect='*show_answer*') the main
// thread's profile "answers" holds those displays and their frames alone.
//
//   unshare -n sh -c 'ip link set lo up && exec xvfb-run -a ./responsiveness'
//       [--sales N] [--scale S] [--burst LINES] [--answers N]
//
// The console's print server needs port 5187 to itself (hence the private network
// namespace). --scale is the simulated terminal's step-time scale (1 is a real
// terminal: a sale takes about ten seconds). Figures are printed, not asserted.
#include "activity.h"
#include "operation_recipe.h"
#include "gdk_lock.h"
#include "on_main_loop.h"
#include "korvex.h"
#include "operations.h"
#include "print_job.h"
#include "print_server.h"
#include "record_display.h"
#include "stall_causes.h"
#include "startup.h"
#include "transactions.h"
#include "ui_components.h"

#include <gdk/gdkx.h>

#include <dlfcn.h>
#include <unistd.h>
#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_TOGGLE_COLLECT
#define CALLGRIND_DUMP_STATS_AT(name)
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kTick = std::chrono::milliseconds(5);
constexpr auto kPollPeriod = std::chrono::milliseconds(250);

struct Options {
    long sales = 6;
    double scale = 0.25;
    long burst = 10000;
    long answers = 200;
};

// Written by the tick on the main loop only; read after the loop has ended.
enum Phase { Idle, Sales, Burst, Answers, kPhases };
constexpr const char* kPhaseNames[kPhases] = {"idle window", "sales with receipts",
                                              "10,000-line print burst", "answers shown again"};
std::atomic<int> phase{Idle};
std::vector<double> stalls_ms[kPhases];
std::vector<double> work_ms[kPhases]; // the main thread's CPU time between two ticks
Clock::time_point last_tick;
double last_cpu_ms = 0;
// The stalls over 16 ms, with where their time went.
constexpr double kLongStallMs = 16;
std::vector<stall_causes::Stall> long_stalls;
stall_causes::ThreadTimes last_times, last_x_server;
double last_lock_wait_ms = 0;

double thread_cpu_ms() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// A stall with little work of the main thread in it is time spent waiting: for the
// toolkit lock or for a processor.
gboolean tick(gpointer) {
    const auto now = Clock::now();
    const double cpu = thread_cpu_ms();
    const double late = std::chrono::duration<double, std::milli>(now - last_tick - kTick).count();
    stalls_ms[phase.load()].push_back(std::max(0.0, late));
    work_ms[phase.load()].push_back(cpu - last_cpu_ms);
    const stall_causes::ThreadTimes times = stall_causes::thread_times();
    const stall_causes::ThreadTimes x_server = stall_causes::x_server_times();
    if (late > kLongStallMs)
        long_stalls.push_back({phase.load(), last_tick, now, late,
                               {times.cpu_ms - last_times.cpu_ms, times.runq_ms - last_times.runq_ms},
                               stall_causes::main_lock_wait_ms - last_lock_wait_ms,
                               {x_server.cpu_ms - last_x_server.cpu_ms,
                                x_server.runq_ms - last_x_server.runq_ms}});
    last_x_server = x_server;
    last_tick = now;
    stall_causes::tick_at = now.time_since_epoch().count();
    last_cpu_ms = cpu;
    last_times = times;
    last_lock_wait_ms = stall_causes::main_lock_wait_ms;
    return G_SOURCE_CONTINUE;
}

// The window's frames, in the main thread's CPU time: the whole frame, its layout
// (size requests and allocations) and the rest (mostly drawing). Where a stall's
// work goes.
std::vector<double> frame_ms[kPhases], layout_ms[kPhases], paint_ms[kPhases];
double frame_start = 0, layout_end = -1;
bool answer_shown = false;   // a replayed answer waits for its frame
bool counting_frame = false; // the frame after a replayed answer, for callgrind
std::atomic<bool> frame_painted{false};

// The wall time of each frame that the main thread neither worked nor waited for a
// processor: blocked, mostly on the X server's replies (without a window manager the
// toolkit asks the X server about it once per frame, which waits until the server has
// drawn what came before).
std::vector<double> frame_blocked_ms[kPhases];
Clock::time_point frame_wall_start;
stall_causes::ThreadTimes frame_times_start;
void on_before_paint(GdkFrameClock*, gpointer) {
    frame_wall_start = Clock::now();
    frame_times_start = stall_causes::thread_times();
    counting_frame = answer_shown;
    if (counting_frame)
        CALLGRIND_TOGGLE_COLLECT;
    frame_start = thread_cpu_ms();
    layout_end = -1;
}
void on_layout_done(GdkFrameClock*, gpointer) {
    layout_end = thread_cpu_ms();
    layout_ms[phase.load()].push_back(layout_end - frame_start);
}
void on_after_paint(GdkFrameClock*, gpointer) {
    const double now = thread_cpu_ms();
    frame_ms[phase.load()].push_back(now - frame_start);
    paint_ms[phase.load()].push_back(now - (layout_end < 0 ? frame_start : layout_end));
    const stall_causes::ThreadTimes times = stall_causes::thread_times();
    const double wall =
        std::chrono::duration<double, std::milli>(Clock::now() - frame_wall_start).count();
    frame_blocked_ms[phase.load()].push_back(
        std::max(0.0, wall - (times.cpu_ms - frame_times_start.cpu_ms) -
                          (times.runq_ms - frame_times_start.runq_ms)));
    if (counting_frame)
        CALLGRIND_TOGGLE_COLLECT;
    counting_frame = answer_shown = false;
    frame_painted = true;
}

void time_frames(GtkWidget* window) {
    GdkFrameClock* clock = gtk_widget_get_frame_clock(window);
    if (!clock)
        return;
    g_signal_connect(clock, "before-paint", G_CALLBACK(on_before_paint), nullptr);
    g_signal_connect_after(clock, "layout", G_CALLBACK(on_layout_done), nullptr);
    g_signal_connect_after(clock, "after-paint", G_CALLBACK(on_after_paint), nullptr);
}

// One answer as the transaction worker shows it: the emptied panel with the result
// line, then every field. Main thread, toolkit lock held.
std::vector<double> answer_ms;
__attribute__((noinline)) void show_answer(const Transaction_out& out) {
    const double start = thread_cpu_ms();
    // The steps of the transaction worker's display: the panel emptied with the
    // result line, then every field of the SALE's outputs, which all types share.
    const Operation& sale = console_operation("SALE");
    clear_outputs(sale);
    clear_result_line();
    display_diagnosis_string(txt_request_output, out.DiagRequestOut);
    show_record(&out, sale.outputs);
    answer_ms.push_back(thread_cpu_ms() - start);
    answer_shown = true;
}

// Two sales' answers from the terminal, for amounts that differ, then shown `count`
// times by turns, each after the window has drawn the one before.
void replay_answers(long count) {
    const Operation& sale = payment_operations()[0];
    Transaction_out answers[2]{};
    const char* amounts[2] = {"1250", "990"};
    for (int i = 0; i < 2; ++i) {
        Transaction_in request{};
        on_main_loop([&] {
            gtk_entry_set_text(GTK_ENTRY(txt_txn_input_amount1), amounts[i]);
            sale.prepare(&request);
            read_inputs(&request, sale.inputs);
            return 0;
        });
        run_operation(sale, &request, &answers[i]);
    }
    auto next_frame = [] {
        const auto give_up = Clock::now() + std::chrono::seconds(2);
        while (!frame_painted && Clock::now() < give_up)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    phase = Answers;
    for (long i = 0; i < count; ++i) {
        {
            // As the worker: the sale is named beside the result line while the
            // terminal works, and no longer once the answer is there.
            OperationActivity running(sale.name);
            frame_painted = false;
            next_frame();
        }
        on_main_loop([&] {
            frame_painted = false;
            show_answer(answers[i % 2]);
            return 0;
        });
        next_frame();
    }
    on_main_loop([] {
        CALLGRIND_DUMP_STATS_AT("answers");
        return 0;
    });
}

// One sale through the window, as the operator starts it; returns its result text.
std::string run_sale() {
    static int sale = 0;
    stall_causes::mark("sale " + std::to_string(++sale) + " started");
    on_main_loop([] {
        gtk_combo_box_set_active(GTK_COMBO_BOX(cmb_txn_type), 0);
        gtk_entry_set_text(GTK_ENTRY(txt_txn_input_amount1), "1250");
        gtk_button_clicked(GTK_BUTTON(btn_start_txn));
        return 0;
    });
    while (Txnstate)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    stall_causes::mark("sale " + std::to_string(sale) + " ended");
    return on_main_loop(
        [] { return std::string(gtk_entry_get_text(GTK_ENTRY(txt_request_output))); });
}

// The terminal state poll, as the console's periodic status does it: the library
// call without the lock, the answer shown under it. Looked up at run time: a
// library without the call is reported, not polled.
using GetTerminalStateCall = void (*)(Status_out*);
std::atomic<long> polls{0};
void poll_terminal(GetTerminalStateCall call, const std::atomic<bool>& stop) {
    stall_causes::thread_name = "state poll";
    while (!stop) {
        Status_out status{};
        call(&status);
        ++polls;
        {
            GdkLock lock;
            gtk_entry_set_text(GTK_ENTRY(txt_get_terminal_status),
                               std::to_string(status.DiagRequestOut).c_str());
        }
        std::this_thread::sleep_for(kPollPeriod);
    }
}

bool send_line(long n) {
    char text[32];
    std::snprintf(text, sizeof text, "BURST %06ld\n", n);
    std::string reply, error;
    return send_print_job("127.0.0.1", kPrintPort, encode_print_job(text), &reply, &error) &&
           reply.size() == kPrintReplySize;
}

// Sends the burst and waits until the view's last line is the burst's last.
long run_burst(long lines) {
    long failures = 0;
    for (long i = 0; i < lines; ++i)
        failures += !send_line(i);
    char last[32];
    std::snprintf(last, sizeof last, "BURST %06ld", lines - 1);
    const std::string expected = last;
    const auto give_up = Clock::now() + std::chrono::seconds(30);
    while (Clock::now() < give_up) {
        const bool shown = on_main_loop([&] {
            GtkTextIter start, end;
            gtk_text_buffer_get_end_iter(buf_print_job, &end);
            start = end;
            gtk_text_iter_backward_line(&start);
            gchar* tail = gtk_text_buffer_get_text(buf_print_job, &start, &end, FALSE);
            const bool at_end = std::string(tail).rfind(expected, 0) == 0;
            g_free(tail);
            return at_end;
        });
        if (shown)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return failures;
}

double percentile(std::vector<double> values, double p) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(p * (values.size() - 1) + 0.5)];
}

bool parse_options(int argc, char** argv, Options* options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        char* end = nullptr;
        if (!std::strcmp(argv[i], "--sales"))
            options->sales = std::strtol(argv[i + 1], &end, 10);
        else if (!std::strcmp(argv[i], "--burst"))
            options->burst = std::strtol(argv[i + 1], &end, 10);
        else if (!std::strcmp(argv[i], "--answers"))
            options->answers = std::strtol(argv[i + 1], &end, 10);
        else if (!std::strcmp(argv[i], "--scale"))
            options->scale = std::strtod(argv[i + 1], &end);
        else
            return false;
        if (*end)
            return false;
    }
    return argc % 2 == 1 && options->sales >= 0 && options->burst >= 1 && options->scale >= 0 &&
           options->answers >= 0;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse_options(argc, argv, &options)) {
        std::fputs("usage: responsiveness [--sales N] [--scale S] [--burst LINES] [--answers N]\n",
                   stderr);
        return 2;
    }
    // The console and the simulated terminal keep their files in a scratch folder.
    char scratch[] = "/tmp/kelvra-bench-XXXXXX";
    if (!mkdtemp(scratch) || chdir(scratch) != 0)
        return 2;
    setenv("KELVRA_WORKDIR", scratch, 1);
    setenv("KORVEX_SIM_STATE_DIR", scratch, 1);
    setenv("KORVEX_SIM_DELAY", std::to_string(options.scale).c_str(), 1);
    setenv("NO_AT_BRIDGE", "1", 1);
    if (!getenv("DISPLAY")) {
        std::fputs("responsiveness: needs a display (run it under xvfb-run -a)\n", stderr);
        return 2;
    }
    g_ui_dir = KELVRA_SOURCE_UI_DIR;
    stall_causes::install_on_main_thread();
    if (!ecr_start(&argc, &argv))
        return 2;

    const auto call =
        reinterpret_cast<GetTerminalStateCall>(dlsym(RTLD_DEFAULT, "GetTerminalState"));
    long burst_failures = 0;
    std::vector<std::string> results;
    bool print_server_ok = true;
    std::thread driver([&] {
        stall_causes::thread_name = "bench driver";
        std::this_thread::sleep_for(std::chrono::seconds(1)); // the window maps and settles
        while (print_server_state() == PrintServerState::Starting)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        print_server_ok = print_server_state() == PrintServerState::Serving;
        if (print_server_ok) {
            std::atomic<bool> stop_polling{false};
            std::thread poller;
            if (call)
                poller = std::thread(poll_terminal, call, std::cref(stop_polling));
            std::this_thread::sleep_for(std::chrono::seconds(2));
            on_main_loop([] {
                time_frames(MainEcrWindow);
                // The operator chooses the sale once, before the sales measured:
                // choosing a type enables that type's inputs, which redraws the page.
                gtk_combo_box_set_active(GTK_COMBO_BOX(cmb_txn_type), 0);
                gtk_entry_set_text(GTK_ENTRY(txt_txn_input_amount1), "1250");
                return 0;
            });
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            phase = Sales;
            for (long i = 0; i < options.sales; ++i)
                results.push_back(run_sale());
            std::this_thread::sleep_for(std::chrono::seconds(1)); // the last receipt lines
            phase = Burst;
            burst_failures = run_burst(options.burst);
            stop_polling = true;
            if (poller.joinable())
                poller.join();
            if (options.answers)
                replay_answers(options.answers);
        }
        on_main_loop([] {
            gtk_widget_destroy(MainEcrWindow); // saves the settings, stops the print server
            return 0;
        });
    });
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    last_tick = Clock::now();
    last_cpu_ms = thread_cpu_ms();
    last_times = stall_causes::thread_times();
    gdk_threads_add_timeout(kTick.count(), tick, nullptr);
#pragma GCC diagnostic pop
    stall_causes::find_x_server(
        ConnectionNumber(gdk_x11_display_get_xdisplay(gdk_display_get_default())));
    last_x_server = stall_causes::x_server_times();
    stall_causes::start_sampling();
    ecr_run_main_loop();
    driver.join();
    stall_causes::stop_sampling();

    if (!print_server_ok) {
        std::fputs("responsiveness: the print server could not take port 5187 (run it in a "
                   "private network namespace: unshare -n)\n",
                   stderr);
        return 2;
    }
    std::printf("responsiveness: %ld sales at step scale %.2f, terminal state %s, "
                "burst of %ld lines (%ld not answered)\n",
                options.sales, options.scale,
                call ? ("polled every 250 ms (" + std::to_string(polls.load()) + " polls)").c_str()
                     : "not polled (the library has no GetTerminalState)",
                options.burst, burst_failures);
    long approved = std::count(results.begin(), results.end(), std::string("OK"));
    std::printf("  sales answered OK: %ld of %zu\n", approved, results.size());
    std::printf("  %-26s %8s %8s %8s %8s   %s\n", "main-loop stall (5 ms tick)", "ticks", "p50 ms",
                "p99 ms", "max ms", "main thread working, p99 / max ms");
    std::vector<double> all;
    for (int p = 0; p < kPhases; ++p) {
        std::printf("  %-26s %8zu %8.2f %8.2f %8.2f   %.2f / %.2f\n", kPhaseNames[p],
                    stalls_ms[p].size(), percentile(stalls_ms[p], 0.50),
                    percentile(stalls_ms[p], 0.99), percentile(stalls_ms[p], 1.0),
                    percentile(work_ms[p], 0.99), percentile(work_ms[p], 1.0));
        if (p == Sales || p == Burst)
            all.insert(all.end(), stalls_ms[p].begin(), stalls_ms[p].end());
    }
    std::printf("  %-26s %8s %17s %17s %17s\n", "window frames", "frames", "frame p99 / max",
                "layout p99 / max", "drawing p99 / max");
    for (int p = Sales; p < kPhases; ++p)
        std::printf("  %-26s %8zu %8.2f / %6.2f %8.2f / %6.2f %8.2f / %6.2f\n", kPhaseNames[p],
                    frame_ms[p].size(), percentile(frame_ms[p], 0.99),
                    percentile(frame_ms[p], 1.0), percentile(layout_ms[p], 0.99),
                    percentile(layout_ms[p], 1.0), percentile(paint_ms[p], 0.99),
                    percentile(paint_ms[p], 1.0));
    for (int p = Sales; p < kPhases; ++p)
        std::printf("  %-26s frames blocked (mostly on the X server): p99 %.2f ms, max %.2f ms\n",
                    kPhaseNames[p], percentile(frame_blocked_ms[p], 0.99),
                    percentile(frame_blocked_ms[p], 1.0));
    if (!answer_ms.empty())
        std::printf("  one answer shown (%zu times), under the toolkit lock: p50 %.2f ms, "
                    "p99 %.2f ms, max %.2f ms\n",
                    answer_ms.size(), percentile(answer_ms, 0.5), percentile(answer_ms, 0.99),
                    percentile(answer_ms, 1.0));
    std::printf("  stalls over %.0f ms: %zu; the longest, and where their time went:\n",
                kLongStallMs, long_stalls.size());
    stall_causes::print(long_stalls, kPhaseNames, 12);
    const double p99 = percentile(all, 0.99), worst = percentile(all, 1.0);
    std::printf("  %-26s %8zu %8.2f %8.2f %8.2f\n", "sales and burst together", all.size(),
                percentile(all, 0.50), p99, worst);
    // A processor the machine did not give (to the main thread, to the X server it
    // waited for, or to the whole machine) is the machine's load, not the window's.
    double own_worst = 0;
    for (std::size_t p : {Sales, Burst})
        for (double late : stalls_ms[p])
            if (late <= kLongStallMs)
                own_worst = std::max(own_worst, late);
    for (const stall_causes::Stall& s : long_stalls)
        if (s.phase == Sales || s.phase == Burst)
            own_worst = std::max(own_worst, stall_causes::without_waits_for_processors_ms(s));
    std::printf("  %-26s %35.2f\n", "longest, less processor waits", own_worst);
    std::printf("target p99 stall <= 4 ms: %s; target longest stall <= 16 ms: %s (less the "
                "waits for a processor: %s)\n",
                p99 <= 4 ? "met" : "NOT met", worst <= 16 ? "met" : "NOT met",
                own_worst <= 16 ? "met" : "NOT met");
    std::filesystem::remove_all(scratch);
    return 0;
}
