// The Journal page driven by widget id over entries written straight into the
// console's journal. Each test keeps to days of its own (in 2021), so the entries of
// the other tests and of the operations that other tests run never match. What a
// search matches and what an exported file holds field by field are the store's
// tests; here the page must ask the store for what the operator typed and show, or
// export, all of what it gets.
#include "activity.h"
#include "end_of_day.h"
#include "transactions.h"
#include "gui_harness.h"
#include "journal.h"
#include "journal_json.h"
#include "journal_page.h"
#include "journal_store.h"
#include "fields.h"
#include "test_env.h"
#include "test_util.h"
#include "ui_components.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::unique_ptr<JournalStore> open_journal() {
    std::string error;
    std::unique_ptr<JournalStore> store = JournalStore::open(journal_path(test_work_dir()), &error);
    EXPECT_TRUE(store) << error;
    return store;
}

// Local time of a day of 2021 ("2021-03-01") and a time of that day.
std::int64_t at(const char* day, int hour, int minute = 0, int second = 0) {
    int y = 0, m = 0, d = 0;
    std::sscanf(day, "%d-%d-%d", &y, &m, &d);
    GDateTime* t = g_date_time_new_local(y, m, d, hour, minute, second);
    const std::int64_t ms = g_date_time_to_unix(t) * 1000;
    g_date_time_unref(t);
    return ms;
}

JournalEntry entry(std::int64_t started_ms, std::string operation, std::string amount,
                   std::string invoice) {
    JournalEntry e;
    e.started_ms = started_ms;
    e.ended_ms = started_ms + 1500;
    e.operation = std::move(operation);
    e.amount = std::move(amount);
    e.invoice = std::move(invoice);
    e.status = "Approved";
    e.result_code = 0;
    e.result_text = "OK";
    e.request = {{"Transaction_in", {{"Amount1", e.amount}, {"InvoiceNumber", e.invoice}}}};
    return e;
}

void write(std::vector<JournalEntry> entries) {
    std::unique_ptr<JournalStore> store = open_journal();
    ASSERT_TRUE(store);
    std::string error;
    for (JournalEntry& e : entries)
        ASSERT_TRUE(store->append(e, &error)) << error;
}

// The ids of the entries from `day` to the day `to` (excluded), newest first.
std::vector<std::int64_t> stored_ids(const char* day, const char* to) {
    std::vector<std::int64_t> ids;
    for (const JournalEntry& e : open_journal()->find({"", at(day, 0), at(to, 0)}, nullptr, 1000))
        ids.push_back(e.id);
    return ids;
}

struct Row {
    std::int64_t id;
    std::string started, operation, amount, status, result, invoice;
};

std::vector<Row> rows_locked() {
    std::vector<Row> rows;
    GtkTreeModel* model = GTK_TREE_MODEL(ls_journal);
    GtkTreeIter it;
    for (bool ok = gtk_tree_model_get_iter_first(model, &it); ok;
         ok = gtk_tree_model_iter_next(model, &it)) {
        gint64 id = 0;
        gchar* texts[6] = {};
        gtk_tree_model_get(model, &it, 0, &id, 2, &texts[0], 3, &texts[1], 4, &texts[2], 5,
                           &texts[3], 6, &texts[4], 7, &texts[5], -1);
        rows.push_back({id, texts[0], texts[1], texts[2], texts[3], texts[4], texts[5]});
        for (gchar* t : texts)
            g_free(t);
    }
    return rows;
}

std::vector<std::string> invoices_locked() {
    std::vector<std::string> invoices;
    for (const Row& r : rows_locked())
        invoices.push_back(r.invoice);
    return invoices;
}

std::string count_locked() {
    return gtk_label_get_text(GTK_LABEL(lbl_jrn_count));
}

void select_first_row_locked() {
    GtkTreePath* path = gtk_tree_path_new_first();
    gtk_tree_view_set_cursor(GTK_TREE_VIEW(tv_jrn_list), path, nullptr, FALSE);
    gtk_tree_path_free(path);
}

