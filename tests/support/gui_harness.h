// Drives the real console window in GUI tests. The test body runs on the main
// thread without the toolkit lock, like the main loop between two events; every
// helper that touches widgets takes the lock for its own duration, and pumping
// the loop leaves it free so the workers can take it.
#pragma once

#include "gdk_lock.h"

#include <gtk/gtk.h>

#include <atomic>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace gui {

// The status colours as text_color() gives them.
constexpr const char* kRed = "#ff0000";
constexpr const char* kGreen = "#008000";
constexpr const char* kYellow = "#ffff00";

// Holds the toolkit lock in a test body (the test thread is the main thread, on
// which the console's own guard refuses to run).
struct Locked {
    Locked() { gdk_lock_enter(); }
    ~Locked() { gdk_lock_leave(); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;
};

// Runs the main loop for about `ms` milliseconds (at least one pass).
void pump(int ms = 0);
// Runs the main loop until `done` holds (checked under the lock) or the time is up.
bool pump_until(const std::function<bool()>& done, int timeout_ms = 10000);

// The entries of the window whose builder ids start with `prefix`, in list order.
std::vector<GtkWidget*> entries_named(const std::string& prefix);
std::string id_of(GtkWidget* widget);

// Clicks a button (its handler runs at once, with the lock held as GTK would).
void click(GtkWidget* button);
std::string text(GtkWidget* entry);
void set_text(GtkWidget* entry, const std::string& text);
std::string buffer_text(GtkTextBuffer* buffer);
void set_buffer(GtkTextBuffer* buffer, const std::string& text);
void set_active(GtkWidget* combo_box, int row);
bool toggled(GtkWidget* toggle_button);
void set_toggle(GtkWidget* toggle_button, bool active);
void set_spin(GtkWidget* spin_button, double value);
int active_row(GtkWidget* combo_box);
// The first-column texts of a list store's rows (a record selector's numbers).
std::vector<std::string> rows_of(GtkListStore* store);
bool sensitive(GtkWidget* widget);
// The text colour that the widget shows in its normal state (whatever state it is
// in now, e.g. insensitive), as "#rrggbb".
std::string text_color(GtkWidget* widget);
// The widget's text colour once a change to `expected` has finished its transition
// (or the colour it keeps showing after about two seconds).
std::string settled_color(GtkWidget* widget, const std::string& expected);
// Empties the transaction panel's inputs, their amount labels excepted.
void clear_transaction_inputs();
// Starts a transaction of the type in `row` with these inputs, the others empty.
void start_transaction(int row, const std::vector<std::pair<GtkWidget*, std::string>>& inputs);
// Starts or stops the event server by its button; false when the loop's state does
// not follow within the time.
bool event_server(bool running);
// The Journal page's search (the page must be shown): types the text and the days
// and presses Enter.
void search_journal(const std::string& text, const std::string& from = "",
                    const std::string& to = "");
// Clicks `button`, waits for its file chooser, runs `meanwhile` on it, names the
// file (in `folder` unless empty) and answers `response` until the chooser closes.
void choose_file(GtkWidget* button, const std::string& folder, const std::string& name,
                 int response = GTK_RESPONSE_ACCEPT,
                 const std::function<void(GtkWidget*)>& meanwhile = {});
// Shows the notebook page `page`; the window as it starts (the first page, typing in
// the transaction type), which a test that moves elsewhere gives back.
void show_page(GtkWidget* page);
void show_start_page();
// Clicks `button` and runs the main loop until its worker has made one more `call`
// and its busy flag is down (an answer that frees the button before it is shown
// needs a wait for what it shows as well).
bool press(GtkWidget* button, const char* call, const std::atomic<bool>& busy);
// A text buffer's text; the caller holds the lock (e.g. inside pump_until).
std::string buffer_text_locked(GtkTextBuffer* buffer);
// Runs the main loop until the entry shows `text` or the time is up.
bool wait_for_text(GtkWidget* entry, const std::string& text, int timeout_ms = 10000);

// Windows that the console only shows (built from descriptions of their own and
// answered by their buttons): every visible toplevel with builder id `id`, and
// whether a dialog is on screen (the caller holds the lock, e.g. inside pump_until).
std::vector<GtkWidget*> windows_named(const std::string& id);
bool dialog_open();
// Runs the main loop until that window shows; null when it does not within the time
// (with no time, whether it shows now).
GtkWidget* wait_for_window(const std::string& id, int timeout_ms = 5000);
// The visible file chooser dialog (a save dialog runs on its own thread), or null;
// the caller holds the lock (e.g. inside pump_until).
GtkWidget* visible_file_chooser();
// The widget with builder id `id` inside `root` (internal children included), or null.
GtkWidget* find_child(GtkWidget* root, const std::string& id);
// A label's text while it is shown, else ""; the caller holds the lock.
std::string shown_label(GtkWidget* label);
// A label's text, or "(no label)" for null.
std::string label_text(GtkWidget* label);
// Closes a window the way its title-bar button does: a delete event, handled at once.
void close_window(GtkWidget* window);

// Modal dialogs that the console runs (message boxes, questions): while armed, the
// first visible dialog is answered with `response` and its text is recorded.
struct DialogAnswer {
    std::string title;
    std::string text; // primary text of a message dialog
    std::string secondary; // its second text, when it has one
    // Where it was when answered (on the root window) and whether it had room for
    // all of its content.
    GdkRectangle frame{};
    bool content_fits = false;
};
void answer_dialogs(int response);
void stop_answering_dialogs();
// Dialogs answered since the last call, oldest first.
std::vector<DialogAnswer> answered_dialogs();
// The text of a visible message dialog that nobody answered yet, or "". The caller
// holds the toolkit lock (inside pump_until).
std::string open_dialog_text();

// Runs the program's own main() start-up again in a child process with the given
// mode of the harness ("close", "missing-ui", "notice:ID": what the window's notice
// ID says, and what a sale of 1250 shows and whether the journal is kept,
// "close-asking:AMOUNT": closes the window while the terminal asks the cashier about
// a sale of AMOUNT, or "signal:NUMBER": sends itself that signal while a sale of 1250
// prints, after typing "typed" as custom line);
// returns its wait status, its stderr and the moment it ended (CLOCK_MONOTONIC). The
// child's KELVRA_WORKDIR is `work_dir`; it starts there too, or in `start_dir` when
// given. It is killed after timeout_ms.
struct ChildRun {
    int status = -1;
    std::string err;
    long long ended_ns = 0;
    bool timed_out = false;
};
ChildRun run_console_child(const std::string& mode, const std::string& work_dir,
                           int timeout_ms = 60000, const std::string& start_dir = "");

// What the console told the terminal library while it started, taken before the
// first test runs (later tests may reset the simulated terminal).
struct StartupCalls {
    std::string ip_request;   // bytes of the SetIPAddress record
    std::string path_request; // bytes of the SetPath record
    std::size_t ip_calls = 0;
    std::size_t path_calls = 0;
};
const StartupCalls& startup_calls();

} // namespace gui
