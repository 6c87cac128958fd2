#include "journal_entry.h"

#include "card_masking.h"
#include "code_texts.h"
#include "fields.h"
#include "operations.h"

#include <glib.h>

#include <cstdint>
#include <cstdlib>
#include <cstddef>
#include <cstring>
#include <algorithm>

namespace {

template <class Number> std::string number_at(const unsigned char* field) {
    Number value;
    std::memcpy(&value, field, sizeof value); // the records are little-endian, like the host
    return std::to_string(value);
}

// The journal is UTF-8; a terminal's stray bytes become replacement characters.
std::string valid_utf8(const std::string& text) {
    if (g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr))
        return text;
    gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
    std::string result = valid;
    g_free(valid);
    return result;
}

} // namespace

std::optional<std::string> record_field_value(const FieldDesc& field, const void* record,
                                              bool mask_texts) {
    const unsigned char* at = static_cast<const unsigned char*>(record) + field.offset;
    const auto masked = [&](std::string text) {
        return mask_texts ? mask_secret(text) : text;
    };
    const auto text = [&] { return field_text(reinterpret_cast<const char*>(at), field.width); };
    switch (field.kind) {
    case FieldKind::Text:
        return masked(valid_utf8(text()));
    case FieldKind::Latin2Text:
        return masked(latin2_to_utf8(text()));
    case FieldKind::Pan:
        return mask_secret(valid_utf8(text()), SecretKind::CardNumber);
    case FieldKind::VoucherCode:
        return mask_texts ? mask_secret(valid_utf8(text()), SecretKind::VoucherCode)
                          : valid_utf8(text());
    case FieldKind::Secret:
    case FieldKind::Records:
        return std::nullopt;
    case FieldKind::Int8:
        return number_at<std::int8_t>(at);
    case FieldKind::UInt8:
        return number_at<std::uint8_t>(at);
    case FieldKind::Int16:
        return number_at<std::int16_t>(at);
    case FieldKind::UInt16:
        return number_at<std::uint16_t>(at);
    case FieldKind::Int32:
        return number_at<std::int32_t>(at);
    }
    return std::nullopt;
}

namespace {

// The value of `field` in the operation's own call, its first record: the records
// fetched after it (a settlement's detail records, a sale's vouchers) describe other
// transactions and must not lend the entry their amount or invoice.
std::string main_value(const std::vector<JournalRecord>& records, std::string_view field) {
    return records.empty() ? "" : std::string(field_value(records.front(), field));
}

// The terminal's amounts have at most twelve digits (in thirteen bytes with their
// terminator).
constexpr std::size_t kAmountDigits = 12;

// An amount field's value as the list shows it: its digits without the zeros in
// front. A field that holds anything else, or more digits than an amount has (a
// longer amount cut to the field, which the terminal refuses), gives no amount
// rather than another number.
std::string amount_summary(const std::string& digits) {
    if (digits.empty() || digits.size() > kAmountDigits)
        return "";
    for (char c : digits)
        if (c < '0' || c > '9')
            return "";
    const auto first = digits.find_first_not_of('0');
    return first == std::string::npos ? "0" : digits.substr(first);
}

// The status output of the operations that answer with `record`, or null.
const FieldOutput* status_of(std::string_view record) {
    for (const Operation& op : all_operations())
        if (record == op.response->name)
            if (const FieldOutput* status = status_output(op))
                return status;
    return nullptr;
}

} // namespace

namespace {

// `text` written into the field, cut to its width, the rest zero-filled.
void put_text(unsigned char* field, std::size_t width, const std::string& text) {
    std::memset(field, 0, width);
    std::memcpy(field, text.data(), std::min(width, text.size()));
}

// The description of the records an embedded array holds ("VoucherRecordsOut" holds
// "VoucherRecordOut"s), or null.
const RecordDesc* element_desc(std::string_view field) {
    constexpr std::string_view kEnd = "RecordsOut";
    if (!field.ends_with(kEnd))
        return nullptr;
    return find_record(std::string(field.substr(0, field.size() - kEnd.size())) + "RecordOut");
}

void mask_in_place(const RecordDesc& desc, unsigned char* record) {
    for (const FieldDesc& field : desc.fields) {
        unsigned char* at = record + field.offset;
        const std::string text = field_text(reinterpret_cast<const char*>(at), field.width);
        switch (field.kind) {
        case FieldKind::Text:
        case FieldKind::Latin2Text:
            // Only a text that holds a secret is rewritten: its other bytes stay.
            if (const std::string masked = mask_secret(text); masked != text)
                put_text(at, field.width, masked);
            break;
        case FieldKind::Pan:
            put_text(at, field.width, mask_secret(text, SecretKind::CardNumber));
            break;
        case FieldKind::VoucherCode:
            put_text(at, field.width, mask_secret(text, SecretKind::VoucherCode));
            break;
        case FieldKind::Secret:
            std::memset(at, 0, field.width);
            break;
        case FieldKind::Records:
            if (const RecordDesc* element = element_desc(field.name); element && element->size)
                for (std::size_t e = 0; e + element->size <= field.width; e += element->size)
                    mask_in_place(*element, at + e);
            else
                std::memset(at, 0, field.width); // nothing tells what is secret in it
            break;
        default:
            break;
        }
    }
}

} // namespace

