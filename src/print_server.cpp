// The print server: a TCP listener on port 5187 to which the terminal sends each
// receipt line as one small job per connection. A child process owns the listening
// socket, answers every job with the operator's print status and hands the decoded
// line to the window process through a pipe, which the main loop watches
// (read_from_channel, receipt_view.cpp).
#include "print_server.h"

#include "print_allow.h"
#include "print_job.h"
#include "worker.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <arpa/inet.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <new>

std::atomic<int> sockfd{-1};
std::atomic<pid_t> pid{0};
pthread_t PPP_Print;
const char* g_printer_state_file = "PrinterState";

namespace {

constexpr int kListenBacklog = 10;
// A connection that has sent nothing after this long gives way to the next one
// waiting: connections are served one after the other, so a silent client would
// otherwise hold up every receipt line behind it for its whole idle time.
constexpr long kGiveWayMs = 300;

// Who may print (KELVRA_PRINT_ALLOW), read before the fork; the child only reads it.
PrintAllowRule allow_rule;

// Memory shared by the window process and the child: the terminal's address, which
// the operator may change while the child serves, and the refusals the window shows.
struct PrintAccess {
    std::atomic<std::uint32_t> terminal_address{0}; // host byte order, 0: none
    std::atomic<std::uint32_t> refused{0};
    std::atomic<std::uint32_t> last_refused{0};
};
static_assert(std::atomic<std::uint32_t>::is_always_lock_free);
PrintAccess* access_state = nullptr;
std::once_flag access_mapped;

PrintAccess* print_access() {
    std::call_once(access_mapped, [] {
        void* shared = mmap(nullptr, sizeof(PrintAccess), PROT_READ | PROT_WRITE,
                            MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        // Without shared memory the window's changes do not reach the child; the
        // refusals are then counted in the child only.
        access_state = shared == MAP_FAILED ? new PrintAccess : new (shared) PrintAccess;
    });
    return access_state;
}

std::atomic<PrintServerState> server_state{PrintServerState::NotStarted};

// The failure text read by the window while the set-up thread may write it.
std::mutex failure_mutex;
std::string failure_text;

// A child that does not end within this time after SIGTERM is killed, so that
// closing the window never waits long.
constexpr int kChildStopWaitMs = 500;

// Serialises the set-up thread with StopPrintServer, so that a window closed during
// start-up neither leaves a child behind nor closes a socket twice.
std::mutex server_mutex;
bool stop_requested = false;

// The window process keeps the pipe's write end open for its whole life, so the
// watch never sees the end of the pipe even if the child ends.
int window_pipe_write_end = -1;

void report(const char* what) {
    std::fprintf(stderr, "kelvra: print server not started: %s\n", what);
}

// Records why the print server does not serve (shown in the window) and says so
// on standard error with the technical detail.
void fail(const std::string& failure, const char* detail) {
    {
        std::lock_guard lock(failure_mutex);
        failure_text = failure;
    }
    server_state.store(PrintServerState::Failed);
    report(detail);
}

std::string not_started(const std::string& why) {
    return "Print server not started: " + why;
}

// Reaps a child that was sent SIGTERM, killing it when it does not end in time.
void reap_child(pid_t child) {
    for (int waited = 0;; waited += 10) {
        const pid_t done = waitpid(child, nullptr, WNOHANG);
        if (done == child || (done < 0 && errno == ECHILD))
            return;
        if (waited >= kChildStopWaitMs) {
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
            return;
        }
        const timespec pause{0, 10 * 1000 * 1000};
        nanosleep(&pause, nullptr);
    }
}

// --- child process: plain POSIX calls only -------------------------------------

ssize_t send_whole(int fd, const unsigned char* data, std::size_t size, int flags = 0) {
    std::size_t sent = 0;
    while (sent < size) {
        // MSG_NOSIGNAL: a terminal that hung up must not end the child.
        const ssize_t n = send(fd, data + sent, size - sent, MSG_NOSIGNAL | flags);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return static_cast<ssize_t>(sent);
        sent += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(sent);
}

// First byte of the printer-state file; 0 when it is missing or empty.
unsigned char read_printer_state() {
    const int fd = open(g_printer_state_file, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    unsigned char status = 0;
    ssize_t n;
    do
        n = read(fd, &status, 1);
    while (n < 0 && errno == EINTR);
    close(fd);
    return n == 1 ? status : 0;
}

void send_print_reply(int sock) {
    unsigned char reply[kPrintReplySize];
    build_print_reply(reply, 0);
    // MSG_MORE: the header waits in the kernel for the rest, so the terminal gets
    // the reply in one segment and wakes up once.
    if (send_whole(sock, reply, kPrintReplyHeaderSize, MSG_MORE) !=
        static_cast<ssize_t>(kPrintReplyHeaderSize))
        return;
    reply[kPrintReplySize - 1] = read_printer_state();
    send_whole(sock, reply + kPrintReplyHeaderSize, kPrintReplySize - kPrintReplyHeaderSize);
}

void set_timeout(int fd, int option, int seconds) {
    timeval tv{seconds, 0};
    setsockopt(fd, SOL_SOCKET, option, &tv, sizeof tv);
}

void prepare_child_process() {
    struct sigaction action {};
    action.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &action, nullptr);
    // The window process's handlers (if any) are toolkit code, unusable here.
    action.sa_handler = SIG_DFL;
    for (int signum : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signum, &action, nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
}

} // namespace

bool write_all(int fd, const char* data, std::size_t size) {
    std::size_t written = 0;
    while (written < size) {
        const ssize_t n = write(fd, data + written, size - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC; // nothing taken and no reason given
            return false;
        }
        written += static_cast<std::size_t>(n);
    }
    return true;
}

PrintServerState print_server_state() {
    return server_state.load();
}

std::string print_server_failure() {
    std::lock_guard lock(failure_mutex);
    return server_state.load() == PrintServerState::Failed ? failure_text : std::string();
}

PrintJobFont processReceivedData(int sock, char* retMsg) {
    unsigned char received[kPrintBufferSize] = {};
    unsigned char line[kPrintBufferSize] = {};
    char collected[kPrintBufferSize] = {};
    PrintJobFont font = DEFAULT;

    ssize_t got;
    do
        got = recv(sock, received, kPrintReadSize, 0);
    while (got < 0 && errno == EINTR);

    if (got > 0) {
        std::size_t line_size = 0;
        unsigned short tag = 0;
        unsigned short length = 0;
        if (TLVFieldUnpack(received, static_cast<int>(got), &tag, &length, line))
            line_size = static_cast<std::size_t>(got) - kPrintHeaderSize - kPrintTlvHeaderSize;
        // A rejected job still gives a (blank) receipt line in the default style.
        font = scan_print_line(line, line_size, collected, kPipeTextMax + 1);
        if (retMsg)
            format_pipe_line(retMsg, kPrintBufferSize, collected, font);
    }
    // The terminal gets its answer before the line is forwarded, also when nothing
    // was read.
    send_print_reply(sock);
    return font;
}

namespace {

long monotonic_ms() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

bool someone_waits(int listen_fd) {
    pollfd p{listen_fd, POLLIN, 0};
    return poll(&p, 1, 0) > 0 && (p.revents & POLLIN);
}

// Waits for the connection's job: true when there is something to read. A client
// that sends nothing is given up after the idle time, or after kGiveWayMs as soon
// as another connection waits behind it.
bool job_arrives(int conn, int listen_fd) {
    const long start = monotonic_ms();
    for (;;) {
        const long elapsed = monotonic_ms() - start;
        const bool others_wait = someone_waits(listen_fd);
        const long limit = others_wait ? kGiveWayMs : kPrintClientIdleSeconds * 1000L;
        if (elapsed >= limit)
            return false;
        // Wakes when the job comes, or (while no one waits yet) when someone connects.
        pollfd watch[2] = {{conn, POLLIN, 0}, {listen_fd, POLLIN, 0}};
        const int ready = poll(watch, others_wait ? 1 : 2, static_cast<int>(limit - elapsed));
        if (ready > 0 && watch[0].revents != 0)
            return true;
        if (ready < 0 && errno != EINTR)
            return false;
    }
}

// Whether the peer may print; a refused one is counted for the window.
bool peer_may_print(const sockaddr_in& peer) {
    const std::uint32_t address = ntohl(peer.sin_addr.s_addr);
    PrintAccess* access = access_state;
    const std::uint32_t terminal = access ? access->terminal_address.load() : 0;
    if (peer.sin_family == AF_INET && print_peer_allowed(allow_rule, address, terminal))
        return true;
    if (access) { // counted before the close: the window may look once the peer is gone
        access->last_refused.store(address);
        access->refused.fetch_add(1);
    }
    return false;
}

} // namespace

void print_child_serve(int listen_fd, int pipe_fd, pid_t parent) {
    prepare_child_process();
    // accept wakes up every few seconds to notice a window process that has gone,
    // so that no orphan keeps the print port.
    set_timeout(listen_fd, SO_RCVTIMEO, kPrintClientIdleSeconds);
    for (;;) {
        sockaddr_in peer{};
        socklen_t size = sizeof peer;
        const int conn = accept(listen_fd, reinterpret_cast<sockaddr*>(&peer), &size);
        if (conn < 0) {
            const int err = errno;
            if (err == EAGAIN || err == EWOULDBLOCK) {
                if (getppid() != parent)
                    _exit(0);
            } else if (err == EBADF || err == EINVAL || err == ENOTSOCK || err == EOPNOTSUPP) {
                _exit(1); // the listening socket is gone: nothing more can be served
            } else if (err == EMFILE || err == ENFILE || err == ENOBUFS || err == ENOMEM) {
                const timespec pause{0, 10 * 1000 * 1000}; // let descriptors free up
                nanosleep(&pause, nullptr);
            }
            continue;
        }
        // Only loopback, the terminal and the allowed networks print: anyone else is
        // closed at once, without a byte read.
        if (!peer_may_print(peer)) {
            close(conn);
            continue;
        }
        // A terminal that reads nothing cannot hold the child up either.
        set_timeout(conn, SO_SNDTIMEO, 1);
        char msgToPrint[kPrintBufferSize] = {};
        if (job_arrives(conn, listen_fd))
            processReceivedData(conn, msgToPrint);
        else
            send_print_reply(conn); // nothing read: answered all the same
        // Pipe lines are shorter than PIPE_BUF, so each arrives whole.
        if (msgToPrint[0] && !write_all(pipe_fd, msgToPrint, std::strlen(msgToPrint)))
            _exit(0); // the window process has gone
        close(conn);
    }
}

void print_access_setup() {
    print_access();
    std::string skipped;
    allow_rule = parse_print_allow(std::getenv("KELVRA_PRINT_ALLOW"), &skipped);
    if (!skipped.empty())
        std::fprintf(stderr, "kelvra: KELVRA_PRINT_ALLOW: not an address or network: %s\n",
                     skipped.c_str());
}

void print_server_allow_terminal(const char* address) {
    print_access()->terminal_address.store(print_terminal_address(address));
}

unsigned print_server_refused(std::string* last) {
    PrintAccess* access = print_access();
    const unsigned refused = access->refused.load();
    if (last) {
        in_addr address{htonl(access->last_refused.load())};
        char text[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &address, text, sizeof text);
        *last = refused ? text : "";
    }
    return refused;
}

// --- window process -------------------------------------------------------------

int print_server_listen(int port, const char* address, ListenStep* failed, std::string* error) {
    auto fail = [&](ListenStep step, const std::string& what, int fd) {
        const int err = errno;
        if (failed)
            *failed = step;
        if (error)
            *error = what + ": " + std::strerror(err);
        if (fd >= 0)
            close(fd);
        errno = err; // the caller tells a busy port from other failures
        return -1;
    };
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return fail(ListenStep::Socket, "cannot create a socket for port " + std::to_string(port),
                    -1);
    const int optval = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &optval, sizeof optval);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(static_cast<uint16_t>(port));
    where.sin_addr.s_addr = htonl(INADDR_ANY);
    if (address && inet_pton(AF_INET, address, &where.sin_addr) != 1) {
        errno = EINVAL;
        return fail(ListenStep::Bind, std::string("bad address ") + address, fd);
    }
    // A failed bind must not fall through to listen, which would pick another port.
    if (bind(fd, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0)
        return fail(ListenStep::Bind, "cannot bind port " + std::to_string(port), fd);
    if (listen(fd, kListenBacklog) != 0)
        return fail(ListenStep::Listen, "cannot listen on port " + std::to_string(port), fd);
    return fd;
}

bool print_server_attach(int listen_fd) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        const std::string detail = std::string("cannot create its pipe: ") + std::strerror(errno);
        close(listen_fd);
        if (sockfd.load() == listen_fd)
            sockfd.store(-1);
        fail(not_started("the system refused a resource it needs (" + detail + ")"),
             detail.c_str());
        return false;
    }
    GIOChannel* channel_for_read = g_io_channel_unix_new(fds[0]);
    // Pipe lines may carry text in the terminal's character set (converted on this
    // side) and end at line feeds only: binary reads, "\n" as the only terminator.
    g_io_channel_set_encoding(channel_for_read, nullptr, nullptr);
    g_io_channel_set_line_term(channel_for_read, "\n", 1);
    g_io_add_watch(channel_for_read, G_IO_IN, read_from_channel, nullptr);

    print_access_setup();
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child < 0) {
        close(listen_fd);
        std::fflush(nullptr);
        _exit(0); // no print server, no console: ends as it always has, without a message
    }
    if (child == 0) {
        close(fds[0]);
        print_child_serve(listen_fd, fds[1], parent);
    }
    // From here on only the child holds the listening socket.
    close(listen_fd);
    if (sockfd.load() == listen_fd)
        sockfd.store(-1);
    window_pipe_write_end = fds[1];
    pid.store(child);
    server_state.store(PrintServerState::Serving);
    return true;
}

