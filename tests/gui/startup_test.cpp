// The main window as the operator finds it after start-up, and the whole life of
// the process from start to close.
#include "common_Routines.h"
#include "gui_harness.h"
#include "journal.h"
#include "journal_store.h"
#include "korvex.h"
#include "print_server.h"
#include "test_util.h"
#include "ui_components.h"

#include <gtest/gtest.h>

#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>

#include <csignal>
#include <ctime>
#include <map>
#include <optional>
#include <set>
#include <string_view>

namespace {

std::string fresh_dir(const std::string& name) {
    const std::string dir = test_work_dir() + "/" + name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

// The settings file as the console writes it, with these values.
std::string settings_file(const std::map<std::string, std::string>& values) {
    std::string file;
    for (const char* key :
         {"Amount1Label", "Amount2Label", "Amount3Label", "Amount4Label", "CustomLine1",
          "CashierId", "TableId", "TerminalIPAddress", "CertificationPath", "LogFileFolderPath",
          "MobileTopupCashierId", "MobileTopupGSMPw", "TFRFormNumber"})
        file += std::string(key) + ":" + (values.count(key) ? values.at(key) : "") + "\n";
    return file;
}

// The entries' defaults are what a closing console writes (see Lifecycle): without a
// settings file, the terminal library is told the empty address and certificate path.
TEST(Startup, WithoutSettingsFileTheLibraryIsToldNoAddressAndNoCertificate) {
    const gui::StartupCalls& told = gui::startup_calls();
    EXPECT_EQ(told.ip_calls, 1u);
    EXPECT_EQ(told.path_calls, 1u);
    ASSERT_EQ(told.ip_request.size(), sizeof(SetTerminalIPAddress_InOut));
    ASSERT_EQ(told.path_request.size(), sizeof(SetSSLCertificate_InOut));
    EXPECT_EQ(told.ip_request.substr(0, 16), std::string(16, '\0'));
    EXPECT_EQ(told.path_request.substr(0, 256), std::string(256, '\0'));
}

TEST(Startup, TheCertificateIsSetOnlyOnceChosen) {
    EXPECT_FALSE(gui::sensitive(btn_set_ssl_certificate));
    EXPECT_FALSE(gui::sensitive(txt_Sign_Status));
    EXPECT_TRUE(gui::sensitive(btn_set_logFile_folder_path));
}

TEST(Startup, TheDateAndTimeSelectorsShowTheLocalTime) {
    gui::Locked lock;
    guint year, month, day;
    gtk_calendar_get_date(GTK_CALENDAR(cal_terminal_date), &year, &month, &day);
    std::tm shown{};
    shown.tm_year = static_cast<int>(year) - 1900;
    shown.tm_mon = static_cast<int>(month);
    shown.tm_mday = static_cast<int>(day);
    shown.tm_hour = gtk_spin_button_get_value_as_int(GTK_SPIN_BUTTON(sp_dt_hour));
    shown.tm_min = gtk_spin_button_get_value_as_int(GTK_SPIN_BUTTON(sp_dt_min));
    shown.tm_sec = gtk_spin_button_get_value_as_int(GTK_SPIN_BUTTON(sp_dt_sec));
    shown.tm_isdst = -1;
    // The tests start within seconds of the window, maybe across a minute, an hour or
    // midnight: the date and time shown are the local time of less than two minutes ago.
    const double age = std::difftime(std::time(nullptr), std::mktime(&shown));
    EXPECT_GE(age, -1.0);
    EXPECT_LT(age, 120.0) << year << "-" << month + 1 << "-" << day << " " << shown.tm_hour << ":"
                          << shown.tm_min;
}

// The defaults and the print status the console shows come from the folder it
// starts in, whatever KELVRA_WORKDIR says (that is the launcher's business). Closing
// writes the defaults back there, for the user alone (the file holds a password);
// start-up neither writes PrinterState nor creates it.
TEST(Lifecycle, TheFolderItStartsInGivesTheDefaultsAndThePrintStatus) {
    struct Case {
        const char *name, *settings;
        std::optional<std::string> printer_state; // none: no PrinterState
        int shown;
        std::map<std::string, std::string> saved;
    };
    const Case cases[] = {
        {"here", "CustomLine1:from here\n", std::string(1, '\2'), 2, {{"CustomLine1", "from here"}}},
        // Keys in another order, a value with a colon, an over-long cashier id, CR LF.
        {"roundtrip",
         "TFRFormNumber:12345\r\nCashierId:123456\r\nTableId:T7\r\nCustomLine1:a:b\r\n"
         "TerminalIPAddress:10.1.2.3\r\nMobileTopupGSMPw:9876\r\nUnknownKey:x\r\n",
         std::nullopt, 0,
         {{"CustomLine1", "a:b"}, {"CashierId", "1234"}, {"TableId", "T7"},
          {"TerminalIPAddress", "10.1.2.3"}, {"MobileTopupGSMPw", "9876"}, {"TFRFormNumber", "12345"}}},
        {"ok", "TableId:1\n", std::string(1, '\0'), 0, {{"TableId", "1"}}},
        {"paper", "TableId:2\n", std::string(1, '\1'), 1, {{"TableId", "2"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string dir = fresh_dir(std::string("start-") + c.name);
        const std::string here = dir + "/here", file = here + "/PrinterState";
        std::filesystem::create_directories(here);
        std::ofstream(here + "/ECRConf", std::ios::binary) << c.settings;
        if (c.printer_state)
            std::ofstream(file, std::ios::binary) << *c.printer_state;
        struct stat before {};
        stat(file.c_str(), &before);
        const gui::ChildRun run = gui::run_console_child("close", dir + "/work", 60000, here);
        ASSERT_TRUE(WIFEXITED(run.status)) << run.err;
        EXPECT_EQ(WEXITSTATUS(run.status), 0) << run.err;
        EXPECT_NE(run.err.find("print status shown: " + std::to_string(c.shown)), std::string::npos)
            << run.err;
        EXPECT_EQ(read_file(here + "/ECRConf"), settings_file(c.saved));
        EXPECT_EQ(std::filesystem::status(here + "/ECRConf").permissions(),
                  std::filesystem::perms(0600));
        EXPECT_FALSE(std::filesystem::exists(dir + "/work"));
        struct stat after {};
        const bool exists = stat(file.c_str(), &after) == 0;
        EXPECT_EQ(exists, c.printer_state.has_value());
        if (c.printer_state && exists) {
            EXPECT_EQ(read_file(file), *c.printer_state);
            EXPECT_EQ(after.st_ino, before.st_ino) << "rewritten at start-up";
            EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec) << "rewritten at start-up";
        }
    }
}

// Ctrl+C, a SIGTERM at logout or a SIGHUP close the console as its window does: the
// defaults typed since start-up are saved, the sale still running gets its journal
// entry, marked interrupted, with what is known of it, and the process ends within
// a second. The print port is the child's for the time of the test.
TEST(Lifecycle, AStopSignalClosesAsTheWindowDoes) {
    StopPrintServer();
    for (int signum : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(g_strsignal(signum));
        const std::string dir = fresh_dir("signal-" + std::to_string(signum));
        ScopedEnv delay("KORVEX_SIM_DELAY", "0.2"); // a sale of about 3 s
        ScopedEnv state("KORVEX_SIM_STATE_DIR", (dir + "/sim-state").c_str());
        const gui::ChildRun run =
            gui::run_console_child("signal:" + std::to_string(signum), dir, 30000);
        ASSERT_FALSE(run.timed_out) << run.err;
        EXPECT_TRUE(WIFEXITED(run.status)) << "ended by the signal itself: " << run.err;
        const std::size_t at = run.err.find("signalled ");
        ASSERT_NE(at, std::string::npos) << run.err;
        EXPECT_NE(run.err.find(" running\n", at), std::string::npos) << "the sale had ended";
        EXPECT_EQ(run.err.find("-CRITICAL"), std::string::npos) << "a worker outlived the window";
        EXPECT_LT(run.ended_ns - std::stoll(run.err.substr(at + 10)), 1000000000LL) << run.err;
        EXPECT_EQ(read_file(dir + "/ECRConf"),
                  settings_file({{"Amount1Label", "Amount1"}, {"Amount2Label", "Amount2"},
                                 {"Amount3Label", "Amount3"}, {"Amount4Label", "Amount4"},
                                 {"CustomLine1", "typed"}}));
        std::string error;
        const auto store = JournalStore::open(journal_path(dir), &error);
        ASSERT_TRUE(store) << error;
        const std::vector<JournalEntry> entries = store->find({}, nullptr, 10, true);
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].operation, "SALE");
        EXPECT_EQ(entries[0].status, kJournalInterrupted);
        EXPECT_EQ(entries[0].amount, "1250");
        EXPECT_FALSE(entries[0].receipt.empty());
    }
    StartPrnServer();
    EXPECT_TRUE(gui::pump_until([] { return print_server_state() == PrintServerState::Serving; }));
}

// Closing the window while the terminal waits for the cashier (a question window
// open, or the signature status blinking) ends the process at once, not after the
// terminal's wait for the cashier, and reaps the print server's child. The print
// port is the child's for the time of the test.
TEST(Lifecycle, ClosingWhileTheTerminalAsksEndsTheProcessAtOnce) {
    StopPrintServer();
    for (const char* amount : {"10014", "10015", "10012", "10011"}) {
        SCOPED_TRACE(amount);
        const std::string dir = fresh_dir(std::string("close-asking-") + amount);
        const gui::ChildRun run =
            gui::run_console_child(std::string("close-asking:") + amount, dir, 20000);
        ASSERT_FALSE(run.timed_out) << run.err;
        EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0) << run.err;
        const std::size_t at = run.err.find("closing ");
        ASSERT_NE(at, std::string::npos) << run.err;
        const long long closed = std::stoll(run.err.substr(at + 8));
        EXPECT_LT(run.ended_ns - closed, 1000000000LL) << run.err;
        EXPECT_EQ(run.err.find("print child 0 "), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(" reaped"), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("-CRITICAL"), std::string::npos) << run.err;
    }
    StartPrnServer();
    EXPECT_TRUE(gui::pump_until([] { return print_server_state() == PrintServerState::Serving; }));
}

TEST(Lifecycle, MissingWindowDescriptionEndsWithTheLoadersMessage) {
    const std::string dir = fresh_dir("missing-ui");
    const gui::ChildRun run = gui::run_console_child("missing-ui", dir);
    EXPECT_FALSE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0) << run.err;
    EXPECT_NE(run.err.find("EcrUi.xml"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("window shown"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir + "/ECRConf")) << "nothing may be written";
}

// The main window description against the program's widget list: every handle the program binds
// must exist with the class its code assumes, and the wiring that lives only in the XML (radio
// groups, transaction type rows) must be there.
struct Handle {
    const char* id;
    std::string_view kind;
};

constexpr Handle kHandles[] = {
#define W(kind, id) {#id, #kind},
#define L(id) {#id, "ListStore"},
#include "widgets.def"
#undef W
#undef L
};

// Exact classes only: a subclass answers the same calls differently (a spin button rewrites its
// text, a toggle button stays pressed, a radio button joins a group).
bool has_class(GObject* o, std::string_view kind) {
    const GType type = G_OBJECT_TYPE(o);
    if (kind == "ComboBox")
        return type == GTK_TYPE_COMBO_BOX || type == GTK_TYPE_COMBO_BOX_TEXT;
    return g_type_name(type) == "Gtk" + std::string(kind);
}

class WidgetsXml : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        builder_ = gtk_builder_new();
        GError* error = nullptr;
        if (!gtk_builder_add_from_file(builder_, KELVRA_SOURCE_UI_DIR "EcrUi.xml", &error)) {
            load_error_ = error->message;
            g_error_free(error);
        }
    }
    static void TearDownTestSuite() {
        if (GObject* window = gtk_builder_get_object(builder_, "MainEcrWindow"))
            gtk_widget_destroy(GTK_WIDGET(window));
        g_clear_object(&builder_);
    }
    void SetUp() override { ASSERT_EQ(load_error_, "") << "EcrUi.xml does not load"; }

    static GObject* object(const char* id) { return gtk_builder_get_object(builder_, id); }
    static GtkWidget* widget(const char* id) {
        GObject* o = object(id);
        return o && GTK_IS_WIDGET(o) ? GTK_WIDGET(o) : nullptr;
    }

    static inline GtkBuilder* builder_ = nullptr;
    static inline std::string load_error_;
};

