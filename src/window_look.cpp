#include "window_look.h"

#include "activity.h"
#include "gdk_lock.h"
#include "journal.h"
#include "print_job.h"
#include "print_server.h"
#include "ui_components.h"

#include <string>
#include <vector>

namespace {

// One provider for the whole screen, by style class: the main window is dense
// (a till's screen is small), outputs look like text that cannot be typed into,
// and a failure of a service stays red. No dashed or dotted borders: they are
// stroked, which an X server without acceleration draws slowly on 300 entries.
constexpr const char* kCss = R"css(
.kelvra-main entry, .kelvra-main spinbutton {
    min-height: 22px; padding-top: 1px; padding-bottom: 1px;
}
.kelvra-main button { min-height: 20px; padding-top: 2px; padding-bottom: 2px; }
.kelvra-main notebook > header tab { min-height: 20px; padding-top: 3px; padding-bottom: 3px; }
entry.kelvra-output {
    background-color: @theme_bg_color; background-image: none; box-shadow: none;
}
.kelvra-failure { color: #c01c28; font-weight: bold; }
)css";

GtkWidget* spn_activity = nullptr;
GtkWidget* lbl_activity = nullptr;
GtkWidget* lbl_event_server = nullptr;
GtkWidget* lbl_print_server = nullptr;
GtkWidget* lbl_journal = nullptr;

constexpr unsigned kPrintServerCheckMs = 250;

GtkWidget* widget_of(GtkBuilder* builder, const char* id) {
    GObject* object = gtk_builder_get_object(builder, id);
    return object && GTK_IS_WIDGET(object) ? GTK_WIDGET(object) : nullptr;
}

// Every receipt line grows the receipt view. A resize inside its scroller would
// otherwise climb to the window and make the notebook redraw the page on screen
// once per frame while receipts arrive, whichever page that is. The scroller's
// own size never depends on its text, so it re-lays its content out by itself.
void keep_receipt_growth_local() {
    GtkWidget* scroller = txt_do_print_job ? gtk_widget_get_parent(txt_do_print_job) : nullptr;
    if (!scroller || !GTK_IS_SCROLLED_WINDOW(scroller))
        return;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    gtk_container_set_resize_mode(GTK_CONTAINER(scroller), GTK_RESIZE_QUEUE);
#pragma GCC diagnostic pop
}

// The flow boxes of the pages only wrap columns: the boxes they put around each
// column must not take the focus, or Tab would stop between two fields.
void skip_column_boxes_in_focus_chain(GtkWidget* widget) {
    if (GTK_IS_FLOW_BOX_CHILD(widget))
        gtk_widget_set_can_focus(widget, FALSE);
    if (GTK_IS_CONTAINER(widget))
        gtk_container_foreach(
            GTK_CONTAINER(widget),
            [](GtkWidget* child, gpointer) { skip_column_boxes_in_focus_chain(child); }, nullptr);
}

void install_css() {
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, kCss, -1, nullptr);
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(),
                                              GTK_STYLE_PROVIDER(provider),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(provider);
}

// Without a window manager (a kiosk X server, the browser backend) maximising does
// nothing, so the window is made no larger than the screen's work area itself.
void fit_window_to_screen() {
    GdkDisplay* display = gdk_display_get_default();
    GdkMonitor* monitor = display ? gdk_display_get_primary_monitor(display) : nullptr;
    if (!monitor && display)
        monitor = gdk_display_get_monitor(display, 0);
    if (!monitor || !MainEcrWindow)
        return;
    GdkRectangle area;
    gdk_monitor_get_workarea(monitor, &area);
    gtk_window_set_default_size(GTK_WINDOW(MainEcrWindow), area.width, area.height);
}

// The combined text of what runs, oldest first.
std::string activity_text(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return "Running: " + text + "\u2026";
}

