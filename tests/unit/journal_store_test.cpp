// The journal's database and its exports: round trips, paging, search by text and dates,
// keeping, the files it refuses, and exports that read back to the same entries.
#include "fields.h"
#include "journal_export.h"
#include "journal_json.h"
#include "journal_store.h"
#include "test_util.h"

#include <nlohmann/json.hpp>
#include <sqlite3.h>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <thread>

namespace fs = std::filesystem;

namespace {

class JournalStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fresh_test_dir("store");
        path_ = journal_path(dir_);
    }
    void TearDown() override { fs::permissions(dir_, fs::perms::owner_all); }

    std::unique_ptr<JournalStore> open_store() {
        std::string error;
        auto store = JournalStore::open(path_, &error);
        EXPECT_TRUE(store) << error;
        return store;
    }
    static void append(JournalStore& store, JournalEntry& e) {
        std::string error;
        ASSERT_TRUE(store.append(e, &error)) << error;
    }
    std::string dir_;
    std::string path_;
};

// A sale as the recorder writes it: records, a question, receipt lines, summaries.
JournalEntry sale(std::int64_t started_ms, const char* amount = "000000001250",
                  const char* invoice = "000123", const char* host = "THANK YOU") {
    Transaction_in in{};
    field_copy(in.Amount1In, amount);
    field_copy(in.TransactionTypeIn, "00");
    Transaction_out out{};
    field_copy(out.TransactionStatusOut, "00");
    field_copy(out.PANOut, "6799990000044564");
    field_copy(out.InvoiceNumberOut, invoice);
    field_copy(out.HostTextOut, host);
    JournalEntry e;
    e.started_ms = started_ms;
    e.ended_ms = started_ms + 2500;
    e.operation = "SALE";
    e.request.push_back(journal_record(in));
    e.response.push_back(journal_record(out));
    e.calls.push_back({"Transaction_Launch", started_ms + 5, started_ms + 2400, "Transaction_in",
                       masked_record_bytes(record_desc<Transaction_in>(), &in), "Transaction_out",
                       masked_record_bytes(record_desc<Transaction_out>(), &out)});
    e.questions.push_back(
        {started_ms + 900, "Signature", "Accepted", {{"PANOut", "679999******4564"}}});
    e.receipt = {"   KELVRA SHOP, \"MAIN\" ST", "AMOUNT  EUR 12,50", "", "CARD 679999******4564"};
    summarise_entry(e);
    return e;
}

std::vector<std::int64_t> ids_of(const std::vector<JournalEntry>& entries) {
    std::vector<std::int64_t> ids;
    for (const JournalEntry& e : entries)
        ids.push_back(e.id);
    return ids;
}

// Runs SQL on the journal's file itself; its error, or "" when it ran. The last row's
// first value goes to `value`.
std::string run_sql(const std::string& path, const std::string& sql, std::string* value = nullptr) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    char* message = nullptr;
    const auto keep = +[](void* to, int, char** values, char**) {
        if (to && values[0])
            *static_cast<std::string*>(to) = values[0];
        return 0;
    };
    const bool ok = sqlite3_exec(db, sql.c_str(), keep, value, &message) == SQLITE_OK;
    const std::string error = ok ? "" : message ? message : sqlite3_errmsg(db);
    sqlite3_free(message);
    sqlite3_close(db);
    return error;
}

TEST_F(JournalStoreTest, AnEntryReadsBackWhole) {
    auto store = open_store();
    JournalEntry e = sale(1'765'000'000'000);
    ASSERT_EQ(e.amount, "1250");
    ASSERT_EQ(e.status, "Authorised");
    append(*store, e);
    EXPECT_GT(e.id, 0);
    const auto back = store->entry(e.id);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, e);
    // The call's bytes hold the card number masked in place, the rest as passed.
    const std::string& bytes = back->calls.at(0).response;
    ASSERT_EQ(bytes.size(), sizeof(Transaction_out));
    EXPECT_EQ(bytes.substr(offsetof(Transaction_out, PANOut), 17),
              std::string("679999******4564\0", 17));
    EXPECT_EQ(bytes.substr(offsetof(Transaction_out, HostTextOut), 9), "THANK YOU");
    EXPECT_FALSE(store->entry(e.id + 1));
    // The list gets the summaries only; asked in full, the whole entry.
    const auto listed = store->find({}, nullptr, 10);
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].amount, "1250");
    EXPECT_EQ(listed[0].invoice, "000123");
    EXPECT_TRUE(listed[0].receipt.empty());
    EXPECT_EQ(store->find({}, nullptr, 10, true), std::vector<JournalEntry>{e});
}

