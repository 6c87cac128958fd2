// journal: what the journal costs as it grows. In a journal that already holds
// --entries entries (100,000 by default, about three months of a busy till):
//  - the writer thread's work per entry: JournalStore::append of a realistic sale
//    (its call with the bytes of its Transaction_in and Transaction_out, two
//    questions, 40 receipt lines) for a till, one sale at a time, and for a test
//    lab's runner, --rate sales a second written in shared transactions, with the
//    writer's syncs; and the bytes an entry takes in the file;
//  - what a worker or the main loop pays: journal_receipt_line and an operation
//    scope with its request and response (neither touches the database);
//  - the Journal page: a fresh read connection with the count and the first page,
//    searches, and a page deep down the list.
//
//   ./journal_bench [--entries N] [--writes W] [--rate R] [--dir FOLDER] [--fill 0]
//
// --rate is the sales a second of the test lab's runner (300 by default); --fill 0
// measures the journal an earlier run left in --dir instead of filling a new one.
//
// --entries 1000000 is the journal of a till's lifetime (the file's bytes per entry,
// the page and the search at that size); its fill takes a few minutes.
//
// The journal is written in a new temporary folder (under $TMPDIR, or --dir). Its
// first entries are copied in by one transaction: that is setup, not measured.
// Figures are printed, not asserted; each target is reported as met or not.
#include "journal.h"
#include "activity.h"
#include "fields.h"
#include "journal_export.h"
#include "journal_body.h"
#include "journal_json.h"
#include "journal_store.h"

#include "bench_options.h"

#include <sqlite3.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <numeric>
#include <random>
#include <string>
#include <thread>
#include <vector>
#include <time.h>

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    long entries = 100000;
    long writes = 2000;
    long rate = 300; // a test lab's sales a second
    long fill = 1;   // 0: the journal already in --dir, as an earlier run left it
    std::string dir;
};

Options parse(int argc, char** argv) {
    Options o;
    o.dir = parse_bench_options(argc, argv,
                                {{"--entries", &o.entries, 1000},
                                 {"--writes", &o.writes, 100},
                                 {"--rate", &o.rate, 1},
                                 {"--fill", &o.fill, 0}});
    return o;
}

double ms_since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The calling thread's context switches so far: those it made waiting (for the
// disk, a lock) and those the system made, giving the processor to another program.
struct Switches {
    long waited, preempted;
};
Switches thread_switches() {
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    return {u.ru_nvcsw, u.ru_nivcsw};
}

// The processor time of the calling thread (its own work and its system calls, not
// its waits for the disk nor the time other programs take the processor).
double thread_cpu_ms() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1e6;
}

struct Figures {
    double p50, p99, max;
};

Figures figures(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    auto at = [&](double q) { return samples[static_cast<std::size_t>(q * (samples.size() - 1))]; };
    return {at(0.50), at(0.99), samples.back()};
}

const char* const kHostTexts[] = {"THANK YOU",      "CALL BANK",          "INSUFFICIENT FUNDS",
                                  "VOICE REFERRAL", "PIN TRIES EXCEEDED", ""};

Transaction_in sale_in(long amount, long invoice) {
    Transaction_in in{};
    std::snprintf(in.Amount1In, sizeof in.Amount1In, "%012ld", amount);
    field_copy(in.TransactionTypeIn, "00");
    field_copy(in.MessageNumberIn, "1");
    field_copy(in.CashierIdIn, "0007");
    std::snprintf(in.InvoiceNumberIn, sizeof in.InvoiceNumberIn, "%06u",
                  static_cast<unsigned>(invoice % 1000000));
    return in;
}

