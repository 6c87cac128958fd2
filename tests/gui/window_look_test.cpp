// What the window tells the operator besides the fields: which entries only
// display, where typing starts, what runs now, whether the event server runs and
// why no receipts can arrive; the result line's text and colours.
#include "common_Routines.h"
#include "transactions.h"
#include "gui_harness.h"
#include "korvex_sim.h"
#include "output_widths.h"
#include "print_server.h"
#include "test_env.h"
#include "ui_components.h"
#include "window_look.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <climits>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace {

// The entries an operator types into, by operation (prefixes end in '_'); every
// other entry of the widget list only shows what the terminal or the console says.
constexpr std::string_view kInputs[] = {
    "txt_txn_input_",           "txt_tfr_inp_",           "txt_new_ip_address",
    "txt_ssl_certificate_path", "txt_set_password",       "txt_new_folder_path",
    "txt_ped_serial_number",    "txt_settlement_msg_num", "txt_get_settlement_msg_num",
    "txt_ata_invoice_num",      "txt_ata_total_amount",   "txt_ata_old_tip_amount",
    "txt_ata_new_tip_amount",   "txt_ata_cashier_id",     "txt_mt_txn_msg_nbr",
    "txt_mt_txn_vch_amt",       "txt_mt_txn_vch_nbr",     "txt_mt_txn_prd_id",
    "txt_mt_txn_csh_id",        "txt_mt_txn_gsm_pwd",     "txt_mtu_set_req_msg_nbr",
    "txt_jrn_",
};

bool is_input(std::string_view id) {
    for (std::string_view input : kInputs)
        if (input.back() == '_' ? id.starts_with(input) : id == input)
            return true;
    return false;
}

GtkWidget* own(const char* id) {
    return gui::find_child(MainEcrWindow, id);
}

// The activity text while something runs, "" while the indicator is hidden.
GtkWidget* spinner = nullptr;
GtkWidget* spinner_label = nullptr;
std::string activity() {
    return gtk_widget_get_visible(spinner) ? gui::shown_label(spinner_label) : "";
}

TEST(WindowLook, OutputsLookReadOnlyAndStaySelectableInputsStayTypable) {
    int outputs = 0;
    for (GtkWidget* entry : gui::entries_named("")) {
        SCOPED_TRACE(gui::id_of(entry));
        gui::Locked lock;
        const bool output = !is_input(gui::id_of(entry));
        outputs += output;
        GtkStyleContext* style = gtk_widget_get_style_context(entry);
        EXPECT_EQ(gtk_style_context_has_class(style, kOutputStyleClass), output);
        EXPECT_EQ(gtk_editable_get_editable(GTK_EDITABLE(entry)), !output);
        EXPECT_TRUE(gtk_widget_get_can_focus(entry)) << "its text must stay copyable";
    }
    EXPECT_GT(outputs, 0);
}

TEST(WindowLook, TypingStartsWithTheTransactionType) {
    gui::Locked lock;
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(MainEcrWindow));
    ASSERT_TRUE(focus);
    EXPECT_TRUE(focus == cmb_txn_type || gtk_widget_is_ancestor(focus, cmb_txn_type))
        << "focus on " << G_OBJECT_TYPE_NAME(focus);
    // Tab goes on to the first amount, and never stops on a box around a column.
    for (int step = 0; step < 80; ++step) {
        gtk_widget_child_focus(MainEcrWindow, GTK_DIR_TAB_FORWARD);
        focus = gtk_window_get_focus(GTK_WINDOW(MainEcrWindow));
        if (step == 0) {
            EXPECT_EQ(focus, txt_txn_input_amount1);
        }
        EXPECT_FALSE(focus && GTK_IS_FLOW_BOX_CHILD(focus)) << "Tab stop " << step;
    }
    gtk_widget_grab_focus(cmb_txn_type);
}

