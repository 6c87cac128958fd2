// main() of the GUI tests: starts the real console window once, then runs the tests
// on the main thread. The same binary doubles as a console child process for the
// tests of start-up failure and shut-down (see run_console_child).
#include "gui_harness.h"

#include "terminal_events.h"
#include "transactions.h"
#include "gdk_lock.h"
#include "journal.h"
#include "korvex.h"
#include "korvex_sim.h"
#include "print_server.h"
#include "startup.h"
#include "test_env.h"
#include "ui_components.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string_view>
#include <thread>

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

// The toolkit lock's calls are deprecated; the console still runs on them.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace gui {
namespace {

constexpr const char* kChildFlag = "--console-child=";
constexpr const char* kMissingUiDir = "/nonexistent/kelvra-ui/";

std::mutex dialogs_mutex;
bool answering = false;
int answer_response = GTK_RESPONSE_OK;
std::vector<DialogAnswer> dialogs_seen;

// The toolkit lock as a plain POSIX mutex instead of GDK's own futex-based one: the
// same lock, but ThreadSanitizer sees it, so the workers' locked widget access is
// not reported as racing the main loop.
pthread_mutex_t toolkit_mutex = PTHREAD_MUTEX_INITIALIZER;
void toolkit_lock() {
    pthread_mutex_lock(&toolkit_mutex);
}
void toolkit_unlock() {
    pthread_mutex_unlock(&toolkit_mutex);
}

std::string last_request(const char* call, std::size_t size) {
    std::string bytes(size, '\0');
    bytes.resize(korvex_sim_last_request(call, bytes.data(), bytes.size()));
    return bytes;
}

const char* builder_id(GtkWidget* widget) {
    return GTK_IS_BUILDABLE(widget) ? gtk_buildable_get_name(GTK_BUILDABLE(widget)) : nullptr;
}

GtkWidget* find_below(GtkWidget* widget, const std::string& id) {
    const char* name = builder_id(widget);
    if (name && id == name)
        return widget;
    std::vector<GtkWidget*> children;
    if (GTK_IS_CONTAINER(widget))
        gtk_container_forall(
            GTK_CONTAINER(widget),
            [](GtkWidget* child, gpointer all) {
                static_cast<std::vector<GtkWidget*>*>(all)->push_back(child);
            },
            &children);
    for (GtkWidget* child : children)
        if (GtkWidget* found = find_below(child, id))
            return found;
    return nullptr;
}

std::string text_color_locked(GtkWidget* widget) {
    GtkStyleContext* context = gtk_widget_get_style_context(widget);
    gtk_style_context_save(context);
    gtk_style_context_set_state(context, GTK_STATE_FLAG_NORMAL);
    GdkRGBA rgba;
    gtk_style_context_get_color(context, GTK_STATE_FLAG_NORMAL, &rgba);
    gtk_style_context_restore(context);
    char hex[8];
    std::snprintf(hex, sizeof hex, "#%02x%02x%02x", static_cast<int>(rgba.red * 255 + 0.5),
                  static_cast<int>(rgba.green * 255 + 0.5),
                  static_cast<int>(rgba.blue * 255 + 0.5));
    return hex;
}

// The visible toplevel windows; the caller holds the lock.
std::vector<GtkWidget*> visible_toplevels() {
    std::vector<GtkWidget*> shown;
    GList* windows = gtk_window_list_toplevels();
    for (GList* w = windows; w; w = w->next)
        if (gtk_widget_get_visible(GTK_WIDGET(w->data)))
            shown.push_back(GTK_WIDGET(w->data));
    g_list_free(windows);
    return shown;
}

// A message dialog's text or secondary text ("" for other windows).
std::string message_text(GtkWidget* dialog, const char* property = "text") {
    gchar* value = nullptr;
    if (GTK_IS_MESSAGE_DIALOG(dialog))
        g_object_get(dialog, property, &value, nullptr);
    std::string text = value ? value : "";
    g_free(value);
    return text;
}

// Runs with the lock held (gdk_threads_add_timeout), also inside gtk_dialog_run.
gboolean answer_visible_dialog(gpointer) {
    std::lock_guard guard(dialogs_mutex);
    if (!answering)
        return G_SOURCE_CONTINUE;
    for (GtkWidget* window : visible_toplevels()) {
        if (!GTK_IS_DIALOG(window) || !gtk_widget_get_mapped(window))
            continue;
        // A dialog run from a worker stays on screen until that worker has taken
        // the lock back and destroyed it; it is recorded once but answered again
        // on each tick, because an answer given before the worker's dialog loop
        // started running is lost.
        if (!g_object_get_data(G_OBJECT(window), "gui-answered")) {
            g_object_set_data(G_OBJECT(window), "gui-answered", GINT_TO_POINTER(1));
            const char* title = gtk_window_get_title(GTK_WINDOW(window));
            DialogAnswer seen{title ? title : "", message_text(window),
                              message_text(window, "secondary-text")};
            gdk_window_get_frame_extents(gtk_widget_get_window(window), &seen.frame);
            const int width = gtk_widget_get_allocated_width(window);
            int min_width = 0, min_height = 0;
            gtk_widget_get_preferred_width(window, &min_width, nullptr);
            gtk_widget_get_preferred_height_for_width(window, width, &min_height, nullptr);
            seen.content_fits =
                width >= min_width && gtk_widget_get_allocated_height(window) >= min_height;
            dialogs_seen.push_back(seen);
        }
        gtk_dialog_response(GTK_DIALOG(window), answer_response);
        break; // one dialog per tick: answering may destroy others
    }
    return G_SOURCE_CONTINUE;
}

// Runs `step` every `ms` milliseconds with the toolkit lock held.
void every(int ms, GSourceFunc step) {
    gdk_threads_add_timeout(ms, step, nullptr);
}

// Mode "close-asking:AMOUNT": starts the event server, sells AMOUNT, and closes
// the main window once the terminal asks the cashier (a question window is shown,
// or the signature status blinks). Reports on stderr the moment of the close and,
// after the main loop, whether the print server's child was reaped.
constexpr std::string_view kCloseAsking = "close-asking:";

bool question_on_screen() {
    if (txt_Sign_Status && *gtk_entry_get_text(GTK_ENTRY(txt_Sign_Status)))
        return true;
    return std::ranges::any_of(visible_toplevels(), [](GtkWidget* window) {
        return window != MainEcrWindow && !GTK_IS_DIALOG(window) && builder_id(window);
    });
}

long long monotonic_ns() { // CLOCK_MONOTONIC
    return std::chrono::nanoseconds(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::string child_amount;

void sell_locked(const char* amount) {
    gtk_combo_box_set_active(GTK_COMBO_BOX(cmb_txn_type), 0);
    gtk_entry_set_text(GTK_ENTRY(txt_txn_input_amount1), amount);
    gtk_button_clicked(GTK_BUTTON(btn_start_txn));
}

// Runs with the lock held, every 20 ms: one step of the cashier's way to the question.
gboolean drive_to_question(gpointer) {
    static int step = 0;
    if (step == 0) {
        gtk_button_clicked(GTK_BUTTON(btn_start_ecr_event_server));
        step = 1;
    } else if (step == 1 && WaitEventState) {
        sell_locked(child_amount.c_str());
        step = 2;
    } else if (step == 2 && question_on_screen()) {
        std::fprintf(stderr, "closing %lld\n", monotonic_ns());
        gtk_window_close(GTK_WINDOW(MainEcrWindow));
        return G_SOURCE_REMOVE;
    }
    return G_SOURCE_CONTINUE;
}

// Sells 1250 and, once the answer is shown, writes to stderr what the
// window shows of it ("shown ID=TEXT" lines) and whether the journal is kept
// ("journal kept" or "journal not kept"), then closes the window.
gboolean sell_and_report(gpointer) {
    static bool started = false;
    if (!started) {
        sell_locked("1250");
        started = true; // the button raised Txnstate already
        return G_SOURCE_CONTINUE;
    }
    if (Txnstate)
        return G_SOURCE_CONTINUE;
    for (GtkWidget* entry :
         {txt_request_output, txt_txn_output_txn_status, txt_txn_output_total_amount,
          txt_txn_output_pan, txt_txn_output_merchant_name})
        std::fprintf(stderr, "shown %s=%s\n", gtk_buildable_get_name(GTK_BUILDABLE(entry)),
                     gtk_entry_get_text(GTK_ENTRY(entry)));
    {
        GdkUnlock unlock; // nothing waits on the journal while holding the lock
        journal_flush();
    }
    std::fprintf(stderr, "journal %s\n", journal_failure().empty() ? "kept" : "not kept");
    gtk_window_close(GTK_WINDOW(MainEcrWindow));
    return G_SOURCE_REMOVE;
}

// Mode "signal:NUMBER": types a default (custom line "typed"), starts a sale of
// 1250 and, once its first receipt lines are shown, sends itself signal NUMBER and
// writes the moment ("signalled NS") to stderr.
constexpr std::string_view kSignal = "signal:";
int child_signal = 0;

gboolean sell_and_signal(gpointer) {
    static bool started = false;
    if (!started) {
        gtk_entry_set_text(GTK_ENTRY(txt_txn_input_custom_line1), "typed");
        sell_locked("1250");
        started = true;
        return G_SOURCE_CONTINUE;
    }
    if (gtk_text_buffer_get_char_count(buf_print_job) == 0)
        return G_SOURCE_CONTINUE;
    std::fprintf(stderr, "signalled %lld %s\n", monotonic_ns(), Txnstate ? "running" : "ended");
    kill(getpid(), child_signal);
    return G_SOURCE_REMOVE;
}

// Mode "notice:ID": once the window's notice ID shows (or after 10 s), writes its
// text, colour and tooltip, or "hidden", and what the Journal page shows to stderr,
// then sells 1250 and reports it (sell_and_report).
constexpr std::string_view kNotice = "notice:";
std::string child_notice;

gboolean report_notice(gpointer) {
    static int ticks = 0;
    GtkWidget* notice = find_below(MainEcrWindow, child_notice);
    const std::string shown = shown_label(notice);
    if (shown.empty() && ++ticks < 100)
        return G_SOURCE_CONTINUE;
    gchar* tip = notice ? gtk_widget_get_tooltip_text(notice) : nullptr;
    if (shown.empty())
        std::fputs("hidden\n", stderr);
    else
        std::fprintf(stderr, "notice: %s\ncolour: %s\ntooltip: %s\n", shown.c_str(),
                     text_color_locked(notice).c_str(), tip ? tip : "");
    g_free(tip);
    GtkNotebook* pages = GTK_NOTEBOOK(gtk_widget_get_parent(page_journal));
    gtk_notebook_set_current_page(pages, gtk_notebook_page_num(pages, page_journal));
    std::fprintf(stderr, "page: %s%s\n", gtk_widget_get_visible(pan_jrn) ? "list " : "",
                 shown_label(lbl_jrn_failure).c_str());
    every(20, sell_and_report);
    return G_SOURCE_REMOVE;
}

// Mode "close": the operator closes the window shortly after it appeared; the child
// says which print status the window showed.
gboolean report_print_status(gpointer) {
    GtkWidget* const statuses[] = {rbtn_prn_state_ok, rbtn_prn_state_mp, rbtn_prn_state_err};
    for (int i = 0; i < 3; ++i)
        if (gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(statuses[i])))
            std::fprintf(stderr, "print status shown: %d\n", i);
    gtk_window_close(GTK_WINDOW(MainEcrWindow));
    return G_SOURCE_REMOVE;
}

int run_child(const std::string& mode, int argc, char** argv) {
    // The source tree's descriptions, as for the tests' own window, whatever folder
    // the build would install them to.
    g_ui_dir = mode == "missing-ui" ? kMissingUiDir : KELVRA_SOURCE_UI_DIR;
    if (!ecr_start(&argc, &argv))
        return 2;
    if (mode == "missing-ui") {
        std::fputs("window shown\n", stderr);
        return 3;
    }
    const std::string argument = mode.substr(mode.find(':') + 1);
    const bool close_asking = mode.starts_with(kCloseAsking);
    if (mode.starts_with(kSignal)) {
        child_signal = std::stoi(argument);
        every(20, sell_and_signal);
    } else if (close_asking) {
        child_amount = argument;
        answer_dialogs(GTK_RESPONSE_OK);
        every(20, answer_visible_dialog);
        every(20, drive_to_question);
    } else if (mode.starts_with(kNotice)) {
        child_notice = argument;
        every(100, report_notice);
    } else {
        every(300, report_print_status);
    }
    const pid_t print_child = pid.load();
    ecr_run_main_loop();
    if (close_asking) {
        // A reaped child is gone; an unreaped one is a zombie that kill still finds.
        const bool reaped = print_child <= 0 || (kill(print_child, 0) != 0 && errno == ESRCH);
        std::fprintf(stderr, "print child %d %s\n", static_cast<int>(print_child),
                     reaped ? "reaped" : "left");
    }
    return 0;
}

} // namespace

const StartupCalls& startup_calls() { // taken at the first call, before the first test
    static const StartupCalls taken{
        last_request("SetIPAddress", sizeof(SetTerminalIPAddress_InOut)),
        last_request("SetPath", sizeof(SetSSLCertificate_InOut)),
        korvex_sim_request_count("SetIPAddress"), korvex_sim_request_count("SetPath")};
    return taken;
}

void pump(int ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    do {
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
        if (ms > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    } while (std::chrono::steady_clock::now() < until);
}

bool pump_until(const std::function<bool()>& done, int timeout_ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        pump();
        {
            Locked lock;
            if (done())
                return true;
        }
        if (std::chrono::steady_clock::now() >= until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

std::vector<GtkWidget*> entries_named(const std::string& prefix) {
    std::vector<GtkWidget*> entries;
#define W(kind, id)                                                                                \
    if (std::string_view(#kind) == "Entry" && std::string_view(#id).starts_with(prefix))           \
        entries.push_back(id);
#define L(id)
#include "widgets.def"
#undef W
#undef L
    return entries;
}

std::string id_of(GtkWidget* widget) {
    return gtk_buildable_get_name(GTK_BUILDABLE(widget));
}

void click(GtkWidget* button) {
    Locked lock;
    gtk_button_clicked(GTK_BUTTON(button));
}

std::string text(GtkWidget* entry) {
    Locked lock;
    return gtk_entry_get_text(GTK_ENTRY(entry));
}

void set_text(GtkWidget* entry, const std::string& value) {
    Locked lock;
    gtk_entry_set_text(GTK_ENTRY(entry), value.c_str());
}

std::string buffer_text(GtkTextBuffer* buffer) {
    Locked lock;
    return buffer_text_locked(buffer);
}

std::string buffer_text_locked(GtkTextBuffer* buffer) {
    GtkTextIter start, end;
    gtk_text_buffer_get_bounds(buffer, &start, &end);
    gchar* all = gtk_text_buffer_get_text(buffer, &start, &end, FALSE);
    std::string result = all;
    g_free(all);
    return result;
}

void set_active(GtkWidget* combo_box, int row) {
    Locked lock;
    gtk_combo_box_set_active(GTK_COMBO_BOX(combo_box), row);
}

void set_toggle(GtkWidget* toggle_button, bool active) {
    Locked lock;
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(toggle_button), active);
}

void set_spin(GtkWidget* spin_button, double value) {
    Locked lock;
    gtk_spin_button_set_value(GTK_SPIN_BUTTON(spin_button), value);
}

int active_row(GtkWidget* combo_box) {
    Locked lock;
    return gtk_combo_box_get_active(GTK_COMBO_BOX(combo_box));
}

std::vector<std::string> rows_of(GtkListStore* store) {
    Locked lock;
    std::vector<std::string> rows;
    GtkTreeIter it;
    for (bool ok = gtk_tree_model_get_iter_first(GTK_TREE_MODEL(store), &it); ok;
         ok = gtk_tree_model_iter_next(GTK_TREE_MODEL(store), &it)) {
        gchar* text = nullptr;
        gtk_tree_model_get(GTK_TREE_MODEL(store), &it, 0, &text, -1);
        rows.emplace_back(text ? text : "");
        g_free(text);
    }
    return rows;
}

bool toggled(GtkWidget* toggle_button) {
    Locked lock;
    return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(toggle_button));
}

bool sensitive(GtkWidget* widget) {
    Locked lock;
    return gtk_widget_get_sensitive(widget);
}


std::string text_color(GtkWidget* widget) {
    Locked lock;
    return text_color_locked(widget);
}

void clear_transaction_inputs() {
    for (GtkWidget* entry : entries_named("txt_txn_input_"))
        if (!id_of(entry).ends_with("_label"))
            set_text(entry, "");
}

void show_page(GtkWidget* page) {
    Locked lock;
    GtkNotebook* pages = GTK_NOTEBOOK(gtk_widget_get_parent(page));
    gtk_notebook_set_current_page(pages, gtk_notebook_page_num(pages, page));
}

void show_start_page() {
    Locked lock;
    gtk_notebook_set_current_page(GTK_NOTEBOOK(gtk_widget_get_parent(page_journal)), 0);
    gtk_widget_grab_focus(cmb_txn_type);
}

bool press(GtkWidget* button, const char* call, const std::atomic<bool>& busy) {
    const std::size_t before = korvex_sim_request_count(call);
    click(button);
    return pump_until([&] { return !busy && korvex_sim_request_count(call) > before; });
}

bool wait_for_text(GtkWidget* entry, const std::string& text, int timeout_ms) {
    return pump_until([&] { return text == gtk_entry_get_text(GTK_ENTRY(entry)); }, timeout_ms);
}

std::string settled_color(GtkWidget* widget, const std::string& expected) {
    std::string colour;
    pump_until([&] { return (colour = text_color_locked(widget)) == expected; }, 2000);
    return colour;
}

void set_buffer(GtkTextBuffer* buffer, const std::string& text) {
    Locked lock;
    gtk_text_buffer_set_text(buffer, text.c_str(), -1);
}

void start_transaction(int row, const std::vector<std::pair<GtkWidget*, std::string>>& inputs) {
    clear_transaction_inputs();
    set_active(cmb_txn_type, row);
    for (const auto& [entry, text] : inputs)
        set_text(entry, text);
    click(btn_start_txn);
}

bool event_server(bool running) {
    click(running ? btn_start_ecr_event_server : btn_stop_ecr_event_server);
    return pump_until([running] { return WaitEventState == running && !StartStopEventServer; });
}

void search_journal(const std::string& text, const std::string& from, const std::string& to) {
    ASSERT_TRUE(pump_until([] { return gtk_widget_get_mapped(page_journal); }));
    Locked lock;
    gtk_entry_set_text(GTK_ENTRY(txt_jrn_from), from.c_str());
    gtk_entry_set_text(GTK_ENTRY(txt_jrn_to), to.c_str());
    gtk_entry_set_text(GTK_ENTRY(txt_jrn_search), text.c_str());
    g_signal_emit_by_name(txt_jrn_search, "activate");
}

void choose_file(GtkWidget* button, const std::string& folder, const std::string& name,
                 int response, const std::function<void(GtkWidget*)>& meanwhile) {
    click(button);
    GtkWidget* dialog = nullptr;
    ASSERT_TRUE(pump_until([&] { return (dialog = visible_file_chooser()) != nullptr; }));
    if (meanwhile)
        meanwhile(dialog);
    {
        Locked lock;
        if (!folder.empty())
            gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(dialog), folder.c_str());
        gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(dialog), name.c_str());
    }
    // Answered on every pass until it closes: an answer given before the save
    // thread's dialog loop runs is lost (seen under load).
    ASSERT_TRUE(pump_until([&] {
        GtkWidget* open = visible_file_chooser();
        if (open)
            gtk_dialog_response(GTK_DIALOG(open), response);
        return !open;
    }));
}

std::string shown_label(GtkWidget* label) {
    return label && gtk_widget_get_visible(label) ? gtk_label_get_text(GTK_LABEL(label)) : "";
}

std::string label_text(GtkWidget* label) {
    Locked lock;
    return label ? gtk_label_get_text(GTK_LABEL(label)) : "(no label)";
}


std::vector<GtkWidget*> windows_named(const std::string& id) {
    std::vector<GtkWidget*> found;
    for (GtkWidget* window : visible_toplevels())
        if (const char* name = builder_id(window); name && id == name)
            found.push_back(window);
    return found;
}

bool dialog_open() {
    return std::ranges::any_of(visible_toplevels(), [](GtkWidget* w) { return GTK_IS_DIALOG(w); });
}

GtkWidget* wait_for_window(const std::string& id, int timeout_ms) {
    GtkWidget* window = nullptr;
    pump_until([&] {
        const std::vector<GtkWidget*> found = windows_named(id);
        return (window = found.empty() ? nullptr : found.front()) != nullptr;
    }, timeout_ms);
    return window;
}

GtkWidget* find_child(GtkWidget* root, const std::string& id) {
    Locked lock;
    return root ? find_below(root, id) : nullptr;
}

void close_window(GtkWidget* window) {
    Locked lock;
    GdkEvent* event = gdk_event_new(GDK_DELETE);
    event->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window)));
    event->any.send_event = TRUE;
    gtk_main_do_event(event);
    gdk_event_free(event);
}

