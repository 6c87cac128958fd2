#include "print_job.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

std::uint16_t le16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

std::uint32_t le32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void put_le16(std::string& out, std::uint16_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}

void put_le32(std::string& out, std::uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<char>((v >> shift) & 0xFF));
}

// Length of the text once a trailing UTF-8 character that lost its last bytes to a
// cut is removed.
std::size_t drop_incomplete_tail(const char* text, std::size_t length) {
    std::size_t continuation = 0;
    while (continuation < 3 && continuation < length &&
           (static_cast<unsigned char>(text[length - 1 - continuation]) & 0xC0) == 0x80)
        ++continuation;
    if (continuation == length)
        return length;
    const auto lead = static_cast<unsigned char>(text[length - 1 - continuation]);
    const std::size_t needed = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return (needed > 1 && continuation + 1 < needed) ? length - continuation - 1 : length;
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

} // namespace

int ParseHeader(unsigned char* Data) {
    if (le16(Data + 4) > kPrintProtocolVersion)
        return -1;
    return static_cast<int>(le32(Data));
}

bool TLVFieldUnpack(unsigned char* sourceBuf, int avail, unsigned short* Tag,
                    unsigned short* Length, unsigned char* Bufresult) {
    // A message_length of at least 8 needs the whole 16-byte header.
    if (!sourceBuf || !Bufresult ||
        avail < static_cast<int>(kPrintHeaderSize + kPrintTlvHeaderSize))
        return false;
    const int message_length = ParseHeader(sourceBuf);
    if (message_length != avail - static_cast<int>(kPrintHeaderSize))
        return false;
    if (le16(sourceBuf + 6) != kPrintJobType)
        return false;
    const std::uint32_t tag = le32(sourceBuf + 8);
    const std::uint32_t length = le32(sourceBuf + 12);
    if ((length & 0xFFFF) == 0)
        return false;
    if (Tag)
        *Tag = static_cast<unsigned short>(tag & 0xFFFF);
    if (Length)
        *Length = static_cast<unsigned short>(length & 0xFFFF);
    std::size_t line_size =
        static_cast<std::size_t>(avail) - kPrintHeaderSize - kPrintTlvHeaderSize;
    if (line_size > kPrintBufferSize - 1)
        line_size = kPrintBufferSize - 1;
    std::memcpy(Bufresult, sourceBuf + kPrintHeaderSize + kPrintTlvHeaderSize, line_size);
    Bufresult[line_size] = 0;
    return true;
}

PrintJobFont scan_print_line(const unsigned char* line, std::size_t size, char* text,
                             std::size_t text_size) {
    PrintJobFont font = DEFAULT;
    if (!text || text_size == 0)
        return font;
    const std::size_t capacity = text_size - 1;
    std::size_t used = 0;
    bool collected = false; // an output byte was met (even one that no longer fits)
    bool ended = false;     // a NUL ended the text; style codes still count
    bool cut = false;       // the text outgrew the buffer

    auto emit = [&](const char* bytes, std::size_t count) {
        collected = true;
        if (ended || cut)
            return;
        if (bytes[0] == '\0') {
            ended = true;
            return;
        }
        if (used + count > capacity) {
            cut = true; // a pound or euro sign is kept whole or not at all
            return;
        }
        std::memcpy(text + used, bytes, count);
        used += count;
    };

    for (std::size_t i = 0; line && i < size; ++i) {
        const unsigned char b = line[i];
        if (b == 0x0A) {
            if (!collected)
                emit(" ", 1);
            break;
        }
        if (b == 0x1B) {
            if (i + 1 >= size)
                break; // a lone escape at the end is dropped
            const unsigned char code = line[i + 1];
            if (code == 0x0F) {
                font = HALF_SIZE;
                i += 1;
            } else if (code == 0x1F) {
                font = BOLD;
                i += 2; // its argument byte is skipped
            } else if (code == 0x54) {
                font = BOLD;
                i += 1;
            } else if (code == 0x61) {
                // A missing argument reads as 0, as in the zero-filled line buffer.
                const unsigned char n = i + 2 < size ? line[i + 2] : 0;
                font = n == 1 ? RIGHT_JUSTIFY : CENTER_TEXT;
                i += 2;
            } else {
                i += 1; // unknown escape: both bytes dropped
            }
            continue;
        }
        if (b == 0x0E) {
            font = DOUBLE_WIDTH;
        } else if (b == 0x12) {
            font = DOUBLE_SIZE;
        } else if (b >= 0x0F && b <= 0x1F) {
            // other printer control codes are dropped
        } else if (b == 0xA0) {
            emit("\xC2\xA3", 2);
        } else if (b == 0x93) {
            emit("\xE2\x82\xAC", 3);
        } else {
            const char c = static_cast<char>(b);
            emit(&c, 1);
        }
    }
    if (cut)
        used = drop_incomplete_tail(text, used);
    text[used] = '\0';
    return font;
}

std::size_t utf8_prefix_length(const char* text, std::size_t length, std::size_t limit) {
    if (length <= limit)
        return length;
    std::size_t n = limit;
    // text[n] is the first byte left out: while it continues a character, that
    // character is left out whole (at most 3 bytes back, for malformed text).
    for (int back = 0; back < 3 && n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80;
         ++back)
        --n;
    return n;
}

std::size_t format_pipe_line(char* out, std::size_t out_size, const char* text, PrintJobFont font) {
    if (!out || out_size < 3)
        return 0;
    const std::size_t length = text ? std::strlen(text) : 0;
    const std::size_t kept = utf8_prefix_length(text ? text : "", length, out_size - 3);
    if (kept)
        std::memcpy(out, text, kept);
    const int style = static_cast<int>(font);
    out[kept] = static_cast<char>('0' + (style >= 0 && style <= 9 ? style : 0));
    out[kept + 1] = '\n';
    out[kept + 2] = '\0';
    return kept + 2;
}

PrintJobFont split_pipe_line(const char* line, std::size_t length, std::size_t* text_length) {
    if (!line || length == 0) {
        if (text_length)
            *text_length = 0;
        return DEFAULT;
    }
    if (text_length)
        *text_length = length - 1;
    const char digit = line[length - 1];
    return (digit >= '0' && digit <= '9') ? static_cast<PrintJobFont>(digit - '0') : DEFAULT;
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

std::string_view print_style_bytes(PrintJobFont font) {
    using namespace std::string_view_literals;
    switch (font) {
    case BOLD:
        return "\x1B\x54"sv;
    case RIGHT_JUSTIFY:
        return "\x1B\x61\x01"sv;
    case CENTER_TEXT:
        return "\x1B\x61\x00"sv;
    case HALF_SIZE:
        return "\x1B\x0F"sv;
    case DOUBLE_SIZE:
        return "\x12"sv;
    case DOUBLE_WIDTH:
        return "\x0E"sv;
    default:
        return {};
    }
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

namespace {

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
