// The receipt view of the real console: lines sent to port 5187 as a terminal sends
// them appear with their style tags; the print-status buttons reach the terminal's
// reply; clearing while lines arrive; saving through the dialog.
#include "gui_harness.h"
#include "print_child.h"
#include "print_server.h"
#include "test_env.h"
#include "ui_components.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace {

using print_test::job;
using print_test::reply_with;

// The view's text; the caller holds the lock.
std::string view_text_locked() {
    GtkTextIter start, end;
    gtk_text_buffer_get_bounds(buf_print_job, &start, &end);
    gchar* all = gtk_text_buffer_get_text(buf_print_job, &start, &end, FALSE);
    std::string text = all;
    g_free(all);
    return text;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

// The save dialog, once it is up (it runs on its own thread).
GtkWidget* visible_save_dialog_locked() {
    GtkWidget* found = nullptr;
    GList* windows = gtk_window_list_toplevels();
    for (GList* w = windows; w && !found; w = w->next)
        if (GTK_IS_FILE_CHOOSER_DIALOG(w->data) && gtk_widget_get_visible(GTK_WIDGET(w->data)))
            found = GTK_WIDGET(w->data);
    g_list_free(windows);
    return found;
}

class ReceiptView : public testing::Test {
  protected:
    void SetUp() override {
        gui::stop_answering_dialogs();
        // The console's own server, started with the window.
        ASSERT_TRUE(gui::pump_until(
            [] { return print_server_state() != PrintServerState::Starting; }, 5000));
        ASSERT_EQ(print_server_state(), PrintServerState::Serving)
            << "the console's print server is not serving: port 5187 is probably held by another "
               "process on this machine";
        gui::click(btn_prn_clear);
        ASSERT_EQ(gui::buffer_text(buf_print_job), "");
    }

    // Sends one job to the console on port 5187 and returns the reply.
    static std::string send(const std::string& bytes) {
        std::string reply, error;
        EXPECT_TRUE(send_print_job("127.0.0.1", kPrintPort, bytes, &reply, &error)) << error;
        return reply;
    }

    // A save dialog left open by a failed check would confuse the next test.
    void TearDown() override {
        gui::pump_until([] {
            GtkWidget* dialog = visible_save_dialog_locked();
            if (dialog)
                gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
            return dialog == nullptr;
        });
    }

    static bool wait_for_view(const std::string& expected, int timeout_ms = 5000) {
        return gui::pump_until([&] { return view_text_locked() == expected; }, timeout_ms);
    }
};

TEST_F(ReceiptView, TheEightTagsAsCreated) {
    gui::Locked lock;
    GtkTextTagTable* table = gtk_text_buffer_get_tag_table(buf_print_job);
    for (const char* name : {"BOLD", "DOUBLE_HEIGHT", "RIGHT_JUSTIFY", "CENTER_TEXT", "HALF_SIZE",
                             "DOUBLE_SIZE", "DOUBLE_WIDTH", "FONT"}) {
        SCOPED_TRACE(name);
        GtkTextTag* tag = gtk_text_tag_table_lookup(table, name);
        ASSERT_NE(tag, nullptr);
        PangoFontDescription* font = nullptr;
        gboolean weight_set = FALSE;
        int weight = 0;
        g_object_get(tag, "font-desc", &font, "weight-set", &weight_set, "weight", &weight,
                     nullptr);
        ASSERT_NE(font, nullptr);
        EXPECT_STREQ(pango_font_description_get_family(font), "Courier New");
        EXPECT_EQ(pango_font_description_get_size(font), 10 * PANGO_SCALE);
        pango_font_description_free(font);
        // The font description sets a weight on every tag; only "BOLD" is heavier.
        EXPECT_TRUE(weight_set);
        EXPECT_EQ(weight, std::string(name) == "BOLD" ? 700 : PANGO_WEIGHT_NORMAL);
    }
    EXPECT_EQ(gtk_text_tag_table_get_size(table), 8);
}

TEST_F(ReceiptView, LinesFromTheTerminalShowWithTheirStyleTag) {
    struct Case {
        std::string line;  // print line of the job
        std::string shown; // line as the view shows it
        const char* tag;
    };
    const std::vector<Case> cases = {
        {"TOTAL\n", "TOTAL\n", "FONT"},
        {"\x1B\x54"
         "Bold\n",
         "Bold\n", "BOLD"},
        {std::string("\x1B\x61\x00"
                     "Centre\n",
                     10),
         "Centre\n", "CENTER_TEXT"},
        {std::string("\x1B\x61\x01"
                     "Right\n",
                     9),
         "Right\n", "RIGHT_JUSTIFY"},
        {"\x1B\x0F"
         "half\n",
         "half\n", "HALF_SIZE"},
        {"\x12TOTAL \x93"
         "9.99\n",
         "TOTAL \xE2\x82\xAC"
         "9.99\n",
         "DOUBLE_SIZE"},
        {"\x0EWide \xA0"
         "1\n",
         "Wide \xC2\xA3"
         "1\n",
         "DOUBLE_WIDTH"},
        {"\n", " \n", "FONT"},
        {"a\rb\tc\n", "a b c\n", "FONT"}, // one line: the pipe splits at line feeds only
        {"caf\xE9\n", "caf\xC3\xA9\n", "FONT"},
    };
    std::string expected;
    for (const Case& c : cases) {
        EXPECT_EQ(send(job(c.line)), reply_with(0));
        expected += c.shown;
    }
    // A malformed job still gives an (empty) line.
    EXPECT_EQ(send(job("BAD\n", 0x0201)), reply_with(0));
    expected += "\n";
    ASSERT_TRUE(wait_for_view(expected)) << gui::buffer_text(buf_print_job);

    gui::Locked lock;
    for (std::size_t i = 0; i <= cases.size(); ++i) {
        const char* tag = i < cases.size() ? cases[i].tag : "FONT";
        SCOPED_TRACE(tag);
        GtkTextIter at;
        gtk_text_buffer_get_iter_at_line(buf_print_job, &at, static_cast<int>(i));
        GSList* tags = gtk_text_iter_get_tags(&at);
        ASSERT_EQ(g_slist_length(tags), 1u) << "line " << i;
        gchar* name = nullptr;
        g_object_get(tags->data, "name", &name, nullptr);
        EXPECT_STREQ(name, tag) << "line " << i;
        g_free(name);
        g_slist_free(tags);
    }
}

TEST_F(ReceiptView, MarkerStyleRunsOnAndUnknownStylesUseFont) {
    char marker[] = "M:";
    char rest[] = "x\n";
    char odd[] = "odd\n";
    displayReceipt(SPECIFIC_MARKER_FONT, marker);
    displayReceipt(DEFAULT, rest);
    displayReceipt(static_cast<PrintJobFont>(12), odd);
    EXPECT_EQ(gui::buffer_text(buf_print_job), "M:x\nodd\n");
    char name[20] = {};
    FormatReceivedData(static_cast<PrintJobFont>(-1), name);
    EXPECT_STREQ(name, "FONT");
    FormatReceivedData(DOUBLE_WIDTH, name);
    EXPECT_STREQ(name, "DOUBLE_WIDTH");
}

TEST_F(ReceiptView, PrintStatusButtonsReachTheTerminal) {
    struct Step {
        GtkWidget* button;
        char byte;
    };
    for (const Step& s :
         {Step{rbtn_prn_state_err, 2}, Step{rbtn_prn_state_mp, 1}, Step{rbtn_prn_state_ok, 0}}) {
        SCOPED_TRACE(static_cast<int>(s.byte));
        gui::click(s.button);
        ASSERT_TRUE(gui::toggled(s.button));
        // The file is written by a worker thread.
        ASSERT_TRUE(gui::pump_until([&] {
            return read_file("PrinterState") == std::string(1, s.byte);
        })) << "PrinterState holds "
            << read_file("PrinterState").size() << " bytes";
        EXPECT_EQ(send(job("S\n")), reply_with(static_cast<unsigned char>(s.byte)));
        EXPECT_EQ(send(job("T\n")), reply_with(static_cast<unsigned char>(s.byte)))
            << "every following job";
    }
    ASSERT_TRUE(wait_for_view("S\nT\nS\nT\nS\nT\n"));
}

TEST_F(ReceiptView, ManyLinesArriveWholeAndInOrder) {
    constexpr int kLines = 1000;
    std::thread terminal([] {
        for (int i = 0; i < kLines; ++i) {
            char line[16];
            std::snprintf(line, sizeof line, "N%04d\n", i);
            send(job(line));
        }
    });
    std::string expected;
    for (int i = 0; i < kLines; ++i) {
        char line[16];
        std::snprintf(line, sizeof line, "N%04d\n", i);
        expected += line;
    }
    const bool complete = wait_for_view(expected, 30000);
    terminal.join();
    const std::string shown = gui::buffer_text(buf_print_job);
    EXPECT_TRUE(complete) << "lines in the view: " << std::count(shown.begin(), shown.end(), '\n');
}

TEST_F(ReceiptView, ClearingWhileLinesArrive) {
    constexpr int kLines = 400;
    constexpr int kBeforeClear = 150; // sent before the clear; some still in flight
    std::atomic<bool> cleared{false};
    std::thread terminal([&] {
        for (int i = 0; i < kLines; ++i) {
            if (i == kBeforeClear)
                for (int wait = 0; !cleared && wait < 1000; ++wait)
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
            char line[16];
            std::snprintf(line, sizeof line, "L%03d\n", i);
            send(job(line));
        }
    });
    const bool first_part = gui::pump_until([] {
        const std::string text = view_text_locked();
        return std::count(text.begin(), text.end(), '\n') >= 100;
    });
    gui::click(btn_prn_clear);
    cleared = true;
    const bool rest_arrived = gui::pump_until(
        [] {
            const std::string text = view_text_locked();
            return text.size() >= 5 && text.compare(text.size() - 5, 5, "L399\n") == 0;
        },
        30000);
    terminal.join();
    ASSERT_TRUE(first_part);
    ASSERT_TRUE(rest_arrived);

    // After the clear: a gap-free run of whole lines up to the last one, holding
    // at least every line sent after the clear.
    std::istringstream lines(gui::buffer_text(buf_print_job));
    std::string line;
    int previous = -1;
    int first = -1;
    while (std::getline(lines, line)) {
        ASSERT_EQ(line.size(), 4u) << "a line cut by the clear: '" << line << "'";
        const int n = std::atoi(line.c_str() + 1);
        if (previous >= 0)
            EXPECT_EQ(n, previous + 1);
        else
            first = n;
        previous = n;
    }
    EXPECT_EQ(previous, kLines - 1);
    EXPECT_GE(first, 100) << "the clear removed the lines shown before it";
    EXPECT_LE(first, kBeforeClear) << "lines sent after the clear are missing";
}

GtkWidget* open_save_dialog() {
    gui::click(btn_prn_save);
    GtkWidget* dialog = nullptr;
    gui::pump_until([&] { return (dialog = visible_save_dialog_locked()) != nullptr; });
    return dialog;
}

void answer_save_dialog(GtkWidget* dialog, const char* name, int response) {
    gui::Locked lock;
    if (name)
        gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(dialog), name);
    gtk_dialog_response(GTK_DIALOG(dialog), response);
}