// Two operations at once: each is named while it runs, in the order they began,
// and the indicator goes away with the last one.
TEST(WindowLook, RunningOperationsAreNamedUntilTheyEnd) {
    korvex_sim_reset();
    spinner = own("spn_activity");
    spinner_label = own("lbl_activity");
    ASSERT_TRUE(spinner && spinner_label);
    ASSERT_TRUE(gui::pump_until([] { return activity().empty(); }));
    korvex_sim_hold("Transaction_Launch", 1);
    korvex_sim_hold("GetLastTxnData_Launch", 1);
    gui::set_active(cmb_txn_type, 0);
    gui::set_text(txt_txn_input_amount1, "1250");
    gui::click(btn_start_txn);
    ASSERT_TRUE(gui::pump_until([] { return activity() == "Running: SALE\u2026"; })) << activity();
    gui::click(btn_get_last_txn_data);
    EXPECT_TRUE(gui::pump_until([] {
        return activity() == "Running: SALE, Last transaction\u2026";
    })) << activity();

    korvex_sim_hold("Transaction_Launch", 0);
    EXPECT_TRUE(gui::pump_until([] { return activity() == "Running: Last transaction\u2026"; }))
        << activity();
    korvex_sim_hold("GetLastTxnData_Launch", 0);
    EXPECT_TRUE(gui::pump_until([] { return activity().empty() && !Txnstate && !TxnRecovery; }))
        << activity();
}

// What changes while a sale runs must not make the window redraw the transaction
// page on screen: receipt lines did, once per frame while they came in; the host
// message view did at the start and the answer of every sale; and the turning
// activity indicator did on most frames, reaching beyond the result line.
struct Change {
    const char* what;
    void (*step)(); // called 30 times, 20 ms apart (toolkit lock held)
};
constexpr Change kChanges[] = {
    {"receipt line",
     [] {
         char line[] = "RECEIPT LINE\n";
         displayReceipt(DEFAULT, line); // takes the lock itself, as from the pipe watch
     }},
    {"host message",
     [] {
         gui::Locked lock;
         GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(txt_txn_output_text_msg));
         const int lines = gtk_text_buffer_get_line_count(buffer);
         gtk_text_buffer_set_text(buffer, lines % 2 ? "HOST SAYS\nTWO LINES" : "", -1);
     }},
    {"activity indicator",
     [] {
         GtkWidget* indicator = own("spn_activity");
         gui::Locked lock;
         gtk_widget_show(indicator);
         gtk_spinner_start(GTK_SPINNER(indicator));
         gtk_widget_queue_resize(gtk_widget_get_parent(indicator)); // as the text beside it does
     }},
};

// Counts the frames that draw most of the widget (more than half of its area).
gboolean count_large_draw(GtkWidget* widget, cairo_t* cr, gpointer count) {
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
    const double area = double(gtk_widget_get_allocated_width(widget)) *
                        gtk_widget_get_allocated_height(widget);
    if ((x2 - x1) * (y2 - y1) > area / 2)
        ++*static_cast<int*>(count);
    return FALSE;
}

TEST(WindowLook, ChangesDuringASaleDoNotRedrawThePageOnScreen) {
    GtkWidget* pages = own("nb_pages");
    GtkWidget* indicator = own("spn_activity");
    ASSERT_TRUE(pages && indicator);
    gui::show_start_page();
    gui::pump(100);
    for (const Change& change : kChanges) {
        // Once before counting: what the tests before left (an empty view getting
        // its first line, late lines of their sales) is laid out once.
        change.step();
        gui::pump(200);
        int draws = 0;
        gulong handler = 0;
        {
            gui::Locked lock;
            handler = g_signal_connect(pages, "draw", G_CALLBACK(count_large_draw), &draws);
        }
        for (int i = 0; i < 30; ++i) {
            change.step();
            gui::pump(20);
        }
        gui::Locked lock;
        g_signal_handler_disconnect(pages, handler);
        EXPECT_LE(draws, 3) << change.what;
    }
    gui::Locked lock;
    gtk_text_buffer_set_text(buf_print_job, "", 0);
    gtk_text_buffer_set_text(gtk_text_view_get_buffer(GTK_TEXT_VIEW(txt_txn_output_text_msg)), "",
                             0);
    gtk_spinner_stop(GTK_SPINNER(indicator));
    gtk_widget_hide(indicator);
}

