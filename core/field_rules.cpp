#include "field_rules.h"

#include "code_texts.h"
#include "fields.h"

#include <glib.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

namespace {

std::int16_t signed16_at(const unsigned char* field) {
    std::int16_t value;
    std::memcpy(&value, field, sizeof value); // the records are little-endian, like the host
    return value;
}

// The decimal value of a digit text field, as the C library reads it.
int digits_value(const char* field, std::size_t width) {
    return std::atoi(field_text(field, width).c_str());
}

// The code table behind each named-code rule, and whether its field is a digit text
// (else a signed 16-bit number).
struct CodeRule {
    Rule rule;
    CodeTable table;
    bool text_field;
};
constexpr CodeRule kCodeRules[] = {
    {Rule::SettlementStatus, CodeTable::SettlementStatus, true},
    {Rule::TaxFreeStatus, CodeTable::TaxFreeStatus, true},
    {Rule::BankType, CodeTable::BankType, false},
    {Rule::ExchangeRateStatus, CodeTable::ExchangeRateStatus, false},
};

std::optional<std::string> code_text(const unsigned char* field, std::size_t width, Rule rule) {
    const auto* c = std::find_if(std::begin(kCodeRules), std::end(kCodeRules),
                                 [rule](const CodeRule& r) { return r.rule == rule; });
    const char* text = reinterpret_cast<const char*>(field);
    if (c->text_field && text[0] == '\0')
        return std::nullopt;
    const int value = c->text_field ? digits_value(text, width) : signed16_at(field);
    if (const char* name = code_name(c->table, value))
        return name;
    return std::nullopt;
}

} // namespace

std::optional<std::string> shown_text(const void* record, const FieldDesc& f, Rule rule) {
    const auto* bytes = static_cast<const unsigned char*>(record) + f.offset;
    const char* field = reinterpret_cast<const char*>(bytes);
    switch (rule) {
    case Rule::Text:
    case Rule::HostText:
        return field_text(field, f.width);
    case Rule::TxnStatus:
        return DiagTxnStatus(field, f.width);
    case Rule::CurrencySymbol: {
        char symbol[8] = "";
        if (field[0] != '\0')
            GetCurrencySymbol(digits_value(field, f.width), symbol);
        return symbol;
    }
    case Rule::Signed16:
        return std::to_string(signed16_at(bytes));
    case Rule::Bool16: {
        char text[8];
        get_bool_string(static_cast<unsigned char>(signed16_at(bytes) & 0xFF), text);
        return text;
    }
    case Rule::TxnTypeName:
        if (field[0] == '\0')
            return std::nullopt;
        return get_txn_type(digits_value(field, f.width));
    case Rule::TxnTypeOfValue:
        return get_txn_type(digits_value(field, f.width));
    case Rule::Unsigned8:
        return std::to_string(bytes[0]);
    case Rule::Unsigned16:
        return std::to_string(static_cast<std::uint16_t>(signed16_at(bytes)));
    case Rule::DonationMode:
        return get_donation_mode_string(bytes[0]);
    case Rule::MtTxnStatus:
        return DiagMtTxnStatus(field, f.width);
    case Rule::MtuSettStatus:
        return DiagMtuSettStatus(field, f.width);
    case Rule::Latin2Text:
        return latin2_to_utf8(field_text(field, f.width));
    case Rule::EntryMethodName:
        if (field[0] == '\0')
            return std::nullopt;
        return GetEntryMethod(digits_value(field, f.width));
    case Rule::SettlementStatus:
    case Rule::TaxFreeStatus:
    case Rule::BankType:
    case Rule::ExchangeRateStatus:
        return code_text(bytes, f.width, rule);
    }
    return std::nullopt;
}

