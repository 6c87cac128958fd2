#include "record_display.h"

#include "field_rules.h"
#include "ui_components.h"

#include <optional>
#include <string>

namespace {

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

void show_field(const void* record, const FieldOutput& f) {
    if (!f.widget)
        return;
    GtkWidget** handle = widget_handle(f.widget);
    if (!handle || !*handle)
        return;
    const std::optional<std::string> text = shown_text(record, *f.field, f.rule);
    if (!text)
        return;
    if (f.rule == Rule::HostText)
        append_host_text(*handle, *text);
    else
        set_entry_text(*handle, *text);
}

// Reads one input: a Choice shown by a combo box takes the active row's number,
// anything else the entry's text.
void read_input(void* record, const FieldInput& input, GtkWidget* widget) {
    if (widget && input.rule == InputRule::Choice && GTK_IS_COMBO_BOX(widget)) {
        const int row = gtk_combo_box_get_active(GTK_COMBO_BOX(widget));
        set_input(record, *input.field, InputRule::Number, std::to_string(row < 0 ? 0 : row));
        return;
    }
    set_input(record, *input.field, input.rule, input_text(widget), input.choices);
}

} // namespace

void show_record(const void* record, std::span<const FieldOutput> table) {
    for (const FieldOutput& f : table)
        show_field(record, f);
}

const char* input_text(GtkWidget* entry) {
    return entry ? gtk_entry_get_text(GTK_ENTRY(entry)) : "";
}

void read_inputs(void* record, std::span<const FieldInput> table) {
    for (const FieldInput& input : table) {
        if (!input.widget)
            continue;
        GtkWidget** handle = widget_handle(input.widget);
        read_input(record, input, handle ? *handle : nullptr);
    }
}

const Operation& console_operation(const char* name) {
    const Operation* op = find_operation(name);
    if (!op)
        g_error("no operation named \"%s\"", name);
    return *op;
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