Transaction_out sale_out(long amount, long invoice, bool approved, const char* host) {
    Transaction_out out{};
    field_copy(out.TransactionStatusOut, approved ? "00" : "01");
    field_copy(out.EntryMethodOut, "5");
    field_copy(out.AcquirerMerchantIDOut, "000000012345678");
    field_copy(out.DateTimeOut, "261206140307");
    field_copy(out.CardSchemeNameOut, "KELVRA CARD");
    field_copy(out.PANOut, "6799990000044564");
    field_copy(out.ExpiryDateOut, "2912");
    field_copy(out.AuthorisationCodeOut, approved ? "A1B2C3" : "");
    field_copy(out.MerchantNameOut, "KELVRA TEST SHOP");
    field_copy(out.MerchantAddress1Out, "1 MAIN STREET");
    field_copy(out.MerchantAddress2Out, "PRAGUE");
    field_copy(out.TransactionCurrencyCodeOut, "978");
    out.TransactionCurrenyExponentOut = 2;
    std::snprintf(out.TotalAmountOut, sizeof out.TotalAmountOut, "%012ld", amount);
    field_copy(out.AIDOut, "A0000000041010");
    field_copy(out.AppLabelOut, "KELVRA DEBIT");
    field_copy(out.TerminalIdentifierOut, "KV000123");
    field_copy(out.AppCryptogramOut, "8F3A21C47D90B6E1");
    std::snprintf(out.RetrievalReferenceNumberOut, sizeof out.RetrievalReferenceNumberOut, "%012ld",
                  invoice * 7);
    std::snprintf(out.InvoiceNumberOut, sizeof out.InvoiceNumberOut, "%06u",
                  static_cast<unsigned>(invoice % 1000000));
    field_copy(out.BatchNumberOut, "017");
    field_copy(out.HostTextOut, host);
    return out;
}

// The library call of a sale as run_operation hands it to the journal.
JournalCall sale_call(std::int64_t started_ms, const Transaction_in& in, const Transaction_out& out) {
    return {"Transaction_Launch",
            started_ms + 20,
            started_ms + 6400,
            "Transaction_in",
            masked_record_bytes(record_desc<Transaction_in>(), &in),
            "Transaction_out",
            masked_record_bytes(record_desc<Transaction_out>(), &out)};
}

// A sale as the recorder would write it.
JournalEntry sale_entry(std::int64_t started_ms, long amount, long invoice, bool approved,
                        const char* host) {
    JournalEntry e;
    e.started_ms = started_ms;
    e.ended_ms = started_ms + 6500;
    e.operation = "SALE";
    const Transaction_in in = sale_in(amount, invoice);
    const Transaction_out out = sale_out(amount, invoice, approved, host);
    e.request.push_back(journal_record(in));
    e.response.push_back(journal_record(out));
    e.calls.push_back(sale_call(started_ms, in, out));
    e.questions.push_back({started_ms + 3000, "Signature", "Accepted", {}});
    e.questions.push_back(
        {started_ms + 4000,
         "Voice referral",
         "Approved with code 123456",
         {{"PANOut", "679999******4564"}, {"TotalAmountOut", std::to_string(amount)}}});
    for (int line = 0; line < 40; ++line) {
        char text[48];
        std::snprintf(text, sizeof text, "%-2d ITEM %-18s %9.2f", line, "RECEIPT LINE",
                      amount / 100.0);
        e.receipt.push_back(text);
    }
    e.receipt[5] = "CARD           679999******4564";
    summarise_entry(e);
    return e;
}

