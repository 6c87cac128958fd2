// One entry of the journal: what an operation asked the terminal, what the terminal
// answered, the cashier's questions during it and the receipt lines it printed.
// Everything in an entry is already masked: a card number shows its first six and
// last four digits at most, track data and passwords are not there at all.
#pragma once

#include "record_fields.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct JournalField {
    std::string name;
    std::string value;
    bool operator==(const JournalField&) const = default;
};

// One record as it crossed the library, field by field in the record's order.
struct JournalRecord {
    std::string record; // the record's type name ("Transaction_out")
    std::vector<JournalField> fields;
    // The voucher codes of the record (its own and those of its embedded vouchers) as
    // the terminal gave them, in memory only: the receipt lines that print them are
    // masked with them (mask_voucher_codes) before anything is written. Never stored.
    std::vector<std::string> voucher_codes{};
    bool operator==(const JournalRecord& other) const {
        return record == other.record && fields == other.fields;
    }
};

// A question the terminal asked the cashier while the operation ran.
struct JournalQuestion {
    std::int64_t at_ms = 0;   // when it was answered
    std::string question;     // "Signature", "Voice referral", ...
    std::string answer;       // "Accepted", "Refused", "Approved with code 123456", ...
    std::vector<JournalField> details; // what the terminal showed with the question
    bool operator==(const JournalQuestion&) const = default;
};

// One call of the terminal library as it crossed: the records' bytes exactly as
// passed, with every card number masked in place (same length) and every password
// and track blanked (zeros), so that they can be shown byte by byte and decoded
// again through the record descriptions.
struct JournalCall {
    std::string name;            // the library's call ("Transaction_Launch")
    std::int64_t started_ms = 0; // when it was made, milliseconds since 1970 UTC
    std::int64_t ended_ms = 0;   // when it returned
    std::string request_record;  // the request's description name, empty: none
    std::string request;         // its bytes, masked
    std::string response_record; // the response's description name
    std::string response;        // its bytes, masked
    bool operator==(const JournalCall&) const = default;
};

struct JournalEntry {
    std::int64_t id = 0;          // given by the journal when it is written
    std::int64_t started_ms = 0;  // milliseconds since 1970-01-01 UTC
    std::int64_t ended_ms = 0;
    std::string operation;        // as the operator knows it ("SALE", "Settlement")
    std::vector<JournalRecord> request;
    std::vector<JournalRecord> response;
    std::optional<int> result_code; // the library's result code, when a response came
    std::string result_text;        // its text ("OK", "Unable To Connect")
    // Summaries for the list and the search, taken from the records.
    std::string amount;    // minor units without leading zeros, or empty
    std::string invoice;   // invoice number, or empty
    std::string status;    // the status text of the answer ("Approved", "Authorised")
    std::string host_text; // the host's message to the cashier
    std::vector<JournalQuestion> questions;
    std::vector<std::string> receipt; // the receipt lines, in the order printed
    // The style of each receipt line (PrintJobFont); empty when all are plain.
    std::vector<int> receipt_styles;
    std::vector<JournalCall> calls;   // every library call of the operation, in order
    bool operator==(const JournalEntry&) const = default;
};

// The fields of a record read through its description, masked: Pan fields keep six
// and four digits at most, voucher codes their last four characters, Secret fields
// and embedded record arrays are left out,
// numbers are written in decimal, ISO-8859-2 texts become UTF-8, and any card
// number inside another text is masked too.
JournalRecord journal_record(const RecordDesc& desc, const void* bytes);

// One field of a record as text: numbers in decimal, a card-number field masked,
// track data and passwords nullopt (never read back). `mask_texts`: also mask
// voucher codes, and card numbers and tracks inside other texts, as the journal keeps
// them; a scenario compares those texts as they are.
std::optional<std::string> record_field_value(const FieldDesc& field, const void* record,
                                              bool mask_texts = true);
// The bytes of a record as the journal keeps them: a copy of `bytes` with every
// card number field masked in place, the texts' card numbers and voucher codes
// masked (a longer mask cut to the field), passwords and tracks zero-filled, and the
// records embedded in it masked by their own descriptions.
std::string masked_record_bytes(const RecordDesc& desc, const void* bytes);
// The call's records decoded through their descriptions: null when the name is
// unknown or the bytes are not of the description's size.
std::optional<JournalRecord> call_record(const std::string& record, const std::string& bytes);

template <class Record> JournalRecord journal_record(const Record& record) {
    return journal_record(record_desc<Record>(), &record);
}

// The value of field `name` in `record`, or empty.
std::string_view field_value(const JournalRecord& record, std::string_view name);

// Every voucher code of `records` masked in `lines` (a voucher's receipt prints its
// code whole).
void mask_voucher_codes(std::vector<std::string>& lines, const std::vector<JournalRecord>& records);

// Masks the voucher codes in the entry's receipt lines and fills the entry's summaries (amount, invoice, status, host text, result) from
// its request and response records.
void summarise_entry(JournalEntry& entry);
