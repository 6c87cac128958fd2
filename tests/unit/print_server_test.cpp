// The print server's child over real loopback sockets: the byte rules of the
// style scan, malformed and truncated jobs, the 17-byte reply and its status byte,
// terminals that hang up or stay silent, and the production start on port 5187.
#include "print_child.h"
#include "test_env.h"

#include <gtest/gtest.h>

#include <fcntl.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

namespace {

using print_test::job;
using print_test::PrintChild;
using print_test::reply_with;

std::string state_path(const std::string& name) {
    const std::string path = test_work_dir() + "/" + name;
    std::filesystem::remove(path);
    return path;
}

void write_state(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

bool valid_utf8(const std::string& s) {
    return g_utf8_validate(s.data(), static_cast<gssize>(s.size()), nullptr);
}

// Every well-formed job: the line in, the pipe line out ("%s%d\n").
TEST(PrintServer, StyleScanOverTheWire) {
    struct Case {
        const char* name;
        std::string line;
        std::string pipe_line;
    };
    const std::vector<Case> cases = {
        {"plain line", "TOTAL\n", "TOTAL0\n"},
        {"bold by ESC T", "\x1B\x54X", "X1\n"},
        {"double size anywhere",
         "AB\x12"
         "CD\n",
         "ABCD6\n"},
        {"right justify", std::string("\x1B\x61\x01R\n", 5), "R3\n"},
        {"centre on 0",
         std::string("\x1B\x61\x00"
                     "C\n",
                     5),
         "C4\n"},
        {"centre on 2",
         std::string("\x1B\x61\x02"
                     "C\n",
                     5),
         "C4\n"},
        {"half size", "\x1B\x0Fh\n", "h5\n"},
        {"double width", "\x0Ew\n", "w7\n"},
        {"bold by ESC 1F skips its argument", "\x1B\x1FZb\n", "b1\n"},
        {"unknown escape dropped, style kept", "\x1B\x54\x1BQk\n", "k1\n"},
        {"other control codes dropped",
         "\x10\x11\x1F"
         "d\n",
         "d0\n"},
        {"last style code wins",
         "\x1B\x54"
         "a\x12"
         "b\x0E"
         "c\n",
         "abc7\n"},
        {"only a line feed", "\n", " 0\n"},
        {"style then line feed", "\x1B\x54\n", " 1\n"},
        {"scan stops at the line feed", "A\nB\x12", "A0\n"},
        {"escape swallows a line feed", "\x1B\nAB\n", "AB0\n"},
        {"euro and pound",
         "\x93"
         "5 \xA0"
         "3\n",
         "\xE2\x82\xAC"
         "5 \xC2\xA3"
         "30\n"},
        {"tab and carriage return kept for the window", "a\tb\rc\n", "a\tb\rc0\n"},
        {"NUL ends the text, later styles count", std::string("ab\0cd\x12", 6), "ab6\n"},
        {"Latin-1 bytes passed on", "caf\xE9\n",
         "caf\xE9"
         "0\n"},
    };
    PrintChild child(state_path("PrinterState-styles"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(child.send(job(c.line)), reply_with(0));
        EXPECT_EQ(child.next_line(), c.pipe_line);
    }
}

TEST(PrintServer, OverLongLinesAreCutAtACharacterBoundary) {
    struct Case {
        const char* name;
        std::string line;
        std::string expected_text; // without style digit and line feed
    };
    const std::string euros(111, '\x93');  // 333 bytes of UTF-8
    const std::string pounds(111, '\xA0'); // 222 bytes
    const std::string mixed = std::string(1, 'a') + std::string(110, '\x93');
    std::string euro_text, pound_text, mixed_text = "a";
    for (int i = 0; i < 41; ++i)
        euro_text += "\xE2\x82\xAC"; // 41 signs = 123 bytes: a 42nd would pass 125
    for (int i = 0; i < 62; ++i)
        pound_text += "\xC2\xA3";
    for (int i = 0; i < 41; ++i)
        mixed_text += "\xE2\x82\xAC"; // 1 + 123 bytes
    const std::vector<Case> cases = {
        {"euro signs", euros, euro_text},
        {"pound signs", pounds, pound_text},
        {"letter then euro signs", mixed, mixed_text},
    };
    PrintChild child(state_path("PrinterState-long"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_LE(c.line.size(), kPrintLineMax);
        EXPECT_EQ(child.send(job(c.line)), reply_with(0));
        const auto line = child.next_line();
        ASSERT_TRUE(line);
        EXPECT_EQ(*line, c.expected_text + "0\n");
        EXPECT_LE(line->size(), 127u);
        EXPECT_TRUE(valid_utf8(*line));
    }
}

// A job that fails any test still gets the whole reply and gives an empty line.
TEST(PrintServer, MalformedAndTruncatedJobsAreAnsweredInFull) {
    struct Case {
        const char* name;
        std::string bytes;
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
        {"one byte", std::string(1, '\x0B')},
        {"longer than one read", job(std::string(150, 'x'))},
    };
    PrintChild child(state_path("PrinterState-malformed"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(child.send(c.bytes), reply_with(0));
        EXPECT_EQ(child.next_line(), "0\n");
    }
    // The smallest valid job: message_length 8, no line.
    EXPECT_EQ(child.send(job("", 0x0200, 0x2100, 1)), reply_with(0));
    EXPECT_EQ(child.next_line(), "0\n");
    // Older versions and any Tag are accepted; the Length value does not delimit.
    EXPECT_EQ(child.send(job("OLD\n", 0x0100, 0x2100, 1)), reply_with(0));
    EXPECT_EQ(child.next_line(), "OLD0\n");
    // Nothing else was queued: every job above gave exactly one line.
    EXPECT_FALSE(child.next_line(200));
}

TEST(PrintServer, StatusByteComesFromThePrinterStateFile) {
    const std::string path = state_path("PrinterState-status");
    PrintChild child(path);
    struct Step {
        const char* name;
        std::optional<std::string> file; // nothing: no file
        unsigned char status;
    };
    const std::vector<Step> steps = {
        {"no file", std::nullopt, 0},
        {"error chosen", std::string(1, '\x02'), 2},
        {"still error", std::nullopt, 2},
        {"paper low", std::string(1, '\x01'), 1},
        {"empty file", std::string(), 0},
        {"ok chosen", std::string(1, '\x00'), 0},
        {"only the first byte", std::string("\x02\x01", 2), 2},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        if (s.file)
            write_state(path, *s.file);
        EXPECT_EQ(child.send(job("L\n")), reply_with(s.status));
        EXPECT_EQ(child.next_line(), "L0\n");
    }
}

TEST(PrintServer, OnlyTheFirstReadOfAConnectionCounts) {
    PrintChild child(state_path("PrinterState-first-read"));
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(static_cast<uint16_t>(child.port()));
    where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&where), sizeof where), 0);
    const std::string first = job("FIRST\n");
    ASSERT_EQ(send(fd, first.data(), first.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(first.size()));
    char reply[64];
    std::size_t got = 0;
    ssize_t n;
    while (got < 17 && (n = recv(fd, reply + got, sizeof reply - got, 0)) > 0)
        got += static_cast<std::size_t>(n);
    EXPECT_EQ(std::string(reply, got), reply_with(0));
    const std::string second = job("SECOND\n");
    send(fd, second.data(), second.size(), MSG_NOSIGNAL); // may fail: the child closed
    // The child closes after its reply: no second reply comes on this connection
    // (an orderly end, or a reset for the job it never read).
    EXPECT_LE(recv(fd, reply, sizeof reply, 0), 0);
    close(fd);
    EXPECT_EQ(child.next_line(), "FIRST0\n");
    EXPECT_FALSE(child.next_line(300));
}

TEST(PrintServer, TerminalsThatHangUpEarlyDoNotStopTheServer) {
    PrintChild child(state_path("PrinterState-hangup"));
    const sockaddr_in where = [&] {
        sockaddr_in w{};
        w.sin_family = AF_INET;
        w.sin_port = htons(static_cast<uint16_t>(child.port()));
        w.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return w;
    }();
    auto connected = [&] {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        EXPECT_EQ(connect(fd, reinterpret_cast<const sockaddr*>(&where), sizeof where), 0);
        return fd;
    };
    // Connects and closes without a byte: no receipt line.
    close(connected());
    // Sends a job and resets the connection before the reply: the line still prints,
    // and the failed reply must not end the child (SIGPIPE ignored).
    for (int i = 0; i < 3; ++i) {
        const int fd = connected();
        const std::string bytes = job("GONE\n");
        send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        const linger abort_close{1, 0};
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort_close, sizeof abort_close);
        close(fd);
        EXPECT_EQ(child.next_line(), "GONE0\n");
    }
    EXPECT_EQ(child.send(job("AFTER\n")), reply_with(0));
    EXPECT_EQ(child.next_line(), "AFTER0\n");
    EXPECT_EQ(waitpid(child.pid(), nullptr, WNOHANG), 0) << "the child ended";
}

TEST(PrintServer, ASilentTerminalIsClosedAndOthersAreServed) {
    PrintChild child(state_path("PrinterState-silent"));
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(static_cast<uint16_t>(child.port()));
    where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int silent = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_EQ(connect(silent, reinterpret_cast<sockaddr*>(&where), sizeof where), 0);

    const auto start = std::chrono::steady_clock::now();
    // Queued behind the silent one; answered once the child gives up on it.
    EXPECT_EQ(child.send(job("NEXT\n"), 10000), reply_with(0));
    const double waited =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(waited, kPrintClientIdleSeconds - 0.5);
    EXPECT_LT(waited, kPrintClientIdleSeconds + 3.0);
    EXPECT_EQ(child.next_line(), "NEXT0\n") << "the silent terminal must not give a line";

    // The silent terminal got the reply and the end of the connection.
    timeval tv{2, 0};
    setsockopt(silent, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    char reply[64];
    std::size_t got = 0;
    ssize_t n;
    while ((n = recv(silent, reply + got, sizeof reply - got, 0)) > 0)
        got += static_cast<std::size_t>(n);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(std::string(reply, got), reply_with(0));
    close(silent);
}

TEST(PrintServer, ChildEndsWhenTheWindowProcessHasGone) {
    // A child whose parent is already gone must not keep its port: a grandchild
    // serves, its parent (the middle process) exits at once.
    ListenStep failed;
    std::string error;
    const int listen_fd = print_server_listen(0, "127.0.0.1", &failed, &error);
    ASSERT_GE(listen_fd, 0) << error;
    const int port = print_test::port_of(listen_fd);
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

// --- the console's own start, on the fixed port ---------------------------------

bool wait_for_state(PrintServerState wanted, int timeout_ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (std::chrono::steady_clock::now() < until) {
        if (print_server_state() == wanted)
            return true;
        if (print_server_state() == PrintServerState::Failed)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

TEST(PrintServerPort5187, StartAnswersOnTheFixedPortAndStopEndsTheChild) {
    const std::string path = state_path("PrinterState-5187");
    write_state(path, std::string(1, '\x01'));
    g_printer_state_file = path.c_str();
    testing::internal::CaptureStderr();
    StartPrnServer();
    const bool serving = wait_for_state(PrintServerState::Serving, 5000);
    const std::string err = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(serving) << "the print server could not start on port 5187 (another process may "
                            "hold it): "
                         << err;
    const pid_t child = pid.load();
    ASSERT_GT(child, 0);
    EXPECT_EQ(sockfd.load(), -1) << "the window process must not keep the listening socket";

    std::string reply, error;
    ASSERT_TRUE(send_print_job("127.0.0.1", kPrintPort, print_test::job("PORT\n"), &reply, &error))
        << error;
    EXPECT_EQ(reply, reply_with(1));

    StopPrintServer();
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
    EXPECT_EQ(pid.load(), 0);
    g_printer_state_file = "PrinterState";
}

TEST(PrintServerPort5187, BusyPortIsReportedAndNoOtherPortIsUsed) {
    // Hold the port (unless another process already does).
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
}

} // namespace
