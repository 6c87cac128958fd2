// Operations made by hand in the window, saved from the Journal page as a scenario,
// and played by kelvra-run on a simulated terminal that never saw them.
#include "end_of_day.h"
#include "transactions.h"
#include "gui_harness.h"
#include "journal_store.h"
#include "test_env.h"
#include "test_util.h"
#include "ui_components.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

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
