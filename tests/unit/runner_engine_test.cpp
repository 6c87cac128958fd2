// The engine in-process against the simulated terminal: failed expectations, its answers
// to the terminal's questions, a print port taken; golden receipts and the JUnit report.
#include "golden.h"
#include "junit.h"
#include "play.h"
#include "print_child.h"
#include "print_job_wire.h"
#include "progress.h"
#include "receipt_server.h"
#include "sim_txn.h"

#include <nlohmann/json.hpp>

#include <cstddef>

namespace {

// A campaign that writes no report and no journal.
RunOptions quiet() {
    RunOptions options;
    options.junit.clear();
    options.journal.clear();
    return options;
}

struct StepCase {
    const char* what;
    const char* step; // one step of "steps:"
    const char* message; // of the first failure
    const char* expected;
    const char* actual;
};

// A step that holds, and a status the terminal did not give: the shipped scenarios
// and their broken expectation.
const StepCase kSteps[] = {
    {"another result", "  - op: SALE\n    inputs: {amount1: 4500}\n    expect: {result: 5}\n",
     "result", "5 (", "0 (OK)"},
    {"a question not expected", "  - op: SALE\n    inputs: {amount1: 10011}\n    expect: {asked: []}\n",
     "asked", "[]", "[signature]"},
    {"a receipt where none was expected",
     "  - op: SALE\n    inputs: {amount1: 4500}\n    expect: {receipt: none}\n",
     "receipt: nothing should be printed", "no receipt line", "lines, the first: "},
    {"a pattern no field matches",
     "  - op: SALE\n    inputs: {amount1: 4500}\n    expect: {fields: {TotalAmount: {pattern: "
     "\"^0+4600$\"}}}\n",
     "field TotalAmount", "pattern ^0+4600$", "000000004500"},
    {"a kept value used by the next step",
     "  - op: SALE\n    inputs: {amount1: 4500}\n    keep: {inv: InvoiceNumber}\n"
     "  - op: VOID\n    inputs: {InvoiceNumber: \"${inv}\"}\n"
     "    expect: {status: Authorised, fields: {txt_txn_output_invoice_num: \"${inv}x\"}}\n",
     "field txt_txn_output_invoice_num", "x", ""},
    {"a track in a failed check", "  - op: Card reading\n    expect: {fields: "
                                  "{txt_read_track2_data: \"x\"}}\n",
     "field txt_read_track2_data", "[track data]", "[track data]"},
    {"a track kept and used", "  - op: Card reading\n    keep: {t: txt_read_track2_data}\n"
                              "  - op: SALE\n    inputs: {amount1: 4500}\n"
                              "    expect: {fields: {TotalAmount: \"${t}\"}}\n",
     "field TotalAmount", "[track data]", "000000004500"},
};

// A text holds only when it is the whole value; a pattern is searched in it.
TEST(RunnerEngine, ExpectedValuesHoldOnlyAsWritten) {
    const struct {
        const char* want;
        bool pattern;
        const char* actual;
        bool holds;
        const char* shown;
    } cases[] = {
        {"Authorised", false, "Authorised", true, "Authorised"},
        {"Auth", false, "Authorised", false, "Auth"},
        {"authorised", false, "Not authorised", false, "authorised"},
        {"Authorised", false, "authorised", false, "Authorised"},
        {"4500", false, "000000004500", false, "4500"},
        {"000000004500", false, "000000004500", true, "000000004500"},
        {"^0+4500$", false, "000000004500", false, "^0+4500$"},
        {"^0+4500$", true, "000000004500", true, "pattern ^0+4500$"},
        {"^0+4500$", true, "0000000045001", false, "pattern ^0+4500$"},
        {"TOTAL", true, "  TOTAL    45.00", true, "pattern TOTAL"},
        {"4111111111111111", false, "4111110000091111", false, "4111111111111111"}, // masked alike
        {"${inv}", false, "000012", true, "000012"},
        {"${inv}x", false, "000012", false, "000012x"},
        {"v${inv}-${code}${code}", false, "v000012-ABAB", true, "v000012-ABAB"},
        {"^${inv}$", true, "0000123", false, "pattern ^000012$"},
    };
    const std::map<std::string, std::string> kept{{"inv", "000012"}, {"code", "AB"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.want) + " / " + c.actual);
        Expected want{1, c.want, c.pattern, {}};
        if (c.pattern && kept_names(c.want).empty())
            want.pattern = std::regex(c.want); // as the scenario's reader makes it
        std::string shown, problem;
        EXPECT_EQ(expected_holds(want, c.actual, kept, &shown, &problem), c.holds);
        EXPECT_EQ(shown, c.shown);
        EXPECT_EQ(problem, "");
    }
    std::string shown, problem;
    EXPECT_FALSE(expected_holds(Expected{1, "x${gone}", false, {}}, "x", kept, &shown, &problem));
    EXPECT_EQ(problem, "${gone} was not kept");
}

