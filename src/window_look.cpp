#include "window_look.h"

#include "activity.h"
#include "file_notice.h"
#include "gdk_lock.h"
#include "output_widths.h"
#include "journal.h"
#include "print_job.h"
#include "print_server.h"
#include "ui_components.h"

#include <gdk/gdkx.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// One provider for the whole screen, by style class: the main window is dense
// (a till's screen is small), outputs look like text that cannot be typed into,
// and a failure of a service stays red. No dashed or dotted borders: they are
// stroked, which an X server without acceleration draws slowly on 300 entries. No
// rounded outputs either: their anti-aliased outlines were half the cost of the
// frame that shows a sale's answer, square ones are filled as plain rectangles.
constexpr const char* kCss = R"css(
.kelvra-main entry, .kelvra-main spinbutton {
    min-height: 22px; padding-top: 1px; padding-bottom: 1px;
}
.kelvra-main button { min-height: 20px; padding-top: 2px; padding-bottom: 2px; }
.kelvra-main notebook > header tab { min-height: 20px; padding-top: 3px; padding-bottom: 3px; }
entry.kelvra-output {
    background-color: @theme_bg_color; background-image: none; box-shadow: none;
    border-radius: 0;
}
.kelvra-failure { color: #c01c28; font-weight: bold; }
)css";

GtkWidget* spn_activity = nullptr;
GtkWidget* lbl_activity = nullptr;
GtkWidget* lbl_event_server = nullptr;
GtkWidget* lbl_print_server = nullptr;
GtkWidget* lbl_journal = nullptr;
GtkWidget* lbl_files = nullptr;

constexpr unsigned kPrintServerCheckMs = 250;

GtkWidget* widget_of(GtkBuilder* builder, const char* id) {
    GObject* object = gtk_builder_get_object(builder, id);
    return object && GTK_IS_WIDGET(object) ? GTK_WIDGET(object) : nullptr;
}

// Every receipt line grows the receipt view, and each answer of a sale empties and
// refills the host message view. A resize inside their scrollers would otherwise
// climb to the window: the page around them is laid out again and the notebook
// redraws all of it on screen, once per frame while receipts arrive and at the
// start and the answer of every sale, whichever page is on screen. A scroller's own
// size never depends on its text, so it re-lays its content out by itself. The
// same holds for every text view of the window in a scroller.
void keep_text_growth_local(GtkWidget* widget) {
    if (GTK_IS_TEXT_VIEW(widget)) {
        GtkWidget* scroller = gtk_widget_get_parent(widget);
        if (scroller && GTK_IS_SCROLLED_WINDOW(scroller)) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
            gtk_container_set_resize_mode(GTK_CONTAINER(scroller), GTK_RESIZE_QUEUE);
#pragma GCC diagnostic pop
        }
        return;
    }
    if (GTK_IS_CONTAINER(widget))
        gtk_container_foreach(
            GTK_CONTAINER(widget),
            [](GtkWidget* child, gpointer) { keep_text_growth_local(child); }, nullptr);
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
void fit_window_to_screen(GtkBuilder* builder) {
    GdkDisplay* display = gdk_display_get_default();
    GdkMonitor* monitor = display ? gdk_display_get_primary_monitor(display) : nullptr;
    if (!monitor && display)
        monitor = gdk_display_get_monitor(display, 0);
    if (!monitor || !MainEcrWindow)
        return;
    GdkRectangle area;
    gdk_monitor_get_workarea(monitor, &area);
    gtk_window_set_default_size(GTK_WINDOW(MainEcrWindow), area.width, area.height);
    GObject* pages = builder ? gtk_builder_get_object(builder, "nb_pages") : nullptr;
    fit_columns_to_width(pages ? GTK_WIDGET(pages) : nullptr, area.width);
}