// A second console finds port 5187 taken by this one's print server: it must say
// so in red for as long as it runs, while this one shows nothing.
TEST(WindowLook, PrintServerFailureStaysOnScreen) {
    if (print_server_state() != PrintServerState::Serving)
        GTEST_SKIP() << "this process's print server does not hold port 5187";
    GtkWidget* notice = own("lbl_print_server");
    ASSERT_TRUE(notice);
    {
        gui::Locked lock;
        EXPECT_EQ(gui::shown_label(notice), "");
    }

    const std::string dir = test_work_dir() + "/print-notice";
    std::filesystem::create_directories(dir);
    const gui::ChildRun run = gui::run_console_child("notice:lbl_print_server", dir);
    ASSERT_TRUE(WIFEXITED(run.status)) << run.err;
    EXPECT_NE(run.err.find("Print server down: port 5187 unavailable"), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("#c01c28"), std::string::npos) << run.err;
}

// Every output of every page holds its longest value (its record field's whole
// width, or the longest text of its code table) whole, in its own font, at a till's
// two screen sizes, and no page needs to scroll sideways. Outputs too long for a
// panel show the text they cannot hold, wrapped, beneath, until they are emptied.
// KELVRA_SCREENSHOT_DIR keeps a picture of every page at each size.
struct ScreenSize {
    int width, height;
};
constexpr ScreenSize kScreens[] = {{1366, 768}, {1024, 768}};

int pango_width(GtkWidget* widget, const std::string& text) {
    PangoLayout* layout = gtk_widget_create_pango_layout(widget, text.c_str());
    int width = 0;
    pango_layout_get_pixel_size(layout, &width, nullptr);
    g_object_unref(layout);
    return width;
}

int right_edge(GtkWidget* widget) {
    int x = 0, y = 0;
    gtk_widget_translate_coordinates(widget, MainEcrWindow, gtk_widget_get_allocated_width(widget),
                                     0, &x, &y);
    return x;
}

void save_screenshot(const std::string& name) {
    const char* dir = g_getenv("KELVRA_SCREENSHOT_DIR");
    if (!dir)
        return;
    GdkWindow* window = gtk_widget_get_window(MainEcrWindow);
    GdkPixbuf* shot = gdk_pixbuf_get_from_window(window, 0, 0, gdk_window_get_width(window),
                                                 gdk_window_get_height(window));
    if (shot) {
        gdk_pixbuf_save(shot, (std::string(dir) + "/" + name + ".png").c_str(), "png", nullptr,
                        nullptr);
        g_object_unref(shot);
    }
}

