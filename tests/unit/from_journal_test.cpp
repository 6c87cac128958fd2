// Scenarios written from journal entries: what becomes an input, a kept value, an
// expectation or an answer, and that the runner reads every file written.
#include "from_journal.h"
#include "scenario.h"
#include "test_env.h"
#include "test_util.h"
#include "yaml_text.h"

#include <glib.h>
#include <gtest/gtest.h>

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
// in a flow map. Bytes that are no UTF-8 come back as U+FFFD, as the journal keeps them.
TEST(FromJournal, AwkwardTextsReadBackAsWritten) {
    const char* const texts[] = { // the first three written plain by append_yaml_text
        "SALE", "PRE-AUTH INCREMENT", "Invoice Not Found", "a: b", "key:", "# no comment", "note #1", " leading", "trailing ", "say \"hi\"",
        "'single'", "C:\\path\\n", "two\nlines", "end\n", "tab\there", "\x01\x07\x1b\x7f ctl",
        "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x92\xB3", "C1 \xC2\x85 \xE2\x80\xA8 \xEF\xBB\xBF", "",
        "yes", "No", "null", "~", "y", "000000001250", "0x1F", "1e3", ".inf", "${name}", "- item",
        "[1, 2]", "{a: 1}", "&anchor", "*alias", "!tag", "%YAML", "@at", "`tick", "|", ">",
        "a, b", "? key", "\xE9t\xE9 Latin-1", "cut \xE2\x82"};
    const std::string path = test_work_dir() + "/awkward.yaml";
    for (const char* const& c : texts) {
        const std::string text = c;
        gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
        const std::string read = valid;
        g_free(valid);
        for (const auto write : {append_yaml_quoted, append_yaml_text}) {
            std::string value;
            write(value, text);
            EXPECT_EQ(value.front() != '"', write == append_yaml_text && &c < texts + 3) << text;
            std::ofstream(path) << "name: " << value << "\nsteps:\n  - op: SALE\n    name: "
                                << value << "\n  - {op: SALE, name: " << value << "}\n";
            std::vector<ScenarioError> errors;
            const Scenario s = parse_scenario_file(path, errors);
            ASSERT_TRUE(errors.empty() && s.steps.size() == 2) << read_file(path);
            EXPECT_EQ(s.name + s.steps[0].name + s.steps[1].name, read + read + read) << value;
        }
    }
}

// Receipts equal after the ignore rules (the same sale at another time, with another
// invoice) share one golden file; the runner reads which.
TEST(FromJournal, EqualReceiptsShareOneGoldenFile) {
    auto sale = [](std::int64_t id, const char* total) {
        JournalEntry e = entry(id, "SALE", {{"Amount1In", "000000004500"}}, {});
        e.receipt = {"2026-12-06 14:0" + std::to_string(id), "INVOICE 00000" + std::to_string(id),
                     total};
        return e;
    };
    const std::string dir = test_work_dir() + "/shared-receipts", golden = dir + "/shared-golden/";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(golden); // saved over a folder: its other files kept
    std::ofstream(golden + "99-mine.txt") << "kept\n";
    std::string error;
    ASSERT_TRUE(write_journal_scenario(
        scenario_from_entries({sale(3, "TOTAL 12.00"), sale(2, "TOTAL 45.00"),
                               sale(1, "TOTAL 45.00")}, "shared", "shared-golden"),
        dir + "/shared.yaml", &error))
        << error;
    EXPECT_EQ(read_file(golden + "01-sale.txt"), "<date> <time>\nINVOICE <invoice>\nTOTAL 45.00\n");
    EXPECT_EQ(read_file(golden + "03-sale.txt"), "<date> <time>\nINVOICE <invoice>\nTOTAL 12.00\n");
    EXPECT_FALSE(std::filesystem::exists(golden + "02-sale.txt"));
    EXPECT_EQ(read_file(golden + "99-mine.txt"), "kept\n");
    std::vector<ScenarioError> errors;
    const Scenario read = parse_scenario_file(dir + "/shared.yaml", errors);
    ASSERT_TRUE(errors.empty() && read.steps.size() == 3) << read_file(dir + "/shared.yaml");
    EXPECT_EQ(read.steps[0].golden_file + "|" + read.steps[1].golden_file + "|" +
                  read.steps[2].golden_file,
              "|01-sale.txt|");
}

TEST(FromJournal, TimeBoundsReadDaysAndMinutes) {
    const std::int64_t day = journal_time_bound("2026-12-06", false).value_or(0), minute = 60'000;
    EXPECT_EQ(journal_time_bound("2026-12-06", true), day + 24 * 60 * minute);
    EXPECT_EQ(journal_time_bound("2026-12-06T14:30", true), day + (14 * 60 + 31) * minute);
    for (const char* bad : {"2026-13-01", "2026-12-06 14:30", "06/12/2026", "2026-12-06T24:00"})
        EXPECT_FALSE(journal_time_bound(bad, false)) << bad;
}

} // namespace
