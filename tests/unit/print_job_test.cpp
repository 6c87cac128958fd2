// The print-job reader's pieces the wire cannot reach, the encoders testers' tools use,
// the simulated terminal's printer, and the console's print-server child over loopback
// sockets: style scan, malformed jobs, the reply, hang-ups, silence, port 5187.
#include "print_child.h"
#include "receipt_server.h"
#include "sim/sim_printer.h"

#include <sys/resource.h>

#include <climits>
#include <thread>

namespace {

using namespace print_test;

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
    for (const auto& [text, limit, expected] : std::vector<std::tuple<std::string, int, int>>{
             {"abc", 2, 2},
             {"a\xE2\x82\xAC", 3, 1}, // the euro sign would be split
             {"a\xE2\x82\xAC", 4, 4},
             {"\xF0\x9F\x98\x80x", 2, 0},
             {"\x80\x80\x80\x80\x80", 2, 0}, // malformed: never more than 3 bytes back
         })
        EXPECT_EQ(utf8_prefix_length(text.data(), text.size(), limit), std::size_t(expected))
            << text;

    // A pipe line keeps room for its style digit and line feed.
    char out[8];
    EXPECT_EQ(format_pipe_line(out, sizeof out, "abc\u20ACd", CENTER_TEXT), 5u);
    EXPECT_STREQ(out, "abc4\n");
    EXPECT_EQ(format_pipe_line(out, sizeof out, "", BOLD), 2u);
    EXPECT_STREQ(out, "1\n");
}

// The window side (the wire's styles and control characters: through the receipt view).
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
    PrintChild console(test_work_dir() + "/alike-state");
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
    std::string good = reply_with(2);
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

// The terminal's encoder and the console's reader agree on styles, text and money signs.
TEST(PrintJob, EveryStyleSentComesBackFromTheReader) {
    const std::pair<PrintStyle, PrintJobFont> styles[] = {
        {PrintStyle::Normal, DEFAULT},         {PrintStyle::Bold, BOLD},
        {PrintStyle::Centered, CENTER_TEXT},   {PrintStyle::RightJustified, RIGHT_JUSTIFY},
        {PrintStyle::DoubleSize, DOUBLE_SIZE}, {PrintStyle::DoubleWidth, DOUBLE_WIDTH},
        {PrintStyle::HalfSize, HALF_SIZE},
    };
    for (const auto& [style, font] : styles) {
        SCOPED_TRACE(static_cast<int>(style));
        std::string bytes = encode_print_line(style, "Caf\u00E9 \u20AC5 \u00A31");
        unsigned short tag = 0, length = 0;
        unsigned char line[kPrintBufferSize] = {};
        ASSERT_TRUE(
            TLVFieldUnpack(bytes_of(bytes), static_cast<int>(bytes.size()), &tag, &length, line));
        char text[kPrintBufferSize] = {};
        EXPECT_EQ(scan_print_line(line, bytes.size() - 16, text, sizeof text), font);
        // Latin-1 stays a byte (the window converts it); the signs come as UTF-8.
        EXPECT_STREQ(text, "Caf\xE9 \u20AC5 \u00A31");
    }
}

// The simulated terminal's printer against the console's real print-server child. Its
// functions are hidden symbols of libkorvex: this test links their library of its own.

sim::ReceiptFacts sale() {
    return {.merchant_name = "CAF\xC3\x89 KORVEX",
            .merchant_address = {"1 Main Street", "", "Springfield"},
            .type_name = "SALE",
            .masked_pan = "************1234",
            .amount_minor = 1234,
            .currency_code = 978,
            .auth_code = "A1B2C3",
            .invoice = "000042",
            .date_time = "2024-05-01 14:03:59",
            .status_text = "Authorised",
            .approved = true};
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
    EXPECT_EQ(lines[11], "TOTAL \u20AC12.346\n"); // double size, the euro byte expanded
    EXPECT_EQ(lines[13], "APPROVED4\n");
    EXPECT_EQ(lines[merchant + 4], "CUSTOMER COPY4\n");
    EXPECT_EQ(lines[merchant + customer - 2], "PLEASE KEEP THIS RECEIPT4\n");
}

