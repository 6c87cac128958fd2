// from_journal_bench: what `kelvra-run --from-journal` takes for a journal of a busy
// till. The journal is filled the way a tester's campaign fills it: the runner plays
// sales of varied amounts, each followed by a refund and every third by the void of
// the sale (its invoice kept), all with their receipts, and journals every step. Then,
// round by round, it writes the scenario of the whole journal and its golden receipts
// into a new folder under --out (/dev/shm by default), and as the reference reads the
// journal's entries alone (the share that no writer can save).
//
//   ./from_journal_bench [--entries N] [--amounts A] [--rounds R] [--port P] [--dir FOLDER]
//                        [--out FOLDER]
//
// --amounts: how many different sale amounts (150 by default, so that equal receipts
// share golden files as a shop's do; 100000 makes every sale's receipt its own).
//
// The journal is made in a new temporary folder (under $TMPDIR, or --dir); a --dir
// that already holds a journal of at least N entries is used as it is (no fill).
// Figures are printed, not asserted: the fastest round's wall-clock and processor
// seconds, and the target (at most 2 s for 10,000 entries) as met or not.
#include "from_journal.h"
#include "journal_store.h"
#include "korvex_sim.h"
#include "play.h"

#include "bench_options.h"

#include <stdlib.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    long entries = 10000;
    long rounds = 3;
    long port = 5397; // away from a console's 5187 and runner_bench's 5396
    long amounts = 150; // different sale amounts (of 2.00 apart), so distinct receipts
    std::string dir, out = "/dev/shm";
};

Options parse(int argc, char** argv) {
    Options o;
    o.dir = parse_bench_options(
        argc, argv,
        {{"--entries", &o.entries, 10}, {"--rounds", &o.rounds, 1}, {"--port", &o.port, 1},
         {"--amounts", &o.amounts, 1}});
    for (int i = 1; i + 1 < argc; i += 2)
        if (std::string(argv[i]) == "--out")
            o.out = argv[i + 1];
    return o;
}

double processor_seconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Times {
    double wall = 0, processor = 0;
};

template <typename Work>
Times timed(Work&& work) {
    const auto start = Clock::now();
    const double cpu = processor_seconds();
    work();
    return {std::chrono::duration<double>(Clock::now() - start).count(),
            processor_seconds() - cpu};
}

// A campaign of `entries` steps: sale, refund, and after every third sale its void;
// in files of about 1,000 steps (the loader's bound on a file's values).
void fill_journal(const Options& o, const std::string& dir, const std::string& journal) {
    std::vector<std::string> files;
    std::ofstream file;
    for (long n = 0, sale = 0; n < o.entries; ++sale) {
        if (sale % 300 == 0) {
            files.push_back(dir + "/day-" + std::to_string(files.size() + 1) + ".yaml");
            file.close();
            file.open(files.back(), std::ios::trunc);
            file << "name: A busy day\nsteps:\n";
        }
        // From 200.00 up, 2.00 apart (or 0.02 with more than 15,000 amounts): none of
        // the simulated terminal's answer-choosing amounts.
        const long step = o.amounts > 15000 ? 2 : 200;
        file << "  - {op: SALE, inputs: {amount1: " << 20000 + (sale * 37 % o.amounts) * step
             << "}, expect: {status: Authorised}, keep: {sale" << sale << ": InvoiceNumber}}\n";
        if (++n < o.entries && ++n)
            file << "  - {op: REFUND, inputs: {amount1: " << 1000 + (sale % 40) * 100
                 << "}, expect: {status: Authorised}}\n";
        if (sale % 3 == 2 && n < o.entries && ++n)
            file << "  - {op: VOID, inputs: {InvoiceNumber: \"${sale" << sale
                 << "}\"}, expect: {status: Authorised}}\n";
    }
    file.close();
    RunOptions options;
    options.print_port = static_cast<int>(o.port);
    options.junit.clear();
    options.journal = journal;
    std::ostringstream out, err;
    CampaignResult result;
    const Times fill = timed([&] { run_campaign(files, options, out, err, &result); });
    if (result.played != o.entries || result.failed != 0) {
        std::fprintf(stderr, "the fill failed (%d steps played, %d failed):\n%s%s", result.played,
                     result.failed, err.str().c_str(), out.str().substr(0, 2000).c_str());
        std::exit(1);
    }
    std::printf("journal filled by the runner: %ld steps in %.1f s\n", o.entries, fill.wall);
}

} // namespace