TEST(WindowLook, EveryOutputShowsItsLongestValueWholeAtTillScreenSizes) {
    const auto& longest = longest_output_texts();
    GtkWidget* pages = own("nb_pages");
    ASSERT_TRUE(pages);
    int outputs = 0;
    {
        gui::Locked lock;
        for (GtkWidget* entry : gui::entries_named(""))
            if (const std::string id = gui::id_of(entry); !is_input(id)) {
                ++outputs;
                EXPECT_TRUE(longest.count(id)) << id << " has no longest value";
            }
        for (const auto& [id, text] : longest)
            if (GtkWidget** entry = widget_handle(id); entry && *entry && GTK_IS_ENTRY(*entry))
                gtk_entry_set_text(GTK_ENTRY(*entry), text.c_str());
    }
    const int start_width = gtk_widget_get_allocated_width(MainEcrWindow);
    const int start_height = gtk_widget_get_allocated_height(MainEcrWindow);
    int checked = 0;
    for (const ScreenSize& screen : kScreens) {
        const std::string size = std::to_string(screen.width) + "x" + std::to_string(screen.height);
        {
            gui::Locked lock;
            fit_columns_to_width(pages, screen.width);
            gtk_window_resize(GTK_WINDOW(MainEcrWindow), screen.width, screen.height);
        }
        const int pages_count = gtk_notebook_get_n_pages(GTK_NOTEBOOK(pages));
        for (int page = 0; page < pages_count; ++page) {
            {
                gui::Locked lock;
                gtk_notebook_set_current_page(GTK_NOTEBOOK(pages), page);
            }
            // Laid out: the window at its size, the lines shown beneath long outputs
            // given their width.
            gui::pump(100);
            gui::pump_until([&] {
                for (const auto& [id, text] : longest)
                    if (GtkWidget* line = wrapped_line_of(*widget_handle(id));
                        line && gtk_widget_get_mapped(line) &&
                        gtk_widget_get_allocated_width(line) <= 1)
                        return false;
                return gtk_widget_get_allocated_width(MainEcrWindow) == screen.width;
            }, 3000);
            gui::Locked lock;
            EXPECT_EQ(gtk_widget_get_allocated_width(MainEcrWindow), screen.width)
                << size << ": page " << page << " does not fit the screen's width";
            GtkWidget* shown = gtk_notebook_get_nth_page(GTK_NOTEBOOK(pages), page);
            for (const auto& [id, text] : longest) {
                GtkWidget* entry = *widget_handle(id);
                if (!entry || !GTK_IS_ENTRY(entry) || !gtk_widget_is_ancestor(entry, shown))
                    continue;
                SCOPED_TRACE(size + " " + id);
                ++checked;
                EXPECT_LE(right_edge(entry), screen.width);
                GdkRectangle area{};
                gtk_entry_get_text_area(GTK_ENTRY(entry), &area);
                if (area.width >= pango_width(entry, text))
                    continue;
                GtkWidget* line = wrapped_line_of(entry);
                if (!line || !gtk_widget_get_visible(line)) {
                    ADD_FAILURE() << "\"" << text << "\" cut";
                    continue;
                }
                EXPECT_EQ(gtk_label_get_text(GTK_LABEL(line)), text);
                EXPECT_LE(right_edge(line), screen.width);
                int line_width = 0;
                pango_layout_get_pixel_size(gtk_label_get_layout(GTK_LABEL(line)), &line_width,
                                            nullptr);
                EXPECT_LE(line_width, gtk_widget_get_allocated_width(line));
            }
            save_screenshot(size + (page < 10 ? "-page0" : "-page") + std::to_string(page));
        }
    }
    EXPECT_GT(checked, outputs); // every output, at both sizes
    gui::Locked lock;
    for (const auto& [id, text] : longest)
        if (GtkWidget** entry = widget_handle(id); entry && *entry && GTK_IS_ENTRY(*entry)) {
            gtk_entry_set_text(GTK_ENTRY(*entry), "");
            if (GtkWidget* line = wrapped_line_of(*entry)) {
                EXPECT_FALSE(gtk_widget_get_visible(line)) << id << ": emptied, line still shown";
            }
        }
    fit_columns_to_width(pages, start_width);
    gtk_window_resize(GTK_WINDOW(MainEcrWindow), start_width, start_height);
    gtk_notebook_set_current_page(GTK_NOTEBOOK(pages), 0);
}

// Every dialog of the console on a 1024 x 768 till without a window manager:
// inside the screen with its buttons, centred, with room for its content. "Save receipts" opened at 1096 x 822 without a parent, the Terminal
// page's choosers likewise, and the journal's export landed at (-36, -27).
struct DialogCase {
    const char* name;
    GtkWidget** button;
    void (*prepare)(); // null when the button alone opens it
};
const DialogCase kDialogs[] = {
    {"Save receipts", &btn_prn_save, nullptr},
    {"Choose a certificate", &btn_ssl_certificate_path, nullptr},
    {"Choose a log folder", &btn_log_folder_path, nullptr},
    {"Export the journal", &btn_jrn_export_csv, nullptr},
    {"No transaction type", &btn_start_txn, [] { gui::set_active(cmb_txn_type, -1); }},
};

TEST(WindowLook, EveryDialogFitsA1024x768ScreenOverTheMainWindow) {
    constexpr ScreenSize kScreen{1024, 768};
    const int start_width = gtk_widget_get_allocated_width(MainEcrWindow);
    const int start_height = gtk_widget_get_allocated_height(MainEcrWindow);
    GtkWidget* pages = own("nb_pages");
    {
        gui::Locked lock;
        fit_columns_to_width(pages, kScreen.width);
        gtk_window_move(GTK_WINDOW(MainEcrWindow), 0, 0);
        gtk_window_resize(GTK_WINDOW(MainEcrWindow), kScreen.width, kScreen.height);
    }
    ASSERT_TRUE(gui::pump_until(
        [] { return gtk_widget_get_allocated_width(MainEcrWindow) == kScreen.width; }));
    gui::answered_dialogs();
    gui::answer_dialogs(GTK_RESPONSE_CANCEL);
    for (const DialogCase& d : kDialogs) {
        SCOPED_TRACE(d.name);
        if (d.prepare)
            d.prepare();
        gui::click(*d.button);
        std::vector<gui::DialogAnswer> seen;
        ASSERT_TRUE(gui::pump_until([&] {
            for (gui::DialogAnswer& a : gui::answered_dialogs())
                seen.push_back(a);
            return !seen.empty() && !gui::dialog_open();
        }));
        const GdkRectangle& f = seen.front().frame;
        EXPECT_TRUE(seen.front().content_fits) << f.width << " x " << f.height;
        EXPECT_GE(f.x, 0);
        EXPECT_GE(f.y, 0);
        EXPECT_LE(f.x + f.width, kScreen.width) << f.x << " + " << f.width;
        EXPECT_LE(f.y + f.height, kScreen.height) << f.y << " + " << f.height;
        EXPECT_NEAR(f.x + f.width / 2, kScreen.width / 2, 2) << "centred";
        EXPECT_NEAR(f.y + f.height / 2, kScreen.height / 2, 2) << "centred";
    }
    gui::stop_answering_dialogs();
    gui::Locked lock;
    fit_columns_to_width(pages, start_width);
    gtk_window_resize(GTK_WINDOW(MainEcrWindow), start_width, start_height);
}

