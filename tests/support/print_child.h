// The print server's real child process on a loopback port of its own, for tests that
// talk to it over sockets without a window, reading the pipe lines the window would get.
#pragma once

#include "print_job.h"
#include "print_server.h"
#include "test_util.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace print_test {

inline int port_of(int fd) {
    sockaddr_in where{};
    socklen_t size = sizeof where;
    getsockname(fd, reinterpret_cast<sockaddr*>(&where), &size);
    return ntohs(where.sin_port);
}

// A print server socket on a free loopback port; -1 (a test failure said) if none.
inline int listen_on_free_port() {
    ListenStep failed;
    std::string error;
    const int fd = print_server_listen(0, "127.0.0.1", &failed, &error);
    if (fd < 0)
        ADD_FAILURE() << "no loopback port for the print server: " << error;
    return fd;
}

inline std::string le(std::uint32_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    return out;
}

// A job as a terminal sends it, built here by hand: message_length, version,
// type, Tag, Length (all little-endian), then the print line.
inline std::string job(const std::string& line, std::uint32_t version = 0x0200,
                       std::uint32_t type = 0x2100, std::uint32_t length_field = 0xFFFFFFFF,
                       int length_adjust = 0) {
    const std::uint32_t length =
        length_field == 0xFFFFFFFF ? static_cast<std::uint32_t>(line.size()) : length_field;
    return le(static_cast<std::uint32_t>(8 + line.size() + length_adjust), 4) + le(version, 2) +
           le(type, 2) + le(0x00080015, 4) + le(length, 4) + line;
}

// A printer state file of the test's own, holding `bytes`, or missing; its path.
inline std::string state_file(const std::string& name,
                              const std::optional<std::string>& bytes = std::nullopt) {
    const std::string path = test_work_dir() + "/" + name;
    std::filesystem::remove(path);
    return bytes ? write_file(name, *bytes) : path;
}

// A connection to `port` on loopback, as a terminal opens it, from `from` when given.
inline int connect_to(int port, const char* from = nullptr) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (from) {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        inet_pton(AF_INET, from, &local.sin_addr);
        EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local), 0) << from;
    }
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(static_cast<std::uint16_t>(port));
    where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&where), sizeof where), 0);
    return fd;
}

class PrintChild {
  public:
    // The child reads its status from state_file (which may be missing).
    explicit PrintChild(const std::string& state_file) : state_file_(state_file) {
        const int listen_fd = listen_on_free_port();
        if (listen_fd < 0)
            return;
        port_ = port_of(listen_fd);
        int fds[2];
        if (pipe(fds) != 0) {
            ADD_FAILURE() << "pipe failed";
            close(listen_fd);
            return;
        }
        g_printer_state_file = state_file_.c_str(); // the child's copy keeps it
        print_access_setup();                       // KELVRA_PRINT_ALLOW as the test set it
        const pid_t parent = getpid();
        child_ = fork();
        if (child_ == 0) {
            close(fds[0]);
            print_child_serve(listen_fd, fds[1], parent);
        }
        close(listen_fd);
        close(fds[1]); // a dead child then shows as the end of the pipe, not a hang
        pipe_ = fds[0];
    }
    ~PrintChild() {
        if (child_ > 0) {
            kill(child_, SIGTERM);
            waitpid(child_, nullptr, 0);
        }
        if (pipe_ >= 0)
            close(pipe_);
    }
    PrintChild(const PrintChild&) = delete;
    PrintChild& operator=(const PrintChild&) = delete;

    int port() const { return port_; }
    pid_t pid() const { return child_; }

    // Sends raw bytes in one write and returns the reply bytes.
    std::string send(const std::string& bytes, int timeout_ms = 5000) {
        std::string reply, error;
        EXPECT_TRUE(send_print_job("127.0.0.1", port_, bytes, &reply, &error, timeout_ms)) << error;
        return reply;
    }

    // The next pipe line, line feed included, or nothing within the time.
    std::optional<std::string> next_line(int timeout_ms = 3000) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        std::size_t end;
        while ((end = pending_.find('\n')) == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                until - std::chrono::steady_clock::now());
            pollfd p{pipe_, POLLIN, 0};
            char chunk[512];
            ssize_t n = 0;
            if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0 ||
                (n = read(pipe_, chunk, sizeof chunk)) <= 0)
                return std::nullopt;
            pending_.append(chunk, static_cast<std::size_t>(n));
        }
        std::string line = pending_.substr(0, end + 1);
        pending_.erase(0, end + 1);
        return line;
    }

    // The next `count` pipe lines, fewer when they stop coming.
    std::vector<std::string> lines(std::size_t count) {
        std::vector<std::string> got;
        while (got.size() < count)
            if (auto line = next_line())
                got.push_back(*line);
            else
                break;
        return got;
    }

    // Every pipe line until none comes for `quiet_ms`, as one text.
    std::string drain(int quiet_ms = 300) {
        std::string all;
        while (const auto line = next_line(quiet_ms))
            all += *line;
        return all;
    }

  private:
    std::string state_file_;
    int port_ = 0;
    pid_t child_ = -1;
    int pipe_ = -1;
    std::string pending_;
};

// A till for the simulated terminal: a child whose port the terminal prints to.
class SimTill : public PrintChild {
  public:
    explicit SimTill(const std::string& state_name)
        : PrintChild(state_file(state_name)),
          port_("KORVEX_SIM_PRINT_PORT", std::to_string(port()).c_str()) {}

  private:
    ScopedEnv port_;
};

// The 17 bytes a terminal expects back, written out as they go on the wire.
inline std::string reply_with(unsigned char status) {
    return std::string("\x09\x00\x00\x00\x00\x02\x01\x21\x16\x00\x08\x00\x01\x00\x00\x00", 16) +
           static_cast<char>(status);
}

} // namespace print_test
