// The Journal page: what every operation asked, was answered and printed, found
// by a search and a range of days, shown entry by entry and exported for other
// programs; and the notice of a console that runs without a journal.
//
// The page keeps a read connection of its own, used on the main thread only. It
// loads the list a page of rows at a time as it scrolls, so a journal of a hundred
// thousand entries opens as fast as one of ten. Everything that may wait on the
// writer (an export, the days kept) runs on a worker with a connection of its own.
#include "journal_page.h"

#include "from_journal.h"
#include "gdk_lock.h"
#include "journal.h"
#include "journal_export.h"
#include "journal_store.h"
#include "receipt_paper.h"
#include "record_fields.h"
#include "ui_components.h"
#include "window_look.h"
#include "worker.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int kPageRows = 200;
constexpr unsigned kSearchDelayMs = 150;

// The columns of ls_journal.
enum Column {
    COL_ID,
    COL_STARTED_MS,
    COL_STARTED,
    COL_OPERATION,
    COL_AMOUNT,
    COL_STATUS,
    COL_RESULT,
    COL_INVOICE,
};

std::string journal_file;                 // set once before the writer starts
std::unique_ptr<JournalStore> page_store; // main thread only
bool page_opened = false;                 // the page has been shown once
bool page_failed = false;                 // the page shows why there is no journal
JournalQuery shown_query;                 // the query of the rows in the list
bool all_rows_loaded = true;
bool list_stale = false; // entries were written that the list does not show yet
guint search_timer = 0;
std::atomic<bool> refresh_pending{false};

pthread_t EXPORT_JOURNAL;
pthread_t KEEP_JOURNAL_DAYS;
std::atomic<int> keep_days_wanted{0};
std::mutex keep_days_mutex; // one save at a time, the latest value wins

std::string local_time(std::int64_t ms, const char* format = "%Y-%m-%d %H:%M:%S") {
    GDateTime* time = g_date_time_new_from_unix_local(ms / 1000);
    if (!time)
        return "";
    gchar* text = g_date_time_format(time, format);
    std::string result = text ? text : "";
    g_free(text);
    g_date_time_unref(time);
    return result;
}

std::string trimmed(const char* text) {
    std::string s = text ? text : "";
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos)
        return "";
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// The local midnight that starts the day `text` ("2026-12-06") plus `days_after`
// days, in milliseconds; nothing when the text is no date.
std::optional<std::int64_t> day_start_ms(const std::string& text, int days_after) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return std::nullopt;
    for (int i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (!g_ascii_isdigit(text[i]))
            return std::nullopt;
    const int year = std::stoi(text.substr(0, 4));
    const int month = std::stoi(text.substr(5, 2));
    const int day = std::stoi(text.substr(8, 2));
    if (year < 1 || !g_date_valid_dmy(static_cast<GDateDay>(day), static_cast<GDateMonth>(month),
                                      static_cast<GDateYear>(year)))
        return std::nullopt;
    GDateTime* start = g_date_time_new_local(year, month, day, 0, 0, 0);
    if (!start)
        return std::nullopt;
    GDateTime* shifted = g_date_time_add_days(start, days_after);
    const std::int64_t ms = g_date_time_to_unix(shifted) * 1000;
    g_date_time_unref(shifted);
    g_date_time_unref(start);
    return ms;
}

void mark_error(GtkWidget* widget, const char* style_class, bool on) {
    GtkStyleContext* style = gtk_widget_get_style_context(widget);
    if (on)
        gtk_style_context_add_class(style, style_class);
    else
        gtk_style_context_remove_class(style, style_class);
}

// One end of the range from its entry; false, with what is wrong in *problem, when
// the text is not a date. The "to" day is included, so its end is the next midnight.
bool read_day(GtkWidget* entry, const char* name, int days_after, std::optional<std::int64_t>& ms,
              std::string* problem) {
    const std::string text = trimmed(gtk_entry_get_text(GTK_ENTRY(entry)));
    ms.reset();
    if (!text.empty())
        ms = day_start_ms(text, days_after);
    const bool bad = !text.empty() && !ms;
    mark_error(entry, "error", bad);
    if (bad && problem->empty())
        *problem = std::string(name) + " \"" + text + "\" is not a date: type it as YYYY-MM-DD";
    return !bad;
}

// The query the search and the dates ask for; false with the reason when a date
// cannot be read.
bool read_query(JournalQuery& query, std::string* problem) {
    query.text = trimmed(gtk_entry_get_text(GTK_ENTRY(txt_jrn_search)));
    problem->clear();
    const bool from_ok = read_day(txt_jrn_from, "From", 0, query.from_ms, problem);
    const bool to_ok = read_day(txt_jrn_to, "To", 1, query.to_ms, problem);
    if (from_ok && to_ok && query.from_ms && query.to_ms && *query.from_ms >= *query.to_ms) {
        *problem = "From is after To";
        return false;
    }
    return from_ok && to_ok;
}