void* PrintThread(void*) {
    std::lock_guard lock(server_mutex);
    if (stop_requested) {
        server_state.store(PrintServerState::NotStarted);
        return nullptr;
    }
    ListenStep failed = ListenStep::Socket;
    std::string error;
    const int fd = print_server_listen(kPrintPort, nullptr, &failed, &error);
    if (fd < 0) {
        if (failed == ListenStep::Listen) {
            std::fflush(nullptr);
            _exit(0); // a socket that binds but cannot listen ends the console silently
        }
        // A busy port: the operator learns why no receipts arrive, and the console
        // goes on without its print server.
        const int err = errno;
        const std::string port = std::to_string(kPrintPort);
        if (failed == ListenStep::Bind && err == EADDRINUSE)
            fail(not_started("port " + port + " is in use by another program (another console?)"),
                 error.c_str());
        else if (failed == ListenStep::Bind)
            fail(not_started("port " + port + " cannot be used (" + std::strerror(err) + ")"),
                 error.c_str());
        else
            fail(not_started(std::string("no network socket (") + std::strerror(err) + ")"),
                 error.c_str());
        return nullptr;
    }
    sockfd.store(fd);
    print_server_attach(fd);
    return nullptr;
}

void StartPrnServer() {
    {
        std::lock_guard lock(server_mutex);
        stop_requested = false;
    }
    {
        std::lock_guard lock(failure_mutex);
        failure_text.clear();
    }
    server_state.store(PrintServerState::Starting);
    if (!start_worker(&PPP_Print, PrintThread))
        fail(not_started("the console could not start it"), "cannot start its set-up thread");
}

void StopPrintServer() {
    std::lock_guard lock(server_mutex);
    stop_requested = true;
    const int fd = sockfd.exchange(-1);
    if (fd >= 0)
        close(fd);
    const pid_t child = pid.exchange(0);
    if (child > 0) {
        kill(child, SIGTERM);
        reap_child(child);
    }
    if (server_state.load() != PrintServerState::Failed)
        server_state.store(PrintServerState::NotStarted);
}
