// batch_growth: what one sale costs the simulated terminal as its batch grows.
// Makes SALEs in one batch through the library's own Transaction_Launch, with no
// step delays and no receipt printing, and compares the rate around the 100th sale
// with the rate around the last (the 10,000th by default): the sales per second
// over a window of sales and the median time of one sale.
//
//   ./batch_growth [--sales N] [--window W] [--dir FOLDER]
//
// The state folder is a new temporary folder (under $TMPDIR, or --dir): the batch
// is written there as it would be on the operator's disk. Figures are printed, not
// asserted; the target (the last sale costs at most 1.2 times the 100th) is
// reported as met or not.
#include "korvex.h"
#include "korvex_sim.h"

#include "bench_options.h"

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    long sales = 10000;
    long window = 100; // sales measured around each point
    std::string dir;
};

Options parse(int argc, char** argv) {
    Options o;
    o.dir =
        parse_bench_options(argc, argv, {{"--sales", &o.sales, 200}, {"--window", &o.window, 10}});
    return o;
}

// Receipt printing off, as a till that measures its batch would switch it. The
// choice is kept in the scratch state folder only.
void printing_off() {
    InitTxnReceiptPrint_InOut io{};
    io.StatusIn = 0;
    SetTxnReceiptPrintStatus(&io);
    if (io.DiagRequestOut != 0)
        std::printf("(receipt printing could not be switched off: result %d)\n", io.DiagRequestOut);
}

// Seconds that one sale took.
double one_sale(long amount) {
    Transaction_in in{};
    std::memcpy(in.TransactionTypeIn, "00", 2);
    std::snprintf(in.Amount1In, sizeof in.Amount1In, "%012ld", amount);
    std::memcpy(in.MessageNumberIn, "1", 1);
    Transaction_out out{};
    const auto start = Clock::now();
    Transaction_Launch(&in, &out);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (out.DiagRequestOut != 0 || std::memcmp(out.TransactionStatusOut, "00", 2) != 0) {
        std::fprintf(stderr, "a sale was not approved (result %d)\n", out.DiagRequestOut);
        std::exit(1);
    }
    return seconds;
}

struct Window {
    double rate;      // sales per second over the window
    double median_us; // median time of one sale
};

Window measure(std::vector<double> times) {
    double total = 0;
    for (double t : times)
        total += t;
    std::sort(times.begin(), times.end());
    return {static_cast<double>(times.size()) / total, times[times.size() / 2] * 1e6};
}

} // namespace

int main(int argc, char** argv) {
    const Options o = parse(argc, argv);
    const std::string dir = bench_folder(o.dir, "batch-growth");
    setenv("KORVEX_SIM_STATE_DIR", dir.c_str(), 1);
    korvex_sim_reload_state();
    korvex_sim_set_delay_scale(0);
    printing_off();

    // Sale n (from 1) takes times[n - 1]; the windows are centred on the 100th and
    // on the last sale of the run.
    const long first_point = 100, last_point = o.sales - o.window / 2;
    std::vector<double> times;
    times.reserve(static_cast<std::size_t>(o.sales));
    for (long n = 1; n <= o.sales; ++n)
        times.push_back(one_sale(1000 + n % 5000)); // no magic amount among them

    auto window_at = [&](long centre) {
        const long from = std::max(1L, centre - o.window / 2);
        return measure(
            std::vector<double>(times.begin() + (from - 1), times.begin() + (from - 1 + o.window)));
    };
    const Window early = window_at(first_point);
    const Window late = window_at(last_point);
    // The cost of a late sale over an early one: by the median time of one sale,
    // which a disk shared with other work (a slow sync now and then) does not move;
    // the ratio of the mean rates is printed beside it.
    const double ratio = late.median_us / early.median_us;
    const double mean_ratio = early.rate / late.rate;
    std::printf("state folder: %s\n", dir.c_str());
    std::printf("sales in one batch: %ld, window %ld sales\n", o.sales, o.window);
    std::printf("around sale %5ld: %8.0f sales/s, median %6.0f us\n", first_point, early.rate,
                early.median_us);
    std::printf("around sale %5ld: %8.0f sales/s, median %6.0f us\n", o.sales, late.rate,
                late.median_us);
    std::printf("cost of sale %ld / cost of sale %ld: %.2f by the median, %.2f by the mean rate "
                "(target at most 1.2: %s)\n",
                o.sales, first_point, ratio, mean_ratio, ratio <= 1.2 ? "met" : "NOT met");
    if (o.dir.empty())
        std::filesystem::remove_all(dir);
    return 0;
}
