// The simulated terminal's printer: receipts printed on the till, one TCP
// connection per line, in the wire format of print_job_wire.h (the console's
// reader of it is its own).
#include "sim_printer.h"

#include <cstdlib>

namespace sim {
namespace {

constexpr std::size_t kReceiptWidth = 32; // columns of a normal line
constexpr unsigned char kStatusPaperOut = 1;
constexpr unsigned char kStatusPrinterError = 2;

enum class LineResult { Answered, NoConnection, BadReply };

// Sends one job and reads its reply; *status gets the till's printer status.
LineResult print_one(const std::string& job, const PrintEndpoint& till, unsigned char* status,
                     std::string* detail) {
    std::string reply;
    std::string error;
    if (!send_print_job(till.host.c_str(), till.port, job, &reply, &error, till.timeout_ms)) {
        *detail = "the till's printer at " + till.host + ":" + std::to_string(till.port) +
                  " cannot be reached: " + error;
        return LineResult::NoConnection;
    }
    if (!parse_print_reply(reinterpret_cast<const unsigned char*>(reply.data()), reply.size(),
                           status)) {
        *detail = "the till answered " + std::to_string(reply.size()) +
                  " bytes instead of a print status";
        return LineResult::BadReply;
    }
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
    till.port = kPrintPort;
    if (const char* value = std::getenv("KORVEX_SIM_PRINT_PORT"); value && *value) {
        char* end = nullptr;
        const long port = std::strtol(value, &end, 10);
        if (*end == '\0' && port > 0 && port < 65536)
            till.port = static_cast<int>(port);
    }
    return till;
}

PrintResult print_document(const std::vector<PrintLine>& lines) {
    return print_document(lines, print_endpoint());
}

PrintResult print_document(const std::vector<PrintLine>& lines, const PrintEndpoint& till) {
    PrintResult result;
    result.lines_total = lines.size();
    for (const PrintLine& line : lines) {
        unsigned char status = 0;
        switch (
            print_one(encode_print_line(line.style, line.text), till, &status, &result.detail)) {
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
