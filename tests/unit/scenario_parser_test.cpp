// The scenario reader: broken files named at their line, a campaign with one plays
// nothing; and scenarios written from journal entries, which the reader reads back.
#include "from_journal.h"
#include "play.h"
#include "scenario.h"
#include "test_util.h"
#include "yaml_text.h"

#include <glib.h>

namespace {

struct BrokenCase {
    const char* what;
    const char* yaml;
    int line;
    const char* message;
};

const BrokenCase kBroken[] = {
    {"unknown operation", "steps:\n  - op: SALES\n", 2,
     "unknown operation 'SALES' (did you mean 'SALE'?); kelvra-run --list names them all"},
    {"unknown response field",
     "steps:\n  - op: SALE\n    inputs: {amount1: 4500}\n    expect:\n      fields:\n"
     "        TotalAmount: \"000000004500\"\n        Totl: \"1\"\n",
     7, "unknown field 'Totl' in the answer of SALE"},
    {"bad pattern", "steps:\n  - op: SALE\n    expect:\n      status: {pattern: \"([\"}\n", 4,
     "bad pattern '([': "},
    {"voice referral authorised without its code",
     "policy:\n  signature: accept\n  voice_referral: {answer: authorise}\nsteps:\n  - op: SALE\n",
     3, "a voice referral authorised needs its code: {answer: authorise, code: \"123456\"}"},
    {"empty password", "steps:\n  - op: REFUND\n    answers: {password: \"\"}\n", 3,
     "an empty password: give the password (quoted) or cancel"},
    {"unknown answer", "policy: {avs: maybe}\nsteps:\n  - op: SALE\n", 1,
     "unknown answer 'maybe' to avs (accept, decline)"},
    {"unknown question", "steps:\n  - op: SALE\n    answers:\n      pin: \"1234\"\n", 4,
     "unknown question 'pin'"},
    {"kept value not kept earlier",
     "steps:\n  - op: VOID\n    inputs: {InvoiceNumber: \"${invoice}\"}\n"
     "  - op: SALE\n    keep: {invoice: InvoiceNumber}\n",
     3, "${invoice} is not kept by an earlier step"},
    {"YAML syntax error", "steps:\n  - op: SALE\n    inputs: {amount1: 4500\n", 4, "YAML syntax: "},
    {"unknown top-level key", "step: 1\nsteps:\n  - op: SALE\n", 1,
     "unknown key 'step' (name, policy, ignore, golden, steps)"},
    {"unknown step key", "steps:\n  - op: SALE\n    input: {amount1: 1}\n", 3,
     "unknown step key 'input'"},
    {"unknown expectation", "steps:\n  - op: SALE\n    expect: {reslt: OK}\n", 3,
     "unknown expectation 'reslt'"},
    {"unknown input", "steps:\n  - op: SALE\n    inputs: {amount9: 1}\n", 3,
     "unknown input 'amount9' for SALE ("},
    {"record to an operation fetching no record", "steps:\n  - op: SALE\n    inputs: {record: 2}\n",
     3, "record given to SALE, which fetches no record by its number"},
    {"numbered fetch without its record", "steps:\n  - op: Settlement record\n", 2,
     "Settlement record fetches one record by its number: give it as 'record: N' in the inputs"},
    {"status of an operation that shows none", "steps:\n  - op: Set date and time\n"
                                               "    expect: {status: Authorised}\n",
     3, "Set date and time shows no status"},
    {"repeat not a positive integer", "steps:\n  - op: SALE\n    repeat: 0\n", 3,
     "repeat must be a positive integer, not '0'"},
    {"unknown result text", "steps:\n  - op: SALE\n    expect: {result: Fine}\n", 3,
     "unknown result 'Fine'"},
    {"golden receipt without a folder", "steps:\n  - op: SALE\n    expect: {receipt: golden}\n", 2,
     "receipt: golden needs the scenario's 'golden' folder"},
    {"golden folder outside the scenario's", "golden: /tmp/elsewhere\nsteps:\n  - op: SALE\n", 1,
     "golden must name a folder inside the scenario's folder, not '/tmp/elsewhere'"},
    {"shared golden file climbing out of the folder",
     "golden: g\nsteps:\n  - op: SALE\n    expect: {receipt: {golden: ../../x.txt}}\n", 4,
     "receipt: golden must name a file inside the golden folder, not '../../x.txt'"},
    {"golden folder climbing out", "golden: g/../../up\nsteps:\n  - op: SALE\n", 1,
     "golden must name a folder inside the scenario's folder, not 'g/../../up'"},
    {"aliases expanding beyond the bound",
     "a: &a [x, x, x, x, x, x, x, x, x, x]\n"
     "b: &b [*a, *a, *a, *a, *a, *a, *a, *a, *a, *a]\n"
     "c: &c [*b, *b, *b, *b, *b, *b, *b, *b, *b, *b]\n"
     "d: &d [*c, *c, *c, *c, *c, *c, *c, *c, *c, *c]\n"
     "e: [*d, *d, *d, *d, *d, *d, *d, *d, *d, *d]\nsteps:\n  - op: SALE\n",
     1, "the file expands to more than 50000 values"},
};

TEST(ScenarioParser, EachBrokenFileNamesItsLine) {
    int n = 0;
    for (const BrokenCase& c : kBroken) {
        const std::string path = write_file("broken-" + std::to_string(++n) + ".yaml", c.yaml);
        std::vector<ScenarioError> errors;
        parse_scenario_file(path, errors);
        ASSERT_EQ(errors.size(), 1u) << c.what << ": " << (errors.empty() ? "" : errors[1].text());
        const std::string expected = path + ":" + std::to_string(c.line) + ": " + c.message;
        EXPECT_EQ(errors[0].text().substr(0, expected.size()), expected) << c.what;
    }
}

TEST(ScenarioParser, GoodFileIsReadWithItsKeptValuesAndAnswers) {
    const std::string path = write_file(
        "good.yaml",
        "name: Sale and void\npolicy: {password: \"1234\"}\nignore: [date, {pattern: 'X+'}]\n"
        "golden: g\nsteps:\n  - op: sale\n    inputs: {amount1: 4500}\n"
        "    answers: {voice_referral: {answer: authorise, code: \"123456\"}}\n"
        "    expect: {result: OK, status: Authorised, asked: [], receipt: none}\n"
        "    keep: {invoice: InvoiceNumber}\n"
        "  - op: VOID\n    name: the void\n    repeat: 2\n"
        "    inputs: {InvoiceNumber: \"${invoice}\"}\n"
        "    expect: {fields: {InvoiceNumber: {pattern: \"^${invoice}$\"}}}\n"
        "  - op: Exchange rate update\n    expect: {status: Rates Sent Successfully}\n");
    std::vector<ScenarioError> errors;
    const Scenario s = parse_scenario_file(path, errors);
    ASSERT_TRUE(errors.empty()) << errors[0].text();
    EXPECT_EQ(s.name, "Sale and void");
    ASSERT_EQ(s.steps.size(), 3u);
    EXPECT_STREQ(s.steps[0].op->name, "SALE");
    EXPECT_EQ(s.steps[0].result, 0);
    EXPECT_EQ(s.steps[0].receipt, ReceiptCheck::None);
    EXPECT_EQ(s.steps[0].answers.at(Question::VoiceReferral).code, "123456");
    EXPECT_EQ(s.policy.at(Question::Password).password, "1234");
    EXPECT_EQ(s.steps[1].name, "the void");
    EXPECT_EQ(s.steps[1].repeat, 2);
    EXPECT_EQ(s.steps[1].receipt, ReceiptCheck::Golden);
    EXPECT_EQ(s.steps[1].line, 11);
    ASSERT_EQ(s.steps[1].fields.size(), 1u);
    EXPECT_TRUE(s.steps[1].fields[0].value.is_pattern);
    EXPECT_EQ(s.ignore.size(), 2u);
    // The status the journal gives an exchange rate update is the one a step checks.
    ASSERT_TRUE(s.steps[2].status_output);
    EXPECT_STREQ(s.steps[2].status_output->field->name, "OperationStatusOut");
}

// A day's journal written as one scenario has far more values than any campaign
// written by hand, and no alias: it is read whole.
TEST(ScenarioParser, ALongFileWithoutAliasesIsReadWhole) {
    std::string text = "steps:\n";
    for (int n = 0; n < 4500; ++n) // 13 values a step: 58,500
        text += "  - {op: SALE, inputs: {amount1: 4500}, expect: {result: OK, status: Authorised}}\n";
    std::vector<ScenarioError> errors;
    const Scenario s = parse_scenario_file(write_file("long.yaml", text), errors);
    EXPECT_TRUE(errors.empty()) << errors.front().text();
    EXPECT_EQ(s.steps.size(), 4500u);
}

TEST(ScenarioParser, ABrokenFileStopsTheWholeCampaignBeforeAnythingPlays) {
    const std::string good = write_file("fine.yaml", "steps:\n  - op: SALE\n    inputs: {amount1: 4500}\n");
    const std::string bad1 = write_file("bad1.yaml", "steps:\n  - op: SALE\n    expect: {status: {pattern: \"(\"}}\n");
    const std::string bad2 = write_file("bad2.yaml", "steps:\n  - op: NOPE\n");
    RunOptions options;
    options.junit = test_work_dir() + "/never.xml";
    options.journal.clear();
    std::ostringstream out, err;
    CampaignResult result;
    EXPECT_EQ(run_campaign({good, bad1, bad2}, options, out, err, &result), 2);
    EXPECT_EQ(result.played, 0);
    EXPECT_TRUE(result.suites.empty());
    EXPECT_EQ(out.str(), "");
    EXPECT_NE(err.str().find(bad1 + ":3: bad pattern"), std::string::npos) << err.str();
    EXPECT_NE(err.str().find(bad2 + ":2: unknown operation 'NOPE'"), std::string::npos) << err.str();
    EXPECT_FALSE(std::ifstream(options.junit).good());
}

// Scenarios written from journal entries: what becomes an input, a kept value, an
// expectation or an answer, and that the runner reads every file written.
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
