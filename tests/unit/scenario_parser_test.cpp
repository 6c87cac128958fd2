// The scenario reader: each broken file gives the error at its file and line, and
// a campaign with any broken file plays nothing.
#include "play.h"
#include "scenario.h"
#include "test_util.h"

#include <gtest/gtest.h>

#include <sstream>

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

} // namespace