class JournalPage : public testing::Test {
  protected:
    void SetUp() override {
        gui::stop_answering_dialogs();
        gui::show_page(page_journal);
    }
    void TearDown() override {
        gui::search_journal("");
        gui::show_start_page();
    }
};

TEST_F(JournalPage, SearchListsWhatTheStoreFindsForTheTextAndDays) {
    const char* day = "2021-03-01";
    write({entry(at(day, 9), "SALE", "1250", "000101"),
           entry(at(day, 10), "REFUND", "1250", "000102"),
           entry(at(day, 11), "SALE", "125", "000103"),
           entry(at("2021-03-02", 9), "SALE", "1250", "000104")});
    gui::search_journal("12.50", day, day);
    {
        gui::Locked lock;
        EXPECT_EQ(invoices_locked(), (std::vector<std::string>{"000102", "000101"}));
        EXPECT_EQ(count_locked(), "2 entries");
        // Typing alone, without Enter, searches too.
        gtk_entry_set_text(GTK_ENTRY(txt_jrn_search), "000101");
    }
    ASSERT_TRUE(gui::pump_until([] { return count_locked() == "1 entry"; }, 3000));
    gui::Locked lock;
    const std::vector<Row> rows = rows_locked();
    ASSERT_EQ(rows.size(), 1u);
    const Row& r = rows[0];
    EXPECT_EQ((std::vector<std::string>{r.started, r.operation, r.amount, r.status, r.result}),
              (std::vector<std::string>{"2021-03-01 09:00:00", "SALE", "12.50", "Approved", "OK"}));
}