TEST_F(JournalStoreTest, PagesGiveEveryEntryOnceNewestFirst) {
    auto store = open_store();
    std::vector<std::pair<std::int64_t, std::int64_t>> expected; // (start, id)
    for (int i = 0; i < 450; ++i) {
        // Three entries share each start time, and they are not written in order.
        JournalEntry e = sale(1'000'000 + (i * 7919 % 450) / 3 * 1000);
        append(*store, e);
        expected.push_back({e.started_ms, e.id});
    }
    std::sort(expected.rbegin(), expected.rend());
    // The whole list, and a search that finds every entry through the text index.
    for (const char* text : {"", "sale"}) {
        std::vector<std::pair<std::int64_t, std::int64_t>> paged;
        std::optional<JournalEntry> last;
        std::vector<std::size_t> sizes;
        for (;;) {
            const auto page = store->find({text, {}, {}}, last ? &*last : nullptr, 200);
            sizes.push_back(page.size());
            for (const JournalEntry& e : page)
                paged.push_back({e.started_ms, e.id});
            if (page.size() < 200)
                break;
            last = page.back();
        }
        EXPECT_EQ(sizes, (std::vector<std::size_t>{200, 200, 50})) << text;
        EXPECT_EQ(paged, expected) << text;
        EXPECT_EQ(store->count({text, {}, {}}), 450) << text;
    }
}

// A writer that is never idle, and so never copies its log into the file itself:
// once the log passes its limit a commit does it, and the log starts again.
TEST_F(JournalStoreTest, TheLogOfAWriterNeverIdleIsCopiedAtItsLimit) {
    auto store = open_store();
    int most = 0;
    bool restarted = false;
    for (int i = 0; i < 4000 && !restarted; ++i) {
        JournalEntry e = sale(1'000'000 + i * 1000);
        append(*store, e);
        restarted = store->log_pages() < most;
        most = std::max(most, store->log_pages());
    }
    EXPECT_TRUE(restarted);
    EXPECT_GT(most, JournalStore::kLogLimitPages - 100);
    EXPECT_LT(most, JournalStore::kLogLimitPages);
}

// The writer merges the text index while idle, step by step: the steps come to an
// end, and what the index finds stays the same.
TEST_F(JournalStoreTest, TheTextIndexMergedStepByStepComesToRestAndStillFinds) {
    auto store = open_store();
    store->merge_text_index_when_asked();
    for (int i = 0; i < 300; ++i) {
        JournalEntry e = sale(1'000'000 + i * 1000, "000000001250", "000123",
                              i % 3 ? "THANK YOU" : "CALL BANK");
        append(*store, e);
    }
    int steps = 0;
    while (steps < 1000 && store->merge_text_index())
        ++steps;
    EXPECT_LT(steps, 1000);
    EXPECT_EQ(store->count({"call bank", {}, {}}), 100);
    EXPECT_EQ(store->find({"thank", {}, {}}, nullptr, 500).size(), 200u);
}

JournalQuery q(const char* text, std::optional<std::int64_t> from_ms = {},
               std::optional<std::int64_t> to_ms = {}) {
    return {text, from_ms, to_ms};
}