TEST_F(WidgetsXml, EveryListedIdIsListedOnceHasItsClassAndLivesInTheMainWindow) {
    GtkWidget* window = widget("MainEcrWindow");
    std::set<std::string_view> ids;
    for (const Handle& h : kHandles) {
        EXPECT_TRUE(ids.insert(h.id).second) << h.id << " twice";
        GObject* o = object(h.id);
        if (!o) {
            ADD_FAILURE() << h.id << " is missing (expected a " << h.kind << ")";
            continue;
        }
        EXPECT_TRUE(has_class(o, h.kind))
            << h.id << " is a " << G_OBJECT_TYPE_NAME(o) << ", expected a " << h.kind;
        // A widget outside the window is never shown.
        if (GTK_IS_WIDGET(o) && h.kind != "Window") {
            EXPECT_EQ(gtk_widget_get_toplevel(GTK_WIDGET(o)), window)
                << h.id << " is not inside MainEcrWindow";
        }
    }
}

TEST_F(WidgetsXml, RadioGroupsHoldExactlyTheirThreeButtons) {
    static constexpr struct {
        const char* buttons[3];
        const char* active_at_start;
    } kGroups[] = {
        {{"rad_sign_ok", "rad_sign_nok", "none_btn_sign"}, "none_btn_sign"},
        {{"rbtn_prn_state_ok", "rbtn_prn_state_mp", "rbtn_prn_state_err"}, "rbtn_prn_state_ok"},
    };
    for (const auto& g : kGroups) {
        for (const char* id : g.buttons) {
            SCOPED_TRACE(id);
            GtkWidget* button = widget(id);
            ASSERT_TRUE(button && GTK_IS_RADIO_BUTTON(button));
            GSList* group = gtk_radio_button_get_group(GTK_RADIO_BUTTON(button));
            EXPECT_EQ(g_slist_length(group), 3u);
            for (const char* member : g.buttons)
                EXPECT_TRUE(g_slist_find(group, widget(member))) << member << " not in group";
            EXPECT_EQ(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(button)),
                      std::string_view(id) == g.active_at_start);
        }
    }
    // "No choice" stands for an empty answer: the operator must not be able to pick it.
    EXPECT_FALSE(gtk_widget_get_visible(widget("none_btn_sign")));
    EXPECT_TRUE(gtk_widget_get_no_show_all(widget("none_btn_sign")));
}