TEST(RunnerEngine, EachStepReportsWhatDidNotHold) {
    int n = 0;
    for (const StepCase& c : kSteps) {
        const std::string path =
            write_file("engine-" + std::to_string(++n) + ".yaml", std::string("steps:\n") + c.step);
        RunOptions options = quiet();
        std::ostringstream out, err;
        CampaignResult result;
        const int status = run_campaign({path}, options, out, err, &result);
        ASSERT_EQ(result.suites.size(), 1u) << c.what << "\n" << err.str();
        const StepResult& last = result.suites[0].steps.back();
        EXPECT_EQ(status, 1) << c.what;
        ASSERT_FALSE(last.failures.empty()) << c.what << "\n" << out.str();
        const Failure& f = last.failures[0];
        EXPECT_EQ(f.message, c.message) << c.what;
        EXPECT_NE(f.expected.find(c.expected), std::string::npos) << c.what << ": " << f.expected;
        EXPECT_NE(f.actual.find(c.actual), std::string::npos) << c.what << ": " << f.actual;
        EXPECT_NE(out.str().find("FAIL"), std::string::npos) << c.what;

        // The same as JSON lines: one object a step, nothing else.
        options.json = true;
        std::ostringstream json;
        EXPECT_EQ(run_campaign({path}, options, json, err), 1) << c.what;
        std::istringstream lines(json.str());
        nlohmann::json step;
        for (std::string line; std::getline(lines, line);)
            step = nlohmann::json::parse(line); // throws on anything but JSON
        EXPECT_EQ(step.value("passed", true), false) << c.what << "\n" << json.str();
        EXPECT_EQ(step["failures"][0].value("message", ""), c.message) << c.what;
    }
    StepResult stray;
    stray.receipt = {"TOTAL \xff\xfe"}; // a terminal's bytes that are no UTF-8
    EXPECT_NE(step_json(1, 1, stray).find("TOTAL \xef\xbf\xbd"), std::string::npos);
}

TEST(RunnerEngine, APrintPortTakenStopsTheRunnerBeforePlaying) {
    ListenStep failed; // the console's own listener, as a running console holds the port
    std::string error;
    const int fd = print_server_listen(kPrintPort, "127.0.0.1", &failed, &error);
    ASSERT_GE(fd, 0) << error;
    const std::string path = write_file("port.yaml", "steps:\n  - op: SALE\n    inputs: {amount1: 4500}\n");
    std::ostringstream out, err;
    CampaignResult result;
    EXPECT_EQ(run_campaign({path}, quiet(), out, err, &result), 2);
    close(fd);
    EXPECT_EQ(result.played, 0);
    EXPECT_NE(err.str().find("print port 5187"), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("running console"), std::string::npos) << err.str();
}

// Steps that name one golden file: recorded once, compared by each; a step that
// prints another receipt into it fails the recording instead of replacing it.
TEST(RunnerEngine, StepsSharingAGoldenFileMustPrintTheSameReceipt) {
    std::filesystem::remove_all(test_work_dir() + "/shared-g");
    const std::string path = write_file(
        "shared.yaml", "golden: shared-g\nignore: [date, time, invoice, auth_code]\nsteps:\n"
                       "  - {op: SALE, inputs: {amount1: 4500}}\n"
                       "  - {op: SALE, inputs: {amount1: 4500}, "
                       "expect: {receipt: {golden: 01-sale.txt}}}\n"
                       "  - {op: SALE, inputs: {amount1: 1200}, "
                       "expect: {receipt: {golden: 01-sale.txt}}}\n");
    RunOptions options = quiet();
    for (const bool record : {true, false}) {
        options.record_golden = record;
        std::ostringstream out, err;
        CampaignResult result;
        EXPECT_EQ(run_campaign({path}, options, out, err, &result), 1) << err.str();
        ASSERT_EQ(result.suites.size(), 1u) << err.str();
        const std::vector<StepResult>& steps = result.suites[0].steps;
        ASSERT_TRUE(steps.size() == 3 && steps[0].failures.empty() && steps[1].failures.empty() &&
                    steps[2].failures.size() == 1)
            << out.str();
        EXPECT_EQ(steps[2].failures[0].message,
                  record ? "receipt: differs from the one step 1 recorded in the same file"
                         : "receipt: receipt line 14 differs from " + test_work_dir() +
                               "/shared-g/01-sale.txt")
            << record;
    }
}

