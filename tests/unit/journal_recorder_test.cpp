// What the journal keeps of a record (secrets masked or left out, numbers decoded, texts
// made UTF-8), the record descriptions, and the recorder: operations, questions and
// receipt lines become entries on its own thread; an unwritable journal stops nothing.
#include "activity.h"
#include "card_masking.h"
#include "fields.h"
#include "journal.h"
#include "journal_entry.h"
#include "journal_store.h"
#include "record_fields.h"
#include "test_util.h"

#include <glib.h>
#include <sqlite3.h>

#include <atomic>
#include <mutex>
#include <set>
#include <thread>
#include <type_traits>

namespace fs = std::filesystem;

namespace {

std::atomic<int> failures{0};
void count_failure(const std::string&) {
    ++failures;
}
// What the write listener heard, in order.
std::mutex heard_mutex;
std::vector<std::string> heard;
void hear_write_problem(const std::string& reason) {
    std::lock_guard lock(heard_mutex);
    heard.push_back(reason);
}

class JournalRecorderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fresh_test_dir("recorder");
        path_ = journal_path(dir_);
        failures = 0;
        set_journal_failure_listener(count_failure);
        set_journal_write_listener(hear_write_problem);
        heard.clear();
        journal_set_grace_ms(60'000); // only journal_flush writes, unless a test says otherwise
    }
    void TearDown() override {
        journal_stop();
        set_journal_failure_listener(nullptr);
        set_journal_write_listener(nullptr);
        journal_set_grace_ms(1000);
    }
    // What the journal holds, oldest first.
    std::vector<JournalEntry> written() {
        journal_flush();
        std::string error;
        auto store = JournalStore::open(path_, &error);
        EXPECT_TRUE(store) << error;
        std::vector<JournalEntry> entries;
        if (store)
            store->for_each({}, [&](const JournalEntry& e) {
                entries.insert(entries.begin(), e);
                return true;
            });
        return entries;
    }
    std::string dir_;
    std::string path_;
};

Transaction_in sale_request(const char* amount) {
    Transaction_in in{};
    field_copy(in.Amount1In, amount);
    field_copy(in.TransactionTypeIn, "00");
    return in;
}

Transaction_out sale_response(const char* status = "00") {
    Transaction_out out{};
    field_copy(out.TransactionStatusOut, status);
    return out;
}

TEST_F(JournalRecorderTest, AnOperationWithItsQuestionsAndReceiptIsOneEntry) {
    journal_start(path_);
    {
        OperationActivity sale("SALE");
        sale.request(sale_request("000000001250"));
        journal_question("Signature", "Accepted");
        journal_receipt_line("CARD 6799990000044564");
        // Handed over as they return; the sale asked at once, in its first millisecond.
        journal_call({"CheckSignReq", 100, 101});
        journal_call({"SetSignStatus", 105, 106});
        journal_call({"Transaction_Launch", 100, 107});
        sale.response(sale_response());
    }
    journal_receipt_line("THANK YOU"); // within the grace: still the sale's
    const auto entries = written();
    ASSERT_EQ(entries.size(), 1u);
    const JournalEntry& e = entries[0];
    EXPECT_EQ(e.amount, "1250") << "summarised";
    EXPECT_EQ(e.status, "Authorised");
    ASSERT_EQ(e.questions.size(), 1u);
    EXPECT_EQ(e.questions[0].answer, "Accepted");
    std::vector<std::string> calls;
    for (const JournalCall& c : e.calls)
        calls.push_back(c.name);
    EXPECT_EQ(calls, (std::vector<std::string>{"Transaction_Launch", "CheckSignReq", "SetSignStatus"}))
        << "in the order they were made";
    EXPECT_EQ(e.receipt, (std::vector<std::string>{"CARD 679999******4564", "THANK YOU"}));
}