// The first `count` entries, one every few minutes up to now, in one transaction
// (a bulk insert: setup, not measured). The summaries and bodies are those of real
// sales, each body packed as the journal packs it; 64 variants of the bodies are
// enough for a realistic file. The texts are ASCII, so SQL's lower() folds
// them for the search column as the journal itself does.
bool fill_journal(const std::string& path, long count, std::int64_t now_ms) {
    {
        std::string error;
        if (!JournalStore::open(path, &error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return false;
        }
    }
    std::vector<std::string> details;
    for (int v = 0; v < 64; ++v)
        details.push_back(
            pack_entry_body(sale_entry(0, 100 + v * 37, v, v % 9 != 0, kHostTexts[v % 6])));
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* entry = nullptr;
    sqlite3_stmt* detail = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO entry(started_ms, ended_ms, operation, amount, invoice, "
                       "status, result_code, result_text, host_text, search) "
                       "VALUES(?1, ?1 + 6500, ?2, ?3, ?4, ?5, 0, 'OK', ?6, "
                       "lower(?2 || char(31) || ?4 || char(31) || ?5 || char(31) || ?6))",
                       -1, &entry, nullptr);
    sqlite3_prepare_v2(db, "INSERT INTO entry_detail(id, detail) VALUES(?1, ?2)", -1, &detail,
                       nullptr);
    std::mt19937 random(42);
    const std::int64_t span_ms = std::int64_t{80} * 86'400'000; // within the 90 days kept
    const char* operations[] = {"SALE", "SALE",   "SALE",     "SALE",       "SALE",
                                "SALE", "REFUND", "PRE-AUTH", "Settlement", "Terminal status"};
    bool ok = true;
    for (long i = 0; i < count && ok; ++i) {
        const long amount = 100 + static_cast<long>(random() % 99900);
        const char* host = kHostTexts[random() % 6];
        char invoice[8];
        std::snprintf(invoice, sizeof invoice, "%06ld", i % 1000000);
        sqlite3_bind_int64(entry, 1, now_ms - span_ms + span_ms * i / count);
        sqlite3_bind_text(entry, 2, operations[random() % 10], -1, SQLITE_STATIC);
        sqlite3_bind_int64(entry, 3, amount);
        sqlite3_bind_text(entry, 4, invoice, -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(entry, 5, random() % 9 ? "Authorised" : "Not authorised", -1,
                          SQLITE_STATIC);
        sqlite3_bind_text(entry, 6, host, -1, SQLITE_STATIC);
        ok = sqlite3_step(entry) == SQLITE_DONE;
        sqlite3_reset(entry);
        sqlite3_bind_int64(detail, 1, sqlite3_last_insert_rowid(db));
        const std::string& d = details[static_cast<std::size_t>(i % 64)];
        sqlite3_bind_blob(detail, 2, d.data(), static_cast<int>(d.size()), SQLITE_STATIC);
        ok = ok && sqlite3_step(detail) == SQLITE_DONE;
        sqlite3_reset(detail);
    }
    if (!ok)
        std::fprintf(stderr, "filling the journal failed: %s\n", sqlite3_errmsg(db));
    sqlite3_finalize(entry);
    sqlite3_finalize(detail);
    sqlite3_exec(db, ok ? "COMMIT" : "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return ok;
}

std::int64_t wall_ms() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

double file_mib(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_size / 1048576.0 : 0.0;
}

const char* verdict(bool met) {
    return met ? "met" : "NOT met";
}

} // namespace

int main(int argc, char** argv) {
    const Options o = parse(argc, argv);
    const std::string dir = bench_folder(o.dir, "journal-bench");
    const std::string path = journal_path(dir);
    const std::int64_t now = wall_ms();
    const auto fill_start = Clock::now();
    if (o.fill == 0) {
        std::printf("journal: %s, as an earlier run left it\n", path.c_str());
    } else {
        if (!fill_journal(path, o.entries, now))
            return 1;
        std::printf("journal: %s, %ld entries copied in %.1f s (setup)\n", path.c_str(),
                    o.entries, ms_since(fill_start) / 1000);
    }

    // The writer thread's work in the grown journal, three ways:
    //  - a till: one sale at a time, each appended alone, then synced while the
    //    writer is idle (the journal's way);
    //  - the same with every commit synced (synchronous=FULL): the reference for
    //    what a sync per entry costs;
    //  - a test lab's runner: --rate sales a second; once the oldest has waited
    //    kJournalGatherMs the writer takes every entry that has come in one
    //    transaction, and syncs when none waits (at least once a second), as
    //    journal.cpp's writer does.
    // Each append is timed by the clock and by the thread's processor time: the
    // statements' cost apart from the disk's waits and from other programs.
    std::vector<double> append_ms, append_cpu_ms, full_ms, sync_ms, checkpoint_ms, merge_ms;
    struct {
        long count = 0, preempted = 0, waited = 0;
    } slow; // the till's appends over 1 ms, and why
    std::vector<double> batch_ms, batch_cpu_ms, per_entry_ms, per_entry_cpu_ms, on_disk_ms;
    std::vector<double> batch_sizes;
    double lab_seconds = 0;
    {
        std::string error;
        auto store = JournalStore::open(path, &error);
        if (!store) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        std::vector<JournalEntry> sales;
        for (long i = 0; i < o.writes; ++i)
            sales.push_back(sale_entry(now + i * 1000, 100 + i * 13 % 99900, o.entries + i,
                                       i % 9 != 0, kHostTexts[i % 6]));
        auto fail = [&] {
            std::fprintf(stderr, "append: %s\n", error.c_str());
            return 1;
        };
        // What the writer does when it has nothing to write.
        // The text index is merged while the writer is idle, in small steps.
        store->merge_text_index_when_asked();
        bool unmerged = false;
        auto idle = [&](std::vector<double>& syncs, std::vector<double>& checkpoints) {
            auto start = Clock::now();
            store->sync();
            syncs.push_back(ms_since(start));
            if (store->log_pages() >= JournalStore::kCheckpointPages) {
                start = Clock::now();
                store->checkpoint();
                checkpoints.push_back(ms_since(start));
            }
            unmerged = true;
        };
        // One step of the text index's merges, while idle.
        auto merge_step = [&] {
            const auto start = Clock::now();
            unmerged = store->merge_text_index();
            merge_ms.push_back(ms_since(start));
        };
        // A writer that has run for a while has the pages it writes in its cache.
        for (long i = 0; i < 100; ++i) {
            JournalEntry e = sales[static_cast<std::size_t>(i)];
            if (!store->append(e, &error))
                return fail();
            idle(sync_ms, checkpoint_ms);
        }
        sync_ms.clear();
        checkpoint_ms.clear();
        std::int64_t shift = o.writes * 1000; // each pass's entries after the last pass's
        for (int pass = 0; pass < 2; ++pass) {
            store->set_full_sync(pass == 1);
            shift += o.writes * 1000;
            for (JournalEntry e : sales) {
                e.started_ms += shift;
                const Switches before = thread_switches();
                const auto start = Clock::now();
                const double cpu = thread_cpu_ms();
                if (!store->append(e, &error))
                    return fail();
                const double took = ms_since(start);
                (pass == 0 ? append_ms : full_ms).push_back(took);
                if (pass == 0) {
                    append_cpu_ms.push_back(thread_cpu_ms() - cpu);
                    const Switches after = thread_switches();
                    if (took > 1) {
                        ++slow.count;
                        slow.preempted += after.preempted > before.preempted;
                        slow.waited += after.waited > before.waited;
                    }
                }
                // The writer syncs while it waits for the next entry (entries come a
                // second after their operation ends), and copies a long log into the
                // file: not the append's cost.
                if (pass == 0) {
                    idle(sync_ms, checkpoint_ms);
                    while (unmerged)
                        merge_step();
                }
            }
        }
        store->set_full_sync(false);

        // The lab: sale i is handed to the writer at i / rate seconds.
        shift += o.writes * 1000;
        const auto lab_start = Clock::now();
        auto arrival_ms = [&](long i) { return i * 1000.0 / static_cast<double>(o.rate); };
        long next = 0;     // the first sale not yet written
        long synced = 0;   // sales before this one are on disk
        auto synced_at = Clock::now();
        std::vector<double> lab_syncs, lab_checkpoints;
        auto sync_now = [&] {
            idle(lab_syncs, lab_checkpoints);
            synced_at = Clock::now();
            const double at = ms_since(lab_start);
            for (; synced < next; ++synced)
                on_disk_ms.push_back(at - arrival_ms(synced));
        };
        while (next < o.writes) {
            const double at = ms_since(lab_start);
            long come = next;
            // The oldest waits kJournalGatherMs for others, as in the journal's writer.
            if (next < o.writes && arrival_ms(next) + kJournalGatherMs <= at)
                while (come < o.writes && come - next < 256 && arrival_ms(come) <= at)
                    ++come;
            if (come == next) {
                if (synced < next) {
                    sync_now(); // idle
                } else if (unmerged) {
                    merge_step();
                } else {
                    std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(
                        arrival_ms(next) + kJournalGatherMs - at));
                }
                continue;
            }
            std::vector<JournalEntry> batch(sales.begin() + next, sales.begin() + come);
            for (JournalEntry& e : batch)
                e.started_ms += shift;
            const auto start = Clock::now();
            const double cpu = thread_cpu_ms();
            if (!store->append(batch, &error))
                return fail();
            const double took = ms_since(start);
            const double took_cpu = thread_cpu_ms() - cpu;
            const auto n = static_cast<double>(batch.size());
            batch_ms.push_back(took);
            batch_cpu_ms.push_back(took_cpu);
            batch_sizes.push_back(n);
            for (std::size_t k = 0; k < batch.size(); ++k) {
                per_entry_ms.push_back(took / n);
                per_entry_cpu_ms.push_back(took_cpu / n);
            }
            next = come;
            if (ms_since(synced_at) >= 1000)
                sync_now();
        }
        sync_now();
        lab_seconds = ms_since(lab_start) / 1000;
    }
    // One sale's body as the journal keeps it, and (the reference) as the JSON text
    // that journals kept before, which held no bytes of the calls.
    JournalEntry one_sale = sale_entry(now, 1250, 1, true, "");
    const std::size_t body_bytes = pack_entry_body(one_sale).size();
    one_sale.calls.clear();
    const std::size_t json_bytes = entry_detail_json(one_sale).size();

    // The calling threads' cost, with the writer thread writing behind them into a
    // journal of its own (so that the grown one keeps its size for what follows).
    std::vector<double> line_us, scope_us;
    {
        journal_start(dir + "/calls.db");
        const Transaction_in in = sale_in(1250, 1);
        const Transaction_out out = sale_out(1250, 1, true, "THANK YOU");
        for (long i = 0; i < o.writes; ++i) {
            auto start = Clock::now();
            {
                OperationActivity sale("SALE");
                sale.request(in);
                record_library_call(sale_call(0, in, out)); // what run_operation adds
                sale.response(out);
            }
            scope_us.push_back(ms_since(start) * 1000);
            for (int line = 0; line < 40; ++line) {
                start = Clock::now();
                journal_receipt_line("CARD           6799990000044564");
                line_us.push_back(ms_since(start) * 1000);
            }
        }
        journal_flush();
        journal_stop();
    }

    // The Journal page: a fresh connection, the count and the first page.
    std::vector<double> first_page_ms;
    std::int64_t total = 0;
    for (int run = 0; run < 7; ++run) {
        const auto start = Clock::now();
        std::string error;
        auto reader = JournalStore::open(path, &error);
        total = reader->count({});
        const auto page = reader->find({}, nullptr, 200);
        first_page_ms.push_back(ms_since(start));
        if (page.size() != 200)
            std::fprintf(stderr, "the first page holds %zu entries\n", page.size());
    }

    std::string error;
    auto reader = JournalStore::open(path, &error);
    // Searches as the operator types them: amounts, words, an invoice, nothing found.
    // The last two are shorter than the text index's pieces: they walk the list.
    const char* searches[] = {"12.50",  "1250",   "not auth",      "referral", "refund",
                              "004217", "settle", "no such thing", "50",       "zq"};
    constexpr std::size_t kShort = 2;
    std::vector<double> search_ms, short_ms;
    std::printf("\n%-16s %10s %10s\n", "search", "matches", "ms");
    for (const char* const& text : searches) {
        std::vector<double> runs;
        std::int64_t matches = 0;
        for (int run = 0; run < 5; ++run) {
            const auto start = Clock::now();
            const JournalQuery q{text, {}, {}};
            matches = reader->count(q);
            reader->find(q, nullptr, 200);
            runs.push_back(ms_since(start));
        }
        std::vector<double>& into =
            &text - searches >= static_cast<std::ptrdiff_t>(std::size(searches) - kShort)
                ? short_ms
                : search_ms;
        into.insert(into.end(), runs.begin(), runs.end());
        const std::string shown = matches > JournalStore::kCountLimit
                                      ? "> " + std::to_string(JournalStore::kCountLimit)
                                      : std::to_string(matches);
        std::printf("%-16s %10s %10.1f\n", text, shown.c_str(), figures(runs).p50);
    }

    // Scrolling: 50 pages down, then the next one.
    std::optional<JournalEntry> last;
    for (int page = 0; page < 50; ++page)
        last = reader->find({}, last ? &*last : nullptr, 200).back();
    std::vector<double> deep_ms;
    for (int run = 0; run < 7; ++run) {
        const auto start = Clock::now();
        reader->find({}, &*last, 200);
        deep_ms.push_back(ms_since(start));
    }

    // An export of the newest entries (a few weeks of a busy till), in both forms.
    struct Export {
        const char* name;
        ExportFormat format;
        long entries = 0;
        double seconds = 0, mib = 0;
    } exports[] = {{"CSV", ExportFormat::Csv}, {"JSON lines", ExportFormat::JsonLines}};
    const JournalQuery recent{"", reader->find({}, nullptr, 10000).back().started_ms, {}};
    for (Export& x : exports) {
        const std::string out = dir + "/export";
        const auto start = Clock::now();
        x.entries = export_journal(*reader, recent, out, x.format, &error);
        x.seconds = ms_since(start) / 1000;
        x.mib = file_mib(out);
        std::filesystem::remove(out);
        if (x.entries < 0)
            std::fprintf(stderr, "export: %s\n", error.c_str());
    }
    reader.reset();

    const Figures w = figures(append_ms);
    const Figures wc = figures(append_cpu_ms);
    const Figures wf = figures(full_ms);
    const Figures ws = figures(sync_ms);
    const Figures wk = figures(checkpoint_ms.empty() ? std::vector<double>{0} : checkpoint_ms);
    const Figures lb = figures(batch_ms);
    const Figures lbc = figures(batch_cpu_ms);
    const Figures le = figures(per_entry_ms);
    const Figures lec = figures(per_entry_cpu_ms);
    const Figures ld = figures(on_disk_ms);
    double mean_batch = 0;
    for (double n : batch_sizes)
        mean_batch += n;
    mean_batch /= static_cast<double>(std::max<std::size_t>(batch_sizes.size(), 1));
    const Figures l = figures(line_us);
    const Figures s = figures(scope_us);
    const Figures f = figures(first_page_ms);
    const Figures q = figures(search_ms);
    const Figures d = figures(deep_ms);
    const Figures sh = figures(short_ms);
    const double mib = file_mib(path) + file_mib(path + "-wal");
    const double per_entry = mib * 1048576.0 / static_cast<double>(std::max<std::int64_t>(total, 1));
    std::printf("\njournal of %lld entries, %.1f MiB, %.0f bytes an entry: %s (at most 1,500)\n",
                static_cast<long long>(total), mib, per_entry, verdict(per_entry <= 1500));
    std::printf("a sale's body (calls' bytes, records, questions, 40 receipt lines): %zu bytes "
                "packed; reference, the JSON text without the bytes: %zu bytes; ratio %.2f\n",
                body_bytes, json_bytes, static_cast<double>(body_bytes) / json_bytes);
    std::printf("%-44s %9s %9s %9s  %s\n", "", "p50", "p99", "max", "target");
    auto row = [](const char* what, const Figures& x, const char* target) {
        std::printf("%-48s %9.3f %9.3f %9.3f  %s\n", what, x.p50, x.p99, x.max, target);
    };
    std::printf("a till, one sale at a time (commits synced by the writer when idle):\n");
    row("  append of a sale (writer thread), ms", w,
        (std::string("p99 <= 1 ms: ") + verdict(w.p99 <= 1)).c_str());
    row("  the same, processor time of the thread, ms", wc, "(the statements)");
    std::printf("  the till's appends: %.0f ms in all\n",
                std::accumulate(append_ms.begin(), append_ms.end(), 0.0));
    std::printf("  appends over 1 ms: %ld of %zu; the processor taken by another program "
                "during %ld of them, waits (disk, lock) during %ld\n",
                slow.count, append_ms.size(), slow.preempted, slow.waited);
    row("  its sync when idle (the log), ms", ws, "(the disk's, the writer idle)");
    row("  a checkpoint when the log has 1,000 pages, ms", wk,
        (std::to_string(checkpoint_ms.size()) + " of them, the writer idle").c_str());
    if (!merge_ms.empty())
        row("  a step of the text index's merges, ms", figures(merge_ms),
            (std::to_string(merge_ms.size()) + " of them, " +
             std::to_string(static_cast<long>(std::accumulate(merge_ms.begin(), merge_ms.end(), 0.0))) +
             " ms in all, the writer idle")
                .c_str());
    row("  each commit synced (synchronous=FULL), ms", wf, "(reference)");
    std::printf("a lab's runner, %ld sales a second for %.1f s, %zu transactions of %.1f sales "
                "on average:\n",
                o.rate, lab_seconds, batch_sizes.size(), mean_batch);
    row("  one transaction (writer thread), ms", lb, "(per batch)");
    row("  the same, processor time of the thread, ms", lbc, "");
    row("  per sale (its transaction / its sales), ms", le,
        (std::string("p99 <= 1 ms: ") + verdict(le.p99 <= 1)).c_str());
    row("  the same, processor time of the thread, ms", lec, "(the statements)");
    row("  handed to the writer until on disk, ms", ld, "(durable after)");
    std::printf("%-44s %9.2f %9.2f %9.1f  microseconds: %s\n", "journal_receipt_line (caller), us",
                l.p50, l.p99, l.max, verdict(l.p99 < 100));
    std::printf("%-44s %9.2f %9.2f %9.1f  microseconds: %s\n",
                "operation scope, request + response, us", s.p50, s.p99, s.max,
                verdict(s.p99 < 100));
    std::printf("%-44s %9.1f %9s %9.1f  <= 200 ms: %s\n", "first page (open + count + 200), ms",
                f.p50, "", f.max, verdict(f.max <= 200));
    std::printf("%-44s %9.1f %9s %9.1f  <= 100 ms: %s\n", "search (count + 200), ms", q.p50, "",
                q.max, verdict(q.max <= 100));
    std::printf("%-44s %9.1f %9s %9.1f\n", "search of 1-2 characters (count + 200), ms", sh.p50,
                "", sh.max);
    std::printf("%-44s %9.2f %9s %9.2f\n", "page 51 (after scrolling 50 pages), ms", d.p50, "",
                d.max);
    for (const Export& x : exports)
        std::printf("export of %ld entries as %s: %.2f s (%.0f entries/s), %.1f MiB\n", x.entries,
                    x.name, x.seconds, x.entries / x.seconds, x.mib);
    if (o.dir.empty())
        std::filesystem::remove_all(dir);
    return 0;
}