// Two clients that connect and send nothing hold up no receipt line of the terminal.
TEST(RunnerEngine, SilentPrintClientsHoldUpNoReceiptLine) {
    constexpr int kPort = 5189;
    ReceiptServer server;
    std::string error;
    ASSERT_TRUE(server.start(kPort, &error)) << error;
    const int silent[2] = {print_test::connect_to(kPort), print_test::connect_to(kPort)};
    const auto start = std::chrono::steady_clock::now();
    std::string reply;
    EXPECT_TRUE(
        send_print_job("127.0.0.1", kPort, encode_print_job("TOTAL\n"), &reply, &error, 5000))
        << error;
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 1.0);
    EXPECT_EQ(server.take(), std::vector<std::string>{"TOTAL"});
    for (int fd : silent)
        close(fd);
}

// Golden receipts: the ignore rules on the simulated terminal's receipt lines, and a
// recorded receipt compared with a changed one.
std::vector<IgnoreRule> rules(std::initializer_list<const char*> names) {
    std::vector<IgnoreRule> out;
    for (const char* name : names)
        out.push_back(*named_ignore_rule(name));
    return out;
}

// Rule, line, golden line: lines as the simulated terminal prints them (label and value
// spread over the receipt's width), and as other terminals write dates and codes.
const std::tuple<const char*, const char*, const char*> kIgnoreCases[] = {
    {"date", "2026-12-06 14:03:59", "<date> 14:03:59"},
    {"date", "DATE 06/12/2026  TIME 14:03", "DATE <date>  TIME 14:03"},
    {"date", "TOTAL \xE2\x82\xAC" "45.00", "TOTAL \xE2\x82\xAC" "45.00"},
    {"time", "2026-12-06 14:03:59", "2026-12-06 <time>"},
    {"time", "DATE 06/12/2026  TIME 14:03", "DATE 06/12/2026  TIME <time>"},
    {"time", "TOTAL 12.50", "TOTAL 12.50"},
    {"invoice", "INVOICE                   000123", "INVOICE                   <invoice>"},
    {"invoice", "INV NO: 77", "INV NO: <invoice>"},
    {"invoice", "Inv no: 77", "Inv no: <invoice>"},
    {"invoice", "PLEASE KEEP THIS RECEIPT", "PLEASE KEEP THIS RECEIPT"},
    {"auth_code", "AUTH CODE                 123456", "AUTH CODE                 <auth_code>"},
    {"auth_code", "APPR CODE: 1A2B3C", "APPR CODE: <auth_code>"},
    {"auth_code", "Auth code 1a2b", "Auth code <auth_code>"},
    {"date", "06.12.26", "<date>"},
    {"auth_code", "APPROVED", "APPROVED"},
};

TEST(GoldenReceipt, IgnoreRulesReplaceWhatChangesByNature) {
    for (const auto& [rule, line, golden] : kIgnoreCases)
        EXPECT_EQ(golden_line(line, rules({rule})), golden) << rule << ": " << line;
}

TEST(GoldenReceipt, CardNumbersAreMaskedAndOwnPatternsApply) {
    EXPECT_EQ(golden_line("CARD 4761739001010119", {}), "CARD 476173******0119");
    const std::vector<IgnoreRule> own = {pattern_ignore_rule("TID [0-9]+", "TID $1-x")};
    EXPECT_EQ(golden_line("TID 12345678 OK", own), "TID $1-x OK");
    EXPECT_FALSE(named_ignore_rule("dates"));
    EXPECT_THROW(pattern_ignore_rule("(unclosed", "x"), std::regex_error);
}

