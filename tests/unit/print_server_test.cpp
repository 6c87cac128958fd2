// The print server's child over real loopback sockets: the byte rules of the
// style scan, malformed and truncated jobs, the 17-byte reply and its status byte,
// terminals that hang up or stay silent, and the production start on port 5187.
// The common styles are shown through the console's receipt view.
#include "print_child.h"
#include "test_util.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <chrono>
#include <thread>
#include <vector>

namespace {

using print_test::connect_to;
using print_test::job;
using print_test::PrintChild;
using print_test::reply_with;
using print_test::state_file;

// What the child sends on `fd` until it closes, `limit` bytes have come, or two
// seconds pass.
std::string receive(int fd, std::size_t limit = SIZE_MAX) {
    timeval tv{2, 0};
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

TEST(PrintServer, StatusByteComesFromThePrinterStateFile) {
    const std::string path = state_file("PrinterState-status");
    PrintChild child(path);
    struct Step {
        const char* name;
        std::optional<std::string> file; // nothing: left as it is
        unsigned char status;
    };
    const std::vector<Step> steps = {
        {"no file", std::nullopt, 0},     {"error chosen", std::string(1, '\x02'), 2},
        {"still error", std::nullopt, 2}, {"paper low", std::string(1, '\x01'), 1},
        {"empty file", std::string(), 0}, {"only the first byte", std::string("\x02\x01", 2), 2},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        if (s.file)
            write_file("PrinterState-status", *s.file);
        EXPECT_EQ(child.send(job("L\n")), reply_with(s.status));
        EXPECT_EQ(child.next_line(), "L0\n");
    }
}

TEST(PrintServer, OnlyTheFirstReadOfAConnectionCounts) {
    PrintChild child(state_file("PrinterState-first-read"));
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
    EXPECT_FALSE(child.next_line(300));
}

TEST(PrintServer, TerminalsThatHangUpEarlyDoNotStopTheServer) {
    PrintChild child(state_file("PrinterState-hangup"));
    close(connect_to(child.port())); // connects and closes without a byte: no receipt line
    // Sends a job and resets the connection before the reply: the line still prints,
    // and the failed reply must not end the child (SIGPIPE ignored).
    for (int i = 0; i < 3; ++i) {
        const int fd = connect_to(child.port());
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
        timeval tv{kPrintClientIdleSeconds + 3, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        std::string got(kPrintReplySize, '\0');
        EXPECT_EQ(recv(fd, got.data(), got.size(), MSG_WAITALL),
                  static_cast<ssize_t>(kPrintReplySize));
        EXPECT_EQ(got, reply_with(0));
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
    const std::string dir = test_work_dir() + "/receipt-save";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
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
        std::size_t files = 0;
        for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir))
            ++files;
        EXPECT_EQ(files, 1u) << "no temporary file left behind";
    }
    sigaction(SIGXFSZ, &previous, nullptr);
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
    while (std::chrono::steady_clock::now() < until && print_server_state() != wanted &&
           print_server_state() != PrintServerState::Failed)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return print_server_state() == wanted;
}

// Jobs on port 5187 reaching the console's view are tested through its window.
TEST(PrintServerPort5187, BusyPortIsReportedAndAStartOnTheFreedPortServes) {
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