int main(int argc, char** argv) {
    const Options o = parse(argc, argv);
    const std::string dir = bench_folder(o.dir, "from-journal-bench");
    const std::string journal = dir + "/journal.db";
    setenv("KORVEX_SIM_DELAY", "0", 1);
    setenv("KORVEX_SIM_STATE_DIR", dir.c_str(), 1);
    setenv("KORVEX_SIM_PRINT_PORT", std::to_string(o.port).c_str(), 1);
    korvex_sim_reload_state();
    korvex_sim_set_delay_scale(0);

    std::string error;
    std::int64_t entries = 0;
    if (auto store = JournalStore::open(journal, &error))
        entries = store->count({});
    if (entries < o.entries) {
        fill_journal(o, dir, journal);
        if (auto store = JournalStore::open(journal, &error))
            entries = store->count({});
    }

    Times best_write{1e9, 0}, best_read{1e9, 0};
    int steps = 0;
    std::size_t read_entries = 0;
    std::vector<std::string> written; // the rounds' output folders
    for (long round = 0; round < o.rounds; ++round) {
        const Times read = timed([&] {
            std::unique_ptr<JournalStore> store = JournalStore::open(journal, &error);
            const std::vector<JournalEntry> all = store ? store->all({}) : std::vector<JournalEntry>{};
            read_entries = all.size();
        });
        std::string folder = o.out + "/from-journal-out-XXXXXX";
        if (!mkdtemp(folder.data())) {
            std::perror(o.out.c_str());
            return 1;
        }
        const Times write = timed([&] {
            steps = save_journal_scenario(journal, {}, {}, folder + "/day.yaml", &error);
        });
        if (steps < 0) {
            std::fprintf(stderr, "--from-journal failed: %s\n", error.c_str());
            return 1;
        }
        std::size_t files = 0;
        for ([[maybe_unused]] const auto& f :
             std::filesystem::directory_iterator(folder + "/day-golden"))
            ++files;
        std::printf("round %ld: --from-journal %.3f s (processor %.3f s), reading the journal "
                    "%.3f s (processor %.3f s); %d steps, %zu golden files\n",
                    round + 1, write.wall, write.processor, read.wall, read.processor, steps,
                    files);
        if (write.wall < best_write.wall)
            best_write = write;
        if (read.wall < best_read.wall)
            best_read = read;
        written.push_back(folder);
    }
    // Removed at the end: ext4 slows down making files where many were just deleted.
    for (const std::string& folder : written)
        std::filesystem::remove_all(folder);
    std::printf("journal: %s, %lld entries (%zu read); output under %s\n", journal.c_str(),
                static_cast<long long>(entries), read_entries, o.out.c_str());
    std::printf("fastest of %ld rounds: --from-journal %.3f s (processor %.3f s); reading the "
                "journal alone %.3f s (processor %.3f s); ratio %.2f\n",
                o.rounds, best_write.wall, best_write.processor, best_read.wall,
                best_read.processor, best_write.wall / best_read.wall);
    const double per_10000 = best_write.wall * 10000.0 / static_cast<double>(std::max(1, steps));
    std::printf("for 10,000 entries: %.3f s (target at most 2 s: %s)\n", per_10000,
                per_10000 <= 2 ? "met" : "NOT met");
    if (o.dir.empty())
        std::filesystem::remove_all(dir);
    return 0;
}