// Entries 0 to 3 start at 1000, 2000, 3000 and 4000.
TEST_F(JournalStoreTest, SearchMatchesTextsInAnyCaseAmountsLiteralWildcardsAndDates) {
    auto store = open_store();
    struct Row {
        const char* operation;
        const char* amount;
        const char* invoice;
        const char* host;
    };
    const Row rows[] = {
        {"SALE", "000000001250", "000123", "THANK YOU"},
        {"REFUND", "000000000099", "000124", "FEE 50% OFF"},
        {"Settlement", "", "", "BATCH_1 \"CLOSED\""},
        {"SALE", "000000125000", "000125", "ZAM\xc3\x8dTNUTO"},
    };
    std::vector<std::int64_t> id;
    for (int i = 0; i < 4; ++i) {
        JournalEntry e = sale(1000 * (i + 1), rows[i].amount, rows[i].invoice, rows[i].host);
        e.operation = rows[i].operation;
        if (e.operation != "SALE")
            e.status.clear();
        append(*store, e);
        id.push_back(e.id);
    }
    const struct {
        JournalQuery query;
        std::vector<int> rows; // newest first
    } cases[] = {
        // clang-format off
        {q(""), {3, 2, 1, 0}},
        {q("sale"), {3, 0}},          // the operation
        {q("SETTLE"), {2}},
        {q("authoris"), {3, 0}},      // the status
        {q("thank y"), {0}},          // the host text
        {q("zam\xc3\xadtnuto"), {3}}, // in any case beyond ASCII too
        {q("000124"), {1}},           // the invoice
        {q("12.50"), {0}},            // amounts
        {q("1250"), {0}},
        {q("12,5"), {0}},
        {q(" 12.50 "), {0}},          // the search field's blanks
        {q("1250.00"), {3}},
        {q("0.99"), {1}},
        {q("%"), {1}},                // no wildcards
        {q("50%"), {1}},
        {q("_"), {2}},
        {q("H_1"), {2}},
        {q("H%1"), {}},
        {q("T_ANK"), {}},
        {q("1 \"clo"), {2}},          // quotes too
        {q("sale0001"), {}},          // no match across two texts
        {q("nothing"), {}},
        // From includes its start, to excludes its end.
        {q("", 2000, 3000), {1}},
        {q("", 1999, 3001), {2, 1}},
        {q("", {}, 2000), {0}},
        {q("", 3001, {}), {3}},
        {q("", 4001, {}), {}},
        {q("sale", 1000, 4000), {0}},
        // clang-format on
    };
    for (const auto& c : cases) {
        std::vector<std::int64_t> expected;
        for (int r : c.rows)
            expected.push_back(id[r]);
        const std::string trace = '"' + c.query.text + "\" " +
                                  std::to_string(c.query.from_ms.value_or(-1)) + ".." +
                                  std::to_string(c.query.to_ms.value_or(-1));
        EXPECT_EQ(ids_of(store->find(c.query, nullptr, 100)), expected) << trace;
        EXPECT_EQ(store->count(c.query), static_cast<std::int64_t>(expected.size())) << trace;
    }
}

// A journal written before the search column: it is upgraded when opened, and
// its entries are found like new ones.
TEST_F(JournalStoreTest, AnOlderJournalIsUpgradedAndSearchable) {
    ASSERT_EQ(run_sql(path_, R"(
            CREATE TABLE entry(id INTEGER PRIMARY KEY, started_ms INTEGER NOT NULL,
                ended_ms INTEGER NOT NULL, operation TEXT NOT NULL, amount INTEGER,
                invoice TEXT NOT NULL, status TEXT NOT NULL, result_code INTEGER,
                result_text TEXT NOT NULL, host_text TEXT NOT NULL);
            CREATE INDEX entry_by_start ON entry(started_ms, id);
            CREATE TABLE entry_detail(id INTEGER PRIMARY KEY REFERENCES entry(id)
                ON DELETE CASCADE, detail TEXT NOT NULL);
            CREATE TABLE setting(key TEXT PRIMARY KEY, value TEXT NOT NULL);
            INSERT INTO entry VALUES(7, 1000, 2000, 'SALE', 1250, '000123', 'Authorised', 0,
                'OK', 'Platba přijata');
            INSERT INTO entry_detail VALUES(7,
                '{"request":[],"response":[],"questions":[],"receipt":["LINE"]}');
            PRAGMA user_version=1;)"),
              "");
    auto store = open_store();
    ASSERT_TRUE(store);
    for (const char* text : {"PŘIJATA", "sale", "12.50"})
        EXPECT_EQ(ids_of(store->find({text, {}, {}}, nullptr, 10)), std::vector<std::int64_t>{7})
            << text;
    const auto e = store->entry(7);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->receipt, std::vector<std::string>{"LINE"});
    JournalEntry added = sale(3000);
    append(*store, added);
    EXPECT_EQ(store->count({"sale", {}, {}}), 2);
}