// A working folder the launcher could not use, and a PrinterState that cannot be
// written, are said in red beside the result line for as long as they last: the
// write's failure went unsaid, the folder's was on standard error only.
TEST(WindowLook, FilesTheConsoleCannotKeepAreSaidWhileItLasts) {
    GtkWidget* notice = own("lbl_files");
    ASSERT_TRUE(notice);
    g_setenv("KELVRA_WORKDIR_ERROR", "cannot create /nowhere/kelvra: Permission denied", TRUE);
    EXPECT_TRUE(gui::pump_until([&] { return gui::shown_label(notice) == "Working folder not used"; }))
        << gui::shown_label(notice);
    g_unsetenv("KELVRA_WORKDIR_ERROR");
    EXPECT_TRUE(gui::pump_until([&] { return gui::shown_label(notice).empty(); }));

    const char* const kept = g_printer_state_file;
    g_printer_state_file = "no-such-folder/PrinterState";
    gui::click(rbtn_prn_state_mp);
    EXPECT_TRUE(gui::pump_until([&] { return gui::shown_label(notice) == "PrinterState not saved"; }))
        << gui::shown_label(notice);
    EXPECT_EQ(gui::settled_color(notice, "#c01c28"), "#c01c28");
    {
        gui::Locked lock;
        gchar* tip = gtk_widget_get_tooltip_text(notice);
        EXPECT_NE(std::string(tip ? tip : "").find("no-such-folder"), std::string::npos);
        g_free(tip);
    }
    g_printer_state_file = kept;
    gui::click(rbtn_prn_state_ok);
    EXPECT_TRUE(gui::pump_until([&] { return gui::shown_label(notice).empty(); }))
        << gui::shown_label(notice);
}

// The result-code display and status colours on an entry of its own.
TEST(DisplayDiagnosisString, ShowsTheTextInItsColourUntilTheNextColour) {
    GtkWidget* entry = GTK_WIDGET(g_object_ref_sink(gtk_entry_new()));
    struct Case {
        short code;
        const char *text, *colour;
    };
    // Alternating colours, so that a colour that is not replaced shows.
    for (const Case& c : std::vector<Case>{{20, "Event Server Is Down", "#ff0000"},
                                           {0, "OK", "#008000"},
                                           {21, "Unknown", "#ff0000"},
                                           {0, "OK", "#008000"},
                                           {SHRT_MIN, "Unknown", "#ff0000"}}) {
        SCOPED_TRACE(c.code);
        display_diagnosis_string(entry, c.code);
        EXPECT_STREQ(c.text, gtk_entry_get_text(GTK_ENTRY(entry)));
        EXPECT_EQ(c.colour, gui::text_color(entry));
    }
    display_diagnosis_string(nullptr, 0);

    // A colour stays across new text until the next valid one.
    setColor(entry, "orange");
    gtk_entry_set_text(GTK_ENTRY(entry), "track 2 not read");
    setColor(entry, "no such colour");
    setColor(entry, nullptr);
    setColor(nullptr, "red");
    EXPECT_EQ("#ffa500", gui::text_color(entry));
    gtk_widget_destroy(entry);
    g_object_unref(entry);
}

} // namespace
