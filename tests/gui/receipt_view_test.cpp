// The receipt view of the real console: lines sent to port 5187 as a terminal sends
// them appear with their style tags; the print-status buttons reach the terminal's
// reply; clearing while lines arrive; saving through the dialog.
#include "gui_harness.h"
#include "print_child.h"
#include "test_util.h"
#include "ui_components.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

using print_test::job;
using print_test::reply_with;

bool wait_for_view(const std::string& expected, int timeout_ms = 5000) {
    return gui::pump_until([&] { return gui::buffer_text_locked(buf_print_job) == expected; },
                           timeout_ms);
}

std::string send(const std::string& bytes) {
    std::string reply, error;
    EXPECT_TRUE(send_print_job("127.0.0.1", kPrintPort, bytes, &reply, &error)) << error;
    return reply;
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
    // A save dialog left open by a failed check would confuse the next test.
    void TearDown() override {
        gui::pump_until([] {
            GtkWidget* dialog = gui::visible_file_chooser();
            if (dialog)
                gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
            return dialog == nullptr;
        });
    }
};

TEST_F(ReceiptView, LinesFromTheTerminalShowWithTheirStyleTag) {
    struct Case {
        std::string line;  // print line of the job
        std::string shown; // line as the view shows it
        const char* tag;
    };
    // 0223 and 0240 are the printer's euro and pound bytes.
    const std::vector<Case> cases = {
        {"TOTAL\n", "TOTAL\n", "FONT"},
        {"\033TBold\n", "Bold\n", "BOLD"},
        {std::string("\033a\0Centre\n", 10), "Centre\n", "CENTER_TEXT"},
        {"\033a\001Right\n", "Right\n", "RIGHT_JUSTIFY"},
        {"\033\017half\n", "half\n", "HALF_SIZE"},
        {"\022TOTAL \2239.99\n", "TOTAL \u20ac9.99\n", "DOUBLE_SIZE"},
        {"\016Wide \2401\n", "Wide \u00a31\n", "DOUBLE_WIDTH"},
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
    ASSERT_TRUE(wait_for_view(expected + "\n")) << gui::buffer_text(buf_print_job);

    gui::Locked lock;
    for (std::size_t i = 0; i <= cases.size(); ++i) {
        SCOPED_TRACE("line " + std::to_string(i));
        GtkTextIter at;
        gtk_text_buffer_get_iter_at_line(buf_print_job, &at, static_cast<int>(i));
        GSList* tags = gtk_text_iter_get_tags(&at);
        ASSERT_EQ(g_slist_length(tags), 1u);
        gchar* name = nullptr;
        g_object_get(tags->data, "name", &name, nullptr);
        EXPECT_STREQ(name, i < cases.size() ? cases[i].tag : "FONT");
        g_free(name);
        g_slist_free(tags);
    }
}

TEST_F(ReceiptView, PrintStatusButtonsReachTheTerminal) {
    for (const auto& [button, byte] : std::vector<std::pair<GtkWidget*, char>>{
             {rbtn_prn_state_err, 2}, {rbtn_prn_state_mp, 1}, {rbtn_prn_state_ok, 0}}) {
        SCOPED_TRACE(static_cast<int>(byte));
        gui::click(button);
        ASSERT_TRUE(gui::toggled(button));
        // The file is written by a worker thread.
        ASSERT_TRUE(gui::pump_until([&] {
            return read_file("PrinterState") == std::string(1, byte);
        })) << "PrinterState holds "
            << read_file("PrinterState").size() << " bytes";
        EXPECT_EQ(send(job("S\n")), reply_with(static_cast<unsigned char>(byte)));
    }
    ASSERT_TRUE(wait_for_view("S\nS\nS\n"));
}

// Lines keep coming while the operator clears: after the clear the view holds a
// gap-free run of whole lines, in order, up to the last one sent.
TEST_F(ReceiptView, ClearingWhileLinesArrive) {
    constexpr int kLines = 400;
    constexpr int kBeforeClear = 150; // sent before the clear; some still in flight
    std::atomic<bool> cleared{false};
    std::thread terminal([&] {
        for (int i = 0; i < kLines; ++i) {
            for (int wait = 0; i == kBeforeClear && !cleared && wait < 1000; ++wait)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            char line[16];
            std::snprintf(line, sizeof line, "L%03d\n", i);
            send(job(line));
        }
    });
    const bool first_part = gui::pump_until([] {
        const std::string text = gui::buffer_text_locked(buf_print_job);
        return std::count(text.begin(), text.end(), '\n') >= 100;
    });
    gui::click(btn_prn_clear);
    cleared = true;
    const bool rest_arrived = gui::pump_until(
        [] { return gui::buffer_text_locked(buf_print_job).ends_with("L399\n"); }, 30000);
    terminal.join();
    ASSERT_TRUE(first_part);
    ASSERT_TRUE(rest_arrived);

    std::istringstream lines(gui::buffer_text(buf_print_job));
    std::string line;
    int previous = -1, first = -1;
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

TEST_F(ReceiptView, SaveWritesTheViewAsItIsWhenAcceptedAndNothingWhenCancelled) {
    const std::string home = std::getenv("HOME");
    std::filesystem::remove(home + "/receipt-empty.txt");
    gui::choose_file(btn_prn_save, "", "receipt-empty.txt");
    ASSERT_TRUE(
        gui::pump_until([&] { return std::filesystem::exists(home + "/receipt-empty.txt"); }));
    EXPECT_EQ(std::filesystem::file_size(home + "/receipt-empty.txt"), 0u);

    EXPECT_EQ(send(job("\033TSHOP\n")), reply_with(0));
    EXPECT_EQ(send(job("\022TOTAL \2231.50 \2402\n")), reply_with(0)); // printer euro, pound
    const std::string shown = "SHOP\nTOTAL \u20ac1.50 \u00a32\n";
    ASSERT_TRUE(wait_for_view(shown));
    const std::string path = home + "/receipt-accepted.txt";
    std::filesystem::remove(path);
    const auto meanwhile = [&](GtkWidget* dialog) {
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
            return (folder = gtk_file_chooser_get_current_folder(GTK_FILE_CHOOSER(dialog))) !=
                   nullptr;
        }));
        EXPECT_EQ(std::filesystem::canonical(folder), std::filesystem::canonical(home));
        g_free(folder);
        // A line that arrives while the dialog is open is part of what is saved.
        EXPECT_EQ(send(job("LATE\n")), reply_with(0));
        ASSERT_TRUE(wait_for_view(shown + "LATE\n"));
    };
    gui::choose_file(btn_prn_save, "", "receipt-accepted.txt", GTK_RESPONSE_ACCEPT, meanwhile);
    // The file holds the text only: UTF-8, no style codes, no byte order mark.
    ASSERT_TRUE(gui::pump_until([&] { return read_file(path) == shown + "LATE\n"; }))
        << "saved: '" << read_file(path) << "'";

    gui::choose_file(btn_prn_save, "", "receipt-cancelled.txt", GTK_RESPONSE_CANCEL);
    gui::pump(100);
    EXPECT_FALSE(std::filesystem::exists(home + "/receipt-cancelled.txt"));
    // The window goes on: lines still arrive and the clear button works.
    gui::click(btn_prn_clear);
    EXPECT_EQ(send(job("AFTER\n")), reply_with(0));
    ASSERT_TRUE(wait_for_view("AFTER\n"));
}

} // namespace