// The part of the screen a dialog may take: the work area of the main window's
// monitor, and within it the main window itself once it is on screen.
GdkRectangle dialog_area() {
    GdkRectangle area{0, 0, 1024, 768};
    GdkDisplay* display = gdk_display_get_default();
    GdkWindow* main_window = MainEcrWindow ? gtk_widget_get_window(MainEcrWindow) : nullptr;
    GdkMonitor* monitor = nullptr;
    if (display)
        monitor = main_window ? gdk_display_get_monitor_at_window(display, main_window)
                              : gdk_display_get_primary_monitor(display);
    if (!monitor && display)
        monitor = gdk_display_get_monitor(display, 0);
    if (monitor)
        gdk_monitor_get_workarea(monitor, &area);
    if (main_window && gtk_widget_get_mapped(MainEcrWindow)) {
        GdkRectangle frame, within;
        gdk_window_get_frame_extents(main_window, &frame);
        if (gdk_rectangle_intersect(&area, &frame, &within))
            area = within;
    }
    return area;
}

// Room left around a dialog, so that its edges stay visible.
constexpr int kDialogMargin = 16;

// Sizes and places a dialog within dialog_area(); the file choosers restore a size
// of their own when they are realised and mapped, so this runs after both.
void place_dialog(GtkWidget* dialog) {
    const GdkRectangle area = dialog_area();
    int width = 0, height = 0;
    gtk_window_get_size(GTK_WINDOW(dialog), &width, &height);
    const int widest = std::max(1, area.width - 2 * kDialogMargin);
    const int highest = std::max(1, area.height - 2 * kDialogMargin);
    if (width > widest || height > highest) {
        width = std::min(width, widest);
        height = std::min(height, highest);
        gtk_window_set_default_size(GTK_WINDOW(dialog), width, height);
        gtk_window_resize(GTK_WINDOW(dialog), width, height);
    }
    gtk_window_move(GTK_WINDOW(dialog), area.x + (area.width - width) / 2,
                    area.y + (area.height - height) / 2);
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

// Files the console cannot keep, for as long as that lasts.
void show_file_notice() {
    const FileNotice notice = file_notice();
    if (!lbl_files || notice.text == gtk_label_get_text(GTK_LABEL(lbl_files)))
        return;
    gtk_label_set_text(GTK_LABEL(lbl_files), notice.text.c_str());
    gtk_widget_set_tooltip_text(lbl_files, notice.text.empty() ? nullptr : notice.reasons.c_str());
    gtk_widget_set_visible(lbl_files, !notice.text.empty());
}

// A timeout of gdk_threads_add_timeout: runs with the lock held. Also the
// notice of the files, reported from any thread.
gboolean check_print_server(gpointer) {
    show_file_notice();
    const std::string notice = print_server_notice();
    if (lbl_print_server && notice != gtk_label_get_text(GTK_LABEL(lbl_print_server))) {
        gtk_label_set_text(GTK_LABEL(lbl_print_server), notice.c_str());
        const std::string why =
            print_server_state() == PrintServerState::Failed
                ? print_server_failure() +
                      ". No receipts will arrive until the console is restarted with the "
                      "port free."
                : "Only this computer and the terminal's address (Terminal page) may print; "
                  "KELVRA_PRINT_ALLOW adds addresses or networks, or \"any\".";
        gtk_widget_set_tooltip_text(lbl_print_server, notice.empty() ? nullptr : why.c_str());
        gtk_widget_set_visible(lbl_print_server, !notice.empty());
    }
    return G_SOURCE_CONTINUE;
}

// Turns the toolkit's frame pacing off for a window when no window manager runs.
gboolean unpace_realized_window(GSignalInvocationHint*, guint, const GValue* values, gpointer) {
    GObject* object = static_cast<GObject*>(g_value_get_object(&values[0]));
    if (GTK_IS_WINDOW(object)) {
        GdkWindow* window = gtk_widget_get_window(GTK_WIDGET(object));
        if (window && GDK_IS_X11_WINDOW(window))
            gdk_x11_window_set_frame_sync_enabled(window, FALSE);
    }
    return TRUE; // stays for every window realised later
}

} // namespace

