// Shows a fixed-layout response record in the window, field by field, from a
// constant table per record: where the field lies, how wide it is, which widget
// shows it and by which rule. One walker serves every record, so the same field
// is shown the same way wherever it stands.
//
// Widgets are written: call from the main thread, or from a worker that holds the
// toolkit lock.
#pragma once

#include "record_fields.h"

#include <gtk/gtk.h>

#include <cstddef>

enum class Rule {
    Text,           // the characters up to the first NUL, or the whole width
    TxnStatus,      // status name of a decimal status field (DiagTxnStatus)
    CurrencySymbol, // symbol of a numeric currency code; an empty field shows empty
    Signed16,       // a signed 16-bit number in decimal
    Bool16,         // "FALSE", "TRUE" or "UNKNOWN" of the low byte of a 16-bit field
    TxnTypeName,    // name of a two-digit type code; an empty field leaves the entry as it is
    TxnTypeOfValue, // name of a type code's decimal value; an empty field counts as 0
    HostText,       // appended in bold at the end of a text view, scrolled into view
    Unsigned8,      // an unsigned 8-bit number in decimal
    Unsigned16,     // an unsigned 16-bit number in decimal
    DonationMode,   // "Round Up", "Top Up" or "Unknown" of an 8-bit mode
    MtTxnStatus,    // status name of a voucher sale (DiagMtTxnStatus)
    MtuSettStatus,  // status name of a top-up settlement (DiagMtuSettStatus)
    Latin2Text,     // ISO-8859-2 text converted to UTF-8; empty when it cannot be
    // Named codes: the name of the field's value (record_display.cpp lists them).
    // Digit text fields; an empty field leaves the entry as it is.
    SettlementStatus, // "Authorised" ... "No Transaction", else "Unknown"
    TaxFreeStatus,    // "Failed", "Successful", else "Unknown"
    EntryMethodName,  // GetEntryMethod of the digit
    // Signed 16-bit fields.
    BankType,           // "Non Bank Funded", "Bank Funded", else "Unknown"
    ExchangeRateStatus, // "Merchant Not DCC Enabled" ... "Cancelled", else left as it is
};

struct FieldDisplay {
    GtkWidget** widget;
    const FieldDesc* field; // from the record's description (record_fields.h)
    Rule rule;
};

// A table row for field `field` of record type `Record`; a field the record does
// not have stops the build.
#define RECORD_FIELD(Record, field, widget, rule)                                                  \
    FieldDisplay {                                                                                 \
        &(widget), &field_of<Record>(#field), (rule)                                               \
    }

// Shows every field of the table, in the table's order. A null widget is skipped.
void show_record(const void* record, const FieldDisplay* table, std::size_t count);
template <std::size_t N> void show_record(const void* record, const FieldDisplay (&table)[N]) {
    show_record(record, table, N);
}

// Sets each entry of the list to the empty text, in the list's order.
void clear_entries(GtkWidget** const* entries, std::size_t count);
template <std::size_t N> void clear_entries(GtkWidget** const (&entries)[N]) {
    clear_entries(entries, N);
}

// The text of an input entry; empty for a missing widget.
const char* input_text(GtkWidget* entry);

// One input entry copied into a fixed-width request field (field_copy: NUL-padded,
// no terminator when full).
struct FieldInput {
    GtkWidget** entry;
    const FieldDesc* field;
};
#define INPUT_FIELD(Record, field, entry)                                                          \
    FieldInput {                                                                                   \
        &(entry), &field_of<Record>(#field)                                                        \
    }

// Copies every entry of the table into its field of `record`, in the table's order.
void read_inputs(void* record, const FieldInput* table, std::size_t count);
template <std::size_t N> void read_inputs(void* record, const FieldInput (&table)[N]) {
    read_inputs(record, table, N);
}

// Fills a record selector's list store with the rows "1" to "count" and makes the
// first row active, which runs the selector's "changed" handler at once on this
// thread (toolkit lock held). A count of 0 or less adds nothing.
void fill_record_selector(GtkListStore* rows, GtkWidget* selector, int count);

// A two-way choice as the request records carry it: 1 for the list's second row,
// 0 for the first row or no row (or a missing widget).
short two_way_choice(GtkWidget* combo);
