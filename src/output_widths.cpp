#include "output_widths.h"

#include "code_texts.h"
#include "field_rules.h"
#include "operations.h"
#include "record_display.h"
#include "ui_components.h"

#include <algorithm>
#include <cmath>

namespace {

void add_outputs(std::map<std::string, std::string>& texts, std::span<const FieldOutput> outputs) {
    for (const FieldOutput& out : outputs) {
        if (!out.widget)
            continue;
        std::string longest = longest_shown_text(*out.field, out.rule);
        std::string& kept = texts[out.widget];
        if (g_utf8_strlen(longest.c_str(), -1) > g_utf8_strlen(kept.c_str(), -1))
            kept = std::move(longest);
    }
}

// Pixel width of `text` in the entry's font.
int text_width(GtkWidget* entry, const char* text) {
    PangoLayout* layout = gtk_widget_create_pango_layout(entry, text);
    int width = 0;
    pango_layout_get_pixel_size(layout, &width, nullptr);
    g_object_unref(layout);
    return width;
}

// The same for the longest texts at start-up, measured once per text: every output
// entry has the same font.
int longest_width(GtkWidget* entry, const std::string& text) {
    static std::map<std::string, int> widths;
    if (const auto found = widths.find(text); found != widths.end())
        return found->second;
    return widths[text] = text_width(entry, text.c_str());
}

// The width of one character as an entry counts its width in characters.
int char_pixels(GtkWidget* entry) {
    PangoContext* context = gtk_widget_get_pango_context(entry);
    PangoFontMetrics* metrics = pango_context_get_metrics(
        context, pango_context_get_font_description(context), pango_context_get_language(context));
    const int width = std::max(pango_font_metrics_get_approximate_char_width(metrics),
                               pango_font_metrics_get_approximate_digit_width(metrics));
    pango_font_metrics_unref(metrics);
    return std::max(1, (width + PANGO_SCALE - 1) / PANGO_SCALE);
}

constexpr const char* kWrappedLineKey = "kelvra-wrapped-line";
constexpr const char* kCheckedWidthKey = "kelvra-wrapped-line-width";

// Pixel width of the entry's text, from the layout the entry keeps for drawing it
// (shaped once per text, when the text is set): measuring with a layout of our
// own would shape every shown value a second time.
int shown_text_width(GtkWidget* entry) {
    int width = 0;
    pango_layout_get_pixel_size(gtk_entry_get_layout(GTK_ENTRY(entry)), &width, nullptr);
    return width;
}

// The wrapped line shows the entry's text while the entry cannot show it whole.
void update_wrapped_line(GtkWidget* entry) {
    auto* line = static_cast<GtkWidget*>(g_object_get_data(G_OBJECT(entry), kWrappedLineKey));
    const char* text = gtk_entry_get_text(GTK_ENTRY(entry));
    GdkRectangle area{};
    gtk_entry_get_text_area(GTK_ENTRY(entry), &area);
    const bool cut = *text && shown_text_width(entry) > area.width;
    if (cut && g_strcmp0(gtk_label_get_text(GTK_LABEL(line)), text) != 0)
        gtk_label_set_text(GTK_LABEL(line), text);
    if (gtk_widget_get_visible(line) != cut)
        gtk_widget_set_visible(line, cut);
}

void on_long_output_changed(GtkEditable* entry, gpointer) {
    update_wrapped_line(GTK_WIDGET(entry));
}

// After the allocation, not inside it: showing the line lays the grid out again.
gboolean update_wrapped_line_later(gpointer entry) {
    update_wrapped_line(GTK_WIDGET(entry));
    return G_SOURCE_REMOVE;
}

// Only a new width can cut the text or make room for it: a window laid out again
// around an entry of the same width leaves its line as it is.
void on_long_output_allocated(GtkWidget* entry, GdkRectangle* allocation, gpointer) {
    const gpointer width = GINT_TO_POINTER(allocation->width + 1); // never null
    if (g_object_get_data(G_OBJECT(entry), kCheckedWidthKey) == width)
        return;
    g_object_set_data(G_OBJECT(entry), kCheckedWidthKey, width);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    gdk_threads_add_idle_full(G_PRIORITY_DEFAULT_IDLE, update_wrapped_line_later,
                              g_object_ref(entry), g_object_unref);
#pragma GCC diagnostic pop
}

// A line beneath `entry` in its grid, as wide as the entry's columns.
void add_wrapped_line(GtkWidget* entry, int columns) {
    GtkWidget* grid = gtk_widget_get_parent(entry);
    if (!grid || !GTK_IS_GRID(grid))
        return;
    int left = 0, top = 0, width = 1;
    gtk_container_child_get(GTK_CONTAINER(grid), entry, "left-attach", &left, "top-attach", &top,
                            "width", &width, nullptr);
    GtkWidget* line = gtk_label_new(nullptr);
    gtk_label_set_line_wrap(GTK_LABEL(line), TRUE);
    gtk_label_set_line_wrap_mode(GTK_LABEL(line), PANGO_WRAP_WORD_CHAR);
    gtk_label_set_selectable(GTK_LABEL(line), TRUE);
    gtk_label_set_xalign(GTK_LABEL(line), 0.0F);
    gtk_label_set_max_width_chars(GTK_LABEL(line), columns);
    gtk_widget_set_can_focus(line, FALSE);
    gtk_widget_set_no_show_all(line, TRUE); // shown only while the entry cuts its text
    gtk_grid_insert_next_to(GTK_GRID(grid), entry, GTK_POS_BOTTOM);
    gtk_grid_attach(GTK_GRID(grid), line, left, top + 1, width, 1);
    g_object_set_data(G_OBJECT(entry), kWrappedLineKey, line);
    g_signal_connect(entry, "changed", G_CALLBACK(on_long_output_changed), nullptr);
    g_signal_connect_after(entry, "size-allocate", G_CALLBACK(on_long_output_allocated), nullptr);
}

// The displays whose texts are the console's own, with their longest text (kept
// beside the tables of terminal_management.cpp, terminal_queries.cpp,
// signature.cpp and tip_adjustment.cpp).
struct OwnDisplay {
    const char* widget;
    const char* longest;
};
constexpr OwnDisplay kOwnDisplays[] = {
    {"txt_get_terminal_status", "PRINTING_MERCHANT_COPY"},
    {"txt_set_terminal_date_time_status", "Success"},
    {"txt_check_elig_elig_result", "NOT ELIGIBLE"},
    {"txt_check_elig_cash_back_elig", "NOT ELIGIBLE"},
    {"txt_check_elig_comm_code_requirement", "UNKNOWN"},
    {"txt_ped_authentication_status", "AUTH NOK"},
    {"txt_print_information_status", " PRINT NOK "},
    {"txt_check_application_enablement_status", "Application Not Enabled"},
    {"txt_Sign_Status", "Signature In Progress"},
    {"txt_ata_update_status", "Update Succeeded"},
};

// The longest of the texts that `text_of` gives for the codes -1 to 999.
std::string longest_code_text(const char* (*text_of)(int)) {
    std::string longest;
    for (int code = -1; code < 1000; ++code)
        if (const char* text = text_of(code);
            g_utf8_strlen(text, -1) > g_utf8_strlen(longest.c_str(), -1))
            longest = text;
    return longest;
}

// A row of panel columns (a horizontal box inside a page) remembers how it was
// described, so that a wider screen can have its columns side by side again.
constexpr const char* kColumnsKey = "kelvra-columns";
constexpr int kHomogeneous = 2;

void fit_columns(GtkWidget* widget, int width) {
    if (GTK_IS_CONTAINER(widget)) {
        GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
        for (GList* child = children; child; child = child->next)
            fit_columns(GTK_WIDGET(child->data), width);
        g_list_free(children);
    }
    if (!GTK_IS_BOX(widget) || GTK_IS_BUTTON_BOX(widget))
        return;
    auto described = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(widget), kColumnsKey));
    if (!described) {
        if (gtk_orientable_get_orientation(GTK_ORIENTABLE(widget)) != GTK_ORIENTATION_HORIZONTAL)
            return;
        described = 1 | (gtk_box_get_homogeneous(GTK_BOX(widget)) ? kHomogeneous : 0);
        g_object_set_data(G_OBJECT(widget), kColumnsKey, GINT_TO_POINTER(described));
    }
    // As described; else columns of their own widths; else one under the other.
    auto too_wide = [widget, width] {
        int minimum = 0;
        gtk_widget_get_preferred_width(widget, &minimum, nullptr);
        return minimum > width;
    };
    gtk_orientable_set_orientation(GTK_ORIENTABLE(widget), GTK_ORIENTATION_HORIZONTAL);
    gtk_box_set_homogeneous(GTK_BOX(widget), (described & kHomogeneous) != 0);
    if (too_wide()) {
        gtk_box_set_homogeneous(GTK_BOX(widget), FALSE);
        if (too_wide())
            gtk_orientable_set_orientation(GTK_ORIENTABLE(widget), GTK_ORIENTATION_VERTICAL);
    }
}

} // namespace