void set_count_text(const std::string& text, bool problem) {
    gtk_label_set_text(GTK_LABEL(lbl_jrn_count), text.c_str());
    gtk_widget_set_tooltip_text(lbl_jrn_count, problem ? text.c_str() : nullptr);
    mark_error(lbl_jrn_count, kFailureStyleClass, problem);
}

GtkTreeModel* list_model() {
    return GTK_TREE_MODEL(ls_journal);
}

std::int64_t id_at(GtkTreeIter* it) {
    gint64 id = 0;
    gtk_tree_model_get(list_model(), it, COL_ID, &id, -1);
    return id;
}

// The entries selected, in the list's order (newest first).
std::vector<std::int64_t> selected_ids() {
    GtkTreeSelection* selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(tv_jrn_list));
    GList* rows = gtk_tree_selection_get_selected_rows(selection, nullptr);
    std::vector<std::int64_t> ids;
    for (GList* row = rows; row; row = row->next) {
        GtkTreeIter it;
        if (gtk_tree_model_get_iter(list_model(), &it, static_cast<GtkTreePath*>(row->data)))
            ids.push_back(id_at(&it));
    }
    g_list_free_full(rows, reinterpret_cast<GDestroyNotify>(gtk_tree_path_free));
    return ids;
}

// The entry whose detail shows: the row at the cursor when it is selected, else the
// first selected row, else none.
std::int64_t selected_id() {
    GtkTreePath* cursor = nullptr;
    gtk_tree_view_get_cursor(GTK_TREE_VIEW(tv_jrn_list), &cursor, nullptr);
    GtkTreeIter it;
    std::int64_t id = 0;
    if (cursor &&
        gtk_tree_selection_path_is_selected(
            gtk_tree_view_get_selection(GTK_TREE_VIEW(tv_jrn_list)), cursor) &&
        gtk_tree_model_get_iter(list_model(), &it, cursor))
        id = id_at(&it);
    if (cursor)
        gtk_tree_path_free(cursor);
    if (!id) {
        const std::vector<std::int64_t> ids = selected_ids();
        id = ids.empty() ? 0 : ids.front();
    }
    return id;
}

GtkAdjustment* list_scroll() {
    return gtk_scrolled_window_get_vadjustment(GTK_SCROLLED_WINDOW(sw_jrn_list));
}

// Loads the next page of the query's rows below those in the list.
void append_page() {
    if (!page_store || all_rows_loaded)
        return;
    JournalEntry last;
    GtkTreeIter it;
    const int rows = gtk_tree_model_iter_n_children(list_model(), nullptr);
    const bool after =
        rows > 0 && gtk_tree_model_iter_nth_child(list_model(), &it, nullptr, rows - 1);
    if (after) {
        gint64 id = 0, started = 0;
        gtk_tree_model_get(list_model(), &it, COL_ID, &id, COL_STARTED_MS, &started, -1);
        last.id = id;
        last.started_ms = started;
    }
    const std::vector<JournalEntry> page =
        page_store->find(shown_query, after ? &last : nullptr, kPageRows);
    for (const JournalEntry& e : page) {
        gtk_list_store_insert_with_values(
            ls_journal, nullptr, -1, COL_ID, gint64{e.id}, COL_STARTED_MS, gint64{e.started_ms},
            COL_STARTED, local_time(e.started_ms).c_str(), COL_OPERATION, e.operation.c_str(),
            COL_AMOUNT, major_units(e.amount).c_str(), COL_STATUS, e.status.c_str(), COL_RESULT,
            e.result_text.c_str(), COL_INVOICE, e.invoice.c_str(), -1);
    }
    all_rows_loaded = page.size() < static_cast<std::size_t>(kPageRows);
}

// --- The detail of one entry ---------------------------------------------------

GtkTextBuffer* detail_buffer() {
    return gtk_text_view_get_buffer(GTK_TEXT_VIEW(tv_jrn_detail));
}

class DetailWriter {
  public:
    explicit DetailWriter(GtkTextBuffer* buffer) : buffer_(buffer) {
        gtk_text_buffer_set_text(buffer_, "", 0);
    }
    void heading(const std::string& text) {
        if (gtk_text_buffer_get_char_count(buffer_) > 0)
            add("\n");
        add(text + "\n", "heading");
    }
    void line(const std::string& text) { add(text + "\n"); }
    // Name and value, the names of one group padded to one width.
    void fields(const std::vector<JournalField>& fields, const std::string& indent = "  ") {
        std::size_t width = 0;
        for (const JournalField& f : fields)
            width = std::max(width, static_cast<std::size_t>(g_utf8_strlen(f.name.c_str(), -1)));
        width = std::min<std::size_t>(width, 28);
        for (const JournalField& f : fields) {
            const auto length = static_cast<std::size_t>(g_utf8_strlen(f.name.c_str(), -1));
            line(indent + f.name + std::string(length < width ? width - length : 0, ' ') + "  " +
                 f.value);
        }
    }

