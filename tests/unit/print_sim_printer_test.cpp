// The simulated terminal's printer against the console's real print-server child:
// the receipt copies with their style bytes, and what the terminal does with each
// printer status. The printer's functions are internal to libkorvex (hidden
// symbols), so this test links their library of its own.
#include "print_child.h"
#include "sim/sim_printer.h"
#include "test_util.h"

#include <gtest/gtest.h>

#include <climits>
#include <thread>
#include <vector>

namespace {

using print_test::PrintChild;
using print_test::SimTill;

sim::PrintEndpoint till_at(int port) {
    sim::PrintEndpoint till;
    till.port = port;
    till.timeout_ms = 2000;
    return till;
}

sim::ReceiptFacts sale() {
    sim::ReceiptFacts facts;
    facts.merchant_name = "CAF\xC3\x89 KORVEX";
    facts.merchant_address = {"1 Main Street", "", "Springfield"};
    facts.type_name = "SALE";
    facts.masked_pan = "************1234";
    facts.amount_minor = 1234;
    facts.currency_code = 978;
    facts.auth_code = "A1B2C3";
    facts.invoice = "000042";
    facts.date_time = "2024-05-01 14:03:59";
    facts.status_text = "Authorised";
    facts.approved = true;
    return facts;
}

TEST(SimPrinter, BothCopiesReachTheTillWithTheirStyles) {
    SimTill child("PrinterState-sim-ok");
    std::vector<sim::ReceiptCopy> started;
    const sim::ReceiptsResult result =
        sim::print_transaction_receipts(sale(), [&](sim::ReceiptCopy c) { started.push_back(c); });

    const std::size_t merchant = sim::build_receipt(sale(), sim::ReceiptCopy::Merchant).size();
    const std::size_t customer = sim::build_receipt(sale(), sim::ReceiptCopy::Customer).size();
    EXPECT_EQ(result.merchant.outcome, sim::PrintOutcome::Printed);
    EXPECT_EQ(result.customer.outcome, sim::PrintOutcome::Printed);
    EXPECT_EQ(result.merchant.lines_answered, merchant);
    EXPECT_EQ(result.customer.lines_answered, customer);
    EXPECT_EQ(started, (std::vector<sim::ReceiptCopy>{sim::ReceiptCopy::Merchant,
                                                      sim::ReceiptCopy::Customer}));

    // What the till's window process receives, in order: each style's digit.
    const std::vector<std::string> lines = child.lines(merchant + customer);
    ASSERT_EQ(lines.size(), merchant + customer);
    EXPECT_EQ(lines[0], "CAF\xC9 KORVEX1\n"); // bold, Latin-1 for the console to convert
    EXPECT_EQ(lines[1], "1 Main Street4\n");  // centred; the empty address line is skipped
    EXPECT_EQ(lines[2], "Springfield4\n");
    EXPECT_EQ(lines[3], " 0\n"); // a bare line feed
    EXPECT_EQ(lines[4], "MERCHANT COPY4\n");
    // Label and value over 32 columns.
    EXPECT_EQ(lines[7], "CARD" + std::string(12, ' ') + "************12340\n");
    EXPECT_EQ(lines[11], "TOTAL \xE2\x82\xAC"
                         "12.346\n"); // double size, the euro byte expanded
    EXPECT_EQ(lines[13], "APPROVED4\n");
    EXPECT_EQ(lines[merchant + 4], "CUSTOMER COPY4\n");
    EXPECT_EQ(lines[merchant + customer - 2], "PLEASE KEEP THIS RECEIPT4\n");
}

// A refusal stops the rest of that copy; the next copy is still tried.
TEST(SimPrinter, PrinterStatusDecidesHowFarEachCopyGoes) {
    struct Case {
        const char* name;
        char state;
        sim::PrintOutcome outcome;
    };
    const std::size_t merchant = sim::build_receipt(sale(), sim::ReceiptCopy::Merchant).size();
    const std::size_t customer = sim::build_receipt(sale(), sim::ReceiptCopy::Customer).size();
    for (const Case& c :
         {Case{"unknown status counts as printed", '\7', sim::PrintOutcome::Printed},
          Case{"out of paper", '\1', sim::PrintOutcome::PaperOut},
          Case{"printer error", '\2', sim::PrintOutcome::PrinterError}}) {
        SCOPED_TRACE(c.name);
        SimTill child("PrinterState-sim-status");
        write_file("PrinterState-sim-status", std::string(1, c.state));
        const sim::ReceiptsResult result = sim::print_transaction_receipts(sale());
        const bool whole = c.outcome == sim::PrintOutcome::Printed;
        for (const auto& [copy, size] :
             {std::pair{result.merchant, merchant}, std::pair{result.customer, customer}}) {
            EXPECT_EQ(copy.outcome, c.outcome) << copy.detail;
            EXPECT_EQ(copy.lines_total, size);
            EXPECT_EQ(copy.lines_answered, whole ? size : 1);
        }
        const std::size_t sent = whole ? merchant + customer : 2;
        const std::vector<std::string> lines = child.lines(sent);
        ASSERT_EQ(lines.size(), sent);
        EXPECT_EQ(lines[whole ? merchant : 1], "CAF\xC9 KORVEX1\n") << "the customer copy starts";
        EXPECT_FALSE(child.next_line(200)) << "no line after the printer's refusal";
    }
}

TEST(SimPrinter, NoTillOrABadReplyEndsTheDocument) {
    // A port where nobody listens: the customer copy is not even tried.
    ListenStep failed;
    std::string error;
    const int listener = print_server_listen(0, "127.0.0.1", &failed, &error);
    ASSERT_GE(listener, 0) << error;
    const int free_port = print_test::port_of(listener);
    close(listener);
    {
        ScopedEnv port("KORVEX_SIM_PRINT_PORT", std::to_string(free_port).c_str());
        const sim::ReceiptsResult none = sim::print_transaction_receipts(sale());
        EXPECT_EQ(none.merchant.outcome, sim::PrintOutcome::NoPrinter);
        EXPECT_EQ(none.customer.outcome, sim::PrintOutcome::NoPrinter);
        EXPECT_EQ(none.merchant.lines_answered, 0u);
        EXPECT_NE(none.merchant.detail.find(std::to_string(free_port)), std::string::npos)
            << none.merchant.detail;
    }

    // A till that answers 5 bytes and hangs up.
    const int till = print_server_listen(0, "127.0.0.1", &failed, &error);
    ASSERT_GE(till, 0) << error;
    std::thread answer([till] {
        const int conn = accept(till, nullptr, nullptr);
        char buffer[128];
        recv(conn, buffer, sizeof buffer, 0);
        send(conn, "\x09\x00\x00\x00\x00", 5, MSG_NOSIGNAL);
        close(conn);
    });
    const sim::PrintResult bad = sim::print_document(
        sim::build_receipt(sale(), sim::ReceiptCopy::Customer), till_at(print_test::port_of(till)));
    answer.join();
    close(till);
    EXPECT_EQ(bad.outcome, sim::PrintOutcome::BadReply);
    EXPECT_EQ(bad.lines_answered, 0u);
}

TEST(SimPrinter, AmountsAndLinesAsPrinted) {
    struct Case {
        long long minor;
        int exponent;
        int currency;
        std::string text;
    };
    for (const Case& c : std::vector<Case>{
             {-100, 2, 840, "-$1.00"},
             {7, 3, 999, "999 0.007"},
             {LLONG_MIN, 0, 840, "-$9223372036854775808"},
         })
        EXPECT_EQ(sim::format_amount(c.minor, c.exponent, c.currency), c.text);

    // A line too long for one job is cut to fit the till's single read.
    const std::string job = encode_print_line(PrintStyle::Centered, std::string(300, 'x'));
    EXPECT_EQ(job.size(), 127u);
    EXPECT_EQ(job.substr(16, 3), std::string("\x1B\x61\x00", 3));
    EXPECT_EQ(job.back(), '\n');
    // Control characters would act as style codes: they go as spaces.
    EXPECT_EQ(encode_print_line(PrintStyle::Normal, "a\022b\033c").substr(16), "a b c\n");
}

// The testers' sender, run as a program against the real child.
TEST(SimPrinter, SenderToolPrintsTheReply) {
    const std::string tool = std::string(KELVRA_BINARY_DIR) + "kelvra-print-send";
    if (access(tool.c_str(), X_OK) != 0)
        GTEST_SKIP() << "kelvra-print-send is not built";
    PrintChild child(print_test::state_file("PrinterState-tool", "\1"));
    auto run = [&](const std::string& args, int expected_status) {
        const std::string command =
            tool + " -p " + std::to_string(child.port()) + " " + args + " 2>&1";
        FILE* pipe = popen(command.c_str(), "r");
        std::string out;
        char chunk[256];
        while (std::size_t n = fread(chunk, 1, sizeof chunk, pipe))
            out.append(chunk, n);
        EXPECT_EQ(WEXITSTATUS(pclose(pipe)), expected_status) << out;
        return out;
    };
    // Latin-1 goes as its byte, the euro as the printer's; the child expands only the euro.
    const std::string out = run("--style bold 'Caf\xC3\xA9 \xE2\x82\xAC"
                                "5'",
                                0);
    EXPECT_NE(out.find("status 1 (out of paper)"), std::string::npos) << out;
    EXPECT_EQ(child.next_line(), "Caf\xE9 \xE2\x82\xAC"
                                 "51\n");
    EXPECT_NE(run("--style sideways x", 2).find("unknown style"), std::string::npos);
}

} // namespace
