// The print-job reader's pieces that the wire cannot reach on their own: the
// unpacked Tag and Length, the cuts at a character boundary, the window side's
// conversion of a pipe line, the encoders that testers' tools use, and one job
// read alike by the console and the runner; and the simulated terminal's printer
// against the console's real print-server child.
#include "print_child.h"
#include "print_job.h"
#include "receipt_server.h"
#include "sim/sim_printer.h"

#include <gtest/gtest.h>

#include <climits>
#include <thread>
#include <vector>

namespace {

using print_test::job;

unsigned char* bytes_of(std::string& s) {
    return reinterpret_cast<unsigned char*>(s.data());
}

TEST(PrintJob, UnpackKeepsTheLow16BitsOfTagAndLengthAndRejectsLeaveOutputsAlone) {
    std::string bytes = job("AB\n");
    bytes.replace(8, 4, std::string("\x78\x56\x34\x12", 4));  // Tag 0x12345678
    bytes.replace(12, 4, std::string("\x07\x00\x09\x00", 4)); // Length 0x00090007
    unsigned short tag = 0, length = 0;
    unsigned char line[kPrintBufferSize] = {};
    ASSERT_TRUE(
        TLVFieldUnpack(bytes_of(bytes), static_cast<int>(bytes.size()), &tag, &length, line));
    EXPECT_EQ(tag, 0x5678);
    EXPECT_EQ(length, 0x0007);
    EXPECT_STREQ(reinterpret_cast<char*>(line), "AB\n");

    for (std::string rejected : {job("AB\n", 0x0201), job("AB\n", 0x0200, 0x2101),
                                 job("AB\n", 0x0200, 0x2100, 0x10000), job("AB\n").substr(0, 15)}) {
        tag = 0xAAAA, length = 0xBBBB;
        std::memset(line, 0xCC, sizeof line);
        EXPECT_FALSE(TLVFieldUnpack(bytes_of(rejected), static_cast<int>(rejected.size()), &tag,
                                    &length, line));
        EXPECT_EQ(tag, 0xAAAA);
        EXPECT_EQ(length, 0xBBBB);
        EXPECT_EQ(line[0], 0xCC);
    }
}

TEST(PrintJob, CutsKeepWholeCharacters) {
    struct Case {
        std::string text;
        std::size_t limit;
        std::size_t expected;
    };
    for (const Case& c : std::vector<Case>{
             {"abc", 2, 2},
             {"a\xE2\x82\xAC", 3, 1}, // the euro sign would be split
             {"a\xE2\x82\xAC", 4, 4},
             {"\xF0\x9F\x98\x80x", 2, 0},
             {"\x80\x80\x80\x80\x80", 2, 0}, // malformed: never more than 3 bytes back
         })
        EXPECT_EQ(utf8_prefix_length(c.text.data(), c.text.size(), c.limit), c.expected) << c.text;

    // A pipe line keeps room for its style digit and line feed.
    char out[8];
    EXPECT_EQ(format_pipe_line(out, sizeof out,
                               "abc\xE2\x82\xAC"
                               "d",
                               CENTER_TEXT),
              5u);
    EXPECT_STREQ(out, "abc4\n");
    EXPECT_EQ(format_pipe_line(out, sizeof out, "", BOLD), 2u);
    EXPECT_STREQ(out, "1\n");
}

// The window side: the style digit and the character set. The styles of the wire
// and the control characters are shown through the receipt view.
TEST(PrintJob, PipeLinesBecomeReceiptText) {
    struct Case {
        const char* name;
        const char* codeset; // SMB_CODESET
        std::string line;    // without its line feed
        std::string text;
        PrintJobFont font;
    };
    const std::vector<Case> cases = {
        {"marker style runs on", nullptr, "mark8", "mark", SPECIFIC_MARKER_FONT},
        {"style 9 is still a line", nullptr, "n9", "n\n", static_cast<PrintJobFont>(9)},
        {"non-digit counts as default", nullptr, "abx", "ab\n", DEFAULT},
        {"nothing at all", nullptr, "", "\n", DEFAULT},
        // A set that cannot read the line: the fallback reads it as ISO-8859-2,
        // where 0xA3 is an L with stroke (in Latin-1 it would be a pound sign).
        {"fallback ISO-8859-2", "UTF-8",
         "\xA3"
         "0",
         "\xC5\x81\n", DEFAULT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedEnv codeset("SMB_CODESET", c.codeset);
        char out[kReceiptLineSize];
        std::memset(out, 'Z', sizeof out);
        EXPECT_EQ(receipt_text_from_pipe_line(c.line.data(), c.line.size(), out, sizeof out),
                  c.font);
        EXPECT_EQ(std::string(out), c.text);
    }
    // The view shows a style without a tag of its own, the marker's included, as "FONT".
    for (int style : {8, 12, -1}) {
        char tag[20] = {};
        FormatReceivedData(static_cast<PrintJobFont>(style), tag);
        EXPECT_STREQ(tag, "FONT") << style;
    }
}

TEST(PrintJob, ConvertedTextIsCutToFitWithItsLineFeed) {
    ScopedEnv codeset("SMB_CODESET", "ISO-8859-1");
    const std::string line = std::string(20, '\xE9') + "0"; // 40 bytes once converted
    for (std::size_t size : {3u, 4u, 7u}) {
        SCOPED_TRACE(size);
        char out[16];
        receipt_text_from_pipe_line(line.data(), line.size(), out, size);
        const std::string text(out);
        ASSERT_FALSE(text.empty());
        EXPECT_LT(text.size(), size);
        EXPECT_EQ(text.back(), '\n');
        EXPECT_TRUE(g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr));
        EXPECT_EQ(text.size() % 2, 1u) << "only whole two-byte characters before the line feed";
    }
}

// The console (its print child, then the window side of the pipe) and the runner's
// print server journal the same text for the same job.
TEST(PrintJob, ConsoleAndRunnerJournalOneJobAlike) {
    ScopedEnv codeset("SMB_CODESET", "ISO-8859-1");
    constexpr int kRunnerPort = 5190;
    print_test::PrintChild console(test_work_dir() + "/alike-state");
    ReceiptServer runner;
    std::string error, reply;
    ASSERT_TRUE(runner.start(kRunnerPort, &error)) << error;
    // clang-format off
    const std::pair<std::string, std::string> cases[] = {
        {"A\tB\rC\x01" "D\n", "A B C D"},                                   // control characters
        {"Caf\xE9 \xFC" "ber\n", "Caf\xC3\xA9 \xC3\xBC" "ber"},              // ISO-8859-1
        {"\x1B\x61\x01Total \x93" "5\x12\n", "Total \xE2\x82\xAC" "5"},     // style codes
        {"\n", " "},
    };
    // clang-format on
    for (const auto& [line, text] : cases) {
        SCOPED_TRACE(text);
        console.send(job(line));
        const std::string piped = console.next_line().value_or("\n");
        char shown[kReceiptLineSize];
        receipt_text_from_pipe_line(piped.data(), piped.size() - 1, shown, sizeof shown);
        EXPECT_EQ(std::string(shown, std::strlen(shown) - 1), text) << "console";
        ASSERT_TRUE(send_print_job("127.0.0.1", kRunnerPort, job(line), &reply, &error, 5000));
        EXPECT_EQ(runner.take(), std::vector<std::string>{text}) << "runner";
    }
}

TEST(PrintJob, RepliesAreRecognisedOnlyWhole) {
    std::string good = print_test::reply_with(2);
    unsigned char status = 9;
    EXPECT_TRUE(parse_print_reply(bytes_of(good), good.size(), &status));
    EXPECT_EQ(status, 2);
    for (std::size_t i = 0; i < 16; ++i) {
        std::string bad = good;
        bad[i] = static_cast<char>(bad[i] ^ 0x40);
        EXPECT_FALSE(parse_print_reply(bytes_of(bad), bad.size(), &status)) << "byte " << i;
    }
    EXPECT_FALSE(parse_print_reply(bytes_of(good), 16, &status));
}

// The terminal's encoder and the console's reader must agree: every style the
// sending side writes comes back as its style, with the text and the money signs.
TEST(PrintJob, EveryStyleSentComesBackFromTheReader) {
    const std::pair<PrintStyle, PrintJobFont> styles[] = {
        {PrintStyle::Normal, DEFAULT},         {PrintStyle::Bold, BOLD},
        {PrintStyle::Centered, CENTER_TEXT},   {PrintStyle::RightJustified, RIGHT_JUSTIFY},
        {PrintStyle::DoubleSize, DOUBLE_SIZE}, {PrintStyle::DoubleWidth, DOUBLE_WIDTH},
        {PrintStyle::HalfSize, HALF_SIZE},
    };
    for (const auto& [style, font] : styles) {
        SCOPED_TRACE(static_cast<int>(style));
        std::string bytes = encode_print_line(style, "Caf\xC3\xA9 \xE2\x82\xAC"
                                                     "5 \xC2\xA3"
                                                     "1");
        unsigned short tag = 0, length = 0;
        unsigned char line[kPrintBufferSize] = {};
        ASSERT_TRUE(
            TLVFieldUnpack(bytes_of(bytes), static_cast<int>(bytes.size()), &tag, &length, line));
        char text[kPrintBufferSize] = {};
        EXPECT_EQ(scan_print_line(line, bytes.size() - 16, text, sizeof text), font);
        // Latin-1 stays a byte (the window converts it); the signs come as UTF-8.
        EXPECT_STREQ(text, "Caf\xE9 \xE2\x82\xAC"
                           "5 \xC2\xA3"
                           "1");
    }
}

// The simulated terminal's printer against the console's real print-server child:
// the receipt copies with their style bytes, and what the terminal does with each
// printer status. The printer's functions are internal to libkorvex (hidden
// symbols), so this test links their library of its own.
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