  private:
    void add(const std::string& text, const char* tag = nullptr) {
        GtkTextIter end;
        gtk_text_buffer_get_end_iter(buffer_, &end);
        if (tag)
            gtk_text_buffer_insert_with_tags_by_name(buffer_, &end, text.c_str(), -1, tag, nullptr);
        else
            gtk_text_buffer_insert(buffer_, &end, text.c_str(), -1);
    }
    GtkTextBuffer* buffer_;
};

void show_records(DetailWriter& out, const char* title, const std::vector<JournalRecord>& records) {
    for (const JournalRecord& r : records) {
        out.heading(std::string(title) + ": " + r.record);
        out.fields(r.fields);
    }
}

// --- The calls of the entry, field by field and byte by byte ------------------

// The columns of the call's two field lists.
enum CallColumn { CALL_FIELD, CALL_OFFSET, CALL_VALUE, CALL_AT, CALL_WIDTH };

std::vector<JournalCall> shown_calls; // of the entry in the detail
constexpr int kHexRow = 8;            // bytes a line of the hex view: fits a narrow pane
constexpr int kHexAscii = 6 + kHexRow * 3 + 1; // where a line's characters start

GtkTextBuffer* hex_buffer() {
    return gtk_text_view_get_buffer(GTK_TEXT_VIEW(tv_jrn_call_hex));
}

GtkListStore* call_fields(GtkWidget* view) {
    return GTK_LIST_STORE(gtk_tree_view_get_model(GTK_TREE_VIEW(view)));
}

// "0000  54 72 61 ...  Tra...": offset, eight bytes, the same as characters.
std::string hex_lines(const std::string& bytes) {
    std::string text;
    char cell[8];
    for (std::size_t row = 0; row < bytes.size(); row += kHexRow) {
        g_snprintf(cell, sizeof cell, "%04zx  ", row);
        text += cell;
        std::string chars;
        for (std::size_t i = row; i < row + kHexRow; ++i) {
            if (i < bytes.size()) {
                const auto b = static_cast<unsigned char>(bytes[i]);
                g_snprintf(cell, sizeof cell, "%02x ", b);
                text += cell;
                chars += b >= 0x20 && b < 0x7f ? static_cast<char>(b) : '.';
            } else {
                text += "   ";
            }
        }
        text += " " + chars + "\n";
    }
    return text;
}

// The record of the call's `side` that the hex view shows (0 request, 1 response).
int hex_side = 1;

void show_hex(const JournalCall& call, int side) {
    hex_side = side;
    gtk_text_buffer_set_text(hex_buffer(), hex_lines(side ? call.response : call.request).c_str(),
                             -1);
}

// Marks bytes [at, at + width) in both halves of the hex view and scrolls to them.
void mark_bytes(std::size_t at, std::size_t width) {
    GtkTextBuffer* buffer = hex_buffer();
    GtkTextIter begin, end;
    gtk_text_buffer_get_bounds(buffer, &begin, &end);
    gtk_text_buffer_remove_tag_by_name(buffer, "field", &begin, &end);
    for (std::size_t i = at; i < at + width;) {
        const int line = static_cast<int>(i / kHexRow);
        const int first = static_cast<int>(i % kHexRow);
        const int last = static_cast<int>(std::min<std::size_t>(at + width - i, kHexRow - first)) +
                         first; // one past
        for (auto [from, to] : {std::pair{6 + first * 3, 6 + last * 3 - 1},
                                std::pair{kHexAscii + first, kHexAscii + last}}) {
            gtk_text_buffer_get_iter_at_line_offset(buffer, &begin, line, from);
            gtk_text_buffer_get_iter_at_line_offset(buffer, &end, line, to);
            gtk_text_buffer_apply_tag_by_name(buffer, "field", &begin, &end);
        }
        i += static_cast<std::size_t>(last - first);
    }
    gtk_text_buffer_get_iter_at_line(buffer, &begin, static_cast<int>(at / kHexRow));
    gtk_text_view_scroll_to_iter(GTK_TEXT_VIEW(tv_jrn_call_hex), &begin, 0.1, FALSE, 0, 0);
}

