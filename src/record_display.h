// Shows a response record in the window and reads a request from it, through the
// shared tables of core/operations.h: each row names a record field, the widget by
// its id in ui/EcrUi.xml and the rule (field_rules.h). One walker serves every
// record, so the same field is shown the same way wherever it stands.
//
// Widgets are written: call from the main thread, or from a worker that holds the
// toolkit lock.
#pragma once

#include "operations.h"

#include <gtk/gtk.h>

#include <span>

// The console's name for a row of a display table.
using FieldDisplay = FieldOutput;

// A display row for field `field` of record type `Record`, shown in the widget of
// that id; a field the record does not have stops the build.
#define RECORD_FIELD(Record, field, widget, rule)                                                  \
    FieldOutput {                                                                                  \
        &field_of<Record>(#field), (rule), #widget                                                 \
    }

// Shows every field of the table, in the table's order: each widget gets the field's
// shown_text (nullopt leaves it as it is; a host text is appended in bold to its text
// view). A row without a widget, or whose widget is missing, is skipped.
void show_record(const void* record, std::span<const FieldOutput> table);

// The DCC quotation panel's display (the event's record, shown in the DCC page).
std::span<const FieldDisplay> dcc_quotation_display();

// The text of an input entry; empty for a missing widget.
const char* input_text(GtkWidget* entry);

// An entry copied into a fixed-width request field as text (field_copy: NUL-padded,
// no terminator when full).
#define INPUT_FIELD(Record, field, entry)                                                          \
    FieldInput {                                                                                   \
        &field_of<Record>(#field), InputRule::Text, #entry, nullptr                                \
    }

// Reads every entry of the table into its field of `record` by its rule, in the
// table's order: an entry's text, or for a Choice shown by a combo box its active row
// (0 when none). A missing widget reads as the empty text; a row without a widget is
// left to the caller.
void read_inputs(void* record, std::span<const FieldInput> table);

// The operation of that name (core/operations.h), for the panels that show and read
// through its tables; a name the registry lacks ends the program at once.
const Operation& console_operation(const char* name);

// Fills a record selector's list store with the rows "1" to "count" and makes the
// first row active, which runs the selector's "changed" handler at once on this
// thread (toolkit lock held). A count of 0 or less adds nothing.
void fill_record_selector(GtkListStore* rows, GtkWidget* selector, int count);
