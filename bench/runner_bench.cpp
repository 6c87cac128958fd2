// runner_bench: how fast kelvra-run plays sales, and what the runner itself adds to
// each step. With no step delays (KORVEX_SIM_DELAY=0) it plays one scenario of a
// SALE with `repeat: N` through the runner's engine (print server, event server,
// answer policy, checks, journal and JUnit report as kelvra-run keeps them), and as
// the reference makes the same number of Transaction_Launch calls directly in a
// loop, with the runner's receipt server serving the print port so that both print
// the same receipts. The two alternate round by round: the rates are those of
// each one's fastest round, the runner's own time per step the median over the
// rounds of (runner - reference) / steps.
//
//   ./runner_bench [--sales N] [--rounds R] [--port P] [--dir FOLDER]
//
// The state folder is a new temporary folder (under $TMPDIR, or --dir). Figures
// are printed, not asserted; the targets (at least 200 sales/s, under 1 ms of the
// runner's own per step) are reported as met or not.
#include "korvex.h"
#include "korvex_sim.h"
#include "play.h"
#include "receipt_server.h"

#include "bench_options.h"

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    long sales = 2000;
    long rounds = 5;
    long port = 5396; // away from a console's 5187
    std::string dir;
};

Options parse(int argc, char** argv) {
    Options o;
    o.dir = parse_bench_options(
        argc, argv,
        {{"--sales", &o.sales, 10}, {"--rounds", &o.rounds, 1}, {"--port", &o.port, 1}});
    return o;
}

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The runner: one scenario, one SALE step repeated, each checked as approved.
double runner_round(const std::string& scenario, const Options& o, const std::string& dir) {
    RunOptions options;
    options.print_port = o.port;
    options.junit = dir + "/report.xml";
    options.journal = dir + "/journal.db";
    std::ostringstream out, err;
    CampaignResult result;
    const auto start = Clock::now();
    const int status = run_campaign({scenario}, options, out, err, &result);
    const double seconds = seconds_since(start);
    if (status != 0 || result.played != o.sales) {
        std::fprintf(stderr, "the runner's round failed (exit %d, %d steps played):\n%s%s", status,
                     result.played, err.str().c_str(), out.str().substr(0, 2000).c_str());
        std::exit(1);
    }
    return seconds;
}

// The reference: the same sales made directly, receipts served and collected.
double reference_round(const Options& o) {
    ReceiptServer receipts;
    std::string error;
    if (!receipts.start(o.port, &error)) {
        std::fprintf(stderr, "print port %ld: %s\n", o.port, error.c_str());
        std::exit(1);
    }
    std::size_t lines = 0;
    const auto start = Clock::now();
    for (long n = 0; n < o.sales; ++n) {
        Transaction_in in{};
        std::memcpy(in.TransactionTypeIn, "00", 2);
        std::memcpy(in.Amount1In, "000000001000", 12);
        Transaction_out out{};
        receipts.clear();
        Transaction_Launch(&in, &out);
        lines += receipts.take().size();
        if (out.DiagRequestOut != 0 || std::memcmp(out.TransactionStatusOut, "00", 2) != 0) {
            std::fprintf(stderr, "a reference sale was not approved (result %d)\n",
                         out.DiagRequestOut);
            std::exit(1);
        }
    }
    const double seconds = seconds_since(start);
    receipts.stop();
    if (lines == 0) {
        std::fprintf(stderr, "the reference sales printed nothing\n");
        std::exit(1);
    }
    return seconds;
}

} // namespace

int main(int argc, char** argv) {
    const Options o = parse(argc, argv);
    const std::string dir = bench_folder(o.dir, "runner-bench");
    setenv("KORVEX_SIM_DELAY", "0", 1);
    setenv("KORVEX_SIM_STATE_DIR", dir.c_str(), 1);
    setenv("KORVEX_SIM_PRINT_PORT", std::to_string(o.port).c_str(), 1);
    korvex_sim_reload_state();
    korvex_sim_set_delay_scale(0);

    const std::string scenario = dir + "/sales.yaml";
    std::ofstream(scenario) << "name: Sales\n"
                               "steps:\n"
                               "  - op: SALE\n"
                               "    inputs: {amount1: 1000}\n"
                               "    expect: {result: OK, status: Authorised}\n"
                               "    repeat: "
                            << o.sales << "\n";

    // Each round measures both back to back, so that the pair shares what the
    // machine's other work (a disk busy with syncs) does to them.
    double runner = 0, reference = 0;
    std::vector<double> differences;
    for (long round = 0; round < o.rounds; ++round) {
        const double r = reference_round(o);
        const double p = runner_round(scenario, o, dir);
        reference = round == 0 ? r : std::min(reference, r);
        runner = round == 0 ? p : std::min(runner, p);
        differences.push_back(p - r);
    }
    std::sort(differences.begin(), differences.end());

    const double steps = static_cast<double>(o.sales);
    const double rate = steps / runner;
    const double overhead_ms = differences[differences.size() / 2] / steps * 1000;
    std::printf("state folder: %s, print port %ld\n", dir.c_str(), o.port);
    std::printf("%ld sales per round, fastest of %ld rounds\n", o.sales, o.rounds);
    std::printf("reference (Transaction_Launch in a loop): %8.3f s  %8.0f sales/s\n", reference,
                steps / reference);
    std::printf("runner (one SALE step, repeat %ld):      %8.3f s  %8.0f sales/s "
                "(target at least 200: %s)\n",
                o.sales, runner, rate, rate >= 200 ? "met" : "NOT met");
    std::printf("runner / reference: %.2f\n", runner / reference);
    std::printf("runner's own time per step, median of the rounds' (runner - reference) / steps: "
                "%.3f ms (target under 1 ms: %s)\n",
                overhead_ms, overhead_ms < 1 ? "met" : "NOT met");
    if (o.dir.empty())
        std::filesystem::remove_all(dir);
    return 0;
}