TEST_F(ReceiptView, SaveWritesTheViewAsItIsWhenAccepted) {
    EXPECT_EQ(send(job("\x1B\x54"
                       "SHOP\n")),
              reply_with(0));
    EXPECT_EQ(send(job("\x12TOTAL \x93"
                       "1.50 \xA0"
                       "2\n")),
              reply_with(0));
    ASSERT_TRUE(wait_for_view("SHOP\nTOTAL \xE2\x82\xAC"
                              "1.50 \xC2\xA3"
                              "2\n"));

    GtkWidget* dialog = open_save_dialog();
    ASSERT_NE(dialog, nullptr);
    {
        gui::Locked lock;
        EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(dialog)), "Save Printed Data");
        gchar* name = gtk_file_chooser_get_current_name(GTK_FILE_CHOOSER(dialog));
        EXPECT_STREQ(name, "PrintedData.txt");
        g_free(name);
        EXPECT_TRUE(gtk_file_chooser_get_do_overwrite_confirmation(GTK_FILE_CHOOSER(dialog)));
    }
    // The chooser loads its folder in the background.
    gchar* folder = nullptr;
    ASSERT_TRUE(gui::pump_until([&] {
        return (folder = gtk_file_chooser_get_current_folder(GTK_FILE_CHOOSER(dialog))) != nullptr;
    }));
    EXPECT_EQ(std::filesystem::canonical(folder), std::filesystem::canonical(std::getenv("HOME")));
    g_free(folder);
    // A line that arrives while the dialog is open is part of what is saved.
    EXPECT_EQ(send(job("LATE\n")), reply_with(0));
    const std::string expected = "SHOP\nTOTAL \xE2\x82\xAC"
                                 "1.50 \xC2\xA3"
                                 "2\nLATE\n";
    ASSERT_TRUE(wait_for_view(expected));

    const std::string path = std::string(std::getenv("HOME")) + "/receipt-accepted.txt";
    std::filesystem::remove(path);
    answer_save_dialog(dialog, "receipt-accepted.txt", GTK_RESPONSE_ACCEPT);
    ASSERT_TRUE(gui::pump_until([&] {
        return read_file(path) == expected && !visible_save_dialog_locked();
    })) << "saved: '"
        << read_file(path) << "'";
    // The file holds the text only: UTF-8, no style codes, no byte order mark.
    EXPECT_EQ(read_file(path).substr(0, 4), "SHOP");
}