void fill_call_fields(GtkWidget* view, const std::string& record, const std::string& bytes) {
    GtkListStore* store = call_fields(view);
    gtk_list_store_clear(store);
    const RecordDesc* desc = find_record(record);
    if (!desc || bytes.size() != desc->size)
        return;
    for (const FieldDesc& f : desc->fields) {
        // Read from the kept bytes: a blanked secret shows as such.
        const std::string value = f.kind == FieldKind::Secret    ? "(blanked)"
                                  : f.kind == FieldKind::Records ? "(records)"
                                  : record_field_value(f, bytes.data()).value_or("");
        gtk_list_store_insert_with_values(store, nullptr, -1, CALL_FIELD, f.name, CALL_OFFSET,
                                          std::to_string(f.offset).c_str(), CALL_VALUE,
                                          value.c_str(), CALL_AT, guint{unsigned(f.offset)},
                                          CALL_WIDTH, guint{unsigned(f.width)}, -1);
    }
}

void show_call(int index) {
    gtk_label_set_text(GTK_LABEL(lbl_jrn_call_field), "");
    if (index < 0 || static_cast<std::size_t>(index) >= shown_calls.size()) {
        gtk_list_store_clear(call_fields(tv_jrn_call_request));
        gtk_list_store_clear(call_fields(tv_jrn_call_response));
        gtk_text_buffer_set_text(hex_buffer(), "", 0);
        return;
    }
    const JournalCall& call = shown_calls[static_cast<std::size_t>(index)];
    fill_call_fields(tv_jrn_call_request, call.request_record, call.request);
    fill_call_fields(tv_jrn_call_response, call.response_record, call.response);
    show_hex(call, call.request.empty() ? 1 : 0);
}

void show_calls(const std::vector<JournalCall>& calls) {
    shown_calls = calls;
    g_signal_handlers_block_by_func(cmb_jrn_call, gpointer(cmb_jrn_call_changed), nullptr);
    gtk_combo_box_text_remove_all(GTK_COMBO_BOX_TEXT(cmb_jrn_call));
    for (std::size_t i = 0; i < calls.size(); ++i) {
        const JournalCall& c = calls[i];
        const std::string text = std::to_string(i + 1) + ". " + c.name + "  " +
                                 local_time(c.started_ms, "%H:%M:%S") + " \u2013 " +
                                 local_time(c.ended_ms, "%H:%M:%S") + " (" +
                                 std::to_string(c.ended_ms - c.started_ms) + " ms)";
        gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(cmb_jrn_call), text.c_str());
    }
    gtk_combo_box_set_active(GTK_COMBO_BOX(cmb_jrn_call), calls.empty() ? -1 : 0);
    g_signal_handlers_unblock_by_func(cmb_jrn_call, gpointer(cmb_jrn_call_changed), nullptr);
    show_call(calls.empty() ? -1 : 0);
}

// A field chosen in one of the lists: its bytes marked in the hex view of its record.
void call_field_chosen(GtkTreeView* view, gpointer) {
    GtkTreeIter it;
    GtkTreeModel* model = nullptr;
    if (!gtk_tree_selection_get_selected(gtk_tree_view_get_selection(view), &model, &it))
        return;
    const int index = gtk_combo_box_get_active(GTK_COMBO_BOX(cmb_jrn_call));
    if (index < 0 || static_cast<std::size_t>(index) >= shown_calls.size())
        return;
    const int side = GTK_WIDGET(view) == tv_jrn_call_response ? 1 : 0;
    // The other list's choice goes: one field is marked at a time.
    GtkWidget* other = side ? tv_jrn_call_request : tv_jrn_call_response;
    g_signal_handlers_block_by_func(other, gpointer(call_field_chosen), nullptr);
    gtk_tree_selection_unselect_all(gtk_tree_view_get_selection(GTK_TREE_VIEW(other)));
    g_signal_handlers_unblock_by_func(other, gpointer(call_field_chosen), nullptr);
    const JournalCall& call = shown_calls[static_cast<std::size_t>(index)];
    if (side != hex_side)
        show_hex(call, side);
    gchar* name = nullptr;
    guint at = 0, width = 0;
    gtk_tree_model_get(model, &it, CALL_FIELD, &name, CALL_AT, &at, CALL_WIDTH, &width, -1);
    const std::string text = std::string(side ? "Response " : "Request ") + (name ? name : "") +
                             ": offset " + std::to_string(at) + " (0x" +
                             [&] {
                                 char hex[16];
                                 g_snprintf(hex, sizeof hex, "%04x", at);
                                 return std::string(hex);
                             }() +
                             "), " + std::to_string(width) + (width == 1 ? " byte" : " bytes");
    g_free(name);
    gtk_label_set_text(GTK_LABEL(lbl_jrn_call_field), text.c_str());
    mark_bytes(at, width);
}