TEST(GoldenReceipt, FileIsNamedByNumberAndSlug) {
    EXPECT_EQ(golden_path("g", 3, "PRE-AUTH Reversal (tip)"), "g/03-pre-auth-reversal-tip.txt");
    EXPECT_EQ(golden_path("g", 12, "SALE"), "g/12-sale.txt");
}

TEST(GoldenReceipt, RecordedReceiptComparesAndAChangedLineIsNamed) {
    const std::string dir = test_work_dir() + "/golden-compare";
    const std::string path = golden_path(dir, 1, "SALE");
    const auto all = rules({"date", "time", "invoice", "auth_code"});
    auto receipt = [&](const char* invoice, const char* total) {
        std::vector<std::string> lines;
        for (const std::string& line :
             {std::string("MERCHANT COPY"), std::string("2026-12-06 14:03:59"),
              std::string("INVOICE                   ") + invoice, std::string(total)})
            lines.push_back(golden_line(line, all));
        return lines;
    };
    std::string error;
    ASSERT_TRUE(write_golden(path, receipt("000001", "TOTAL 45.00"), &error)) << error;
    EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms(0600))
        << "kept by the runner: the tester's alone";
    EXPECT_EQ(compare_golden(path, receipt("000002", "TOTAL 45.00")).message, "");

    const GoldenDifference changed = compare_golden(path, receipt("000003", "TOTAL 46.00"));
    EXPECT_NE(changed.message.find("receipt line 4"), std::string::npos) << changed.message;
    EXPECT_EQ(changed.expected, "TOTAL 45.00");
    EXPECT_EQ(changed.actual, "TOTAL 46.00");

    auto shorter = receipt("000004", "TOTAL 45.00");
    shorter.pop_back();
    const GoldenDifference missing = compare_golden(path, shorter);
    EXPECT_NE(missing.message.find("receipt line 4"), std::string::npos) << missing.message;
    EXPECT_EQ(missing.actual, "(end of receipt)");

    const GoldenDifference absent = compare_golden(dir + "/99-none.txt", shorter);
    EXPECT_NE(absent.message.find("--record-golden"), std::string::npos) << absent.message;
}

// The JUnit report: valid against tests/data/junit.xsd, with special characters
// escaped and failures carrying what was expected and what came.
std::vector<SuiteResult> sample_report() {
    SuiteResult sale{"Sale & void <\"quoted\">", "sale.yaml", 0.5, {}};
    StepResult ok{"SALE", "SALE", "sale.yaml", 4, 0.002, {},
                  {"TOTAL \xE2\x82\xAC" "45.00", "A&B", "Zah\xE1jeno"}}; // the last not UTF-8
    StepResult failed{"VOID 'it' #2", "VOID", "sale.yaml", 12, 0.003,
                      {{"status", "Authorised", "Not <authorised> & \"declined\""},
                       {"field InvoiceNumber", "000001", "\x01"}},
                      {}};
    sale.steps = {ok, failed};
    SuiteResult empty{"empty", "empty.yaml", 0, {}};
    return {sale, empty};
}

TEST(JunitReport, ValidatesAgainstTheSchema) {
    const std::string path = test_work_dir() + "/report.xml";
    std::string error;
    ASSERT_TRUE(write_junit_file(path, sample_report(), &error)) << error;
    const std::string command = "xmllint --noout --schema " KELVRA_SOURCE_DIR
                                "/tests/data/junit.xsd " +
                                path + " 2>" + test_work_dir() + "/xmllint.txt";
    EXPECT_EQ(std::system(command.c_str()), 0) << "see " << test_work_dir() << "/xmllint.txt";
}

TEST(JunitReport, EscapesAndCountsFailures) {
    std::ostringstream out;
    write_junit(out, sample_report());
    const std::string xml = out.str();
    const char* const expected[] = {
        "name=\"Sale &amp; void &lt;&quot;quoted&quot;&gt;\" file=\"sale.yaml\" tests=\"2\" "
        "failures=\"1\"",
        "name=\"VOID &apos;it&apos; #2\"",
        "<failure message=\"status\">expected: Authorised&#10;actual: Not &lt;authorised&gt; "
        "&amp; &quot;declined&quot;</failure>",
        "actual:  </failure>", // a control character blanked
        "<system-out>TOTAL \xE2\x82\xAC" "45.00&#10;A&amp;B&#10;Zah\xC3\xA1jeno&#10;</system-out>",
        "<testsuites name=\"kelvra-run\" tests=\"2\" failures=\"1\"",
    };
    for (const char* part : expected)
        EXPECT_NE(xml.find(part), std::string::npos) << part << "\nin\n" << xml;
}

