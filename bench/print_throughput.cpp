// print_throughput: how fast the console's print server answers a terminal, next to
// a minimal accept-read-reply loop measured in the same run, and how fast lines go
// from the socket into the receipt view.
//
//   xvfb-run -a ./print_throughput [--jobs N] [--rounds R] [--burst N]
//
// Sequential jobs, one connection each, as a terminal prints. Both servers run in a
// forked child on a loopback port of their own; the console's is the real child,
// with the real pipe, pipe watch and receipt view in this process's main loop.
// Figures are printed, not asserted; targets are reported as met or not.
#include "gdk_lock.h"
#include "on_main_loop.h"
#include "print_job.h"
#include "print_server.h"
#include "ui_components.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    long jobs = 250;    // jobs per block
    long rounds = 20;   // blocks per server, the servers alternating block by block
    long burst = 10000; // lines of the burst into the view
};

int port_of(int fd) {
    sockaddr_in where{};
    socklen_t size = sizeof where;
    getsockname(fd, reinterpret_cast<sockaddr*>(&where), &size);
    return ntohs(where.sin_port);
}

// The baseline: accept, one read, one 17-byte reply, close.
[[noreturn]] void minimal_loop(int listen_fd, pid_t parent) {
    timeval tv{1, 0};
    setsockopt(listen_fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    unsigned char reply[kPrintReplySize];
    build_print_reply(reply, 0);
    for (;;) {
        const int conn = accept(listen_fd, nullptr, nullptr);
        if (conn < 0) {
            if (getppid() != parent)
                _exit(0);
            continue;
        }
        unsigned char buffer[kPrintBufferSize];
        if (recv(conn, buffer, kPrintReadSize, 0) >= 0)
            send(conn, reply, sizeof reply, MSG_NOSIGNAL);
        close(conn);
    }
}

// One job as a terminal sends it; returns false when the reply was not complete.
bool send_one_job(const sockaddr_in& where, const std::string& job) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    bool ok = connect(fd, reinterpret_cast<const sockaddr*>(&where), sizeof where) == 0 &&
              send(fd, job.data(), job.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(job.size());
    std::size_t got = 0;
    char reply[kPrintReplySize];
    while (ok && got < sizeof reply) {
        const ssize_t n = recv(fd, reply + got, sizeof reply - got, 0);
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    close(fd);
    return ok && got == sizeof reply;
}

sockaddr_in loopback(int port) {
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(static_cast<uint16_t>(port));
    where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return where;
}

std::string line_job(const char* prefix, long n) {
    char text[32];
    std::snprintf(text, sizeof text, "%s %06ld\n", prefix, n);
    return encode_print_job(text);
}

struct Series {
    std::vector<double> latencies_us;
    std::vector<double> block_rates; // jobs/s of each block
    double seconds = 0;
    long failures = 0;
    double rate() const { return seconds > 0 ? latencies_us.size() / seconds : 0; }
    double percentile(double p) const {
        if (latencies_us.empty())
            return 0;
        std::vector<double> sorted = latencies_us;
        std::sort(sorted.begin(), sorted.end());
        const std::size_t index = static_cast<std::size_t>(p * (sorted.size() - 1) + 0.5);
        return sorted[index];
    }
};

void run_series(Series& series, const sockaddr_in& where, long jobs, const char* prefix) {
    const auto start = Clock::now();
    for (long i = 0; i < jobs; ++i) {
        const std::string job = line_job(prefix, i);
        const auto t0 = Clock::now();
        if (!send_one_job(where, job))
            ++series.failures;
        series.latencies_us.push_back(
            std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    series.seconds += seconds;
    series.block_rates.push_back(jobs / seconds);
}

// Median of the ratios of neighbouring blocks: load from other processes on the
// machine hits both servers alike within a pair.
double median_block_ratio(const Series& console, const Series& minimal) {
    std::vector<double> ratios;
    for (std::size_t i = 0; i < console.block_rates.size() && i < minimal.block_rates.size(); ++i)
        ratios.push_back(console.block_rates[i] / minimal.block_rates[i]);
    if (ratios.empty())
        return 0;
    std::sort(ratios.begin(), ratios.end());
    return ratios[ratios.size() / 2];
}

std::string view_text() {
    GtkTextIter start, end;
    gtk_text_buffer_get_bounds(buf_print_job, &start, &end);
    gchar* all = gtk_text_buffer_get_text(buf_print_job, &start, &end, FALSE);
    std::string text = all;
    g_free(all);
    return text;
}

struct BurstResult {
    long sent = 0;
    long failures = 0;
    long in_view = 0;
    long in_order = 0;
    double send_seconds = 0;
    double view_seconds = 0; // first send to last line in the view
    bool complete = false;
};

BurstResult run_burst(const sockaddr_in& where, long lines) {
    BurstResult result;
    on_main_loop([] {
        gtk_text_buffer_set_text(buf_print_job, "", 0);
        return 0;
    });
    const auto start = Clock::now();
    for (long i = 0; i < lines; ++i) {
        if (!send_one_job(where, line_job("BURST", i)))
            ++result.failures;
        ++result.sent;
    }
    result.send_seconds = std::chrono::duration<double>(Clock::now() - start).count();

    // Wait until the view shows the burst's last line (or nothing has arrived for
    // 10 s). Lines of the rate test still in the pipe when the view was cleared
    // may come first; only the burst's lines are counted.
    char last[32];
    std::snprintf(last, sizeof last, "BURST %06ld\n", lines - 1);
    const std::string last_line = last;
    long seen = -1;
    auto last_progress = Clock::now();
    for (;;) {
        const auto [count, ends_with_last] = on_main_loop([&] {
            GtkTextIter start_of_last, end;
            gtk_text_buffer_get_end_iter(buf_print_job, &end);
            start_of_last = end;
            gtk_text_iter_backward_line(&start_of_last);
            gchar* tail = gtk_text_buffer_get_text(buf_print_job, &start_of_last, &end, FALSE);
            const bool at_end = last_line == tail;
            g_free(tail);
            return std::pair<long, bool>(gtk_text_buffer_get_line_count(buf_print_job), at_end);
        });
        if (count != seen) {
            seen = count;
            last_progress = Clock::now();
        }
        if (ends_with_last) {
            result.view_seconds = std::chrono::duration<double>(Clock::now() - start).count();
            result.complete = true;
            break;
        }
        if (Clock::now() - last_progress > std::chrono::seconds(10))
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const std::string text = on_main_loop([] { return view_text(); });
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = text.find('\n', pos);
        const std::string line =
            text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        if (line.rfind("BURST ", 0) == 0) {
            char expected[32];
            std::snprintf(expected, sizeof expected, "BURST %06ld", result.in_view);
            if (line == expected)
                ++result.in_order;
            ++result.in_view;
        }
        if (end == std::string::npos)
            break;
        pos = end + 1;
    }
    return result;
}

bool parse_options(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        long* target = nullptr;
        if (!std::strcmp(argv[i], "--jobs"))
            target = &options->jobs;
        else if (!std::strcmp(argv[i], "--rounds"))
            target = &options->rounds;
        else if (!std::strcmp(argv[i], "--burst"))
            target = &options->burst;
        if (!target || i + 1 >= argc)
            return false;
        char* end = nullptr;
        *target = std::strtol(argv[++i], &end, 10);
        if (*end || *target < 1 || *target > 1000000)
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse_options(argc, argv, &options)) {
        std::fputs(
            "usage: print_throughput [--jobs JOBS_PER_BLOCK] [--rounds BLOCKS] [--burst LINES]\n",
            stderr);
        return 2;
    }
    gdk_lock_record_main_thread();
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    gdk_threads_init();
#pragma GCC diagnostic pop
    if (!gtk_init_check(&argc, &argv)) {
        std::fputs(
            "print_throughput: needs a display for the receipt view (run it under xvfb-run -a)\n",
            stderr);
        return 2;
    }

    // The receipt view, as the console has it.
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(window), 600, 400);
    GtkWidget* scroller = gtk_scrolled_window_new(nullptr, nullptr);
    txt_do_print_job = gtk_text_view_new();
    gtk_container_add(GTK_CONTAINER(scroller), txt_do_print_job);
    gtk_container_add(GTK_CONTAINER(window), scroller);
    buf_print_job = gtk_text_view_get_buffer(GTK_TEXT_VIEW(txt_do_print_job));
    createPrintFormatTags();
    gtk_widget_show_all(window);

    char state_dir[] = "/tmp/kelvra-bench-XXXXXX";
    if (!mkdtemp(state_dir)) {
        std::perror("print_throughput: mkdtemp");
        return 2;
    }
    const std::string state_file = std::string(state_dir) + "/PrinterState";
    g_printer_state_file = state_file.c_str(); // missing: every job answered 0

    ListenStep failed;
    std::string error;
    const int console_fd = print_server_listen(0, "127.0.0.1", &failed, &error);
    const int minimal_fd = print_server_listen(0, "127.0.0.1", &failed, &error);
    if (console_fd < 0 || minimal_fd < 0) {
        std::fprintf(stderr, "print_throughput: %s\n", error.c_str());
        return 2;
    }
    const sockaddr_in console = loopback(port_of(console_fd));
    const sockaddr_in minimal = loopback(port_of(minimal_fd));

    const pid_t parent = getpid();
    const pid_t minimal_pid = fork();
    if (minimal_pid == 0)
        minimal_loop(minimal_fd, parent);
    close(minimal_fd);
    if (!print_server_attach(console_fd)) {
        kill(minimal_pid, SIGTERM);
        return 2;
    }

    Series console_series, minimal_series;
    BurstResult burst;
    std::thread sender([&] {
        // Warm-up: connections, page faults, the view's first layout.
        Series warm;
        run_series(warm, minimal, 200, "WARM");
        run_series(warm, console, 200, "WARM");
        for (long r = 0; r < options.rounds; ++r) {
            run_series(minimal_series, minimal, options.jobs, "MIN");
            run_series(console_series, console, options.jobs, "RATE");
        }
        burst = run_burst(console, options.burst);
        on_main_loop([] {
            gtk_main_quit();
            return 0;
        });
    });
    gdk_lock_enter();
    gtk_main();
    gdk_lock_leave();
    sender.join();

    const pid_t console_pid = pid.load();
    StopPrintServer();
    kill(minimal_pid, SIGTERM);
    waitpid(console_pid, nullptr, 0);
    waitpid(minimal_pid, nullptr, 0);
    std::remove(state_file.c_str());
    rmdir(state_dir);

    const double rate_ratio =
        minimal_series.rate() > 0 ? console_series.rate() / minimal_series.rate() : 0;
    const double block_ratio = median_block_ratio(console_series, minimal_series);
    std::printf("print_throughput: %ld blocks x %ld sequential jobs per server, alternating, "
                "one connection each\n",
                options.rounds, options.jobs);
    std::printf("  %-22s %10s %10s %10s %9s\n", "", "jobs/s", "p50 us", "p99 us", "failures");
    std::printf("  %-22s %10.0f %10.1f %10.1f %9ld\n", "minimal loop", minimal_series.rate(),
                minimal_series.percentile(0.50), minimal_series.percentile(0.99),
                minimal_series.failures);
    std::printf("  %-22s %10.0f %10.1f %10.1f %9ld\n", "console print server",
                console_series.rate(), console_series.percentile(0.50),
                console_series.percentile(0.99), console_series.failures);
    std::printf("  ratio console/minimal: jobs/s %.2f (median of block pairs %.2f), "
                "p50 latency %.2f, p99 latency %.2f\n",
                rate_ratio, block_ratio,
                minimal_series.percentile(0.50) > 0
                    ? console_series.percentile(0.50) / minimal_series.percentile(0.50)
                    : 0,
                minimal_series.percentile(0.99) > 0
                    ? console_series.percentile(0.99) / minimal_series.percentile(0.99)
                    : 0);
    std::printf(
        "burst: %ld lines sent in %.2f s, %ld in the receipt view, %ld in order, %ld lost\n",
        burst.sent, burst.send_seconds, burst.in_view, burst.in_order, burst.sent - burst.in_order);
    if (burst.complete)
        std::printf(
            "  socket to receipt view: %.0f lines/s (%.2f s from first send to last line shown)\n",
            burst.in_view / burst.view_seconds, burst.view_seconds);
    if (burst.complete)
        std::printf("  the view showed the last line %.1f ms after it was answered\n",
                    (burst.view_seconds - burst.send_seconds) * 1000);
    std::printf(
        "target job rate >= 0.80 x minimal loop: %s (%.2f overall, %.2f median of block pairs)\n",
        rate_ratio >= 0.8 ? "met" : "NOT met", rate_ratio, block_ratio);
    const bool burst_met =
        burst.complete && burst.in_order == options.burst && burst.in_view == options.burst;
    std::printf("target %ld burst lines all in the view, in order: %s\n", options.burst,
                burst_met ? "met" : "NOT met");
    return 0;
}
