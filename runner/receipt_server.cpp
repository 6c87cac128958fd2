#include "receipt_server.h"

#include "journal.h"
#include "print_job.h"
#include "terminal_text.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr int kListenBacklog = 64;
// A terminal that connects and sends nothing is answered and closed after this
// long; connections are served at once, so it holds up no other meanwhile.
constexpr auto kClientIdle = std::chrono::milliseconds(2000);
// Connections served at once; more wait in the listen queue.
constexpr std::size_t kMaxClients = 32;
// How long a step's end waits at most for connections still queued.
constexpr auto kSettleMax = std::chrono::milliseconds(200);

bool readable(int fd, int timeout_ms) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, timeout_ms) > 0 && (p.revents & (POLLIN | POLLHUP | POLLERR));
}

void send_whole(int fd, const unsigned char* data, std::size_t size) {
    std::size_t sent = 0;
    while (sent < size) {
        const ssize_t n = send(fd, data + sent, size - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            if (n < 0 && errno == EINTR)
                continue;
            return;
        }
        sent += static_cast<std::size_t>(n);
    }
}

// One job from one read of a connection that has something to read, as the
// console takes it: the receipt text as the console shows and journals it (a job
// that is not a print line gives a blank line), or nothing when nothing came.
bool read_job(int conn, std::string* text) {
    unsigned char received[kPrintBufferSize] = {};
    ssize_t got;
    do
        got = recv(conn, received, kPrintReadSize, MSG_DONTWAIT);
    while (got < 0 && errno == EINTR);
    if (got <= 0)
        return false;
    unsigned short tag = 0, length = 0;
    unsigned char line[kPrintBufferSize] = {};
    std::size_t line_size = 0;
    // The style codes may hold NUL bytes: the line is as long as the job says.
    if (TLVFieldUnpack(received, static_cast<int>(got), &tag, &length, line))
        line_size = static_cast<std::size_t>(got) - kPrintHeaderSize - kPrintTlvHeaderSize;
    char collected[kPipeTextMax + 1] = {};
    scan_print_line(line, line_size, collected, sizeof collected);
    *text = receipt_text_utf8(collected);
    return true;
}

} // namespace

ReceiptServer::~ReceiptServer() { stop(); }

bool ReceiptServer::start(int port, std::string* error, bool* in_use) {
    if (in_use)
        *in_use = false;
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *error = std::string("cannot create a socket: ") + std::strerror(errno);
        return false;
    }
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(static_cast<std::uint16_t>(port));
    where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(fd, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 ||
        listen(fd, kListenBacklog) != 0) {
        const int failure = errno;
        close(fd);
        if (in_use)
            *in_use = failure == EADDRINUSE;
        *error = "cannot listen on the print port " + std::to_string(port) + ": " +
                 std::strerror(failure) +
                 (failure == EADDRINUSE
                      ? " (another program holds it, most likely a running console; close it "
                        "or give another port with --print-port)"
                      : "");
        return false;
    }
    if (pipe2(wake_, O_CLOEXEC) != 0) {
        *error = std::string("cannot create a pipe: ") + std::strerror(errno);
        close(fd);
        return false;
    }
    listen_fd_ = fd;
    thread_ = std::thread([this] { serve(); });
    return true;
}

void ReceiptServer::stop() {
    if (!thread_.joinable())
        return;
    const char byte = 0;
    while (write(wake_[1], &byte, 1) < 0 && errno == EINTR) {
    }
    thread_.join();
    close(listen_fd_);
    close(wake_[0]);
    close(wake_[1]);
    listen_fd_ = wake_[0] = wake_[1] = -1;
}

void ReceiptServer::serve() {
    struct Client {
        int fd;
        std::chrono::steady_clock::time_point deadline;
    };
    std::vector<Client> clients;
    auto answer = [](int conn) {
        unsigned char reply[kPrintReplySize];
        build_print_reply(reply, 0);
        send_whole(conn, reply, sizeof reply);
        close(conn);
    };
    for (;;) {
        std::vector<pollfd> watch = {
            {listen_fd_, static_cast<short>(clients.size() < kMaxClients ? POLLIN : 0), 0},
            {wake_[0], POLLIN, 0}};
        int wait_ms = -1;
        const auto now = std::chrono::steady_clock::now();
        for (const Client& c : clients) {
            watch.push_back({c.fd, POLLIN, 0});
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(c.deadline - now).count();
            wait_ms = static_cast<int>(
                std::max<long long>(0, wait_ms < 0 ? left : std::min<long long>(wait_ms, left)));
        }
        const int ready = poll(watch.data(), watch.size(), wait_ms);
        if (ready < 0 && errno != EINTR)
            break;
        if (ready > 0 && watch[1].revents)
            break;
        if (ready > 0 && (watch[0].revents & POLLIN)) {
            // Busy from before the accept: a step's end waits for this connection's line.
            std::lock_guard lock(mutex_);
            busy_ = true;
        }
        // In the order they connected: a job that came, or a silent one whose time is up.
        const auto after = std::chrono::steady_clock::now();
        std::vector<Client> waiting;
        for (std::size_t i = 0; i < clients.size(); ++i) {
            const Client& c = clients[i];
            if (ready > 0 && watch[2 + i].revents) {
                std::string text;
                if (read_job(c.fd, &text)) {
                    // Kept before the reply: once the terminal has its answer, the line
                    // is the step's.
                    journal_receipt_line(text);
                    std::lock_guard lock(mutex_);
                    lines_.push_back(std::move(text));
                }
                answer(c.fd);
            } else if (after >= c.deadline) {
                answer(c.fd);
            } else {
                waiting.push_back(c);
            }
        }
        clients = std::move(waiting);
        if (ready > 0 && (watch[0].revents & POLLIN)) {
            const int conn = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (conn >= 0)
                clients.push_back({conn, std::chrono::steady_clock::now() + kClientIdle});
        }
        {
            std::lock_guard lock(mutex_);
            busy_ = !clients.empty();
        }
        changed_.notify_all();
    }
    for (const Client& c : clients)
        close(c.fd);
}

void ReceiptServer::settle() {
    const auto until = std::chrono::steady_clock::now() + kSettleMax;
    std::unique_lock lock(mutex_);
    while (listen_fd_ >= 0 && (busy_ || readable(listen_fd_, 0))) {
        if (changed_.wait_until(lock, std::min(until, std::chrono::steady_clock::now() +
                                                          std::chrono::milliseconds(1))) ==
                std::cv_status::timeout &&
            std::chrono::steady_clock::now() >= until)
            break;
    }
}

void ReceiptServer::clear() {
    std::lock_guard lock(mutex_);
    lines_.clear();
}

std::vector<std::string> ReceiptServer::take() {
    settle();
    std::lock_guard lock(mutex_);
    return std::exchange(lines_, {});
}
