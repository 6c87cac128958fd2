// The simulated terminal's printer. A terminal without a printer of its own prints
// on the till: every receipt line is one print job over one TCP connection to the
// till's print port, with the printer's style bytes, and the till answers each job
// with a printer status that the terminal honours:
//   0  printed: the next line follows;
//   1  out of paper (the till's "Out of paper"): nothing more can be printed, so the
//      terminal stops sending the rest of that copy;
//   2  printer error: likewise, the rest of that copy is not sent.
// Either way the next copy of the receipt is still tried (the cashier may have put
// in paper or cleared the fault meanwhile); any other status byte counts as printed.
// A till that cannot be reached ends the document at once; a reply that is not the
// 17-byte status reply (or none within the timeout) ends it as well.
#pragma once

#include "print_job_wire.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace sim {

// How the printer shows a line (one style per line): the wire format's styles.
using PrintStyle = ::PrintStyle;

// One receipt line; text in UTF-8 (the euro and pound signs are sent as the
// printer's own bytes, other characters outside Latin-1 as '?').
struct PrintLine {
    PrintStyle style = PrintStyle::Normal;
    std::string text;
};

enum class PrintOutcome {
    Printed,      // every line was answered as printed
    PaperOut,     // a line was answered 1: the rest of the document was not sent
    PrinterError, // a line was answered 2: the rest of the document was not sent
    NoPrinter,    // no connection to the till's print port: nothing more was sent
    BadReply,     // a reply that is not the status reply, or none in time
};

struct PrintResult {
    PrintOutcome outcome = PrintOutcome::Printed;
    std::size_t lines_total = 0;    // lines of the document
    std::size_t lines_answered = 0; // lines the till answered with a status reply
    std::string detail;             // why a document was not printed whole
};

// Where the receipts go: the till at 127.0.0.1, port 5187, or the port named by
// KORVEX_SIM_PRINT_PORT (tests). The terminal waits up to timeout_ms per reply.
struct PrintEndpoint {
    std::string host = "127.0.0.1";
    int port = 5187;
    int timeout_ms = 5000;
};
PrintEndpoint print_endpoint();

// Prints a document line by line and says what happened. Blocks while it prints:
// never call it with the terminal's mutex held.
PrintResult print_document(const std::vector<PrintLine>& lines);
PrintResult print_document(const std::vector<PrintLine>& lines, const PrintEndpoint& till);

// What a receipt shows about one transaction; the payment engine fills it.
struct ReceiptFacts {
    std::string merchant_name;
    std::vector<std::string> merchant_address; // up to four lines; empty ones are skipped
    std::string type_name;                     // "SALE", "REFUND", ...
    std::string masked_pan;                    // "************1234"
    long long amount_minor = 0;                // total in minor units
    int currency_exponent = 2;
    int currency_code = 978; // ISO 4217 numeric
    std::string auth_code;
    std::string invoice;
    std::string date_time;   // as printed, e.g. "2024-05-01 14:03:59"
    std::string status_text; // "Authorised", "Not authorised", ...
    bool approved = false;
    long long donation_minor = 0; // charity donation added to the sale, 0 for none
};

enum class ReceiptCopy { Merchant, Customer };

// The lines of one copy: bold merchant name, centred address and copy name, the
// transaction facts, a double-size total, and the outcome.
std::vector<PrintLine> build_receipt(const ReceiptFacts& facts, ReceiptCopy copy);

// An amount as printed: "€12.34", "£0.05", "-$1.00" (a refund), other currencies
// by their alphabetic code ("CHF 12.34"), unknown ones by their number ("999 12.34").
std::string format_amount(long long amount_minor, int currency_exponent, int currency_code);

struct ReceiptsResult {
    PrintResult merchant;
    PrintResult customer;
};

// Prints the merchant copy, then the customer copy. `before_copy` (optional) is
// called as each copy starts, e.g. to show the printing state. When the till's
// print port cannot be reached for the merchant copy, the customer copy is not
// tried (its result says NoPrinter). Whether receipts are printed at all is
// Terminal::print_receipts, which the caller checks.
ReceiptsResult print_transaction_receipts(const ReceiptFacts& facts,
                                          const std::function<void(ReceiptCopy)>& before_copy = {});

} // namespace sim