// At the end of every drawn frame the toolkit asks whether a window manager paces
// the window's frames; without one it asks the X server again about every 15 s, and
// that answer comes only after all the drawing queued before it: up to 20 ms on a
// software X server while a sale's answer is drawn, a lost frame or two. With no
// window manager (a kiosk till) there is nothing to pace frames with, so the console
// turns the pacing off for each of its windows as it is realised, the toolkit's own
// switch for windows no window manager handles. Decided once at start: a window
// manager started later still manages the windows, only without frame pacing.
void pace_frames_only_with_window_manager() {
    GdkDisplay* display = gdk_display_get_default();
    if (!display || !GDK_IS_X11_DISPLAY(display))
        return;
    GdkScreen* screen = gdk_display_get_default_screen(display);
    const char* manager = gdk_x11_screen_get_window_manager_name(screen);
    if (manager && g_strcmp0(manager, "unknown") != 0)
        return;
    g_signal_add_emission_hook(g_signal_lookup("realize", GTK_TYPE_WIDGET), 0,
                               unpace_realized_window, nullptr, nullptr);
}

// Short enough for a 1024-wide window; the reason (print_server_failure) goes into
// the notice's tooltip.
std::string print_server_notice() {
    if (print_server_state() == PrintServerState::Failed)
        return "Print server down: port " + std::to_string(kPrintPort) + " unavailable";
    // A stranger on the print port is named, not each of its connections.
    std::string last;
    const unsigned refused = print_server_refused(&last);
    if (refused == 0)
        return "";
    return "Print server refused " + last +
           (refused > 1 ? " (" + std::to_string(refused) + " connections)" : "");
}

void prepare_window_look(GtkBuilder* builder) {
    install_css();
    fit_outputs_to_values(); // with the style in place: the fonts are the window's
    fit_window_to_screen(builder);
    if (MainEcrWindow)
        keep_text_growth_local(MainEcrWindow);
    if (MainEcrWindow)
        skip_column_boxes_in_focus_chain(MainEcrWindow);
    // Typing starts with the transaction, not in the read-only result line.
    if (cmb_txn_type)
        gtk_widget_grab_focus(cmb_txn_type);

    spn_activity = widget_of(builder, "spn_activity");
    // The turning icon is drawn at the spinner's size: as tall as the result line,
    // turned, it reached beyond the line, so that every frame of the turn changed the
    // extent of the window's top box and the whole window was drawn again. At its
    // own size, centred, it stays within the line.
    if (spn_activity)
        gtk_widget_set_valign(spn_activity, GTK_ALIGN_CENTER);
    lbl_activity = widget_of(builder, "lbl_activity");
    lbl_event_server = widget_of(builder, "lbl_event_server");
    lbl_print_server = widget_of(builder, "lbl_print_server");
    lbl_journal = widget_of(builder, "lbl_journal");
    lbl_files = widget_of(builder, "lbl_files");
    check_settings_folder();
    show_file_notice();
    show_event_server_state(false);
    set_activity_listener(show_activity);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    gdk_threads_add_timeout(kPrintServerCheckMs, check_print_server, nullptr);
#pragma GCC diagnostic pop
}

void fit_dialog_to_screen(GtkWidget* dialog) {
    if (!dialog || !GTK_IS_WINDOW(dialog))
        return;
    // The console's dialogs are documented without a parent window: they stay above
    // the main window by their own hint instead, centred on the screen it fills.
    if (!gtk_window_get_transient_for(GTK_WINDOW(dialog)))
        gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
    auto place = +[](GtkWidget* widget, gpointer) { place_dialog(widget); };
    g_signal_connect_after(dialog, "realize", G_CALLBACK(place), nullptr);
    g_signal_connect_after(dialog, "map", G_CALLBACK(place), nullptr);
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
