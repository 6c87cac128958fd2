// The simulated terminal's printer against the console's real print-server child:
// the receipt copies with their style bytes, and what the terminal does with each
// printer status. The printer's functions are internal to libkorvex (hidden
// symbols), so this test compiles its own copy of them.
#include "print_child.h"
#include "sim/sim_printer.cpp"
#include "test_env.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

namespace {

using print_test::PrintChild;

std::string fresh_state(const std::string& name, std::optional<char> status) {
    const std::string path = test_work_dir() + "/" + name;
    std::filesystem::remove(path);
    if (status)
        std::ofstream(path, std::ios::binary) << *status;
    return path;
}

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
    facts.currency_exponent = 2;
    facts.currency_code = 978;
    facts.auth_code = "A1B2C3";
    facts.invoice = "000042";
    facts.date_time = "2024-05-01 14:03:59";
    facts.status_text = "Authorised";
    facts.approved = true;
    return facts;
}

std::vector<std::string> lines_of(PrintChild& child, std::size_t count) {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < count; ++i) {
        auto line = child.next_line();
        if (!line)
            break;
        lines.push_back(*line);
    }
    return lines;
}

TEST(SimPrinter, BothCopiesReachTheTillWithTheirStyles) {
    PrintChild child(fresh_state("PrinterState-sim-ok", std::nullopt));
    const std::string port = std::to_string(child.port());
    setenv("KORVEX_SIM_PRINT_PORT", port.c_str(), 1);
    std::vector<sim::ReceiptCopy> started;
    const sim::ReceiptsResult result =
        sim::print_transaction_receipts(sale(), [&](sim::ReceiptCopy c) { started.push_back(c); });
    unsetenv("KORVEX_SIM_PRINT_PORT");

    const std::size_t merchant = sim::build_receipt(sale(), sim::ReceiptCopy::Merchant).size();
    const std::size_t customer = sim::build_receipt(sale(), sim::ReceiptCopy::Customer).size();
    EXPECT_EQ(result.merchant.outcome, sim::PrintOutcome::Printed);
    EXPECT_EQ(result.customer.outcome, sim::PrintOutcome::Printed);
    EXPECT_EQ(result.merchant.lines_answered, merchant);
    EXPECT_EQ(result.customer.lines_answered, customer);
    EXPECT_EQ(started, (std::vector<sim::ReceiptCopy>{sim::ReceiptCopy::Merchant,
                                                      sim::ReceiptCopy::Customer}));

    // What the till's window process receives, line by line, in order.
    const std::vector<std::string> lines = lines_of(child, merchant + customer);
    ASSERT_EQ(lines.size(), merchant + customer);
    const std::vector<std::string> merchant_expected = {
        "CAF\xC9 KORVEX1\n", // bold header, Latin-1 for the console to convert
        "1 Main Street4\n",  // centred
        "Springfield4\n",
        " 0\n", // a bare line feed
        "MERCHANT COPY4\n",
        "SALE1\n",
        "2024-05-01 14:03:590\n",
        "CARD" + std::string(12, ' ') + "************12340\n", // label and value over 32 columns
        "INVOICE" + std::string(19, ' ') + "0000420\n",
        "AUTH CODE" + std::string(17, ' ') + "A1B2C30\n",
        " 0\n",
        "TOTAL \xE2\x82\xAC"
        "12.346\n", // double size, the euro byte expanded by the till
        " 0\n",
        "APPROVED4\n",
        "Authorised4\n",
        " 0\n",
    };
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + merchant), merchant_expected);
    EXPECT_EQ(lines[merchant + 4], "CUSTOMER COPY4\n");
    EXPECT_EQ(lines[merchant + customer - 2], "PLEASE KEEP THIS RECEIPT4\n");
}