// From the main loop without the lock (see set_activity_listener).
void show_activity() {
    const std::vector<std::string> names = running_operations();
    gdk_lock_enter();
    if (spn_activity && lbl_activity) {
        const bool busy = !names.empty();
        gtk_label_set_text(GTK_LABEL(lbl_activity), busy ? activity_text(names).c_str() : "");
        gtk_widget_set_visible(lbl_activity, busy);
        gtk_widget_set_visible(spn_activity, busy);
        if (busy)
            gtk_spinner_start(GTK_SPINNER(spn_activity));
        else
            gtk_spinner_stop(GTK_SPINNER(spn_activity));
    }
    gdk_lock_leave();
}

// A timeout of gdk_threads_add_timeout: runs with the lock held.
gboolean check_print_server(gpointer) {
    const std::string notice = print_server_notice();
    if (lbl_print_server && notice != gtk_label_get_text(GTK_LABEL(lbl_print_server))) {
        gtk_label_set_text(GTK_LABEL(lbl_print_server), notice.c_str());
        const std::string why = print_server_failure() +
                                ". No receipts will arrive until the console is restarted "
                                "with the port free.";
        gtk_widget_set_tooltip_text(lbl_print_server, notice.empty() ? nullptr : why.c_str());
        gtk_widget_set_visible(lbl_print_server, !notice.empty());
    }
    return G_SOURCE_CONTINUE;
}

} // namespace

// Short enough for a 1024-wide window; the reason (print_server_failure) goes into
// the notice's tooltip.
std::string print_server_notice() {
    if (print_server_state() != PrintServerState::Failed)
        return "";
    return "Print server down: port " + std::to_string(kPrintPort) + " unavailable";
}

void prepare_window_look(GtkBuilder* builder) {
    install_css();
    fit_window_to_screen();
    keep_receipt_growth_local();
    if (MainEcrWindow)
        skip_column_boxes_in_focus_chain(MainEcrWindow);
    // Typing starts with the transaction, not in the read-only result line.
    if (cmb_txn_type)
        gtk_widget_grab_focus(cmb_txn_type);

    spn_activity = widget_of(builder, "spn_activity");
    lbl_activity = widget_of(builder, "lbl_activity");
    lbl_event_server = widget_of(builder, "lbl_event_server");
    lbl_print_server = widget_of(builder, "lbl_print_server");
    lbl_journal = widget_of(builder, "lbl_journal");
    show_event_server_state(false);
    set_activity_listener(show_activity);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    gdk_threads_add_timeout(kPrintServerCheckMs, check_print_server, nullptr);
#pragma GCC diagnostic pop
}

void show_event_server_state(bool running) {
    if (lbl_event_server)
        gtk_label_set_text(GTK_LABEL(lbl_event_server),
                           running ? "Event server: running" : "Event server: stopped");
}

void show_journal_notice(const std::string& reason) {
    if (!lbl_journal)
        return;
    gtk_label_set_text(GTK_LABEL(lbl_journal), "Running without a journal");
    const std::string why = reason + ". The operations work, but they are not recorded until the "
                                     "console is restarted with a journal it can write.";
    gtk_widget_set_tooltip_text(lbl_journal, why.c_str());
    gtk_widget_set_visible(lbl_journal, TRUE);
}

void show_journal_write_notice(const std::string& reason) {
    if (!lbl_journal || !journal_failure().empty())
        return;
    if (reason.empty()) {
        gtk_widget_set_visible(lbl_journal, FALSE);
        return;
    }
    const std::string text = "Journal not written: " + reason;
    gtk_label_set_text(GTK_LABEL(lbl_journal), text.c_str());
    const std::string why = "The operations work; their entries wait (up to " +
                            std::to_string(kJournalQueueLimit) +
                            ") and are written as soon as the journal takes writes again.";
    gtk_widget_set_tooltip_text(lbl_journal, why.c_str());
    gtk_widget_set_visible(lbl_journal, TRUE);
}