void fit_columns_to_width(GtkWidget* pages, int width) {
    if (!pages || !GTK_IS_NOTEBOOK(pages))
        return;
    // A page's scrollbar, its margins and the notebook's border.
    constexpr int kPageFrame = 48;
    const int pages_count = gtk_notebook_get_n_pages(GTK_NOTEBOOK(pages));
    for (int i = 0; i < pages_count; ++i)
        fit_columns(gtk_notebook_get_nth_page(GTK_NOTEBOOK(pages), i), width - kPageFrame);
}

const std::map<std::string, std::string>& longest_output_texts() {
    static const std::map<std::string, std::string> texts = [] {
        std::map<std::string, std::string> all;
        for (const Operation& op : all_operations())
            add_outputs(all, op.outputs);
        add_outputs(all, dcc_quotation_display());
        for (const OwnDisplay& own : kOwnDisplays)
            all[own.widget] = own.longest;
        all["txt_request_output"] =
            longest_code_text([](int code) { return result_code_text(static_cast<short>(code)); });
        const std::string track = longest_code_text(DiagReadTrackStatus);
        for (const char* id :
             {"txt_read_track1_status", "txt_read_track2_status", "txt_read_track3_status"})
            all[id] = track;
        return all;
    }();
    return texts;
}

void fit_outputs_to_values() {
    int pixels = 0;
    for (const auto& [id, longest] : longest_output_texts()) {
        GtkWidget** handle = widget_handle(id);
        if (!handle || !*handle || !GTK_IS_ENTRY(*handle))
            continue;
        GtkWidget* entry = *handle;
        if (!pixels)
            pixels = char_pixels(entry);
        const int width = longest_width(entry, longest);
        // One character more than the text: the cursor and the rounding of the
        // character width.
        const int chars =
            static_cast<int>(std::ceil(double(std::min(width, kWidestOutputPx)) / pixels)) + 1;
        gtk_entry_set_width_chars(GTK_ENTRY(entry), chars);
        if (width > kWidestOutputPx) {
            gtk_widget_set_hexpand(entry, TRUE);
            add_wrapped_line(entry, chars);
        }
    }
}

GtkWidget* wrapped_line_of(GtkWidget* entry) {
    return entry ? static_cast<GtkWidget*>(g_object_get_data(G_OBJECT(entry), kWrappedLineKey))
                 : nullptr;
}