TEST(SimPrinter, PrinterStatusDecidesHowFarACopyGoes) {
    struct Case {
        const char* name;
        std::optional<char> state;
        sim::PrintOutcome outcome;
        bool whole; // every line answered
    };
    const std::vector<Case> cases = {
        {"printed", '\0', sim::PrintOutcome::Printed, true},
        {"unknown status counts as printed", '\7', sim::PrintOutcome::Printed, true},
        {"out of paper: stops the copy", '\1', sim::PrintOutcome::PaperOut, false},
        {"printer error: stops the copy", '\2', sim::PrintOutcome::PrinterError, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PrintChild child(fresh_state("PrinterState-sim-status", c.state));
        const sim::ReceiptFacts facts = sale();
        const auto copy = sim::build_receipt(facts, sim::ReceiptCopy::Merchant);
        const sim::PrintResult result = sim::print_document(copy, till_at(child.port()));
        EXPECT_EQ(result.outcome, c.outcome) << result.detail;
        EXPECT_EQ(result.lines_total, copy.size());
        const std::size_t expected_lines = c.whole ? copy.size() : 1;
        EXPECT_EQ(result.lines_answered, expected_lines);
        EXPECT_EQ(lines_of(child, expected_lines).size(), expected_lines);
        EXPECT_FALSE(child.next_line(200)) << "no line after the printer's refusal";
    }
}

TEST(SimPrinter, TheCustomerCopyIsTriedAfterAFailedMerchantCopy) {
    PrintChild child(fresh_state("PrinterState-sim-retry", '\2'));
    setenv("KORVEX_SIM_PRINT_PORT", std::to_string(child.port()).c_str(), 1);
    const sim::ReceiptsResult result = sim::print_transaction_receipts(sale());
    unsetenv("KORVEX_SIM_PRINT_PORT");
    EXPECT_EQ(result.merchant.outcome, sim::PrintOutcome::PrinterError);
    EXPECT_EQ(result.customer.outcome, sim::PrintOutcome::PrinterError);
    EXPECT_EQ(child.next_line(), "CAF\xC9 KORVEX1\n");
    EXPECT_EQ(child.next_line(), "CAF\xC9 KORVEX1\n");
    EXPECT_FALSE(child.next_line(200));
}

TEST(SimPrinter, NoTillOrABadReplyEndsTheDocument) {
    // A port where nobody listens: the customer copy is not even tried.
    ListenStep failed;
    std::string error;
    const int probe = print_server_listen(0, "127.0.0.1", &failed, &error);
    ASSERT_GE(probe, 0) << error;
    const int free_port = print_test::port_of(probe);
    close(probe);
    setenv("KORVEX_SIM_PRINT_PORT", std::to_string(free_port).c_str(), 1);
    const sim::ReceiptsResult none = sim::print_transaction_receipts(sale());
    unsetenv("KORVEX_SIM_PRINT_PORT");
    EXPECT_EQ(none.merchant.outcome, sim::PrintOutcome::NoPrinter);
    EXPECT_EQ(none.customer.outcome, sim::PrintOutcome::NoPrinter);
    EXPECT_EQ(none.merchant.lines_answered, 0u);
    EXPECT_NE(none.merchant.detail.find(std::to_string(free_port)), std::string::npos)
        << none.merchant.detail;

    // A till that answers 5 bytes and hangs up.
    const int listener = print_server_listen(0, "127.0.0.1", &failed, &error);
    ASSERT_GE(listener, 0) << error;
    std::thread till([listener] {
        const int conn = accept(listener, nullptr, nullptr);
        char buffer[128];
        recv(conn, buffer, sizeof buffer, 0);
        send(conn, "\x09\x00\x00\x00\x00", 5, MSG_NOSIGNAL);
        close(conn);
    });
    const sim::PrintResult bad =
        sim::print_document(sim::build_receipt(sale(), sim::ReceiptCopy::Customer),
                            till_at(print_test::port_of(listener)));
    till.join();
    close(listener);
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
    const std::vector<Case> cases = {
        {1234, 2, 978,
         "\xE2\x82\xAC"
         "12.34"},
        {5, 2, 826,
         "\xC2\xA3"
         "0.05"},
        {-100, 2, 840, "-$1.00"},
        {1234, 0, 392, "JPY 1234"},
        {7, 3, 999, "999 0.007"},
        {0, 2, 756, "CHF 0.00"},
        {LLONG_MIN, 0, 840, "-$9223372036854775808"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(sim::format_amount(c.minor, c.exponent, c.currency), c.text);

    // A line too long for one job is cut to fit the till's single read.
    const std::string job =
        sim::encode_print_line({sim::PrintStyle::Centered, std::string(300, 'x')});
    EXPECT_EQ(job.size(), 127u);
    EXPECT_EQ(job.substr(16, 3), std::string("\x1B\x61\x00", 3));
    EXPECT_EQ(job.back(), '\n');
    // Control characters would act as style codes: they go as spaces.
    const std::string tabbed = sim::encode_print_line({sim::PrintStyle::Normal, "a\x12"
                                                                                "b\x1B"
                                                                                "c"});
    EXPECT_EQ(tabbed.substr(16), "a b c\n");

    const struct {
        const char* value;
        int port;
    } ports[] = {{"6001", 6001}, {"abc", 5187}, {"70000", 5187}, {"", 5187}};
    for (const auto& p : ports) {
        setenv("KORVEX_SIM_PRINT_PORT", p.value, 1);
        EXPECT_EQ(sim::print_endpoint().port, p.port) << p.value;
    }
    unsetenv("KORVEX_SIM_PRINT_PORT");
    EXPECT_EQ(sim::print_endpoint().port, 5187);
    EXPECT_EQ(sim::print_endpoint().host, "127.0.0.1");
}

TEST(SimPrinter, DeclinedReceiptHasNoAuthCode) {
    sim::ReceiptFacts facts = sale();
    facts.approved = false;
    facts.status_text = "Not authorised";
    const auto lines = sim::build_receipt(facts, sim::ReceiptCopy::Customer);
    bool declined = false;
    for (const sim::PrintLine& line : lines) {
        EXPECT_EQ(line.text.find("AUTH CODE"), std::string::npos);
        declined = declined || (line.text == "DECLINED" && line.style == sim::PrintStyle::Centered);
    }
    EXPECT_TRUE(declined);
}

// The testers' sender, run as a program against the real child.
TEST(SimPrinter, SenderToolPrintsTheReply) {
    const std::string tool = std::string(KELVRA_BINARY_DIR) + "kelvra-print-send";
    if (access(tool.c_str(), X_OK) != 0)
        GTEST_SKIP() << "kelvra-print-send is not built";
    PrintChild child(fresh_state("PrinterState-tool", '\1'));
    const std::string port = std::to_string(child.port());
    auto run = [&](const std::string& args, int* status) {
        const std::string command = tool + " -p " + port + " " + args + " 2>&1";
        FILE* pipe = popen(command.c_str(), "r");
        std::string out;
        char chunk[256];
        while (std::size_t n = fread(chunk, 1, sizeof chunk, pipe))
            out.append(chunk, n);
        *status = WEXITSTATUS(pclose(pipe));
        return out;
    };
    int status = -1;
    std::string out = run("--style bold 'Total \xE2\x82\xAC"
                          "5'",
                          &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("status 1 (out of paper)"), std::string::npos) << out;
    EXPECT_EQ(child.next_line(), "Total \xE2\x82\xAC"
                                 "51\n");

    out = run("--raw 0500000000", &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(child.next_line(), "0\n");

    out = run("--style sideways x", &status);
    EXPECT_EQ(status, 2);
    EXPECT_NE(out.find("unknown style"), std::string::npos) << out;
}

} // namespace