// Past the limit a search's count says so; its page is still the newest entries.
TEST_F(JournalStoreTest, ASearchFindingManyEntriesCountsUpToTheLimit) {
    const std::int64_t n = JournalStore::kCountLimit + 50;
    open_store();
    const std::string fill =
        "WITH RECURSIVE i(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM i WHERE k < " +
        std::to_string(n) +
        ") INSERT INTO entry(started_ms, ended_ms, operation, amount, invoice, status, "
        "result_text, host_text, search) SELECT k * 1000, k * 1000, 'SALE', 1250, '', '', '', "
        "'', 'sale' FROM i";
    ASSERT_EQ(run_sql(path_, fill), "");
    auto store = open_store();
    for (const auto& [query, count] : std::initializer_list<std::pair<JournalQuery, std::int64_t>>{
             {q("sale"), JournalStore::kCountLimit + 1},
             {q("12.50"), JournalStore::kCountLimit + 1},
             {q("sa"), JournalStore::kCountLimit + 1},
             {q("sale", 1000, 6000), 5},
             {q("", 1000, 6000), 5},
             {q(""), n},
         }) {
        EXPECT_EQ(store->count(query), count) << query.text;
        const auto page = store->find(query, nullptr, 3);
        ASSERT_FALSE(page.empty()) << query.text;
        EXPECT_EQ(page[0].started_ms, std::min(n * 1000, query.to_ms.value_or(INT64_MAX) - 1000))
            << query.text;
    }
}

// Days are counted back from the newest entry when the clock is ahead of it: a clock
// set years ahead must not empty the journal.
TEST_F(JournalStoreTest, PurgeDeletesOlderEntriesWithTheirRecordsAndKeepDaysPersist) {
    constexpr std::int64_t kDay = 86'400'000;
    {
        auto store = open_store();
        EXPECT_EQ(store->keep_days(), 90);
        EXPECT_TRUE(store->set_keep_days(2));
        for (const std::int64_t t : {std::int64_t{1000}, std::int64_t{1999}, kDay, 2 * kDay + 1500, 3 * kDay + 2000}) {
            JournalEntry e = sale(t);
            append(*store, e);
        }
        // Clock behind the newest entry: from now, 1000 and 1999 go; clock years ahead:
        // from the newest entry, kDay only.
        for (const auto& [now_ms, deleted] :
             {std::pair{2 * kDay + 2000, 2}, std::pair{20 * 365 * kDay, 1},
              std::pair{20 * 365 * kDay, 0}})
            EXPECT_EQ(store->purge_expired(now_ms), deleted) << now_ms;
        EXPECT_EQ(store->count({}), 2);
        EXPECT_TRUE(store->set_keep_days(30));
        EXPECT_FALSE(store->set_keep_days(0));
        EXPECT_FALSE(store->set_keep_days(-5));
    }
    std::string details;
    EXPECT_EQ(run_sql(path_, "SELECT count(*) FROM entry_detail", &details), "");
    EXPECT_EQ(details, "2");
    // The text index has followed the deletes.
    EXPECT_EQ(run_sql(path_, "INSERT INTO entry_text(entry_text) VALUES('integrity-check')"), "");
    auto store = open_store();
    EXPECT_EQ(store->keep_days(), 30);
    EXPECT_EQ(store->count({}), 2);
}

// Also when left readable by an earlier version: tightened when the journal is opened.
TEST_F(JournalStoreTest, FilesAreTheOwnersAlone) {
    ::umask(022);
    auto store = open_store();
    JournalEntry e = sale(1000);
    append(*store, e);
    for (const char* when : {"written", "reopened"}) {
        if (std::string(when) == "reopened")
            store = open_store();
        for (const std::string suffix : {"", "-wal", "-shm"}) {
            EXPECT_EQ(fs::status(path_ + suffix).permissions(), fs::perms(0600)) << when << suffix;
            fs::permissions(path_ + suffix, fs::perms(0644));
        }
    }
}

