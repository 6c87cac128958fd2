// The simulated terminal's printer: receipts printed on the till, one TCP
// connection per line. The wire format is the terminal's own; the console has its
// own reader of it, and neither side includes the other.
#include "sim_printer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace sim {
namespace {

constexpr int kTillPrintPort = 5187;
constexpr std::uint16_t kProtocolVersion = 0x0200;
constexpr std::uint16_t kPrintJobType = 0x2100;
constexpr std::uint32_t kPrintLineTag = 0x00080015;
// The till takes a job from one read of at most 127 bytes: 16 of header, the rest
// for the line.
constexpr std::size_t kMaxLineBytes = 127 - 16;
constexpr std::size_t kReceiptWidth = 32; // columns of a normal line

constexpr unsigned char kReplyHead[16] = {0x09, 0x00, 0x00, 0x00, 0x00, 0x02, 0x01, 0x21,
                                          0x16, 0x00, 0x08, 0x00, 0x01, 0x00, 0x00, 0x00};
constexpr unsigned char kStatusPaperOut = 1;
constexpr unsigned char kStatusPrinterError = 2;

const char* style_bytes(PrintStyle style, std::size_t* size) {
    struct Code {
        const char* bytes;
        std::size_t size;
    };
    static const Code codes[] = {
        {"", 0},             // Normal
        {"\x1B\x54", 2},     // Bold
        {"\x1B\x61\x00", 3}, // Centered
        {"\x1B\x61\x01", 3}, // RightJustified
        {"\x12", 1},         // DoubleSize
        {"\x0E", 1},         // DoubleWidth
        {"\x1B\x0F", 2},     // HalfSize
    };
    const Code& code = codes[static_cast<int>(style)];
    *size = code.size;
    return code.bytes;
}

// The printer's character set: Latin-1, with the euro sign at 0x93 and the pound
// sign at 0xA0. Control characters would be style codes: they print as spaces.
std::string printer_text(const std::string& utf8) {
    std::string out;
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        std::size_t len = b < 0x80                   ? 1
                          : (b >= 0xC2 && b <= 0xDF) ? 2
                          : (b >= 0xE0 && b <= 0xEF) ? 3
                          : (b >= 0xF0 && b <= 0xF4) ? 4
                                                     : 0;
        std::uint32_t cp = len == 1   ? b
                           : len == 2 ? (b & 0x1F)
                           : len == 3 ? (b & 0x0F)
                                      : (b & 0x07);
        bool valid = len > 0 && i + len <= utf8.size();
        for (std::size_t k = 1; valid && k < len; ++k) {
            const auto c = static_cast<unsigned char>(utf8[i + k]);
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

void put_le(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

int connect_to(const PrintEndpoint& till, std::string* detail) {
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(static_cast<std::uint16_t>(till.port));
    if (inet_pton(AF_INET, till.host.c_str(), &where.sin_addr) != 1) {
        *detail = "bad print host " + till.host;
        return -1;
    }
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *detail = std::string("socket: ") + std::strerror(errno);
        return -1;
    }
    timeval tv{till.timeout_ms / 1000, (till.timeout_ms % 1000) * 1000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    if (connect(fd, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0) {
        *detail = "cannot reach the till's printer at " + till.host + ":" +
                  std::to_string(till.port) + ": " + std::strerror(errno);
        close(fd);
        return -1;
    }
    return fd;
}

enum class LineResult { Answered, NoConnection, BadReply };

// Sends one job and reads its reply; *status gets the till's printer status.
LineResult print_one(const std::string& job, const PrintEndpoint& till, unsigned char* status,
                     std::string* detail) {
    const int fd = connect_to(till, detail);
    if (fd < 0)
        return LineResult::NoConnection;
    std::size_t sent = 0;
    while (sent < job.size()) {
        const ssize_t n = send(fd, job.data() + sent, job.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            *detail = std::string("sending a line: ") + std::strerror(errno);
            close(fd);
            return LineResult::BadReply;
        }
        sent += static_cast<std::size_t>(n);
    }
    unsigned char reply[17];
    std::size_t got = 0;
    while (got < sizeof reply) {
        const ssize_t n = recv(fd, reply + got, sizeof reply - got, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    close(fd);
    if (got != sizeof reply || std::memcmp(reply, kReplyHead, sizeof kReplyHead) != 0) {
        *detail = "the till answered " + std::to_string(got) + " bytes instead of a print status";
        return LineResult::BadReply;
    }
    *status = reply[16];
    return LineResult::Answered;
}

std::string label_value(const std::string& label, const std::string& value) {
    const std::size_t used = label.size() + value.size();
    const std::size_t gap = used < kReceiptWidth ? kReceiptWidth - used : 1;
    return label + std::string(gap, ' ') + value;
}

const char* alphabetic_code(int currency_code) {
    struct Currency {
        int code;
        const char* text;
    };
    static const Currency currencies[] = {
        {36, "AUD"},  {124, "CAD"}, {156, "CNY"}, {203, "CZK"}, {208, "DKK"}, {344, "HKD"},
        {348, "HUF"}, {376, "ILS"}, {392, "JPY"}, {410, "KRW"}, {554, "NZD"}, {578, "NOK"},
        {643, "RUB"}, {682, "SAR"}, {702, "SGD"}, {710, "ZAR"}, {752, "SEK"}, {756, "CHF"},
        {784, "AED"}, {949, "TRY"}, {985, "PLN"},
    };
    for (const Currency& c : currencies)
        if (c.code == currency_code)
            return c.text;
    return nullptr;
}

} // namespace

PrintEndpoint print_endpoint() {
    PrintEndpoint till;
    till.port = kTillPrintPort;
    if (const char* value = std::getenv("KORVEX_SIM_PRINT_PORT"); value && *value) {
        char* end = nullptr;
        const long port = std::strtol(value, &end, 10);
        if (*end == '\0' && port > 0 && port < 65536)
            till.port = static_cast<int>(port);
    }
    return till;
}

std::string encode_print_line(const PrintLine& line) {
    std::size_t style_size = 0;
    const char* style = style_bytes(line.style, &style_size);
    std::string text = printer_text(line.text);
    const std::size_t room = kMaxLineBytes - style_size - 1; // the line feed
    if (text.size() > room)
        text.resize(room);
    std::string payload(style, style_size);
    payload += text;
    payload.push_back('\n');

    std::string job;
    put_le(job, static_cast<std::uint32_t>(8 + payload.size()), 4);
    put_le(job, kProtocolVersion, 2);
    put_le(job, kPrintJobType, 2);
    put_le(job, kPrintLineTag, 4);
    put_le(job, static_cast<std::uint32_t>(payload.size()), 4);
    return job + payload;
}

PrintResult print_document(const std::vector<PrintLine>& lines) {
    return print_document(lines, print_endpoint());
}

PrintResult print_document(const std::vector<PrintLine>& lines, const PrintEndpoint& till) {
    PrintResult result;
    result.lines_total = lines.size();
    for (const PrintLine& line : lines) {
        unsigned char status = 0;
        switch (print_one(encode_print_line(line), till, &status, &result.detail)) {
        case LineResult::NoConnection:
            result.outcome = PrintOutcome::NoPrinter;
            return result;
        case LineResult::BadReply:
            result.outcome = PrintOutcome::BadReply;
            return result;
        case LineResult::Answered:
            break;
        }
        ++result.lines_answered;
        if (status == kStatusPaperOut || status == kStatusPrinterError) {
            result.outcome =
                status == kStatusPaperOut ? PrintOutcome::PaperOut : PrintOutcome::PrinterError;
            result.detail =
                std::string(status == kStatusPaperOut ? "the till's printer is out of paper"
                                                      : "the till's printer reported an error") +
                " at line " + std::to_string(result.lines_answered);
            return result;
        }
    }
    return result;
}

std::string format_amount(long long amount_minor, int currency_exponent, int currency_code) {
    const bool negative = amount_minor < 0;
    // Magnitude without overflow for the most negative value.
    unsigned long long magnitude = negative ? 0ULL - static_cast<unsigned long long>(amount_minor)
                                            : static_cast<unsigned long long>(amount_minor);
    std::string digits = std::to_string(magnitude);
    const int exponent = currency_exponent < 0 ? 0 : currency_exponent > 9 ? 9 : currency_exponent;
    if (exponent > 0) {
        if (digits.size() <= static_cast<std::size_t>(exponent))
            digits.insert(0, static_cast<std::size_t>(exponent) + 1 - digits.size(), '0');
        digits.insert(digits.size() - static_cast<std::size_t>(exponent), ".");
    }
    std::string symbol;
    if (currency_code == 978)
        symbol = "\u20AC";
    else if (currency_code == 826)
        symbol = "\u00A3";
    else if (currency_code == 840)
        symbol = "$";
    else if (const char* code = alphabetic_code(currency_code))
        symbol = std::string(code) + " ";
    else
        symbol = std::to_string(currency_code) + " ";
    return (negative ? "-" : "") + symbol + digits;
}

std::vector<PrintLine> build_receipt(const ReceiptFacts& facts, ReceiptCopy copy) {
    std::vector<PrintLine> lines;
    auto add = [&](PrintStyle style, const std::string& text) { lines.push_back({style, text}); };

    add(PrintStyle::Bold, facts.merchant_name);
    for (const std::string& address : facts.merchant_address)
        if (!address.empty())
            add(PrintStyle::Centered, address);
    add(PrintStyle::Normal, "");
    add(PrintStyle::Centered, copy == ReceiptCopy::Merchant ? "MERCHANT COPY" : "CUSTOMER COPY");
    add(PrintStyle::Bold, facts.type_name);
    if (!facts.date_time.empty())
        add(PrintStyle::Normal, facts.date_time);
    if (!facts.masked_pan.empty())
        add(PrintStyle::Normal, label_value("CARD", facts.masked_pan));
    if (!facts.invoice.empty())
        add(PrintStyle::Normal, label_value("INVOICE", facts.invoice));
    if (facts.approved && !facts.auth_code.empty())
        add(PrintStyle::Normal, label_value("AUTH CODE", facts.auth_code));
    add(PrintStyle::Normal, "");
    add(PrintStyle::DoubleSize,
        "TOTAL " + format_amount(facts.amount_minor, facts.currency_exponent, facts.currency_code));
    if (facts.donation_minor > 0)
        add(PrintStyle::Bold, label_value("DONATION", format_amount(facts.donation_minor,
                                                                    facts.currency_exponent,
                                                                    facts.currency_code)));
    add(PrintStyle::Normal, "");
    add(PrintStyle::Centered, facts.approved ? "APPROVED" : "DECLINED");
    if (!facts.status_text.empty())
        add(PrintStyle::Centered, facts.status_text);
    if (copy == ReceiptCopy::Customer)
        add(PrintStyle::Centered, "PLEASE KEEP THIS RECEIPT");
    add(PrintStyle::Normal, "");
    return lines;
}

ReceiptsResult print_transaction_receipts(const ReceiptFacts& facts,
                                          const std::function<void(ReceiptCopy)>& before_copy) {
    const PrintEndpoint till = print_endpoint();
    ReceiptsResult result;
    if (before_copy)
        before_copy(ReceiptCopy::Merchant);
    result.merchant = print_document(build_receipt(facts, ReceiptCopy::Merchant), till);
    if (result.merchant.outcome == PrintOutcome::NoPrinter) {
        // No printer now means none a moment later: the customer copy is not tried.
        result.customer.outcome = PrintOutcome::NoPrinter;
        result.customer.lines_total = build_receipt(facts, ReceiptCopy::Customer).size();
        result.customer.detail = result.merchant.detail;
        return result;
    }
    if (before_copy)
        before_copy(ReceiptCopy::Customer);
    result.customer = print_document(build_receipt(facts, ReceiptCopy::Customer), till);
    return result;
}

} // namespace sim