void prepare_call_view(GtkWidget* view) {
    GtkListStore* store =
        gtk_list_store_new(5, G_TYPE_STRING, G_TYPE_STRING, G_TYPE_STRING, G_TYPE_UINT, G_TYPE_UINT);
    gtk_tree_view_set_model(GTK_TREE_VIEW(view), GTK_TREE_MODEL(store));
    g_object_unref(store);
    const struct {
        const char* title;
        int column;
    } columns[] = {{"Field", CALL_FIELD}, {"Value", CALL_VALUE}}; // the offset: a click away
    for (const auto& c : columns) {
        GtkCellRenderer* cell = gtk_cell_renderer_text_new();
        // The two share the list's width; a value cut short shows whole in its tooltip.
        g_object_set(cell, "ellipsize", PANGO_ELLIPSIZE_END, nullptr);
        GtkTreeViewColumn* column =
            gtk_tree_view_column_new_with_attributes(c.title, cell, "text", c.column, nullptr);
        gtk_tree_view_column_set_resizable(column, TRUE);
        gtk_tree_view_column_set_expand(column, TRUE);
        gtk_tree_view_append_column(GTK_TREE_VIEW(view), column);
    }
    gtk_tree_view_set_tooltip_column(GTK_TREE_VIEW(view), CALL_VALUE);
    g_signal_connect(view, "cursor-changed", G_CALLBACK(call_field_chosen), nullptr);
}

void show_entry(const JournalEntry& e) {
    show_calls(e.calls);
    DetailWriter out(detail_buffer());
    out.heading(e.operation.empty() ? "(no operation)" : e.operation);
    std::vector<JournalField> summary = {
        {"Started", local_time(e.started_ms) + local_time(e.started_ms, " (%Z)")},
        {"Ended", local_time(e.ended_ms)},
        {"Result",
         e.result_code ? std::to_string(*e.result_code) + " " + e.result_text : e.result_text},
        {"Status", e.status},
        {"Amount", major_units(e.amount)},
        {"Invoice", e.invoice},
        {"Host text", e.host_text},
        {"Journal id", std::to_string(e.id)},
    };
    std::erase_if(summary, [](const JournalField& f) { return f.value.empty(); });
    out.fields(summary, "");
    show_records(out, "Request", e.request);
    show_records(out, "Response", e.response);
    for (const JournalQuestion& q : e.questions) {
        out.heading("Cashier question: " + q.question);
        out.fields({{"Answered", local_time(q.at_ms)}, {"Answer", q.answer}});
        if (!q.details.empty()) {
            out.line("  The terminal showed:");
            out.fields(q.details, "    ");
        }
    }
    if (!e.receipt.empty()) {
        out.heading("Receipt (" + std::to_string(e.receipt.size()) + " lines)");
        for (const std::string& l : e.receipt)
            out.line(l);
    }
}

void show_selected_entry() {
    const std::int64_t id = selected_id();
    std::optional<JournalEntry> entry;
    if (id && page_store)
        entry = page_store->entry(id);
    if (entry) {
        show_entry(*entry);
    } else {
        gtk_text_buffer_set_text(detail_buffer(), "", 0);
        show_calls({});
    }
}

// --- Loading the list ----------------------------------------------------------

// Loads the first page of what the search asks for. With keep_selection the entry
// selected stays selected (and its detail as it is) when it is still in that page.
void reload_list(bool keep_selection) {
    if (!page_store)
        return;
    const std::int64_t was_selected = selected_id();
    std::string problem;
    JournalQuery query;
    const bool valid = read_query(query, &problem);
    g_signal_handlers_block_by_func(tv_jrn_list, gpointer(jrn_list_cursor_changed), nullptr);
    gtk_list_store_clear(ls_journal);
    list_stale = false;
    all_rows_loaded = true;
    if (!keep_selection) // another search starts at its newest entry
        gtk_adjustment_set_value(list_scroll(), 0);
    if (valid) {
        shown_query = query;
        all_rows_loaded = false;
        append_page();
        const std::int64_t count = page_store->count(query);
        set_count_text(count > JournalStore::kCountLimit
                           ? "more than " + entries_text(JournalStore::kCountLimit)
                           : entries_text(count),
                       false);
    } else {
        set_count_text(problem, true);
    }
    bool reselected = false;
    GtkTreeIter it;
    if (keep_selection && was_selected)
        for (bool ok = gtk_tree_model_get_iter_first(list_model(), &it); ok && !reselected;
             ok = gtk_tree_model_iter_next(list_model(), &it))
            if (id_at(&it) == was_selected) {
                gtk_tree_selection_select_iter(
                    gtk_tree_view_get_selection(GTK_TREE_VIEW(tv_jrn_list)), &it);
                reselected = true;
            }
    g_signal_handlers_unblock_by_func(tv_jrn_list, gpointer(jrn_list_cursor_changed), nullptr);
    if (!reselected)
        show_selected_entry();
}

bool list_at_top() {
    return gtk_adjustment_get_value(list_scroll()) <= 0.5;
}