std::string masked_record_bytes(const RecordDesc& desc, const void* bytes) {
    std::string copy(static_cast<const char*>(bytes), desc.size);
    mask_in_place(desc, reinterpret_cast<unsigned char*>(copy.data()));
    return copy;
}

std::optional<JournalRecord> call_record(const std::string& record, const std::string& bytes) {
    const RecordDesc* desc = find_record(record);
    if (!desc || bytes.size() != desc->size)
        return std::nullopt;
    return journal_record(*desc, bytes.data());
}

JournalRecord journal_record(const RecordDesc& desc, const void* bytes) {
    JournalRecord record{desc.name, {}, {}};
    const auto* at = static_cast<const unsigned char*>(bytes);
    const auto code_at = [&](std::size_t offset, std::size_t width) {
        if (std::string code = field_text(reinterpret_cast<const char*>(at + offset), width);
            !code.empty())
            record.voucher_codes.push_back(std::move(code));
    };
    for (const FieldDesc& field : desc.fields) {
        if (auto value = record_field_value(field, at))
            record.fields.push_back({field.name, std::move(*value)});
        if (field.kind == FieldKind::VoucherCode)
            code_at(field.offset, field.width);
        // A voucher sale's answer embeds its vouchers, whose receipts print during it.
        if (field.kind == FieldKind::Records && std::string_view(field.name) == "VoucherRecordsOut")
            for (std::size_t v = 0; v + sizeof(VoucherRecordOut) <= field.width;
                 v += sizeof(VoucherRecordOut))
                code_at(field.offset + v + offsetof(VoucherRecordOut, VoucherCodeOut),
                        sizeof(VoucherRecordOut::VoucherCodeOut));
    }
    return record;
}

void mask_voucher_codes(std::vector<std::string>& lines, const std::vector<JournalRecord>& records) {
    for (const JournalRecord& record : records)
        for (const std::string& code : record.voucher_codes) {
            if (code.size() < 6) // too short to tell from other text
                continue;
            const std::string masked = mask_secret(code, SecretKind::VoucherCode);
            for (std::string& line : lines)
                for (auto at = line.find(code); at != std::string::npos;
                     at = line.find(code, at + masked.size()))
                    line.replace(at, code.size(), masked);
        }
}

std::string_view field_value(const JournalRecord& record, std::string_view name) {
    for (const JournalField& f : record.fields)
        if (f.name == name)
            return f.value;
    return {};
}

void summarise_entry(JournalEntry& entry) {
    mask_voucher_codes(entry.receipt, entry.request);
    mask_voucher_codes(entry.receipt, entry.response);
    // The amount the operator asked for; else the one the terminal answered.
    for (const char* field : {"Amount1In", "TotalAmountIn", "SaleCashAmountIn", "VoucherAmountIn"})
        if (entry.amount.empty())
            entry.amount = amount_summary(main_value(entry.request, field));
    if (entry.amount.empty())
        entry.amount = amount_summary(main_value(entry.response, "TotalAmountOut"));

    entry.invoice = main_value(entry.response, "InvoiceNumberOut");
    if (entry.invoice.empty())
        entry.invoice = main_value(entry.request, "InvoiceNumberIn");

    entry.host_text = main_value(entry.response, "HostTextOut");
    if (entry.host_text.empty())
        entry.host_text = main_value(entry.response, "HostOptionalMessageOut");

    if (entry.status.empty() && !entry.response.empty()) // unless already marked (interrupted)
        if (const FieldOutput* status = status_of(entry.response.front().record)) {
            const std::string value = main_value(entry.response, status->field->name);
            if (const char* text = value.empty() ? nullptr : status_name(status->rule, value))
                entry.status = text;
        }

    if (!entry.result_code)
        if (const std::string code = main_value(entry.response, "DiagRequestOut"); !code.empty())
            entry.result_code = std::atoi(code.c_str());
    if (entry.result_code)
        entry.result_text = result_code_text(static_cast<short>(*entry.result_code));
}