void answer_dialogs(int response) {
    std::lock_guard guard(dialogs_mutex);
    answering = true;
    answer_response = response;
}

void stop_answering_dialogs() {
    std::lock_guard guard(dialogs_mutex);
    answering = false;
}

std::vector<DialogAnswer> answered_dialogs() {
    std::lock_guard guard(dialogs_mutex);
    return std::exchange(dialogs_seen, {});
}

std::string open_dialog_text() {
    std::string text;
    for (GtkWidget* window : visible_toplevels())
        if (GTK_IS_MESSAGE_DIALOG(window))
            text = message_text(window);
    return text;
}

ChildRun run_console_child(const std::string& mode, const std::string& work_dir, int timeout_ms,
                           const std::string& start_dir) {
    const std::string flag = kChildFlag + mode;
    gchar* argv[] = {const_cast<gchar*>("/proc/self/exe"), const_cast<gchar*>(flag.c_str()),
                     nullptr};
    ChildRun run;
    GError* error = nullptr;
    gchar** env = g_environ_setenv(g_get_environ(), "KELVRA_TEST_CHILD", "1", TRUE);
    env = g_environ_setenv(env, "KELVRA_WORKDIR", work_dir.c_str(), TRUE);
    // ThreadSanitizer waits a second at exit by default, which the tests of the
    // time to close would count.
    const gchar* tsan = g_environ_getenv(env, "TSAN_OPTIONS");
    const std::string tsan_options = std::string(tsan ? tsan : "") + " atexit_sleep_ms=0";
    env = g_environ_setenv(env, "TSAN_OPTIONS", tsan_options.c_str(), TRUE);
    GPid child = 0;
    int err_fd = -1;
    const bool spawned = g_spawn_async_with_pipes(
        (start_dir.empty() ? work_dir : start_dir).c_str(), argv, env,
        static_cast<GSpawnFlags>(G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_STDOUT_TO_DEV_NULL), nullptr,
        nullptr, &child, nullptr, nullptr, &err_fd, &error);
    g_strfreev(env);
    if (!spawned) {
        run.err = error->message;
        g_error_free(error);
        return run;
    }
    fcntl(err_fd, F_SETFL, O_NONBLOCK);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    auto drain = [&] {
        char chunk[4096];
        ssize_t n;
        while ((n = read(err_fd, chunk, sizeof chunk)) > 0)
            run.err.append(chunk, static_cast<std::size_t>(n));
    };
    for (;;) {
        drain();
        if (waitpid(child, &run.status, WNOHANG) == child) {
            run.ended_ns = monotonic_ns();
            break;
        }
        if (std::chrono::steady_clock::now() >= until) {
            run.timed_out = true;
            kill(child, SIGKILL);
            waitpid(child, &run.status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    fcntl(err_fd, F_SETFL, 0);
    drain();
    close(err_fd);
    return run;
}

GtkWidget* visible_file_chooser() {
    for (GtkWidget* window : visible_toplevels())
        if (GTK_IS_FILE_CHOOSER_DIALOG(window))
            return window;
    return nullptr;
}

} // namespace gui

int main(int argc, char** argv) {
    // In the console children too: a child's workers outlive its window.
    gdk_threads_set_lock_functions(G_CALLBACK(gui::toolkit_lock), G_CALLBACK(gui::toolkit_unlock));
    if (argc > 1 && std::strncmp(argv[1], gui::kChildFlag, std::strlen(gui::kChildFlag)) == 0)
        return gui::run_child(argv[1] + std::strlen(gui::kChildFlag), argc - 1, argv + 1);

    testing::InitGoogleTest(&argc, argv);
    test_work_dir(); // private working directory before the console reads its files
    g_ui_dir = KELVRA_SOURCE_UI_DIR;
    if (!ecr_start(&argc, &argv)) {
        std::fputs("the console could not start\n", stderr);
        return 1;
    }
    gui::startup_calls();
    gui::every(20, gui::answer_visible_dialog);
    gui::pump(200); // let the window map and the print server come up
    const int failed = RUN_ALL_TESTS();
    return failed;
}