// value-changed of the list's scroll position: the next page before the end shows,
// and the newest entries once the operator is back at the top.
void list_scrolled(GtkAdjustment* scroll, gpointer) {
    const double value = gtk_adjustment_get_value(scroll);
    const double page = gtk_adjustment_get_page_size(scroll);
    if (list_stale && value <= 0.5)
        reload_list(true);
    else if (!all_rows_loaded && value + 2 * page >= gtk_adjustment_get_upper(scroll))
        append_page();
}

// On the page's first allocation: the list takes three fifths of a wide screen, so
// that its status and result columns (which take what the list has to spare) show
// "Not authorised" and "Unable To Connect" whole; at 1024 x 768 it keeps the width
// its columns need.
void share_page_width(GtkWidget* paned, GdkRectangle* area, gpointer) {
    if (area->width <= 1)
        return;
    g_signal_handlers_disconnect_by_func(paned, gpointer(share_page_width), nullptr);
    gtk_paned_set_position(GTK_PANED(paned),
                           std::max(gtk_paned_get_position(GTK_PANED(paned)), area->width * 3 / 5));
}

gboolean search_now(gpointer) {
    search_timer = 0;
    gdk_lock_enter();
    reload_list(false);
    gdk_lock_leave();
    return G_SOURCE_REMOVE;
}

// --- Running without a journal -------------------------------------------------

void set_page_sensitive(bool sensitive) {
    for (GtkWidget* w : {txt_jrn_search, txt_jrn_from, txt_jrn_to, btn_jrn_export_csv,
                         btn_jrn_export_json, btn_jrn_save_scenario, spn_jrn_keep_days})
        gtk_widget_set_sensitive(w, sensitive);
}

void show_page_failure(const std::string& reason) {
    page_failed = true;
    page_store.reset();
    gtk_list_store_clear(ls_journal);
    gtk_text_buffer_set_text(detail_buffer(), "", 0);
    set_count_text("", false);
    const std::string text = "Running without a journal: the operations work, but they are not "
                             "recorded.\n\n" +
                             reason;
    gtk_label_set_text(GTK_LABEL(lbl_jrn_failure), text.c_str());
    gtk_widget_hide(pan_jrn);
    gtk_widget_show(lbl_jrn_failure);
    set_page_sensitive(false);
}

// From the main loop, without the lock.
gboolean show_journal_failure(gpointer) {
    const std::string reason = journal_failure();
    gdk_lock_enter();
    show_journal_notice(reason);
    if (page_journal)
        show_page_failure(reason);
    gdk_lock_leave();
    return G_SOURCE_REMOVE;
}

// Both from the writer thread.
void journal_failed(const std::string&) {
    g_idle_add(show_journal_failure, nullptr);
}

gboolean show_new_entries(gpointer) {
    refresh_pending.store(false);
    gdk_lock_enter();
    if (page_store) {
        // A list the operator has scrolled down stays where it is until the top shows.
        if (gtk_widget_get_mapped(page_journal) && list_at_top())
            reload_list(true);
        else
            list_stale = true;
    }
    gdk_lock_leave();
    return G_SOURCE_REMOVE;
}

void journal_written() {
    if (!refresh_pending.exchange(true))
        g_idle_add(show_new_entries, nullptr);
}

// From the main loop, without the lock: the notice shows what holds now, whatever
// the writer said meanwhile.
gboolean show_journal_write_problem(gpointer) {
    const std::string reason = journal_write_problem();
    gdk_lock_enter();
    show_journal_write_notice(reason);
    gdk_lock_leave();
    return G_SOURCE_REMOVE;
}

// From the writer thread, when writes start failing and when they work again.
void journal_write_changed(const std::string&) {
    g_idle_add(show_journal_write_problem, nullptr);
}

// --- Export and the days kept ----------------------------------------------------

// An export, or a scenario written from the entries `ids` (none: the query's).
struct ExportJob {
    std::string path;
    JournalQuery query;
    ExportFormat format;
    bool scenario = false;
    std::vector<std::int64_t> ids = {};
};

void set_export_buttons_sensitive(bool sensitive) {
    for (GtkWidget* button : {btn_jrn_export_csv, btn_jrn_export_json, btn_jrn_save_scenario})
        gtk_widget_set_sensitive(button, sensitive);
}

void set_export_text(const std::string& text, bool problem) {
    gtk_label_set_text(GTK_LABEL(lbl_jrn_export), text.c_str());
    gtk_widget_set_tooltip_text(lbl_jrn_export, text.empty() ? nullptr : text.c_str());
    mark_error(lbl_jrn_export, kFailureStyleClass, problem);
}