TEST_F(ReceiptView, SavingAnEmptyViewCreatesAnEmptyFileAndCancelWritesNothing) {
    const std::string home = std::getenv("HOME");
    const std::string empty = home + "/receipt-empty.txt";
    std::filesystem::remove(empty);
    GtkWidget* dialog = open_save_dialog();
    ASSERT_NE(dialog, nullptr);
    answer_save_dialog(dialog, "receipt-empty.txt", GTK_RESPONSE_ACCEPT);
    ASSERT_TRUE(gui::pump_until(
        [&] { return std::filesystem::exists(empty) && !visible_save_dialog_locked(); }));
    EXPECT_EQ(std::filesystem::file_size(empty), 0u);

    const std::string cancelled = home + "/receipt-cancelled.txt";
    dialog = open_save_dialog();
    ASSERT_NE(dialog, nullptr);
    answer_save_dialog(dialog, "receipt-cancelled.txt", GTK_RESPONSE_CANCEL);
    ASSERT_TRUE(gui::pump_until([] { return !visible_save_dialog_locked(); }));
    gui::pump(100);
    EXPECT_FALSE(std::filesystem::exists(cancelled));
    // The window goes on: lines still arrive and the clear button works.
    EXPECT_EQ(send(job("AFTER\n")), reply_with(0));
    ASSERT_TRUE(wait_for_view("AFTER\n"));
    gui::click(btn_prn_clear);
    EXPECT_EQ(gui::buffer_text(buf_print_job), "");
}

} // namespace