TEST_F(JournalStoreTest, RefusesFilesItCannotKeepAJournalIn) {
    enum Unwritable { Nothing, TheFile, TheFolder };
    const struct {
        const char* name;
        Unwritable unwritable;
        std::string bytes; // written to the file first
        bool journal;      // a journal made first
        std::string sql;   // then run on the file
        const char* says;  // part of the error
    } cases[] = {
        {"garbage", Nothing, std::string(8192, 'x'), false, "", "not a database"},
        {"another program's database", Nothing, "", false, "CREATE TABLE customer(name)", ""},
        {"newer schema", Nothing, "", true,
         "PRAGMA user_version=" + std::to_string(JournalStore::kSchemaVersion + 1), "newer"},
        {"read-only file", TheFile, "", true, "", ""},
        {"read-only folder", TheFolder, "", false, "", ""},
    };
    std::string skipped;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        std::string error;
        if (!c.bytes.empty())
            std::ofstream(path_) << c.bytes;
        if (c.journal) {
            ASSERT_TRUE(JournalStore::open(path_, &error)) << error;
        }
        if (!c.sql.empty()) {
            ASSERT_EQ(run_sql(path_, c.sql), "");
        }
        std::optional<ReadOnly> read_only;
        if (c.unwritable != Nothing)
            read_only.emplace(c.unwritable == TheFile ? path_ : dir_);
        if (read_only && !read_only->unavailable().empty()) {
            skipped += std::string(c.name) + " (" + read_only->unavailable() + ") ";
            continue;
        }
        EXPECT_FALSE(JournalStore::open(path_, &error));
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
        EXPECT_FALSE(error.empty());
    }
    if (!skipped.empty())
        GTEST_SKIP() << "not tried: " << skipped;
}

std::vector<JournalRecord> records_of(const nlohmann::ordered_json& list) {
    std::vector<JournalRecord> records;
    for (const auto& r : list) {
        records.push_back({r.at("record"), {}});
        for (const auto& [name, value] : r.at("fields").items())
            records.back().fields.push_back({name, value});
    }
    return records;
}

class JournalExportTest : public JournalStoreTest {
  protected:
    void SetUp() override {
        JournalStoreTest::SetUp();
        store_ = open_store();
        // Texts with quotes, commas and line breaks, and one a spreadsheet would run.
        const char* hosts[] = {"=HYPERLINK(\"http://x\")", "@SEE \"T&C\", PAGE 2",
                               "DANKE\r\nSCH\xc3\x96N"};
        for (int i = 0; i < 3; ++i) {
            JournalEntry e = sale(1000 * (i + 1), "000000001250", "00012", "");
            e.host_text = hosts[i];
            e.receipt.push_back("LINE, WITH \"QUOTES\"");
            if (i == 1)
                e.result_code = -3; // a number, not a formula
            if (i == 2)
                e.result_code.reset();
            append(*store_, e);
            entries_.insert(entries_.begin(), e); // newest first, as exported
        }
    }
    std::unique_ptr<JournalStore> store_;
    std::vector<JournalEntry> entries_;
};