void* export_worker(void* arg) {
    const std::unique_ptr<ExportJob> job(static_cast<ExportJob*>(arg));
    std::string error;
    long count = -1;
    if (job->scenario)
        count = save_journal_scenario(journal_file, job->query, job->ids, job->path, &error);
    else if (std::unique_ptr<JournalStore> store = JournalStore::open(journal_file, &error))
        count = export_journal(*store, job->query, job->path, job->format, &error);
    GdkLock lock;
    if (job->scenario)
        set_export_text(count >= 0 ? "Saved a scenario of " + std::to_string(count) +
                                         (count == 1 ? " step to " : " steps to ") + job->path
                                   : "Scenario not saved: " + error,
                        count < 0);
    else
        set_export_text(count >= 0 ? "Exported " + entries_text(count) + " to " + job->path
                                   : "Export failed: " + error,
                        count < 0);
    set_export_buttons_sensitive(!page_failed);
    return nullptr;
}

void export_answered(GtkDialog* dialog, int response, gpointer data) {
    g_signal_handlers_disconnect_by_data(dialog, data); // a second answer finds no job
    std::unique_ptr<ExportJob> job(static_cast<ExportJob*>(data));
    if (response == GTK_RESPONSE_ACCEPT) {
        gchar* path = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog));
        job->path = path ? path : "";
        g_free(path);
        set_export_text((job->scenario ? "Saving the scenario to " : "Exporting to ") +
                            job->path + "\u2026",
                        false);
        set_export_buttons_sensitive(false);
        if (start_worker(&EXPORT_JOURNAL, export_worker, job.get())) {
            job.release(); // the worker's now
        } else {
            set_export_text("Export failed: no thread could be started", true);
            set_export_buttons_sensitive(true);
        }
    }
    gtk_widget_destroy(GTK_WIDGET(dialog));
}

// Asks where to write what the search shows now (or, for a scenario, the entries
// selected when there are several); the worker writes it.
void ask_export(ExportFormat format, bool scenario = false) {
    auto job = std::make_unique<ExportJob>();
    job->format = format;
    job->scenario = scenario;
    std::string problem;
    if (!read_query(job->query, &problem)) {
        set_export_text((scenario ? "No scenario saved: " : "Nothing exported: ") + problem, true);
        return;
    }
    if (scenario)
        if (std::vector<std::int64_t> ids = selected_ids(); ids.size() > 1)
            job->ids = std::move(ids);
    const bool csv = format == ExportFormat::Csv;
    GtkWidget* dialog = gtk_file_chooser_dialog_new(
        scenario ? "Save as a Scenario" : csv ? "Export the Journal as CSV"
                                              : "Export the Journal as JSON Lines",
        GTK_WINDOW(MainEcrWindow), GTK_FILE_CHOOSER_ACTION_SAVE, "_Cancel", GTK_RESPONSE_CANCEL,
        "_Save", GTK_RESPONSE_ACCEPT, nullptr);
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    gtk_file_chooser_set_do_overwrite_confirmation(chooser, TRUE);
    const char* home = g_getenv("HOME");
    gtk_file_chooser_set_current_folder(chooser, home && *home ? home : g_get_home_dir());
    const std::string name = (scenario ? "scenario-" : "journal-") +
                             local_time(g_get_real_time() / 1000, "%Y-%m-%d") +
                             (scenario ? ".yaml" : csv ? ".csv" : ".jsonl");
    gtk_file_chooser_set_current_name(chooser, name.c_str());
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
    fit_dialog_to_screen(dialog);
    g_signal_connect(dialog, "response", G_CALLBACK(export_answered), job.release());
    gtk_widget_show(dialog);
}

void* keep_days_worker(void*) {
    std::lock_guard serial(keep_days_mutex);
    std::string error;
    std::unique_ptr<JournalStore> store = JournalStore::open(journal_file, &error);
    if (store && store->set_keep_days(keep_days_wanted.load()))
        return nullptr;
    GdkLock lock;
    set_export_text("The days to keep were not saved" + (error.empty() ? "" : ": " + error), true);
    return nullptr;
}

void show_keep_days(int days) {
    g_signal_handlers_block_by_func(spn_jrn_keep_days, gpointer(spn_jrn_keep_days_changed),
                                    nullptr);
    gtk_spin_button_set_value(GTK_SPIN_BUTTON(spn_jrn_keep_days), days);
    g_signal_handlers_unblock_by_func(spn_jrn_keep_days, gpointer(spn_jrn_keep_days_changed),
                                      nullptr);
}

} // namespace

std::string major_units(const std::string& minor) {
    if (minor.empty())
        return "";
    const bool negative = minor[0] == '-';
    std::string digits = negative ? minor.substr(1) : minor;
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos)
        return minor; // not minor units: shown as it is
    if (digits.size() < 3)
        digits.insert(0, 3 - digits.size(), '0');
    return (negative ? "-" : "") + digits.substr(0, digits.size() - 2) + "." +
           digits.substr(digits.size() - 2);
}

