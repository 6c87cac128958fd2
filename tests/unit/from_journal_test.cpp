// Scenarios written from journal entries: what becomes an input, a kept value, an
// expectation or an answer, and that the runner reads every file written.
#include "from_journal.h"
#include "scenario.h"
#include "test_env.h"
#include "test_util.h"
#include "yaml_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace {

JournalEntry entry(std::int64_t id, const char* op, std::vector<JournalField> request,
                   std::vector<JournalField> response,
                   std::vector<JournalQuestion> questions = {}) {
    JournalEntry e;
    e.id = id;
    e.started_ms = 1'700'000'000'000 + id * 1000;
    e.operation = op;
    e.request = {{"Transaction_in", std::move(request)}};
    e.response = {{"Transaction_out", std::move(response)}};
    e.result_code = 0;
    e.status = "Authorised";
    e.questions = std::move(questions);
    return e;
}

TEST(FromJournal, EntriesBecomeStepsTheRunnerReads) {
    const struct {
        const char* what;
        std::vector<JournalEntry> entries; // newest first, as the journal lists them
        std::vector<const char*> has;
        std::vector<const char*> lacks;
    } cases[] = {
        {"a void takes its sale's invoice from the sale's answer",
         {entry(2, "VOID", {{"InvoiceNumberIn", "000007"}}, {{"InvoiceNumberOut", "000007"}}),
          entry(1, "SALE", {{"Amount1In", "000000004500"}}, {{"InvoiceNumberOut", "000007"}})},
         {"- op: SALE\n    inputs: {Amount1: \"4500\"}", "keep: {invoice1: InvoiceNumber}",
          "inputs: {InvoiceNumber: \"${invoice1}\"}", "InvoiceNumber: \"${invoice1}\"",
          "InvoiceNumber: {pattern: \"^[0-9]{6}$\"}"},
         {"000007"}},
        {"what changes by nature is expected by its shape",
         {entry(1, "SALE", {},
                {{"AuthorisationCode", ""}, {"AuthorisationCodeOut", "A1B2C3"},
                 {"DateTimeOut", "261206202028"}, {"BatchNumberOut", "001"},
                 {"HostTextOut", "APPROVED"}, {"DiagRequestOut", "0"},
                 {"AppCryptogramOut", "6831014629361804"}})},
         {"AuthorisationCode: {pattern: \"^[0-9A-Za-z]{6}$\"}",
          "DateTime: {pattern: \"^[0-9]{12}$\"}", "BatchNumber: {pattern: \"^[0-9]{3}$\"}",
          "HostText: \"APPROVED\"", "result: OK", "status: \"Authorised\"", "asked: []",
          "AppCryptogram: {pattern: \"^[0-9A-Fa-f]{16}$\"}"},
         {"A1B2C3", "DiagRequest", "inputs"}},
        {"the cashier's answers",
         {entry(1, "SALE", {{"Amount1In", "000000010012"}}, {},
                {{0, "Voice referral", "Approved with code PH0NE1", {}},
                 {0, "Signature", "Refused", {}},
                 {0, "Password", "Entered", {}}})},
         {"answers: {voice_referral: {answer: authorise, code: \"PH0NE1\"}, signature: refuse}",
          "asked: [voice_referral, signature, password]"},
         {"password:"}},
        {"card numbers masked in the journal",
         {entry(1, "SALE", {{"Amount1In", "000000004500"}, {"CustomLine1In", "4761******0010"}},
                {{"PANOut", "679999******4564"}, {"CustomLine1Out", "CARD 679999******4564"}})},
         {"PAN: \"679999******4564\"", "CustomLine1: {pattern: \"^CARD 679999......4564$\"}",
          "CustomLine1 is masked in the journal"},
         {"CustomLine1: \"4761"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const JournalScenario scenario = scenario_from_entries(c.entries, "case", "case-golden");
        for (const char* text : c.has)
            EXPECT_NE(scenario.yaml.find(text), std::string::npos) << text << "\n" << scenario.yaml;
        for (const char* text : c.lacks)
            EXPECT_EQ(scenario.yaml.find(text), std::string::npos) << text << "\n" << scenario.yaml;
        const std::string path = test_work_dir() + "/from-journal.yaml";
        std::ofstream(path) << scenario.yaml;
        std::vector<ScenarioError> errors;
        const Scenario read = parse_scenario_file(path, errors);
        for (const ScenarioError& error : errors)
            ADD_FAILURE() << error.text() << "\n" << scenario.yaml;
        EXPECT_EQ(read.steps.size(), c.entries.size());
    }
}

// Texts a journal may hold, each written as the writer writes what the journal
// recorded (always quoted) and what it chooses itself (plain when safe), and read
// back by the runner's loader as a scenario's name, a step's name in a block map and
// in a flow map.
TEST(FromJournal, AwkwardTextsReadBackAsWritten) {
    const struct {
        const char* text;
        bool plain;              // written plain by append_yaml_text
        const char* read = nullptr; // what is read back, when not the text itself
    } cases[] = {
        {"SALE", true},
        {"PRE-AUTH INCREMENT", true},
        {"Invoice Not Found", true},
        {"a: b", false},
        {"key:", false},
        {"# not a comment", false},
        {"note #1", false},
        {" leading blank", false},
        {"trailing blank ", false},
        {"say \"hi\"", false},
        {"'single'", false},
        {"C:\\path\\n", false},
        {"two\nlines", false},
        {"trailing newline\n", false},
        {"tab\there", false},
        {"\x01\x07\x1b\x7f control", false},
        {"caf\xC3\xA9 \xE2\x82\xAC 12,50 \xF0\x9F\x92\xB3", false},
        {"C1 \xC2\x85 line \xE2\x80\xA8 mark \xEF\xBB\xBF", false},
        {"\xE9t\xE9 Latin-1", false, "\xEF\xBF\xBDt\xEF\xBF\xBD Latin-1"},
        {"cut \xE2\x82", false, "cut \xEF\xBF\xBD\xEF\xBF\xBD"},
        {"", false},
        {"yes", false},
        {"No", false},
        {"null", false},
        {"~", false},
        {"y", false},
        {"000000001250", false},
        {"0x1F", false},
        {"1e3", false},
        {".inf", false},
        {"${name}", false},
        {"- item", false},
        {"[1, 2]", false},
        {"{a: 1}", false},
        {"&anchor", false},
        {"*alias", false},
        {"!tag", false},
        {"%YAML", false},
        {"@at", false},
        {"`tick", false},
        {"|", false},
        {">", false},
        {"a, b", false},
        {"? key", false},
    };
    const std::string path = test_work_dir() + "/awkward.yaml";
    for (const auto& c : cases) {
        const std::string text(c.text), read = c.read ? c.read : c.text;
        std::string chosen;
        append_yaml_text(chosen, text);
        EXPECT_EQ(chosen == text, c.plain) << chosen;
        for (const bool quoted : {true, false}) {
            std::string value;
            (quoted ? append_yaml_quoted : append_yaml_text)(value, text);
            std::ofstream(path) << "name: " << value << "\nsteps:\n  - op: SALE\n    name: "
                                << value << "\n  - {op: SALE, name: " << value << "}\n";
            std::vector<ScenarioError> errors;
            const Scenario s = parse_scenario_file(path, errors);
            for (const ScenarioError& error : errors)
                ADD_FAILURE() << error.text() << "\n" << read_file(path);
            ASSERT_EQ(s.steps.size(), 2u) << read_file(path);
            EXPECT_EQ(s.name, read) << value;
            EXPECT_EQ(s.steps[0].name, read) << value;
            EXPECT_EQ(s.steps[1].name, read) << value;
        }
    }
}

// Receipts equal after the ignore rules (the same sale at another time, with another
// invoice) share one golden file; the runner reads which.
TEST(FromJournal, EqualReceiptsShareOneGoldenFile) {
    auto sale = [](std::int64_t id, const char* invoice, const char* time, const char* total) {
        JournalEntry e = entry(id, "SALE", {{"Amount1In", "000000004500"}}, {});
        e.receipt = {"SALE", std::string("2026-12-06 ") + time,
                     std::string("INVOICE                   ") + invoice, total};
        return e;
    };
    const JournalScenario scenario =
        scenario_from_entries({sale(3, "000009", "14:05:01", "TOTAL 12.00"),
                               sale(2, "000008", "14:04:30", "TOTAL 45.00"),
                               sale(1, "000007", "14:03:59", "TOTAL 45.00")},
                              "shared", "shared-golden");
    const std::string dir = test_work_dir() + "/shared-receipts";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    std::string error;
    ASSERT_TRUE(write_journal_scenario(scenario, dir + "/shared.yaml", &error)) << error;
    std::vector<std::string> files;
    for (const auto& f : std::filesystem::directory_iterator(dir + "/shared-golden"))
        files.push_back(f.path().filename().string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"01-sale.txt", "03-sale.txt"}));
    EXPECT_EQ(read_file(dir + "/shared-golden/01-sale.txt"),
              "SALE\n<date> <time>\nINVOICE                   <invoice>\nTOTAL 45.00\n");
    std::vector<ScenarioError> errors;
    const Scenario read = parse_scenario_file(dir + "/shared.yaml", errors);
    for (const ScenarioError& e : errors)
        ADD_FAILURE() << e.text();
    ASSERT_EQ(read.steps.size(), 3u);
    EXPECT_EQ(read.steps[0].golden_file, "");
    EXPECT_EQ(read.steps[1].golden_file, "01-sale.txt");
    EXPECT_EQ(read.steps[2].golden_file, "");
    EXPECT_EQ(read.steps[1].receipt, ReceiptCheck::Golden);

    // Saved again over the folder: each file replaced whole, others kept.
    std::ofstream(dir + "/shared-golden/99-mine.txt") << "kept\n";
    ASSERT_TRUE(write_journal_scenario(scenario, dir + "/shared.yaml", &error)) << error;
    EXPECT_EQ(read_file(dir + "/shared-golden/99-mine.txt"), "kept\n");
    EXPECT_EQ(read_file(dir + "/shared-golden/03-sale.txt").substr(0, 5), "SALE\n");
}

TEST(FromJournal, TimeBoundsReadDaysAndMinutes) {
    const std::int64_t day = journal_time_bound("2026-12-06", false).value_or(0), minute = 60'000;
    EXPECT_EQ(journal_time_bound("2026-12-06", true), day + 24 * 60 * minute);
    EXPECT_EQ(journal_time_bound("2026-12-06T14:30", true), day + (14 * 60 + 31) * minute);
    for (const char* bad : {"2026-13-01", "2026-12-06 14:30", "06/12/2026", "2026-12-06T24:00"})
        EXPECT_FALSE(journal_time_bound(bad, false)) << bad;
}

} // namespace