TEST_F(JournalExportTest, CsvReadsBackToTheEntries) {
    const std::string out = dir_ + "/journal.csv";
    std::string error;
    ASSERT_EQ(export_journal(*store_, {}, out, ExportFormat::Csv, &error), 3) << error;
    const auto rows = read_csv(read_file(out));
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0],
              (std::vector<std::string>{"id", "started", "ended", "operation", "amount", "invoice",
                                        "status", "result_code", "result_text", "host_text",
                                        "questions", "receipt", "request", "response"}));
    const std::string receipt = "   KELVRA SHOP, \"MAIN\" ST\nAMOUNT  EUR 12,50\n\n"
                                "CARD 679999******4564\nLINE, WITH \"QUOTES\"";
    // Newest first; a field that starts like a formula reads as text.
    const char* hosts[] = {"DANKE\r\nSCH\xc3\x96N", "'@SEE \"T&C\", PAGE 2",
                           "'=HYPERLINK(\"http://x\")"};
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const JournalEntry& e = entries_[i];
        const auto& row = rows[i + 1];
        ASSERT_EQ(row.size(), rows[0].size());
        EXPECT_EQ(std::vector<std::string>(row.begin(), row.begin() + 10),
                  (std::vector<std::string>{std::to_string(e.id), journal_time_text(e.started_ms),
                                            journal_time_text(e.ended_ms), e.operation, e.amount,
                                            e.invoice, e.status,
                                            e.result_code ? std::to_string(*e.result_code) : "",
                                            e.result_text, hosts[i]}));
        EXPECT_EQ(nlohmann::ordered_json::parse(row[10]).at(0).at("answer"), "Accepted");
        EXPECT_EQ(row[11], receipt);
        EXPECT_EQ(records_of(nlohmann::ordered_json::parse(row[12])), e.request);
        EXPECT_EQ(records_of(nlohmann::ordered_json::parse(row[13])), e.response);
    }
}

TEST_F(JournalExportTest, JsonLinesReadBackToTheEntries) {
    const std::string out = dir_ + "/journal.jsonl";
    std::string error;
    ASSERT_EQ(export_journal(*store_, {"SALE", 2000, {}}, out, ExportFormat::JsonLines, &error), 2)
        << error;
    std::istringstream lines(read_file(out));
    std::vector<JournalEntry> read;
    for (std::string line; std::getline(lines, line);) {
        auto e = entry_from_json_line(line);
        ASSERT_TRUE(e) << line;
        read.push_back(*e);
    }
    EXPECT_EQ(read, std::vector<JournalEntry>(entries_.begin(), entries_.begin() + 2));
    // The bytes as hex: the masked card number ("679999******4564").
    EXPECT_NE(read_file(out).find("3637393939392a2a2a2a2a2a34353634"), std::string::npos);
    EXPECT_FALSE(entry_from_json_line("{\"id\": 1}"));
    EXPECT_FALSE(entry_from_json_line("not json"));
}

TEST_F(JournalExportTest, AnUnwritablePlaceLeavesNoFile) {
    const std::string locked = dir_ + "/locked";
    fs::create_directories(locked);
    const ReadOnly read_only(locked);
    if (!read_only.unavailable().empty())
        GTEST_SKIP() << read_only.unavailable();
    for (const std::string& path : {dir_ + "/missing/journal.csv", locked + "/journal.csv"})
        for (ExportFormat format : {ExportFormat::Csv, ExportFormat::JsonLines}) {
            std::string error;
            EXPECT_EQ(export_journal(*store_, {}, path, format, &error), -1) << path;
            EXPECT_FALSE(error.empty());
            EXPECT_FALSE(fs::exists(path));
        }
    EXPECT_TRUE(fs::is_empty(locked));
}

// Two connections that open a journal which does not exist yet, at the same moment
// (the writer thread and the Journal page, two consoles on one folder): both get a
// working journal. One of them used to fail on the other's half-made file, and a
// writer that fails runs the console without a journal.
TEST(JournalStoreOpen, ConcurrentFirstOpensBothGetTheJournal) {
    const std::string dir = test_work_dir() + "/journal-open-race";
    std::filesystem::create_directories(dir);
    for (int round = 0; round < 20; ++round) {
        const std::string path = dir + "/journal-" + std::to_string(round) + ".db";
        std::atomic<bool> go{false};
        std::unique_ptr<JournalStore> stores[2];
        std::string errors[2];
        std::thread other([&] {
            while (!go) {
            }
            stores[1] = JournalStore::open(path, &errors[1]);
        });
        go = true;
        stores[0] = JournalStore::open(path, &errors[0]);
        other.join();
        ASSERT_TRUE(stores[0] && stores[1]) << "round " << round << ": " << errors[0] << errors[1];
        // One schema, seen by both.
        JournalEntry entry;
        entry.operation = "SALE";
        std::string error;
        ASSERT_TRUE(stores[1]->append(entry, &error)) << error;
        EXPECT_EQ(stores[0]->count({}), 1) << "round " << round;
    }
}

} // namespace