TEST_F(JournalRecorderTest, WhatComesWhileNothingRunsGetsAnEntryOfItsOwn) {
    journal_set_grace_ms(20);
    journal_start(path_);
    { OperationActivity sale("SALE"); }
    // Past the grace the sale is closed: a late line is a receipt of its own.
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    journal_receipt_line("LATE LINE");
    journal_flush();
    journal_question("Voice referral", "Refused");
    const auto entries = written();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].operation, "SALE");
    EXPECT_TRUE(entries[0].receipt.empty());
    EXPECT_EQ(entries[1].operation, "Receipt");
    EXPECT_EQ(entries[1].receipt, std::vector<std::string>{"LATE LINE"});
    EXPECT_EQ(entries[2].operation, "Cashier question");
    ASSERT_EQ(entries[2].questions.size(), 1u);
    EXPECT_EQ(entries[2].questions[0].answer, "Refused");
}

// The polled status started last, yet a receipt line is the sale's.
TEST_F(JournalRecorderTest, ConcurrentOperationsKeepTheirOwnRecordsAndPolledStatusYields) {
    journal_start(path_);
    {
        OperationActivity sale("SALE");
        OperationActivity status("Terminal status", Journaling::WhenChanged);
        journal_receipt_line("SALE LINE");
        status.response(sale_response());
        sale.request(sale_request("000000000500"));
    }
    const auto entries = written();
    ASSERT_EQ(entries.size(), 2u);
    for (const JournalEntry& e : entries) {
        const bool is_sale = e.operation == "SALE";
        EXPECT_EQ(e.receipt.size(), is_sale ? 1u : 0u) << e.operation;
        EXPECT_EQ(e.request.size(), is_sale ? 1u : 0u) << e.operation;
        EXPECT_EQ(e.response.size(), is_sale ? 0u : 1u) << e.operation;
    }
}

TEST_F(JournalRecorderTest, PolledOperationsAreWrittenOnlyWhenTheirAnswerChanges) {
    journal_start(path_);
    // Each step: the answer's status, or its result code when no record came; written.
    const std::tuple<const char*, short, bool> steps[] = {
        {nullptr, -4, true},                       // the first answer, though it has no record
        {nullptr, -4, false}, {nullptr, -7, true}, // another result code
        {"00", 0, true},      {"00", 0, false},    {"05", 0, true},
        {"00", 0, true},      {"00", 0, false},
    };
    std::size_t expected = 0;
    for (const auto& [status, code, kept] : steps) {
        OperationActivity poll("Terminal status", Journaling::WhenChanged);
        if (status)
            poll.response(sale_response(status));
        else
            poll.result(code);
        expected += kept;
    }
    const auto entries = written();
    ASSERT_EQ(entries.size(), expected);
    EXPECT_EQ(entries[0].result_code, -4);
    EXPECT_EQ(entries[1].result_code, -7);
    EXPECT_EQ(entries[2].status, "Authorised");
    EXPECT_NE(entries[3].status, "Authorised");
    EXPECT_EQ(entries[4].status, "Authorised");
}

TEST_F(JournalRecorderTest, FlushReturnsWithEveryEndedEntryWritten) {
    journal_start(path_);
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t)
        workers.emplace_back([] {
            for (int i = 0; i < 25; ++i) {
                OperationActivity sale("SALE");
                sale.request(sale_request("000000000100"));
                journal_receipt_line("LINE");
            }
        });
    for (std::thread& w : workers)
        w.join();
    const auto entries = written();
    EXPECT_EQ(entries.size(), 100u);
    std::size_t lines = 0;
    for (const JournalEntry& e : entries)
        lines += e.receipt.size();
    EXPECT_EQ(lines, 100u);
    EXPECT_EQ(failures, 0);
}

// Counted back from the newest entry (29 days old here), not from now.
TEST_F(JournalRecorderTest, StartingDeletesTheEntriesOlderThanTheDaysKept) {
    const std::int64_t day = 86'400'000;
    const std::int64_t now = g_get_real_time() / 1000;
    {
        std::string error;
        auto store = JournalStore::open(path_, &error);
        ASSERT_TRUE(store) << error;
        ASSERT_TRUE(store->set_keep_days(30));
        for (std::int64_t age : {61 * day, 58 * day, 29 * day}) {
            JournalEntry e;
            e.operation = "SALE";
            e.started_ms = e.ended_ms = now - age;
            ASSERT_TRUE(store->append(e, &error)) << error;
        }
    }
    journal_start(path_);
    { OperationActivity sale("SALE"); } // written after the old entries are deleted
    const auto entries = written();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].started_ms, now - 58 * day);
}

