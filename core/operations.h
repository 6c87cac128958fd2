// Every operation the console offers a till, as data: what the operator (or a
// scenario) gives it, which library call it makes, and how each field of the answer
// is shown. The console's panels show and read their widgets through these tables,
// and the scenario runner plays the same operations from a file, so an operation's
// fields and rules stand in one place.
//
// A widget is named here by its id in ui/EcrUi.xml; the window resolves the id to
// its handle. No toolkit in this file.
#pragma once

#include "field_rules.h"
#include "record_fields.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// One field of a request, and the console entry (or combo box) it comes from.
struct FieldInput {
    const FieldDesc* field;       // from the record's description
    InputRule rule;
    const char* widget;           // id in ui/EcrUi.xml, or null when no entry feeds it
    const char* const* choices;   // names of a Choice's values, null-terminated; else null
};

// One field of a response, the widget that shows it and by which rule.
struct FieldOutput {
    const FieldDesc* field;
    Rule rule;
    const char* widget; // id in ui/EcrUi.xml, or null when no widget shows it
};

// The description of record type `Record` at a fixed address, for an Operation's
// request and response (&record_description<Transaction_in>).
template <class Record> inline constexpr RecordDesc record_description = record_desc<Record>();

// Table rows; an unknown field name stops the build.
#define KELVRA_INPUT(Record, field, rule, widget)                                                  \
    FieldInput { &field_of<Record>(#field), InputRule::rule, (widget), nullptr }
#define KELVRA_CHOICE(Record, field, choices, widget)                                              \
    FieldInput { &field_of<Record>(#field), InputRule::Choice, (widget), (choices) }
#define KELVRA_OUTPUT(Record, field, rule, widget)                                                 \
    FieldOutput { &field_of<Record>(#field), Rule::rule, (widget) }

// What a call returned: the result code of the call (the response's DiagRequestOut,
// or the code a call without such a field reports).
struct OperationCall {
    const void* request; // the request record, or null when the operation has none
    void* response;      // the response record (zero-filled before the call)
    int record_number;   // for operations that fetch one record by its number (1-based)

    // Said by the call just before it calls the library: which function, and the
    // request as passed when that is a record of the call's own making (a copy that
    // carries the record number) rather than `request`. For the journal.
    template <class Function> void making(Function* function) const {
        made = reinterpret_cast<void (*)()>(function);
    }
    template <class Function, class Record>
    void making(Function* function, const Record& passed) const {
        making(function);
        passed_request.assign(reinterpret_cast<const char*>(&passed), sizeof passed);
    }
    mutable void (*made)() = nullptr;
    mutable std::string passed_request;
};

// The name of a terminal library function ("Transaction_Launch"), or "".
const char* library_call_name(void (*function)());

// Milliseconds since 1970 UTC, the clock of the journal's call times.
std::int64_t call_clock_ms();
// Records a library call made outside run_operation (a cashier's answer, the fetch
// of what the terminal asks about) as run_operation records its calls: to the
// operation the thread runs, else the newest running one. `request` may be null.
void record_library_call(void (*function)(), std::int64_t started_ms, const RecordDesc* request_desc,
                         const void* request, const RecordDesc& response_desc,
                         const void* response);
template <class Function, class In, class Out>
void record_library_call(Function* function, std::int64_t started_ms, const In* request,
                         const Out& response) {
    record_library_call(reinterpret_cast<void (*)()>(function), started_ms,
                        request ? &record_description<In> : nullptr, request,
                        record_description<Out>, &response);
}

struct Operation {
    // The name the console and the journal give it ("SALE", "Settlement",
    // "Terminal status"); scenarios name it so too, case and blanks aside.
    const char* name;
    const RecordDesc* request;  // null: the call takes no request record
    const RecordDesc* response; // never null
    std::span<const FieldInput> inputs;   // in the order the console reads them
    std::span<const FieldOutput> outputs; // in the order the console shows them
    // The response field holding the call's result code, or null.
    const FieldDesc* result;
    // Fills the fields that the operation itself fixes (the transaction type of a
    // SALE) before the inputs are read; null when there are none.
    void (*prepare)(void* request);
    // Makes the library call(s). Returns the result code.
    short (*call)(const OperationCall& call);
    // True when the call takes a record number (`record_number`), given as input "record".
    bool numbered;
};

// Every operation, in the console's order of pages.
std::span<const Operation> all_operations();

// The operation of that name: case, blanks, '-' and '_' do not count ("pre-auth
// reversal", "PRE_AUTH REVERSAL"). Null when there is none.
const Operation* find_operation(std::string_view name);

// The operations of one area, each defined beside its tables (operations_*.cpp).
std::span<const Operation> payment_operations();     // the 16 types, last transaction
std::span<const Operation> management_operations();  // status, configuration, queries
std::span<const Operation> end_of_day_operations();  // settlement, records, tip, rates, tax-free
std::span<const Operation> value_added_operations(); // donation, top-up

// The text of a "Print information" request as the library takes it: each line feed
// as a backslash and an 'n' while the text has room. A text escaped already stays
// as it is. The operation's call does it; the console does it before it records
// the request.
void escape_print_line_feeds(PrintInformation_in& request);

// The input of `op` that a scenario names `name`: the console's widget id
// ("txt_txn_input_amount1"), the record's field name ("Amount1In"), or that name
// without its "In" ending ("Amount1"), case aside. Null when there is none.
const FieldInput* find_input(const Operation& op, std::string_view name);

// The response field named so: the field's name with or without "Out", case aside.
const FieldDesc* find_response_field(const Operation& op, std::string_view name);
// The output shown in the widget of that id, or null.
const FieldOutput* find_output_by_widget(const Operation& op, std::string_view widget);

// The output that shows the answer's status of `op` (a transaction's, a
// settlement's, an exchange rate update's, ...), or null when it shows none.
const FieldOutput* status_output(const Operation& op);
// The name that a status `value` (the field's characters, as the journal keeps
// them) reads as by its status rule; null when it names none.
const char* status_name(Rule rule, const std::string& value);

// Runs `op` with a prepared request: zero-fills `response`, calls, returns the
// result code (also when the call has no result field: 0). The call, its times and
// its records' bytes (masked) go to the operation the thread runs, for the journal.
short run_operation(const Operation& op, const void* request, void* response,
                    int record_number = 0);