TEST_F(JournalPage, DateRangeIncludesBothDaysAndABadDateSaysSo) {
    write({entry(at("2021-04-01", 10), "SALE", "100", "RNG-A"),
           entry(at("2021-04-02", 0), "SALE", "100", "RNG-B"),
           entry(at("2021-04-02", 23, 59, 59), "SALE", "100", "RNG-C"),
           entry(at("2021-04-03", 0), "SALE", "100", "RNG-D")});
    static const struct {
        const char* from;
        const char* to;
        std::vector<std::string> invoices;
        const char* problem; // what the count label says instead, or null
    } kCases[] = {
        {"2021-04-02", "2021-04-02", {"RNG-C", "RNG-B"}, nullptr},
        {"2021-04-02", "", {"RNG-D", "RNG-C", "RNG-B"}, nullptr},
        {"", "2021-04-01", {"RNG-A"}, nullptr},
        {" 2021-04-01 ", "2021-04-03", {"RNG-D", "RNG-C", "RNG-B", "RNG-A"}, nullptr},
        {"2021-02-30", "", {}, "From \"2021-02-30\" is not a date: type it as YYYY-MM-DD"},
        {"", "4/2/2021", {}, "To \"4/2/2021\" is not a date: type it as YYYY-MM-DD"},
        {"2021-04-03", "2021-04-01", {}, "From is after To"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(std::string(c.from) + " .. " + c.to);
        gui::search_journal("RNG-", c.from, c.to);
        gui::Locked lock;
        EXPECT_EQ(invoices_locked(), c.invoices);
        EXPECT_EQ(count_locked(), c.problem ? c.problem : entries_text(c.invoices.size()));
        const bool bad_from = c.problem && std::string(c.problem).starts_with("From \"");
        EXPECT_EQ(gtk_style_context_has_class(gtk_widget_get_style_context(txt_jrn_from), "error"),
                  bad_from);
    }
}

TEST_F(JournalPage, ScrollingLoadsTheNextPagesWithoutGapsOrRepeats) {
    const char* day = "2021-05-01";
    std::vector<JournalEntry> entries;
    for (int i = 0; i < 450; ++i) // pairs share a start: the order within one millisecond counts
        entries.push_back(entry(at(day, 8) + (i / 2) * 1000, "SALE", "100", std::to_string(i)));
    write(entries);
    gui::search_journal("", day, day);
    const std::vector<std::int64_t> expected = stored_ids(day, "2021-05-02");
    ASSERT_EQ(expected.size(), 450u);
    GtkAdjustment* scroll = nullptr;
    {
        gui::Locked lock;
        scroll = gtk_scrolled_window_get_vadjustment(GTK_SCROLLED_WINDOW(sw_jrn_list));
        EXPECT_EQ(rows_locked().size(), 200u) << "one page at first";
    }
    const auto scroll_down = [&] {
        gtk_adjustment_set_value(scroll, gtk_adjustment_get_upper(scroll));
        return rows_locked().size() >= 450;
    };
    ASSERT_TRUE(gui::pump_until(scroll_down));
    gui::pump_until(scroll_down); // once more at the end: nothing more to load
    gui::pump(200);
    gui::Locked lock;
    std::vector<std::int64_t> shown;
    for (const Row& r : rows_locked())
        shown.push_back(r.id);
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(count_locked(), "450 entries");
    // Another search starts again at its newest entry.
    g_signal_emit_by_name(txt_jrn_search, "activate");
    EXPECT_EQ(rows_locked().size(), 200u);
    EXPECT_EQ(gtk_adjustment_get_value(scroll), 0);
}

TEST_F(JournalPage, DetailShowsRecordsQuestionsAndReceiptOfTheSelectedEntry) {
    const char* day = "2021-06-01";
    JournalEntry e = entry(at(day, 15, 30), "SALE", "4210", "000777");
    e.response = {{"Receipt_out", {{"AuthCode", "A1B2C3"}}}};
    e.questions = {{at(day, 15, 30, 5), "Signature", "Accepted", {{"CardholderName", "J DOE"}}}};
    e.receipt = {"  MERCHANT COPY", "THANK YOU"};
    Transaction_in in{};
    field_copy(in.Amount1In, "000000004210");
    e.calls = {{"Transaction_Launch", e.started_ms + 10, e.started_ms + 900, "Transaction_in",
                masked_record_bytes(record_desc<Transaction_in>(), &in), "", ""}};
    write({entry(at(day, 15), "SALE", "100", "000776"), e});
    gui::search_journal("", day, day);
    {
        gui::Locked lock;
        select_first_row_locked(); // the newest: the entry above
    }
    const std::string detail =
        gui::buffer_text(gtk_text_view_get_buffer(GTK_TEXT_VIEW(tv_jrn_detail)));
    for (const char* part : {"2021-06-01 15:30:00", "42.10", "000777", "Request: Transaction_in",
                             "Response: Receipt_out", "A1B2C3", "Signature", "Accepted",
                             "2021-06-01 15:30:05", "J DOE", "\n  MERCHANT COPY\nTHANK YOU\n"})
        EXPECT_NE(detail.find(part), std::string::npos) << part << "\nin:\n" << detail;
    EXPECT_EQ(detail.find("000776"), std::string::npos) << "the other entry's detail";

    // The call: its request field by field; clicking a field marks its bytes in hex.
    gui::Locked lock;
    gchar* call = gtk_combo_box_text_get_active_text(GTK_COMBO_BOX_TEXT(cmb_jrn_call));
    EXPECT_NE(std::string(call ? call : "").find("Transaction_Launch"), std::string::npos);
    g_free(call);
    GtkTreeModel* fields = gtk_tree_view_get_model(GTK_TREE_VIEW(tv_jrn_call_request));
    const std::size_t offset = offsetof(Transaction_in, Amount1In);
    GtkTreeIter it;
    bool found = false;
    for (bool ok = gtk_tree_model_get_iter_first(fields, &it); ok && !found;
         ok = gtk_tree_model_iter_next(fields, &it)) {
        gchar *name = nullptr, *value = nullptr;
        gtk_tree_model_get(fields, &it, 0, &name, 2, &value, -1);
        found = std::string(name) == "Amount1In" && std::string(value) == "000000004210";
        g_free(name);
        g_free(value);
    }
    ASSERT_TRUE(found);
    GtkTreePath* path = gtk_tree_model_get_path(fields, &it);
    gtk_tree_path_prev(path); // the loop stepped past it
    gtk_tree_view_set_cursor(GTK_TREE_VIEW(tv_jrn_call_request), path, nullptr, FALSE);
    gtk_tree_path_free(path);
    EXPECT_NE(std::string(gtk_label_get_text(GTK_LABEL(lbl_jrn_call_field)))
                  .find("Amount1In: offset " + std::to_string(offset)),
              std::string::npos);
    GtkTextBuffer* hex = gtk_text_view_get_buffer(GTK_TEXT_VIEW(tv_jrn_call_hex));
    GtkTextTag* mark = gtk_text_tag_table_lookup(gtk_text_buffer_get_tag_table(hex), "field");
    std::string marked;
    GtkTextIter at_char;
    for (gtk_text_buffer_get_start_iter(hex, &at_char); !gtk_text_iter_is_end(&at_char);
         gtk_text_iter_forward_char(&at_char))
        if (gtk_text_iter_has_tag(&at_char, mark))
            marked += static_cast<char>(gtk_text_iter_get_char(&at_char));
    // Its thirteen bytes (the digits, then the terminator), line by line, as hex and
    // as characters.
    EXPECT_EQ(marked, "30 30 30 30 30" "00000" "30 30 30 34 32 31 30 00" "0004210.");
}

// Both formats through their dialogs: every matching entry, not only the rows loaded,
// and no other. The files' contents are the export's own tests.
TEST_F(JournalPage, ExportWritesEveryMatchingEntryNotOnlyTheLoadedRows) {
    const char* day = "2021-07-01";
    std::vector<JournalEntry> entries;
    for (int i = 0; i < 250; ++i)
        entries.push_back(entry(at(day, 7) + i * 60'000, "SALE", "1000", std::to_string(i)));
    entries.push_back(entry(at("2021-07-02", 7), "SALE", "1000", "next day"));
    write(entries);
    gui::search_journal("", day, day);
    const std::vector<std::int64_t> expected = stored_ids(day, "2021-07-02");
    ASSERT_EQ(expected.size(), 250u);
    for (const bool csv : {true, false}) {
        SCOPED_TRACE(csv ? "CSV" : "JSON lines");
        const std::string name = csv ? "journal-export.csv" : "journal-export.jsonl";
        const std::string path = std::string(g_getenv("HOME")) + "/" + name;
        gui::choose_file(csv ? btn_jrn_export_csv : btn_jrn_export_json, g_getenv("HOME"), name,
                         GTK_RESPONSE_ACCEPT, [](GtkWidget* dialog) {
                             gui::Locked lock;
                             EXPECT_TRUE(gtk_file_chooser_get_do_overwrite_confirmation(
                                 GTK_FILE_CHOOSER(dialog)));
                         });
        const std::string said = "Exported 250 entries to " + path;
        ASSERT_TRUE(gui::pump_until([&] {
            return std::string(gtk_label_get_text(GTK_LABEL(lbl_jrn_export))) == said;
        })) << gui::label_text(lbl_jrn_export);
        std::vector<std::int64_t> ids;
        if (csv) {
            const auto records = read_csv(read_file(path));
            for (std::size_t i = 1; i < records.size(); ++i)
                ids.push_back(std::stoll(records[i].at(0)));
        } else {
            std::istringstream lines(read_file(path));
            for (std::string line; std::getline(lines, line);) {
                const std::optional<JournalEntry> e = entry_from_json_line(line);
                ASSERT_TRUE(e) << line;
                ids.push_back(e->id);
            }
        }
        EXPECT_EQ(ids, expected);
    }
}

TEST_F(JournalPage, KeepDaysShowsAndSavesTheJournalsSetting) {
    gui::search_journal("", "", "");
    const int before = open_journal()->keep_days();
    EXPECT_EQ(gui::text(spn_jrn_keep_days), std::to_string(before));
    for (int days : {30, 3650, before}) {
        gui::set_spin(spn_jrn_keep_days, days);
        EXPECT_TRUE(gui::pump_until([&] { return open_journal()->keep_days() == days; })) << days;
    }
}

// An entry the recorder writes while the page shows the newest entries appears
// without the operator doing anything, and the entry selected stays selected.
TEST_F(JournalPage, NewEntriesAppearAtTheTopKeepingTheSelection) {
    write({entry(at("2021-08-01", 9), "SALE", "300", "N-1")});
    gui::search_journal("", "", "");
    std::int64_t selected = 0;
    {
        gui::Locked lock;
        select_first_row_locked();
        selected = rows_locked().front().id;
    }
    { OperationActivity written("JournalPage new entry"); }
    journal_flush();
    ASSERT_TRUE(gui::pump_until([] {
        const std::vector<Row> rows = rows_locked();
        return !rows.empty() && rows.front().operation == "JournalPage new entry";
    })) << "the new entry is not listed";
    gui::Locked lock;
    GList* paths = gtk_tree_selection_get_selected_rows(
        gtk_tree_view_get_selection(GTK_TREE_VIEW(tv_jrn_list)), nullptr);
    ASSERT_EQ(g_list_length(paths), 1u);
    const int row = gtk_tree_path_get_indices(static_cast<GtkTreePath*>(paths->data))[0];
    g_list_free_full(paths, reinterpret_cast<GDestroyNotify>(gtk_tree_path_free));
    EXPECT_EQ(rows_locked().at(row).id, selected);
}

// A journal file that is no journal: the window says so once, beside the result
// line, and the page says why; a sale shows what it shows with a journal.
TEST(JournalPageNotice, CorruptJournalIsToldOnTheWindowAndThePage) {
    const std::string dir = test_work_dir() + "/journal-notice";
    std::filesystem::create_directories(dir);
    std::ofstream(journal_path(dir), std::ios::binary) << std::string(4096, '\x5a');
    const gui::ChildRun run = gui::run_console_child("notice:lbl_journal", dir);
    ASSERT_TRUE(WIFEXITED(run.status)) << run.err;
    for (const std::string& said : std::vector<std::string>{
             "notice: Running without a journal\n",
             "tooltip: " + journal_path(dir) + ": file is not a database",
             "page: Running without a journal: the operations work",
             "shown txt_request_output=OK\n", "shown txt_txn_output_txn_status=Authorised\n",
             "shown txt_txn_output_total_amount=000000001250\n", "journal not kept\n"})
        EXPECT_NE(run.err.find(said), std::string::npos) << said << "\nin:\n" << run.err;
    EXPECT_EQ(run.err.find("page: list"), std::string::npos) << run.err;
}

// Operations made by hand in the window, saved from the Journal page as a scenario,
// and played by kelvra-run on a simulated terminal that never saw them.
class ScenarioFromJournal : public SimStateTest {
  protected:
    void TearDown() override {
        gui::stop_answering_dialogs();
        gui::answered_dialogs();
        gui::event_server(false);
        gui::show_start_page();
        SimStateTest::TearDown();
    }
};

TEST_F(ScenarioFromJournal, OperationsMadeByHandReplayOnAFreshTerminal) {
    std::string error;
    const auto store = JournalStore::open(journal_path(test_work_dir()), &error);
    ASSERT_TRUE(store) << error;
    gui::answer_dialogs(GTK_RESPONSE_OK); // the signature request's notice
    ASSERT_TRUE(gui::event_server(true));
    const JournalQuery ours{"", g_get_real_time() / 1000, {}};
    // Each operation, then the main loop until its entry is written and the window idle.
    const auto run = [&](int txn_row, GtkWidget* input, const std::string& text, GtkWidget* button) {
        const std::int64_t before = store->count(ours);
        if (txn_row >= 0)
            gui::start_transaction(txn_row, {{input, text}}); // SALE, REFUND, VOID, ...
        else
            gui::click(button);
        if (text == "10011") {
            ASSERT_TRUE(gui::wait_for_text(txt_Sign_Status, "Signature In Progress"));
            gui::click(rad_sign_ok);
        }
        // No flush: the entry is written once its receipt's last lines had their time to
        // come, as it is for the cashier; a flush would close it before a late line.
        ASSERT_TRUE(gui::pump_until([&] {
            return store->count(ours) > before && !Txnstate && !DoSettlementState &&
                   !GetSettlementDataState;
        }));
    };
    run(0, txt_txn_input_amount1, "4500", btn_start_txn);
    const std::string first_invoice = gui::text(txt_txn_output_invoice_num);
    run(1, txt_txn_input_amount1, "1000", btn_start_txn);
    run(0, txt_txn_input_amount1, "10011", btn_start_txn);
    run(2, txt_txn_input_invoice_num, first_invoice, btn_start_txn);
    EXPECT_EQ(gui::text(txt_txn_output_txn_status), "Authorised") << "the void of the first sale";
    run(-1, nullptr, "", btn_get_settlement_data);
    run(-1, nullptr, "", btn_do_settlement);
    const std::int64_t made = store->count(ours);
    gui::stop_answering_dialogs(); // the save dialog is answered below

    // The Journal page, these entries selected, "Save as scenario...".
    gui::show_page(page_journal);
    ASSERT_TRUE(gui::pump_until([&] {
        GtkTreeSelection* selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(tv_jrn_list));
        gtk_tree_selection_unselect_all(selection);
        GtkTreeIter it;
        int selected = 0;
        for (bool ok = gtk_tree_model_get_iter_first(GTK_TREE_MODEL(ls_journal), &it); ok;
             ok = gtk_tree_model_iter_next(GTK_TREE_MODEL(ls_journal), &it)) {
            gint64 started = 0;
            gtk_tree_model_get(GTK_TREE_MODEL(ls_journal), &it, 1, &started, -1);
            if (started >= *ours.from_ms && ++selected)
                gtk_tree_selection_select_iter(selection, &it);
        }
        return selected == made;
    })) << made << " entries not all listed";
    const std::string home = g_getenv("HOME"); // the save dialog's folder
    for (const char* old : {"/by-hand.yaml", "/by-hand-golden", "/by-hand-terminal"})
        std::filesystem::remove_all(home + old);
    gui::choose_file(btn_jrn_save_scenario, "", "by-hand.yaml");
    const std::string scenario = home + "/by-hand.yaml";
    const std::string said = "Saved a scenario of " + std::to_string(made) + " steps to " + scenario;
    ASSERT_TRUE(gui::pump_until(
        [&] { return said == gtk_label_get_text(GTK_LABEL(lbl_jrn_export)); }))
        << gui::label_text(lbl_jrn_export);

    // Played by the runner on a terminal of its own (the window keeps the print port).
    const std::string state = home + "/by-hand-terminal";
    std::filesystem::create_directories(state);
    gchar** env = g_environ_setenv(g_get_environ(), "KORVEX_SIM_STATE_DIR", state.c_str(), TRUE);
    for (const char* tester_switch :
         {"KORVEX_SIM_HOST_DOWN", "KORVEX_SIM_DISABLED_APPS", "KORVEX_SIM_SWIPE"})
        env = g_environ_unsetenv(env, tester_switch);
    const std::string runner = KELVRA_BINARY_DIR "kelvra-run", report = state + "/report.xml";
    const gchar* argv[] = {runner.c_str(), "--print-port", "5191", "--no-journal", "--junit",
                           report.c_str(), scenario.c_str(), nullptr};
    gchar *out = nullptr, *err = nullptr;
    gint status = -1;
    ASSERT_TRUE(g_spawn_sync(nullptr, const_cast<gchar**>(argv), env, G_SPAWN_DEFAULT, nullptr,
                             nullptr, &out, &err, &status, nullptr));
    g_strfreev(env);
    EXPECT_TRUE(g_spawn_check_wait_status(status, nullptr))
        << out << err << "\n--- the scenario:\n" << read_file(scenario);
    g_free(out);
    g_free(err);
}

} // namespace
