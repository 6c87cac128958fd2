// The runner's answers to the terminal's questions, played in-process through its
// engine against the simulated terminal: every question answered so that the sale
// goes through, and a wrong password three times (the other answers and the defaults
// are played, with their outcomes, by the shipped question scenarios). Each row checks
// what the terminal made of the answer (the last transaction's status and host text),
// that the terminal received the answer call as often as the answer needs, and that
// the runner saw the question (the step's `asked`).
#include "play.h"
#include "sim_txn.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

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

// A one-step scenario: the operation with its amount, the answer, and the
// question the step expects to be asked.
std::string scenario_of(const Case& c) {
    std::ostringstream yaml;
    yaml << "steps:\n"
         << "  - op: " << c.op << "\n"
         << "    inputs: {amount1: " << c.amount << "}\n";
    yaml << "    answers: {" << c.question << ": " << c.answer << "}\n";
    yaml << "    expect: {asked: [" << c.question << "]}\n";
    return yaml.str();
}

std::string failures_of(const CampaignResult& campaign) {
    std::string text;
    for (const SuiteResult& suite : campaign.suites)
        for (const StepResult& step : suite.steps)
            for (const Failure& f : step.failures)
                text += f.message + ": expected " + f.expected + ", actual " + f.actual + "\n";
    return text;
}

// The print port of the runner and of the terminal, away from a console's 5187.
constexpr int kPrintPort = 5397;

class RunnerPolicy : public SimStateTest {
    ScopedEnv print_port_{"KORVEX_SIM_PRINT_PORT", std::to_string(kPrintPort).c_str()};
};

TEST_F(RunnerPolicy, EveryAnswerToEveryQuestionEndsTheTransactionAsTheTerminalSays) {
    RunOptions options;
    options.junit.clear();
    options.journal.clear();
    options.print_port = kPrintPort;
    std::filesystem::create_directories(state_dir_);
    for (const Case& c : kCases) {
        const std::string yaml = scenario_of(c);
        SCOPED_TRACE(yaml);
        const std::string path = state_dir_ + "/policy.yaml";
        std::ofstream(path) << yaml;
        const std::size_t calls_before = calls(c.answer_call);

        std::ostringstream out, err;
        CampaignResult campaign;
        const int status = run_campaign({path}, options, out, err, &campaign);

        EXPECT_EQ(status, 0) << out.str() << err.str();
        EXPECT_EQ(campaign.played, 1);
        EXPECT_EQ(campaign.failed, 0) << failures_of(campaign);
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
