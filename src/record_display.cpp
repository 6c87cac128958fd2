#include "record_display.h"

#include "common_Routines.h"
#include "fields.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::int16_t signed16_at(const unsigned char* field) {
    std::int16_t value;
    std::memcpy(&value, field, sizeof value); // the records are little-endian, like the host
    return value;
}

// Entries take UTF-8 only; a terminal that sends other bytes must not break the
// window, so invalid sequences are shown as replacement characters.
void set_entry_text(GtkWidget* entry, const std::string& text) {
    if (g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) {
        gtk_entry_set_text(GTK_ENTRY(entry), text.c_str());
        return;
    }
    gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
    gtk_entry_set_text(GTK_ENTRY(entry), valid);
    g_free(valid);
}

void append_host_text(GtkWidget* view, const std::string& text) {
    GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(view));
    gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
    GtkTextIter end;
    gtk_text_buffer_get_end_iter(buffer, &end);
    gtk_text_buffer_insert_with_tags_by_name(buffer, &end, valid, -1, "BOLD", nullptr);
    g_free(valid);
    gtk_text_buffer_get_end_iter(buffer, &end);
    GtkTextMark* mark = gtk_text_buffer_create_mark(buffer, nullptr, &end, FALSE);
    gtk_text_view_scroll_to_mark(GTK_TEXT_VIEW(view), mark, 0.0, FALSE, 0.0, 0.0);
    gtk_text_buffer_delete_mark(buffer, mark);
}

// The code table behind each named-code rule, and whether its field is a digit text
// (else a signed 16-bit number).
struct CodeRule {
    Rule rule;
    CodeTable table;
    bool text_field;
};
const CodeRule kCodeRules[] = {
    {Rule::SettlementStatus, CodeTable::SettlementStatus, true},
    {Rule::TaxFreeStatus, CodeTable::TaxFreeStatus, true},
    {Rule::BankType, CodeTable::BankType, false},
    {Rule::ExchangeRateStatus, CodeTable::ExchangeRateStatus, false},
};

const CodeRule* code_names_of(Rule rule) {
    for (const CodeRule& c : kCodeRules)
        if (c.rule == rule)
            return &c;
    return nullptr;
}

void show_code_name(GtkWidget* widget, const unsigned char* field, std::size_t width,
                    const CodeRule& c) {
    const char* text = reinterpret_cast<const char*>(field);
    if (c.text_field && text[0] == '\0')
        return;
    const int value =
        c.text_field ? std::atoi(field_text(text, width).c_str()) : signed16_at(field);
    if (const char* name = code_name(c.table, value))
        set_entry_text(widget, name);
}

void show_field(const unsigned char* record, const FieldDisplay& f) {
    GtkWidget* widget = *f.widget;
    if (!widget)
        return;
    const char* field = reinterpret_cast<const char*>(record + f.field->offset);
    switch (f.rule) {
    case Rule::Text:
        set_entry_text(widget, field_text(field, f.field->width));
        break;
    case Rule::TxnStatus:
        set_entry_text(widget, DiagTxnStatus(field, f.field->width));
        break;
    case Rule::CurrencySymbol: {
        char symbol[8] = "";
        if (field[0] != '\0')
            GetCurrencySymbol(std::atoi(field_text(field, f.field->width).c_str()), symbol);
        set_entry_text(widget, symbol);
        break;
    }
    case Rule::Signed16:
        set_entry_text(widget, std::to_string(signed16_at(record + f.field->offset)));
        break;
    case Rule::Bool16: {
        char text[8];
        get_bool_string(static_cast<unsigned char>(signed16_at(record + f.field->offset) & 0xFF), text);
        set_entry_text(widget, text);
        break;
    }
    case Rule::TxnTypeName:
    case Rule::TxnTypeOfValue:
        if (f.rule == Rule::TxnTypeOfValue || field[0] != '\0')
            set_entry_text(widget, get_txn_type(std::atoi(field_text(field, f.field->width).c_str())));
        break;
    case Rule::HostText:
        append_host_text(widget, field_text(field, f.field->width));
        break;
    case Rule::Unsigned8:
        set_entry_text(widget, std::to_string(record[f.field->offset]));
        break;
    case Rule::Unsigned16:
        set_entry_text(widget, std::to_string(static_cast<std::uint16_t>(
                                   signed16_at(record + f.field->offset))));
        break;
    case Rule::DonationMode:
        set_entry_text(widget, get_donation_mode_string(record[f.field->offset]));
        break;
    case Rule::MtTxnStatus:
        set_entry_text(widget, DiagMtTxnStatus(field, f.field->width));
        break;
    case Rule::MtuSettStatus:
        set_entry_text(widget, DiagMtuSettStatus(field, f.field->width));
        break;
    case Rule::Latin2Text:
        set_entry_text(widget, latin2_to_utf8(field_text(field, f.field->width)));
        break;
    case Rule::EntryMethodName:
        if (field[0] != '\0')
            set_entry_text(widget, GetEntryMethod(std::atoi(field_text(field, f.field->width).c_str())));
        break;
    case Rule::SettlementStatus:
    case Rule::TaxFreeStatus:
    case Rule::BankType:
    case Rule::ExchangeRateStatus:
        show_code_name(widget, record + f.field->offset, f.field->width, *code_names_of(f.rule));
        break;
    }
}

} // namespace

void show_record(const void* record, const FieldDisplay* table, std::size_t count) {
    const auto* bytes = static_cast<const unsigned char*>(record);
    for (std::size_t i = 0; i < count; ++i)
        show_field(bytes, table[i]);
}

void clear_entries(GtkWidget** const* entries, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        if (*entries[i])
            gtk_entry_set_text(GTK_ENTRY(*entries[i]), "");
}

const char* input_text(GtkWidget* entry) {
    return entry ? gtk_entry_get_text(GTK_ENTRY(entry)) : "";
}

void read_inputs(void* record, const FieldInput* table, std::size_t count) {
    auto* bytes = static_cast<char*>(record);
    for (std::size_t i = 0; i < count; ++i)
        field_copy(bytes + table[i].field->offset, table[i].field->width, input_text(*table[i].entry));
}

void fill_record_selector(GtkListStore* rows, GtkWidget* selector, int count) {
    if (!rows || count <= 0)
        return;
    for (int i = 1; i <= count; ++i) {
        GtkTreeIter row;
        gtk_list_store_append(rows, &row);
        gtk_list_store_set(rows, &row, 0, std::to_string(i).c_str(), -1);
    }
    if (selector)
        gtk_combo_box_set_active(GTK_COMBO_BOX(selector), 0);
}

short two_way_choice(GtkWidget* combo) {
    return combo && gtk_combo_box_get_active(GTK_COMBO_BOX(combo)) == 1 ? 1 : 0;
}