// The runner's answers to the terminal's questions, played in-process against the
// simulated terminal: every question answered so that the sale goes through, and a
// wrong password three times (the other answers and defaults: the shipped question
// scenarios). Each row checks the last transaction's status and host text, how often
// the terminal received the answer call, and that the runner saw the question.
struct Case {
    const char* question; // as a scenario names it
    const char* answer;   // the step's answer in YAML
    const char* op;
    const char* amount;
    const char* status;      // the transaction status the terminal answers
    const char* host_text;   // and its host text
    const char* answer_call; // the call that carries the answer (DCC: its fetch)
    std::size_t calls;       // how often the terminal receives it
    const char* auth_code = nullptr; // when the answer gives the authorisation code
};

// clang-format off
const Case kCases[] = {
    {"signature", "accept", "SALE", "10011", "00", "APPROVED", "SetSignStatus", 1},
    {"voice_referral", "{answer: authorise, code: \"A1B2C3\"}", "SALE", "10012", "00", "APPROVED",
     "SetAuthorisation", 1, "A1B2C3"},
    {"dcc", "show", "SALE", "10013", "00", "APPROVED", "DCCQuotation", 1},
    {"partial_approval", "accept", "SALE", "10014", "00", "APPROVED", "SetPartialAuthStatus", 1},
    {"avs", "accept", "SALE", "10015", "00", "APPROVED", "SetAVSRejectionStatus", 1},
    {"password", "\"1234\"", "SALE", "10016", "00", "APPROVED", "SetPassword", 1},
    {"password", "\"4321\"", "SALE", "10016", "08", "WRONG PASSWORD", "SetPassword", 3},
    {"suspected_fraud", "continue", "SALE", "10017", "00", "APPROVED", "SetSuspectedFraudStatus", 1},
};
// clang-format on

std::string scenario_of(const Case& c) {
    return std::string("steps:\n  - op: ") + c.op + "\n    inputs: {amount1: " + c.amount +
           "}\n    answers: {" + c.question + ": " + c.answer + "}\n    expect: {asked: [" +
           c.question + "]}\n";
}

// The print port of the runner and of the terminal, away from a console's 5187.
constexpr int kPrintPort = 5397;

class RunnerPolicy : public SimStateTest {
    ScopedEnv print_port_{"KORVEX_SIM_PRINT_PORT", std::to_string(kPrintPort).c_str()};
};

TEST_F(RunnerPolicy, EveryAnswerToEveryQuestionEndsTheTransactionAsTheTerminalSays) {
    RunOptions options = quiet();
    options.print_port = kPrintPort;
    for (const Case& c : kCases) {
        const std::string yaml = scenario_of(c);
        SCOPED_TRACE(yaml);
        const std::string path = write_file("policy.yaml", yaml);
        const std::size_t calls_before = calls(c.answer_call);

        std::ostringstream out, err;
        CampaignResult campaign;
        const int status = run_campaign({path}, options, out, err, &campaign);

        EXPECT_EQ(status, 0) << out.str() << err.str();
        EXPECT_EQ(campaign.played, 1);
        EXPECT_EQ(campaign.failed, 0) << out.str(); // the failures with what was expected
        const GetLastTxnData_out last = last_txn();
        EXPECT_EQ(text_of(last.TransactionStatusOut), c.status);
        EXPECT_EQ(text_of(last.HostTextOut), c.host_text);
        EXPECT_EQ(number(last.Amount1Out), std::atol(c.amount))
            << "the last transaction is not the step's";
        EXPECT_EQ(calls(c.answer_call) - calls_before, c.calls) << c.answer_call;
        if (c.auth_code) {
            EXPECT_EQ(text_of(last.AuthorisationCodeOut), c.auth_code);
        }
    }
}

} // namespace
