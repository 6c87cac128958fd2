// How text crosses a request or response record of an operation, for every reader
// and writer of records: the console's panels and the scenario runner build their
// requests and read their responses through these two functions only.
#pragma once

#include "record_fields.h"

#include <optional>
#include <string>
#include <string_view>

// How a response field is shown.
enum class Rule {
    Text,           // the characters up to the first NUL, or the whole width
    TxnStatus,      // status name of a decimal status field (DiagTxnStatus)
    CurrencySymbol, // symbol of a numeric currency code; an empty field shows empty
    Signed16,       // a signed 16-bit number in decimal
    Bool16,         // "FALSE", "TRUE" or "UNKNOWN" of the low byte of a 16-bit field
    TxnTypeName,    // name of a two-digit type code; an empty field leaves the entry as it is
    TxnTypeOfValue, // name of a type code's decimal value; an empty field counts as 0
    HostText,       // the text; the window appends it in bold to a text view
    Unsigned8,      // an unsigned 8-bit number in decimal
    Unsigned16,     // an unsigned 16-bit number in decimal
    DonationMode,   // "Round Up", "Top Up" or "Unknown" of an 8-bit mode
    MtTxnStatus,    // status name of a voucher sale (DiagMtTxnStatus)
    MtuSettStatus,  // status name of a top-up settlement (DiagMtuSettStatus)
    Latin2Text,     // ISO-8859-2 text converted to UTF-8; empty when it cannot be
    // Named codes (code_texts.h). Digit text fields; an empty field leaves the entry
    // as it is.
    SettlementStatus, // "Authorised" ... "No Transaction", else "Unknown"
    TaxFreeStatus,    // "Failed", "Successful", else "Unknown"
    EntryMethodName,  // GetEntryMethod of the digit
    // Signed 16-bit fields.
    BankType,           // "Non Bank Funded", "Bank Funded", else "Unknown"
    ExchangeRateStatus, // "Merchant Not DCC Enabled" ... "Cancelled", else left as it is
};

// The text shown for `field` of `record` by `rule`, in UTF-8 as the record gives it
// (the window makes invalid bytes valid). nullopt: the rule leaves the widget as it
// is (an empty code field, an unknown exchange-rate status).
std::optional<std::string> shown_text(const void* record, const FieldDesc& field, Rule rule);

// The widest text that `rule` can show for `field`, for sizing its widget: a text
// field's whole width in its widest character (a '0' where the field holds digits:
// amounts, counts, numbers, dates, times, rates, card numbers; a 'W' elsewhere),
// the widest number of a number field, and the longest name of a coded field.
std::string longest_shown_text(const FieldDesc& field, Rule rule);

// How an input text becomes a request field.
enum class InputRule {
    Text,      // copied as it is (field_copy: NUL-padded, cut at the width)
    Amount,    // copied, then right-aligned in twelve '0'-filled digits, as the console sends amounts
    FirstChar, // the code of the text's first character (0 for an empty text) in a number field
    Number,    // a decimal number in a number field (Int8 ... Int32); an empty text is 0
    Choice,    // a number field set from a list of names: the name's index, or a decimal number
               // (names compared as operation names are: case, blanks, '-' and '_' aside)
    TerminatedText, // copied as it is, always ending in a NUL (field_copy_terminated): paths
                    // and addresses, whose calls read up to the terminator
};

// Writes `text` into `field` of `record` by `rule`. `choices` (null-terminated) names
// the values of a Choice. Returns false, with *error (optional) saying why, when the
// text cannot be taken: a Number that is not a number or does not fit, an unknown
// choice. The console's entries never fail: they pass what the operator typed.
bool set_input(void* record, const FieldDesc& field, InputRule rule, std::string_view text,
               const char* const* choices = nullptr, std::string* error = nullptr);

// A name as scenarios may write it (operations, choices): lower case, without
// blanks, '-' and '_'.
std::string fold_name(std::string_view name);