TEST_F(WidgetsXml, TransactionTypeRowsFollowTheTypeCodesWithNoneChosen) {
    // Row i sends type code i, so the row's name must be that code's.
    GtkWidget* combo = widget("cmb_txn_type");
    ASSERT_TRUE(combo && GTK_IS_COMBO_BOX_TEXT(combo));
    GtkTreeModel* model = gtk_combo_box_get_model(GTK_COMBO_BOX(combo));
    ASSERT_EQ(gtk_tree_model_iter_n_children(model, nullptr), 16);
    GtkTreeIter it;
    int row = 0;
    for (bool ok = gtk_tree_model_get_iter_first(model, &it); ok;
         ok = gtk_tree_model_iter_next(model, &it), ++row) {
        gchar* text = nullptr;
        gtk_tree_model_get(model, &it, 0, &text, -1);
        EXPECT_STREQ(text, get_txn_type(row)) << "row " << row;
        g_free(text);
    }
    EXPECT_EQ(gtk_combo_box_get_active(GTK_COMBO_BOX(combo)), -1);
}

TEST_F(WidgetsXml, ResultLineStaysVisibleOnEveryPage) {
    GtkWidget* result = widget("txt_request_output");
    ASSERT_TRUE(result);
    EXPECT_EQ(gtk_widget_get_ancestor(result, GTK_TYPE_NOTEBOOK), nullptr);
    EXPECT_FALSE(gtk_editable_get_editable(GTK_EDITABLE(result)));
}

} // namespace