// A refusal stops the rest of that copy; the next copy is still tried. The status is
// the state file's first byte (0 without one), read for every job.
TEST(SimPrinter, PrinterStatusDecidesHowFarEachCopyGoes) {
    using Status = std::tuple<const char*, std::optional<std::string>, sim::PrintOutcome>;
    const std::size_t merchant = sim::build_receipt(sale(), sim::ReceiptCopy::Merchant).size();
    const std::size_t customer = sim::build_receipt(sale(), sim::ReceiptCopy::Customer).size();
    // The state file's bytes (or no file) and the outcome of each copy.
    for (const auto& [name, state, outcome] :
         {Status{"no state file", std::nullopt, sim::PrintOutcome::Printed},
          Status{"an empty file", "", sim::PrintOutcome::Printed},
          Status{"unknown status counts as printed", "\7", sim::PrintOutcome::Printed},
          Status{"out of paper", "\1", sim::PrintOutcome::PaperOut},
          Status{"printer error; the first byte counts", "\2\1",
                 sim::PrintOutcome::PrinterError}}) {
        SCOPED_TRACE(name);
        SimTill child("PrinterState-sim-status");
        if (state)
            write_file("PrinterState-sim-status", *state);
        const sim::ReceiptsResult result = sim::print_transaction_receipts(sale());
        const bool whole = outcome == sim::PrintOutcome::Printed;
        for (const auto& [copy, size] :
             {std::pair{result.merchant, merchant}, std::pair{result.customer, customer}}) {
            EXPECT_EQ(copy.outcome, outcome) << copy.detail;
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
    const int listener = listen_on_free_port();
    ASSERT_GE(listener, 0);
    const int free_port = port_of(listener);
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
    const int till = listen_on_free_port();
    ASSERT_GE(till, 0);
    std::thread answer([till] {
        const int conn = accept(till, nullptr, nullptr);
        char buffer[128];
        recv(conn, buffer, sizeof buffer, 0);
        send(conn, "\x09\x00\x00\x00\x00", 5, MSG_NOSIGNAL);
        close(conn);
    });
    const sim::PrintResult bad =
        sim::print_document(sim::build_receipt(sale(), sim::ReceiptCopy::Customer),
                            sim::PrintEndpoint{.port = port_of(till), .timeout_ms = 2000});
    answer.join();
    close(till);
    EXPECT_EQ(bad.outcome, sim::PrintOutcome::BadReply);
    EXPECT_EQ(bad.lines_answered, 0u);
}

TEST(SimPrinter, AmountsAndLinesAsPrinted) {
    EXPECT_EQ(sim::format_amount(-100, 2, 840), "-$1.00");
    EXPECT_EQ(sim::format_amount(7, 3, 999), "999 0.007");
    EXPECT_EQ(sim::format_amount(LLONG_MIN, 0, 840), "-$9223372036854775808");

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
    PrintChild child(state_file("PrinterState-tool", "\1"));
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
    const std::string out = run("--style bold 'Caf\u00E9 \u20AC5'", 0);
    EXPECT_NE(out.find("status 1 (out of paper)"), std::string::npos) << out;
    EXPECT_EQ(child.next_line(), "Caf\xE9 \u20AC51\n");
    EXPECT_NE(run("--style sideways x", 2).find("unknown style"), std::string::npos);
}

// What the child sends on `fd` until it closes, `limit` bytes have come, or `seconds` pass.
std::string receive(int fd, std::size_t limit = SIZE_MAX, long seconds = 2) {
    timeval tv{seconds, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    std::string all;
    char chunk[64];
    ssize_t n;
    while (all.size() < limit && (n = recv(fd, chunk, sizeof chunk, 0)) > 0)
        all.append(chunk, static_cast<std::size_t>(n));
    return all;
}

// The line in, the pipe line out ("%s%d\n").
TEST(PrintServer, StyleScanOverTheWire) {
    struct Case {
        const char* name;
        std::string line;
        std::string pipe_line;
    };
    // 111 printer euros are 333 bytes of UTF-8: 41 signs (123 bytes) fit, a 42nd
    // would pass 125.
    std::string euros;
    for (int i = 0; i < 41; ++i)
        euros += "\xE2\x82\xAC";
    const std::vector<Case> cases = {
        {"centre on 2", std::string("\033a\002C\n"), "C4\n"},
        {"bold by ESC 1F skips its argument", "\033\037Zb\n", "b1\n"},
        {"unknown escape dropped, style kept", "\033T\033Qk\n", "k1\n"},
        {"other control codes dropped", "\020\021\037d\n", "d0\n"},
        {"last style code wins", "\033Ta\022b\016c\n", "abc7\n"},
        {"style then line feed", "\033T\n", " 1\n"},
        {"scan stops at the line feed", "A\nB\022", "A0\n"},
        {"escape swallows a line feed", "\033\nAB\n", "AB0\n"},
        {"tab and carriage return kept for the window", "a\tb\rc\n", "a\tb\rc0\n"},
        {"NUL ends the text, later styles count", std::string("ab\0cd\022", 6), "ab6\n"},
        {"over-long: cut at a character boundary", std::string(111, '\x93'), euros + "0\n"},
        {"over-long after a letter", "a" + std::string(110, '\x93'), "a" + euros + "0\n"},
    };
    PrintChild child(state_file("PrinterState-styles"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_LE(c.line.size(), kPrintLineMax);
        EXPECT_EQ(child.send(job(c.line)), reply_with(0));
        EXPECT_EQ(child.next_line(), c.pipe_line);
    }
}

// A job that fails any test still gets the whole reply and gives an empty line.
TEST(PrintServer, MalformedAndTruncatedJobsAreAnsweredInFull) {
    struct Case {
        const char* name;
        std::string bytes;
        std::string pipe_line = "0\n";
    };
    const std::string ok = job("OK\n");
    const std::vector<Case> cases = {
        {"type 0x2101", job("OK\n", 0x0200, 0x2101)},
        {"version 0x0201", job("OK\n", 0x0201)},
        {"length one too big", job("OK\n", 0x0200, 0x2100, 0xFFFFFFFF, 1)},
        {"length one too small", job("OK\n", 0x0200, 0x2100, 0xFFFFFFFF, -1)},
        {"Length field zero", job("OK\n", 0x0200, 0x2100, 0)},
        {"Length zero in its low 16 bits", job("OK\n", 0x0200, 0x2100, 0x00030000)},
        {"header cut short", ok.substr(0, 5)},
        {"header without its TLV part", ok.substr(0, 12)},
        {"two jobs in one read", ok + ok},
        {"longer than one read", job(std::string(150, 'x'))},
        {"the smallest valid job: message_length 8, no line", job("", 0x0200, 0x2100, 1)},
        // Older versions and any Tag are accepted; the Length value does not delimit.
        {"version 0x0100, Length 1", job("OLD\n", 0x0100, 0x2100, 1), "OLD0\n"},
    };
    PrintChild child(state_file("PrinterState-malformed"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(child.send(c.bytes), reply_with(0));
        EXPECT_EQ(child.next_line(), c.pipe_line);
    }
    // Nothing else was queued: every job above gave exactly one line.
    EXPECT_FALSE(child.next_line(200));
}

// A connection gives one job: a second job on it is never read. Terminals that hang
// up early (without a byte, or resetting before the reply) do not stop the server.
TEST(PrintServer, OneJobAConnectionAndHangUpsDoNotStopTheServer) {
    PrintChild child(state_file("PrinterState-connections"));
    const int fd = connect_to(child.port());
    const std::string first = job("FIRST\n");
    ASSERT_EQ(send(fd, first.data(), first.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(first.size()));
    EXPECT_EQ(receive(fd, 17), reply_with(0));
    const std::string second = job("SECOND\n");
    send(fd, second.data(), second.size(), MSG_NOSIGNAL); // may fail: the child closed
    // No second reply: an orderly end, or a reset for the job it never read.
    EXPECT_EQ(receive(fd), "");
    close(fd);
    EXPECT_EQ(child.next_line(), "FIRST0\n");

    close(connect_to(child.port())); // connects and closes without a byte: no receipt line
    // Sends a job and resets the connection before the reply: the line still prints,
    // and the failed reply must not end the child (SIGPIPE ignored).
    for (int i = 0; i < 3; ++i) {
        const int gone = connect_to(child.port());
        const std::string bytes = job("GONE\n");
        send(gone, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        const linger abort_close{1, 0};
        setsockopt(gone, SOL_SOCKET, SO_LINGER, &abort_close, sizeof abort_close);
        close(gone);
        EXPECT_EQ(child.next_line(), "GONE0\n");
    }
    EXPECT_EQ(child.send(job("AFTER\n")), reply_with(0));
    EXPECT_EQ(child.next_line(), "AFTER0\n");
    EXPECT_FALSE(child.next_line(300));
    EXPECT_EQ(waitpid(child.pid(), nullptr, WNOHANG), 0) << "the child ended";
}

TEST(PrintServer, ASilentTerminalIsClosedAndOthersAreServed) {
    PrintChild child(state_file("PrinterState-silent"));
    const int silent[2] = {connect_to(child.port()), connect_to(child.port())};
    const auto start = std::chrono::steady_clock::now();
    // Two clients that connected first and send nothing hold up the next receipt
    // line by less than a second.
    EXPECT_EQ(child.send(job("NEXT\n"), 10000), reply_with(0));
    EXPECT_EQ(child.next_line(), "NEXT0\n") << "the silent terminals must not give a line";
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 1.0);
    // The silent ones got the reply and the end of the connection.
    for (int fd : silent) {
        EXPECT_EQ(receive(fd, kPrintReplySize, kPrintClientIdleSeconds + 3), reply_with(0));
        char byte;
        EXPECT_EQ(recv(fd, &byte, 1, 0), 0) << "the connection was ended";
        close(fd);
    }
    // Alone, a slow terminal keeps its whole idle time to send its job.
    const int slow = connect_to(child.port());
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    const std::string bytes = job("SLOW\n");
    send(slow, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    EXPECT_EQ(receive(slow), reply_with(0));
    EXPECT_EQ(child.next_line(), "SLOW0\n");
    close(slow);
}

// Who may print: loopback, the terminal's configured address, KELVRA_PRINT_ALLOW.
// A stranger is closed at once without a reply or a line, and counted. The
// stranger's address is added to the private namespace's loopback device.
TEST(PrintServer, OnlyAllowedPeersPrint) {
    constexpr const char* kStranger = "192.0.2.7";
    if (!std::getenv("KELVRA_PRIVATE_NET") ||
        std::system("ip addr add 192.0.2.7/32 dev lo 2>/dev/null || "
                    "/usr/sbin/ip addr add 192.0.2.7/32 dev lo 2>/dev/null") != 0)
        GTEST_SKIP() << "no private network namespace to add an address in";
    struct Case {
        const char* allow;    // KELVRA_PRINT_ALLOW
        const char* terminal; // the IP address setting
        const char* from;     // the peer's address
        bool prints;
    };
    const Case cases[] = {
        {"", "", "127.0.0.1", true},           {"", "", kStranger, false},
        {"", "192.0.2.8", kStranger, false},   {"", kStranger, kStranger, true},
        {"192.0.2.0/24", "", kStranger, true}, {"198.51.100.7, 10.0.0.0/8", "", kStranger, false},
        {"any", "", kStranger, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.allow) + " | " + c.terminal + " | " + c.from);
        ScopedEnv allow("KELVRA_PRINT_ALLOW", c.allow);
        PrintChild child(state_file("PrinterState-allow"));
        print_server_allow_terminal(c.terminal); // after the fork: reaches the child
        const unsigned refused_before = print_server_refused();
        const int fd = connect_to(child.port(), c.from);
        const std::string bytes = job("HELLO\n");
        send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        EXPECT_EQ(receive(fd), c.prints ? reply_with(0) : "");
        close(fd);
        EXPECT_EQ(child.next_line(c.prints ? 3000 : 300),
                  c.prints ? std::optional<std::string>("HELLO0\n") : std::nullopt);
        std::string last;
        EXPECT_EQ(print_server_refused(&last) - refused_before, c.prints ? 0u : 1u);
        if (!c.prints) {
            EXPECT_EQ(last, kStranger);
        }
    }
    print_server_allow_terminal("");
}

// "Save printed data": the chosen file is replaced whole, owner-only, or stays as it
// was. A file that cannot be opened says nothing; a write that fails says why.
TEST(ReceiptSave, ReplacesTheFileWholeOrNotAtAll) {
    const std::string dir = fresh_test_dir("receipt-save");
    struct Case {
        const char* what;
        std::string file;
        std::string text;
        rlim_t file_size_limit; // RLIM_INFINITY: none
        bool saved;
        bool says_why;
    };
    const Case cases[] = {
        {"replaces a readable file", dir + "/old.txt", "NEW\n", RLIM_INFINITY, true, false},
        {"a folder that is not there", dir + "/missing/x.txt", "NEW\n", RLIM_INFINITY, false,
         false},
        {"the disk refuses the rest", dir + "/old.txt", std::string(4096, 'x'), 100, false, true},
    };
    struct sigaction ignore {}, previous{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &previous); // a write past the limit fails with EFBIG instead
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::ofstream(dir + "/old.txt", std::ios::trunc) << "OLD\n";
        std::filesystem::permissions(dir + "/old.txt", std::filesystem::perms(0644));
        rlimit limit{}, before{};
        getrlimit(RLIMIT_FSIZE, &before);
        limit = before;
        limit.rlim_cur = c.file_size_limit;
        setrlimit(RLIMIT_FSIZE, &limit);
        std::string error;
        const bool saved = save_to_file(c.text.c_str(), c.file.c_str(), &error);
        setrlimit(RLIMIT_FSIZE, &before);
        EXPECT_EQ(saved, c.saved);
        EXPECT_EQ(!error.empty(), c.says_why) << error;
        if (c.saved) {
            EXPECT_EQ(read_file(c.file), c.text);
            EXPECT_EQ(std::filesystem::status(c.file).permissions(), std::filesystem::perms(0600));
        } else {
            EXPECT_EQ(read_file(dir + "/old.txt"), "OLD\n") << "the old file stays whole";
        }
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1)
            << "no temporary file left behind";
    }
    sigaction(SIGXFSZ, &previous, nullptr);
}

TEST(PrintServer, ChildEndsWhenTheWindowProcessHasGone) {
    // A child whose parent is already gone must not keep its port: a grandchild
    // serves, its parent (the middle process) exits at once.
    const int listen_fd = listen_on_free_port();
    ASSERT_GE(listen_fd, 0);
    const int port = port_of(listen_fd);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t middle = fork();
    if (middle == 0) {
        const pid_t me = getpid();
        if (fork() == 0)
            print_child_serve(listen_fd, fds[1], me);
        _exit(0);
    }
    close(listen_fd);
    close(fds[1]);
    waitpid(middle, nullptr, 0);
    // Once the grandchild notices, the pipe's last write end closes.
    pollfd p{fds[0], POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, (kPrintClientIdleSeconds + 3) * 1000), 1) << "the orphan kept serving";
    char byte;
    EXPECT_EQ(read(fds[0], &byte, 1), 0);
    close(fds[0]);
    // And the port is free again (the exiting child closes its descriptors one
    // after the other, so the socket may go a moment after the pipe).
    ListenStep failed;
    std::string error;
    int again = -1;
    for (int attempt = 0; again < 0 && attempt < 100; ++attempt) {
        again = print_server_listen(port, "127.0.0.1", &failed, &error);
        if (again < 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_GE(again, 0) << error;
    if (again >= 0)
        close(again);
}

bool wait_for_state(PrintServerState wanted, int timeout_ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (std::chrono::steady_clock::now() < until && print_server_state() != wanted &&
           print_server_state() != PrintServerState::Failed)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return print_server_state() == wanted;
}

// Jobs on port 5187 reaching the console's view are tested through its window.
TEST(PrintServerPort5187, BusyPortIsReportedAndAStartOnTheFreedPortServes) {
    ListenStep failed;
    std::string error;
    const int holder = print_server_listen(kPrintPort, nullptr, &failed, &error);
    testing::internal::CaptureStderr();
    StartPrnServer();
    const bool started = wait_for_state(PrintServerState::Serving, 3000);
    const std::string err = testing::internal::GetCapturedStderr();
    if (holder >= 0)
        close(holder);
    if (started) {
        StopPrintServer();
        FAIL() << "the print server started although port 5187 was held";
    }
    EXPECT_EQ(print_server_state(), PrintServerState::Failed);
    EXPECT_NE(err.find("5187"), std::string::npos) << err;
    EXPECT_NE(err.find("Address already in use"), std::string::npos) << err;
    EXPECT_EQ(pid.load(), 0) << "no child may serve after a failed bind";
    EXPECT_EQ(sockfd.load(), -1) << "no socket may stay open (it would listen on another port)";
    // What the window shows: says that the port is taken, in words, not errno.
    const std::string failure = print_server_failure();
    EXPECT_NE(failure.find("5187"), std::string::npos) << failure;
    EXPECT_NE(failure.find("in use"), std::string::npos) << failure;
    EXPECT_EQ(failure.find("Address already in use"), std::string::npos) << failure;

    // Once the port is free, a new start serves and forgets the old failure; the
    // child alone keeps the socket, and the stop reaps it (no zombie).
    StartPrnServer();
    ASSERT_TRUE(wait_for_state(PrintServerState::Serving, 5000)) << print_server_failure();
    EXPECT_EQ(print_server_failure(), "");
    const pid_t child = pid.load();
    ASSERT_GT(child, 0);
    EXPECT_EQ(sockfd.load(), -1) << "the window process must not keep the listening socket";
    StopPrintServer();
    EXPECT_EQ(waitpid(child, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    EXPECT_EQ(pid.load(), 0);
}

} // namespace
