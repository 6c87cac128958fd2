// Scenarios written from journal entries: what becomes an input, a kept value, an
// expectation or an answer, and that the runner reads every file written.
#include "from_journal.h"
#include "scenario.h"
#include "test_env.h"

#include <gtest/gtest.h>

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
                 {"HostTextOut", "APPROVED"}, {"DiagRequestOut", "0"}})},
         {"AuthorisationCode: {pattern: \"^[0-9A-Za-z]{6}$\"}",
          "DateTime: {pattern: \"^[0-9]{12}$\"}", "BatchNumber: {pattern: \"^[0-9]{3}$\"}",
          "HostText: \"APPROVED\"", "result: OK", "status: \"Authorised\"", "asked: []"},
         {"A1B2C3", "DiagRequest", "inputs"}},
        {"the cashier's answers",
         {entry(1, "SALE", {{"Amount1In", "000000010012"}}, {},
                {{0, "Voice referral", "Approved with code PH0NE1", {}},
                 {0, "Signature", "Refused", {}},
                 {0, "Password", "Entered", {}}})},
         {"answers: {voice_referral: {answer: authorise, code: PH0NE1}, signature: refuse}",
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

TEST(FromJournal, TimeBoundsReadDaysAndMinutes) {
    const std::int64_t day = journal_time_bound("2026-12-06", false).value_or(0), minute = 60'000;
    EXPECT_EQ(journal_time_bound("2026-12-06", true), day + 24 * 60 * minute);
    EXPECT_EQ(journal_time_bound("2026-12-06T14:30", true), day + (14 * 60 + 31) * minute);
    for (const char* bad : {"2026-13-01", "2026-12-06 14:30", "06/12/2026", "2026-12-06T24:00"})
        EXPECT_FALSE(journal_time_bound(bad, false)) << bad;
}

} // namespace