namespace {

// Amounts go right-aligned in twelve digits (or the field's width less one).
constexpr std::size_t kAmountBufferLen = 13;

struct IntRange {
    long long low, high;
};

std::optional<IntRange> range_of(FieldKind kind) {
    switch (kind) {
    case FieldKind::Int8:
        return IntRange{INT8_MIN, INT8_MAX};
    case FieldKind::UInt8:
        return IntRange{0, UINT8_MAX};
    case FieldKind::Int16:
        return IntRange{INT16_MIN, INT16_MAX};
    case FieldKind::UInt16:
        return IntRange{0, UINT16_MAX};
    case FieldKind::Int32:
        return IntRange{INT32_MIN, INT32_MAX};
    default:
        return std::nullopt;
    }
}

// Stores `value` in a number field of its own width (the records are little-endian,
// like the host).
void store_number(void* record, const FieldDesc& field, long long value) {
    auto* at = static_cast<unsigned char*>(record) + field.offset;
    switch (field.width) {
    case 1: {
        const auto v = static_cast<std::uint8_t>(value);
        std::memcpy(at, &v, 1);
        break;
    }
    case 2: {
        const auto v = static_cast<std::uint16_t>(value);
        std::memcpy(at, &v, 2);
        break;
    }
    case 4: {
        const auto v = static_cast<std::uint32_t>(value);
        std::memcpy(at, &v, 4);
        break;
    }
    default:
        break;
    }
}

bool fail(std::string* error, std::string why) {
    if (error)
        *error = std::move(why);
    return false;
}

bool set_number(void* record, const FieldDesc& field, std::string_view text, std::string* error) {
    const auto range = range_of(field.kind);
    if (!range)
        return fail(error, std::string(field.name) + " is not a number field");
    long long value = 0;
    if (!text.empty()) {
        const char* first = text.data();
        const char* last = first + text.size();
        if (*first == '+')
            ++first;
        const auto [end, ec] = std::from_chars(first, last, value);
        if (ec == std::errc::result_out_of_range)
            return fail(error, "'" + std::string(text) + "' is out of range for " + field.name);
        if (ec != std::errc() || end != last || first == last)
            return fail(error, "'" + std::string(text) + "' is not a number (" + field.name + ")");
    }
    if (value < range->low || value > range->high)
        return fail(error, "'" + std::string(text) + "' is out of range for " + field.name + " (" +
                               std::to_string(range->low) + " to " + std::to_string(range->high) +
                               ")");
    store_number(record, field, value);
    return true;
}


bool set_choice(void* record, const FieldDesc& field, std::string_view text,
                const char* const* choices, std::string* error) {
    std::string names;
    const std::string wanted = fold_name(text);
    for (int i = 0; choices && choices[i]; ++i) {
        if (!wanted.empty() && wanted == fold_name(choices[i]))
            return set_number(record, field, std::to_string(i), error);
        names += (i ? ", " : "") + std::string(choices[i]);
    }
    std::string number_error;
    if (set_number(record, field, text, &number_error))
        return true;
    return fail(error, "'" + std::string(text) + "' is not a choice of " + field.name +
                           (names.empty() ? "" : " (" + names + ")"));
}

} // namespace

bool set_input(void* record, const FieldDesc& field, InputRule rule, std::string_view text,
               const char* const* choices, std::string* error) {
    char* at = static_cast<char*>(record) + field.offset;
    switch (rule) {
    case InputRule::Text:
    case InputRule::Amount:
    case InputRule::TerminatedText: {
        if (range_of(field.kind))
            return fail(error, std::string(field.name) + " is not a text field");
        // The entry's text up to its first NUL, cut at the width (field_copy).
        const std::string copy(text.substr(0, std::min(text.find('\0'), text.size())));
        if (rule == InputRule::TerminatedText)
            field_copy_terminated(at, field.width, copy.c_str());
        else
            field_copy(at, field.width, copy.c_str());
        if (rule == InputRule::Amount)
            LeftPadBuffer(
                at, static_cast<int>(std::min<std::size_t>(field.width, kAmountBufferLen)), '0');
        return true;
    }
    case InputRule::FirstChar:
        if (!range_of(field.kind))
            return fail(error, std::string(field.name) + " is not a number field");
        store_number(record, field, text.empty() ? 0 : static_cast<unsigned char>(text[0]));
        return true;
    case InputRule::Number:
        return set_number(record, field, text, error);
    case InputRule::Choice:
        return set_choice(record, field, text, choices, error);
    }
    return fail(error, "unknown input rule");
}

std::string fold_name(std::string_view name) {
    std::string out;
    for (char c : name)
        if (c != ' ' && c != '\t' && c != '-' && c != '_')
            out += g_ascii_tolower(c);
    return out;
}

namespace {

// Text fields whose values are digits (and the few signs of dates and rates) by
// the words of their names; a label or a statement about such a value is text.
bool holds_digits(std::string_view name) {
    for (std::string_view text :
         {"Label", "Info", "Statement", "Tel", "Barcode", "Provider", "Name", "Address"})
        if (name.find(text) != std::string_view::npos)
            return false;
    for (std::string_view digits : {"Amount", "Count", "Number", "Nbr", "Date", "Time", "Rate",
                                    "Fee", "Price", "Value", "Volume", "Interval", "CurrencyCode",
                                    "CountryCode", "PAN", "Exp", "Limit"})
        if (name.find(digits) != std::string_view::npos)
            return true;
    return false;
}

} // namespace

std::string longest_shown_text(const FieldDesc& field, Rule rule) {
    switch (rule) {
    case Rule::Text:
    case Rule::HostText:
    case Rule::Latin2Text:
        return std::string(field.width, holds_digits(field.name) ? '0' : 'W');
    case Rule::Signed16:
        return "-32768";
    case Rule::Unsigned8:
        return "255";
    case Rule::Unsigned16:
        return "65535";
    default:
        break;
    }
    // A coded field: every value it can name, as a digit text or as a number field
    // (the code tables stop below 100, the currency codes below 1000).
    std::vector<unsigned char> record(field.offset + field.width + 1, 0);
    std::string longest;
    const int values = rule == Rule::CurrencySymbol ? 1000 : 100;
    for (int value = 0; value < values; ++value) {
        if (range_of(field.kind))
            store_number(record.data(), field, value);
        else
            field_copy(reinterpret_cast<char*>(record.data()) + field.offset, field.width,
                       std::to_string(value).c_str());
        const std::optional<std::string> text = shown_text(record.data(), field, rule);
        if (text && g_utf8_strlen(text->c_str(), -1) > g_utf8_strlen(longest.c_str(), -1))
            longest = *text;
    }
    return longest;
}