std::string entries_text(long long count) {
    std::string digits = std::to_string(count < 0 ? -count : count);
    for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3)
        digits.insert(static_cast<std::size_t>(i), ",");
    return (count < 0 ? "-" : "") + digits + (count == 1 ? " entry" : " entries");
}

void listen_to_journal(const std::string& path) {
    journal_file = path;
    set_journal_failure_listener(journal_failed);
    set_journal_write_listener(journal_write_changed);
    set_journal_written_listener(journal_written);
}

void prepare_journal_page() {
    if (!page_journal)
        return;
    gtk_text_buffer_create_tag(detail_buffer(), "heading", "weight", PANGO_WEIGHT_BOLD, nullptr);
    g_signal_connect(pan_jrn, "size-allocate", G_CALLBACK(share_page_width), nullptr);
    // The call view's lists get their columns and handlers here, beside the rest of
    // the page's own set-up.
    gtk_text_buffer_create_tag(hex_buffer(), "field", "background", "#ffe08a", "weight",
                               PANGO_WEIGHT_BOLD, nullptr);
    prepare_call_view(tv_jrn_call_request);
    prepare_call_view(tv_jrn_call_response);
    g_signal_connect(cmb_jrn_call, "changed", G_CALLBACK(cmb_jrn_call_changed), nullptr);
    // The scroll position is no widget, so it is connected here rather than in the
    // window's connection table.
    g_signal_connect(list_scroll(), "value-changed", G_CALLBACK(list_scrolled), nullptr);
}

// The page opens its connection when it is first shown, so start-up never waits on
// the journal's file.
void jrn_page_mapped(GtkWidget*, gpointer) {
    if (page_failed)
        return;
    if (page_opened) {
        if (list_stale && list_at_top())
            reload_list(true);
        return;
    }
    page_opened = true;
    if (const std::string failure = journal_failure(); !failure.empty()) {
        show_page_failure(failure);
        return;
    }
    std::string error;
    page_store = JournalStore::open(journal_file, &error);
    if (!page_store) {
        show_page_failure(error);
        return;
    }
    show_keep_days(page_store->keep_days());
    reload_list(false);
}

void jrn_query_changed(GtkWidget*, gpointer) {
    if (search_timer)
        g_source_remove(search_timer);
    search_timer = g_timeout_add(kSearchDelayMs, search_now, nullptr);
}

void jrn_query_activated(GtkWidget*, gpointer) {
    if (search_timer)
        g_source_remove(search_timer);
    search_timer = 0;
    reload_list(false);
}

void jrn_list_cursor_changed(GtkWidget*, gpointer) {
    show_selected_entry();
}

void cmb_jrn_call_changed(GtkWidget*, gpointer) {
    show_call(gtk_combo_box_get_active(GTK_COMBO_BOX(cmb_jrn_call)));
}

void btn_jrn_export_csv_clicked(GtkWidget*, gpointer) {
    ask_export(ExportFormat::Csv);
}

void btn_jrn_export_json_clicked(GtkWidget*, gpointer) {
    ask_export(ExportFormat::JsonLines);
}

namespace {
// The selected entry's receipt lines and a name for its file ("receipt-000042").
std::vector<ReceiptLine> selected_receipt(std::string* name) {
    const std::int64_t id = selected_id();
    std::optional<JournalEntry> e;
    if (id && page_store)
        e = page_store->entry(id);
    std::vector<ReceiptLine> lines;
    if (!e)
        return lines;
    for (std::size_t i = 0; i < e->receipt.size(); ++i)
        lines.push_back({e->receipt[i], i < e->receipt_styles.size()
                                            ? static_cast<PrintJobFont>(e->receipt_styles[i])
                                            : DEFAULT});
    *name = "receipt-" + (e->invoice.empty() ? std::to_string(e->id) : e->invoice);
    return lines;
}
} // namespace

void btn_jrn_print_receipt_clicked(GtkWidget*, gpointer) {
    std::string name;
    const std::vector<ReceiptLine> lines = selected_receipt(&name);
    print_receipt(lines, name);
}

void btn_jrn_export_receipt_pdf_clicked(GtkWidget*, gpointer) {
    std::string name;
    const std::vector<ReceiptLine> lines = selected_receipt(&name);
    export_receipt_pdf(lines, name + ".pdf");
}

void btn_jrn_save_scenario_clicked(GtkWidget*, gpointer) {
    ask_export(ExportFormat::JsonLines, true);
}

void spn_jrn_keep_days_changed(GtkWidget*, gpointer) {
    keep_days_wanted.store(gtk_spin_button_get_value_as_int(GTK_SPIN_BUTTON(spn_jrn_keep_days)));
    start_worker(&KEEP_JOURNAL_DAYS, keep_days_worker);
}
