// Start-up benchmark: time from process start to the first draw of the maximised
// main window, and the peak memory, against a bare GTK3 window measured in the
// same run. Needs a display (run it under xvfb-run).
#include "receipt_view.h"
#include "startup.h"
#include "ui_components.h"

#include <gtk/gtk.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

double now_ms() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// Child side: report the moment of the first draw on stdout, then leave. The
// console also ends its print server, so the next run finds port 5187 free.
gboolean on_first_draw(GtkWidget*, cairo_t*, gpointer console) {
    std::printf("%.3f\n", now_ms());
    std::fflush(stdout);
    if (console)
        StopPrintServer();
    _exit(0);
}

int run_bare(int argc, char** argv) {
    gtk_init(&argc, &argv);
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), "bare");
    g_signal_connect_after(window, "draw", G_CALLBACK(on_first_draw), nullptr);
    gtk_widget_show_all(window);
    gtk_window_maximize(GTK_WINDOW(window));
    gtk_main();
    return 0;
}

int run_console(int argc, char** argv) {
    g_ui_dir = KELVRA_SOURCE_UI_DIR;
    if (!ecr_start(&argc, &argv))
        return 1;
    g_signal_connect_after(MainEcrWindow, "draw", G_CALLBACK(on_first_draw), MainEcrWindow);
    ecr_run_main_loop();
    return 0;
}

struct Sample {
    double ms;
    long max_rss_kib;
};

// Starts this program in `mode` and measures it from fork to first draw.
bool measure(const char* self, const char* mode, Sample* out) {
    int out_pipe[2];
    if (pipe(out_pipe) != 0)
        return false;
    const double start = now_ms();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out_pipe[1], STDOUT_FILENO);
        close(out_pipe[0]);
        close(out_pipe[1]);
        execl(self, self, mode, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out_pipe[1]);
    char buffer[64] = {};
    const ssize_t n = read(out_pipe[0], buffer, sizeof buffer - 1);
    close(out_pipe[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (n <= 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return false;
    out->ms = std::atof(buffer) - start;
    out->max_rss_kib = usage.ru_maxrss;
    return true;
}

template <typename T> T median(std::vector<T> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--bare") == 0)
        return run_bare(argc - 1, argv + 1);
    if (argc > 1 && std::strcmp(argv[1], "--console") == 0)
        return run_console(argc - 1, argv + 1);

    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    setenv("NO_AT_BRIDGE", "1", 1); // no accessibility bus in either program
    // The console keeps its files in the working directory: use a scratch one.
    char scratch[] = "/tmp/kelvra-bench-XXXXXX";
    if (!mkdtemp(scratch) || chdir(scratch) != 0)
        return 1;
    setenv("KELVRA_WORKDIR", scratch, 1); // the console enters it at start-up
    std::vector<double> bare_ms, console_ms;
    std::vector<long> bare_kib, console_kib;
    for (int i = 0; i < runs; ++i) {
        Sample bare{}, console{};
        if (!measure("/proc/self/exe", "--bare", &bare) ||
            !measure("/proc/self/exe", "--console", &console)) {
            std::fprintf(stderr, "a run failed (is there a display?)\n");
            return 1;
        }
        bare_ms.push_back(bare.ms);
        console_ms.push_back(console.ms);
        bare_kib.push_back(bare.max_rss_kib);
        console_kib.push_back(console.max_rss_kib);
    }
    std::remove("ECRConf");
    std::remove("PrinterState");
    rmdir(scratch);
    const double bm = median(bare_ms), cm = median(console_ms);
    const long bk = median(bare_kib), ck = median(console_kib);
    std::printf("start-up to first draw (median of %d): bare window %.1f ms, console %.1f ms, "
                "ratio %.2f (target <= 1.5)\n",
                runs, bm, cm, cm / bm);
    std::printf("peak memory (median): bare window %ld KiB, console %ld KiB, ratio %.2f "
                "(target <= 1.5)\n",
                bk, ck, static_cast<double>(ck) / bk);
    return 0;
}
