#include "print_job_wire.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

void put_le16(std::string& out, std::uint16_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}

void put_le32(std::string& out, std::uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<char>((v >> shift) & 0xFF));
}

// The reply's first 16 bytes; only the status byte varies.
constexpr unsigned char kReplyHead[kPrintReplySize - 1] = {
    0x09,
    0x00,
    0x00,
    0x00, // message_length 9
    0x00,
    0x02, // protocol_version 0x0200
    DO_PRINTRESPONSE_TAG & 0xFF,
    (DO_PRINTRESPONSE_TAG >> 8) & 0xFF,
    TAG_ECR_PRINT_JOB_STATUS & 0xFF,
    (TAG_ECR_PRINT_JOB_STATUS >> 8) & 0xFF,
    (TAG_ECR_PRINT_JOB_STATUS >> 16) & 0xFF,
    (TAG_ECR_PRINT_JOB_STATUS >> 24) & 0xFF,
    LengthPrintJobStatus & 0xFF,
    0x00,
    0x00,
    0x00,
};

int connect_with_timeout(const char* host, int port, int timeout_ms, std::string* error) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    const int rc = getaddrinfo(host, service.c_str(), &hints, &found);
    if (rc != 0) {
        if (error)
            *error = std::string("cannot resolve ") + host + ": " + gai_strerror(rc);
        return -1;
    }
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        if (error)
            *error = std::string("socket: ") + std::strerror(errno);
        freeaddrinfo(found);
        return -1;
    }
    int result = connect(fd, found->ai_addr, found->ai_addrlen);
    freeaddrinfo(found);
    if (result != 0 && errno == EINPROGRESS) {
        pollfd p{fd, POLLOUT, 0};
        result = poll(&p, 1, timeout_ms);
        if (result == 1) {
            int so_error = 0;
            socklen_t len = sizeof so_error;
            getsockopt(fd, SOL_SOCKET, SO_ERROR, &so_error, &len);
            errno = so_error;
            result = so_error == 0 ? 0 : -1;
        } else {
            errno = result == 0 ? ETIMEDOUT : errno;
            result = -1;
        }
    }
    if (result != 0) {
        if (error)
            *error = std::string("cannot connect to ") + host + ":" + service + ": " +
                     std::strerror(errno);
        close(fd);
        return -1;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    timeval tv{timeout_ms / 1000, (timeout_ms % 1000) * 1000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    return fd;
}

} // namespace

std::string_view print_style_bytes(PrintStyle style) {
    using namespace std::string_view_literals;
    switch (style) {
    case PrintStyle::Bold:
        return "\x1B\x54"sv;
    case PrintStyle::Centered:
        return "\x1B\x61\x00"sv;
    case PrintStyle::RightJustified:
        return "\x1B\x61\x01"sv;
    case PrintStyle::DoubleSize:
        return "\x12"sv;
    case PrintStyle::DoubleWidth:
        return "\x0E"sv;
    case PrintStyle::HalfSize:
        return "\x1B\x0F"sv;
    case PrintStyle::Normal:
        break;
    }
    return {};
}

std::string printer_bytes_from_utf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        std::uint32_t cp = 0;
        std::size_t len = 0;
        if (b < 0x80) {
            cp = b;
            len = 1;
        } else if (b >= 0xC2 && b <= 0xDF) {
            cp = b & 0x1F;
            len = 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            cp = b & 0x0F;
            len = 3;
        } else if (b >= 0xF0 && b <= 0xF4) {
            cp = b & 0x07;
            len = 4;
        }
        bool valid = len > 0 && i + len <= text.size();
        for (std::size_t k = 1; valid && k < len; ++k) {
            const auto c = static_cast<unsigned char>(text[i + k]);
            valid = (c & 0xC0) == 0x80;
            cp = cp << 6 | (c & 0x3F);
        }
        if (!valid) {
            out.push_back('?');
            ++i;
            continue;
        }
        i += len;
        if (cp == 0x20AC)
            out.push_back('\x93');
        else if (cp == 0xA3)
            out.push_back('\xA0');
        else if (cp < 0x20 || cp == 0x7F || cp == 0xA0)
            out.push_back(' ');
        else if (cp < 0x7F || (cp > 0xA0 && cp <= 0xFF))
            out.push_back(static_cast<char>(cp));
        else
            out.push_back('?');
    }
    return out;
}

std::string encode_print_job(std::string_view line, std::uint16_t version, std::uint16_t type,
                             std::uint32_t tag) {
    std::string job;
    job.reserve(kPrintHeaderSize + kPrintTlvHeaderSize + line.size());
    put_le32(job, static_cast<std::uint32_t>(kPrintTlvHeaderSize + line.size()));
    put_le16(job, version);
    put_le16(job, type);
    put_le32(job, tag);
    put_le32(job, static_cast<std::uint32_t>(line.size()));
    job.append(line);
    return job;
}

std::string encode_print_line(PrintStyle style, std::string_view utf8_text, bool line_feed,
                              bool* cut) {
    const std::string_view codes = print_style_bytes(style);
    std::string text = printer_bytes_from_utf8(utf8_text);
    const std::size_t room = kPrintLineMax - codes.size() - (line_feed ? 1 : 0);
    if (cut)
        *cut = text.size() > room;
    if (text.size() > room)
        text.resize(room); // one byte a character: no character is split
    std::string line(codes);
    line += text;
    if (line_feed)
        line.push_back('\n');
    return encode_print_job(line);
}

void build_print_reply(unsigned char (&reply)[kPrintReplySize], unsigned char status) {
    std::memcpy(reply, kReplyHead, sizeof kReplyHead);
    reply[kPrintReplySize - 1] = status;
}

bool parse_print_reply(const unsigned char* reply, std::size_t size, unsigned char* status) {
    if (!reply || size != kPrintReplySize || std::memcmp(reply, kReplyHead, sizeof kReplyHead) != 0)
        return false;
    if (status)
        *status = reply[kPrintReplySize - 1];
    return true;
}

bool send_print_job(const char* host, int port, std::string_view job, std::string* reply,
                    std::string* error, int timeout_ms) {
    if (reply)
        reply->clear();
    const int fd = connect_with_timeout(host, port, timeout_ms, error);
    if (fd < 0)
        return false;
    // One write, as a terminal sends it: the server takes a job from one read.
    std::size_t sent = 0;
    while (sent < job.size()) {
        const ssize_t n = send(fd, job.data() + sent, job.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (error)
                *error = std::string("send: ") + std::strerror(errno);
            close(fd);
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    char buffer[kPrintReplySize];
    std::size_t got = 0;
    while (got < sizeof buffer) {
        const ssize_t n = recv(fd, buffer + got, sizeof buffer - got, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            if (error)
                *error = errno == EAGAIN || errno == EWOULDBLOCK
                             ? "no complete reply within " + std::to_string(timeout_ms) + " ms"
                             : std::string("recv: ") + std::strerror(errno);
            break;
        }
        if (n == 0) {
            if (error && got < sizeof buffer)
                *error = "connection closed after " + std::to_string(got) + " reply bytes";
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    if (reply)
        reply->assign(buffer, got);
    close(fd);
    return true;
}