// Not in the fixture: the child is this test binary started afresh, in the folder
// the tests started in, which it must leave alone.
TEST(JournalRecorderExit, AProgramEndingWithoutStopWritesWhatWaitsAndExitsCleanly) {
    // The child runs this test from the top too: it takes the parent's path.
    std::string path;
    if (const char* parent_path = std::getenv("KELVRA_TEST_JOURNAL")) {
        path = parent_path;
    } else {
        const std::string dir = test_work_dir() + "/recorder-exit";
        fs::create_directories(dir);
        path = journal_path(dir);
        setenv("KELVRA_TEST_CHILD", "1", 1);
        setenv("KELVRA_TEST_JOURNAL", path.c_str(), 1);
    }
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            journal_set_grace_ms(60'000);
            journal_start(path);
            { OperationActivity sale("SALE"); } // waits out its grace
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    GTEST_FLAG_SET(death_test_style, "fast");
    unsetenv("KELVRA_TEST_JOURNAL");
    unsetenv("KELVRA_TEST_CHILD");
    std::string error;
    auto store = JournalStore::open(path, &error);
    ASSERT_TRUE(store) << error;
    EXPECT_EQ(store->count({}), 1);
}

TEST_F(JournalRecorderTest, AnUnopenableJournalIsReportedOnceAndOperationsGoOn) {
    fs::create_directories(path_); // a folder where the file should be
    journal_start(path_);
    for (int i = 0; i < 3; ++i) {
        OperationActivity sale("SALE");
        sale.request(sale_request("000000000100"));
    }
    journal_receipt_line("LINE");
    journal_flush();
    EXPECT_EQ(failures, 1);
    EXPECT_FALSE(journal_failure().empty());
    EXPECT_TRUE(running_operations().empty());
}

// Another program holds the journal's write lock longer than the writer waits for
// it: the entries wait in memory, and once the lock is gone they are all written,
// save the oldest past the queue's limit, which an entry of their own counts.
TEST_F(JournalRecorderTest, EntriesWaitWhileTheJournalTakesNoWritesAndAreWrittenAfter) {
    using Locked = std::pair<std::size_t, std::size_t>; // entries while locked, of them lost
    for (const auto [while_locked, dropped] : {Locked{3, 0}, Locked{kJournalQueueLimit + 5, 5}}) {
        SCOPED_TRACE(while_locked);
        fs::remove(path_);
        heard.clear();
        journal_start(path_);
        { OperationActivity first("SALE"); }
        journal_flush();
        sqlite3* other = nullptr;
        ASSERT_EQ(sqlite3_open(path_.c_str(), &other), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
        for (std::size_t i = 0; i < while_locked; ++i) {
            OperationActivity sale("SALE");
            sale.request(sale_request(std::to_string(i + 1).c_str()));
        }
        journal_flush();
        const std::string problem = journal_write_problem();
        EXPECT_NE(problem.find("locked"), std::string::npos) << problem;
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(other);
        journal_flush(); // tries again at once
        EXPECT_EQ(journal_write_problem(), "");
        EXPECT_EQ(heard, (std::vector<std::string>{problem, ""}));
        EXPECT_EQ(failures, 0);
        EXPECT_EQ(journal_failure(), "");
        const auto entries = written();
        journal_stop();
        ASSERT_EQ(entries.size(), 1 + while_locked - dropped + (dropped ? 1 : 0));
        // The oldest are the ones lost, in the entry that spans their time.
        const auto lost = std::find_if(entries.begin(), entries.end(), [](const JournalEntry& e) {
            return e.operation == "Journal entries lost";
        });
        ASSERT_EQ(lost != entries.end(), dropped > 0);
        std::vector<std::size_t> kept; // the sales' amounts are their numbers
        for (const JournalEntry& e : entries)
            if (!e.amount.empty())
                kept.push_back(std::stoul(e.amount));
        std::sort(kept.begin(), kept.end());
        EXPECT_EQ(kept.front(), dropped + 1);
        EXPECT_EQ(kept.back(), while_locked);
        if (dropped) {
            EXPECT_EQ(lost->status, std::to_string(dropped) + " entries not written");
            EXPECT_EQ(lost->host_text, problem);
        }
    }
}

// Every shape a secret takes on a receipt, in a host text or a field, and the digit
// runs that must stay as they are. The card numbers pass the Luhn check.
TEST(SecretMasking, MasksEveryShapeOfASecretAndNothingElse) {
    using enum SecretKind;
    const struct {
        SecretKind kind;
        const char* text;
        const char* masked;
    } cases[] = {
        // Card numbers in free text, whatever stands between their digits.
        {Text, "6799990000044564", "679999******4564"},
        {Text, "4000000000006", "400000***0006"},             // 13 digits
        {Text, "4000000000000000006", "400000*********0006"}, // 19 digits
        {Text, "CARD 6799 9900 0004 4564", "CARD 6799 99** **** 4564"},
        {Text, "CARD 6799  9900  0004  4564", "CARD 6799  99**  ****  4564"},
        {Text, "CARD 6799-9900-0004-4564 CHIP", "CARD 6799-99**-****-4564 CHIP"},
        {Text, "6799\xc2\xa0" "9900\xc2\xa0" "0004\xc2\xa0" "4564",
         "6799\xc2\xa0" "99**\xc2\xa0" "****\xc2\xa0" "4564"},
        {Text, "6799 - 9900 / 0004 .\t4564", "6799 - 99** / **** .\t4564"}, // each separator
        // Run into its expiry: a window ending in the expiry passes too, and is masked.
        {Text, "67999900000445642812", "679999*******5642812"},
        {Text, "1250 6799990000044564", "1250 679999******4564"},
        {Text, "6799 9900 0004 4564 1250", "6799 99** **** 4564 1250"},
        {Text, "REF6799990000044564X", "REF679999******4564X"},
        // Tracks, whole.
        {Text, ";6799990000044564=29121010000?", "[track data]"},
        {Text, "T2 ;6799990000044564=2912101000012345? END", "T2 [track data] END"},
        {Text, "%B6799990000044564^DOE/JOHN^2912101000000?", "[track data]"},
        {Text, "6799990000044564=29121010000", "[track data]"},
        // Digit runs that stay: no card number there.
        {Text, "4000000000000001", "4000000000000001"}, // no window passes the Luhn check
        {Text, "679999******4564", "679999******4564"},
        {Text, "DATE 06/12/2026 14:03:59", "DATE 06/12/2026 14:03:59"},
        {Text, "2026-12-06 14:03:59", "2026-12-06 14:03:59"},
        {Text, "AMOUNT 000000001250", "AMOUNT 000000001250"},
        {Text, "TOTAL 000000001250  TIP 000000000100", "TOTAL 000000001250  TIP 000000000100"},
        {Text, "TOTAL EUR 1.250.000,00", "TOTAL EUR 1.250.000,00"},
        {Text, "INVOICE 000123 BATCH 000045", "INVOICE 000123 BATCH 000045"},
        {Text, "TID 12345678 MID 000000012345678", "TID 12345678 MID 000000012345678"},
        {Text, "TID 20071234 MID 412345678901234", "TID 20071234 MID 412345678901234"},
        // A card-number field.
        {CardNumber, "6799990000044564", "679999******4564"},
        {CardNumber, "4000000000000000006", "400000*********0006"},
        {CardNumber, "6799 9900 0004 4564", "6799 99** **** 4564"},
        {CardNumber, "679999******4564", "679999******4564"},
        {CardNumber, "************4564", "************4564"},
        {CardNumber, "123456789012", "********9012"},
        {CardNumber, "1234", "1234"},
        // Never shown; a voucher code but its last four.
        {TrackData, ";6799990000044564=29121010000?", "[track data]"},
        {Password, "1234", "[password]"},
        {Password, "", ""},
        {VoucherCode, "1234-5678-9012-3456", "****-****-****-3456"},
        {VoucherCode, "AB12CD34EF", "******34EF"},
        {VoucherCode, "ABCD", "****"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(mask_secret(c.text, c.kind), c.masked) << c.text;
}

template <class Record> std::string value_of(const Record& r, const char* field) {
    return std::string(field_value(journal_record(r), field));
}

template <class Record> bool has_field(const Record& r, const char* field) {
    for (const JournalField& f : journal_record(r).fields)
        if (f.name == field)
            return true;
    return false;
}

TEST(JournalRecord, TransactionOutIsMaskedDecodedAndValidUtf8) {
    Transaction_out out{};
    out.DiagRequestOut = -3;
    field_copy(out.PANOut, "6799990000044564");
    field_copy(out.TransactionStatusOut, "00");
    std::memset(out.MerchantNameOut, 'M', sizeof out.MerchantNameOut); // no terminator
    field_copy(out.HostTextOut, "Zah\xe1jeno");                        // not UTF-8
    field_copy(out.CustomLine1Out, "REF 6799 9900 0004 4564");
    out.TransactionCurrenyExponentOut = 2;

    const JournalRecord r = journal_record(out);
    EXPECT_EQ(r.record, "Transaction_out");
    EXPECT_EQ(field_value(r, "PANOut"), "679999******4564");
    EXPECT_EQ(field_value(r, "DiagRequestOut"), "-3");
    EXPECT_EQ(field_value(r, "TransactionCurrenyExponentOut"), "2");
    EXPECT_EQ(field_value(r, "MerchantNameOut"), std::string(sizeof out.MerchantNameOut, 'M'));
    EXPECT_EQ(field_value(r, "HostTextOut"), "Zah\xef\xbf\xbdjeno");
    EXPECT_EQ(field_value(r, "CustomLine1Out"), "REF 6799 99** **** 4564");
    // Every field is there, in the record's order, even when empty.
    const RecordDesc& desc = record_desc<Transaction_out>();
    ASSERT_EQ(r.fields.size(), desc.fields.size());
    for (std::size_t i = 0; i < desc.fields.size(); ++i)
        EXPECT_EQ(r.fields[i].name, desc.fields[i].name);
}

TEST(JournalRecord, SecretsAreLeftOutOrMaskedAndLatin2TextIsMadeUtf8) {
    ReadTracks_out tracks{};
    field_copy(tracks.Track1BufferOut, "%B6799990000044564^DOE/JOHN^2912101?");
    field_copy(tracks.Track2BufferOut, ";6799990000044564=29121010000?");
    field_copy(tracks.Track3BufferOut, "3-track");
    tracks.Track2StatusOut = 7;
    SetPasswordIn password{};
    field_copy(password.PasswordIn, "123456789");
    password.EntryStatusIn = 1;
    MobileTopUpReqIn topup{};
    field_copy(topup.GSMPasswordIn, "4321");
    field_copy(topup.VoucherAmountIn, "00500");
    topup.VoucherNumbersIn = 200; // unsigned: above the range of a char
    VoucherRecordOut voucher{};
    field_copy(voucher.VoucherCodeOut, "1234-5678-9012-3456");

    for (const char* f : {"Track1BufferOut", "Track2BufferOut", "Track3BufferOut"})
        EXPECT_FALSE(has_field(tracks, f)) << f;
    EXPECT_EQ(value_of(tracks, "Track2StatusOut"), "7");
    EXPECT_FALSE(has_field(password, "PasswordIn"));
    EXPECT_EQ(value_of(password, "EntryStatusIn"), "1");
    EXPECT_FALSE(has_field(topup, "GSMPasswordIn"));
    EXPECT_EQ(value_of(topup, "VoucherNumbersIn"), "200");
    EXPECT_EQ(value_of(topup, "VoucherAmountIn"), "00500");
    EXPECT_EQ(value_of(voucher, "VoucherCodeOut"), "****-****-****-3456");

    // The bytes kept of each call: secrets zeroed, codes masked in place (also in
    // the vouchers a sale's answer embeds), every other byte as it was.
    const auto bytes = [](const auto& record) {
        return masked_record_bytes(record_desc<std::remove_cvref_t<decltype(record)>>(), &record);
    };
    const std::string kept_tracks = bytes(tracks);
    EXPECT_EQ(kept_tracks.find("6799990000044564"), std::string::npos);
    EXPECT_EQ(kept_tracks.find("3-track"), std::string::npos);
    EXPECT_EQ(kept_tracks[offsetof(ReadTracks_out, Track2StatusOut)], 7);
    EXPECT_EQ(bytes(password).find("123456789"), std::string::npos);
    EXPECT_EQ(bytes(topup).find("4321"), std::string::npos);
    MobileTopUpRespOut sold{};
    field_copy(sold.VoucherRecordsOut[1].VoucherCodeOut, "1234-5678-9012-3457");
    EXPECT_NE(bytes(sold).find("****-****-****-3457"), std::string::npos);
    EXPECT_EQ(bytes(sold).find("1234-5678"), std::string::npos);
    field_copy(sold.HostOptionalMessageOut, "P\xf8"
                                            "edplaceno \xb9" // Latin-2
                                            "ek 6799990000044564");
    EXPECT_EQ(value_of(sold, "HostOptionalMessageOut"), "P\xc5\x99"
                                                        "edplaceno \xc5\xa1"
                                                        "ek 679999******4564");

    // A voucher's receipt prints its code whole: the entry keeps it masked, for the
    // vouchers of the sale's own answer and for one fetched after it.
    VoucherRecordOut fetched{};
    field_copy(fetched.VoucherCodeOut, "ABCD-EFGH-IJKL");
    JournalEntry e;
    e.response = {journal_record(sold), journal_record(fetched)};
    e.receipt = {"YOUR CODE", "1234-5678-9012-3457", "CODE ABCD-EFGH-IJKL"};
    summarise_entry(e);
    EXPECT_EQ(e.receipt, (std::vector<std::string>{"YOUR CODE", "****-****-****-3457",
                                                   "CODE ****-****-IJKL"}));
}

// A settlement's answer is followed by the detail records it fetched; the entry's
// amount and invoice are the settlement's own (none), not those of a detail record.
TEST(JournalRecord, SummariesComeFromTheOperationsOwnCall) {
    SettlementResponseOut settlement{};
    field_copy(settlement.SettlementStatusOut, "0");
    SettlementDataRecordOut detail{};
    field_copy(detail.TotalAmountOut, "000000004500");
    field_copy(detail.InvoiceNumberOut, "000001");
    detail.DiagRequestOut = 5;
    JournalEntry e;
    e.response = {journal_record(settlement), journal_record(detail)};
    summarise_entry(e);
    EXPECT_EQ(e.status, "Authorised");
    EXPECT_EQ(e.amount, "");
    EXPECT_EQ(e.invoice, "");
    EXPECT_EQ(e.result_code, 0);
}

// A field whose name says it holds a card number, track data or a password must
// never be described as plain text: the journal would keep it as it is.
TEST(RecordDescriptions, EveryRecordIsCoveredAndSensitiveFieldsAreNotText) {
    std::set<std::string> records;
    for (const RecordDesc& record : all_records()) {
        EXPECT_TRUE(records.insert(record.name).second) << record.name;
        EXPECT_EQ(find_record(record.name), &record);
        std::set<std::string> names;
        std::size_t end = 0;
        for (const FieldDesc& f : record.fields) {
            EXPECT_TRUE(names.insert(f.name).second) << record.name << "." << f.name;
            EXPECT_GE(f.offset, end) << record.name << "." << f.name;
            end = f.offset + f.width;
            const std::string name = f.name;
            const bool pan = name.find("PAN") != std::string::npos &&
                             name.find("PANSequenceNumber") == std::string::npos;
            const bool track =
                name.find("Track") != std::string::npos && name.find("Buffer") != std::string::npos;
            const bool password = name.find("Password") != std::string::npos;
            const bool text = f.kind == FieldKind::Text || f.kind == FieldKind::Latin2Text;
            if (pan && f.kind != FieldKind::Pan)
                ADD_FAILURE() << record.name << "." << f.name << " is not masked as a card number";
            if ((track || password) && text)
                ADD_FAILURE() << record.name << "." << f.name << " is kept as text";
        }
        EXPECT_LE(end, record.size) << record.name;
        EXPECT_LE(record.size - end, 3u) << record.name;
    }
    EXPECT_GE(records.size(), 50u);
}

} // namespace
