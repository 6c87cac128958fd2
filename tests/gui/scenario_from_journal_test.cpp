// Operations made by hand in the window, saved from the Journal page as a scenario,
// and played by kelvra-run on a simulated terminal that never saw them.
#include "ecr_Routines.h"
#include "gui_harness.h"
#include "journal.h"
#include "journal_store.h"
#include "test_env.h"
#include "test_util.h"
#include "ui_components.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace {

std::int64_t now_ms() { return g_get_real_time() / 1000; }

class ScenarioFromJournal : public SimStateTest {
  protected:
    void SetUp() override {
        SimStateTest::SetUp();
        std::string error;
        store_ = JournalStore::open(journal_path(test_work_dir()), &error);
        ASSERT_TRUE(store_) << error;
        gui::answer_dialogs(GTK_RESPONSE_OK); // the signature request's notice
    }
    void TearDown() override {
        gui::stop_answering_dialogs();
        gui::answered_dialogs();
        gui::click(btn_stop_ecr_event_server);
        gui::pump_until([] { return !WaitEventState && !StartStopEventServer; });
        SimStateTest::TearDown();
    }
    // Runs `operation` and the main loop until its entry is written and the window
    // is idle again.
    void run(const std::function<void()>& operation) {
        const std::int64_t before = store_->count({"", since_, {}});
        operation();
        ASSERT_TRUE(gui::pump_until([&] {
            journal_flush();
            return store_->count({"", since_, {}}) > before && !Txnstate && !DoSettlementState &&
                   !GetSettlementDataState;
        }));
    }
    static void transaction(int row, GtkWidget* input, const std::string& text) {
        gui::clear_transaction_inputs();
        gui::set_active(cmb_txn_type, row); // SALE, REFUND, VOID, ...
        gui::set_text(input, text);
        gui::click(btn_start_txn);
    }

    std::unique_ptr<JournalStore> store_;
    std::int64_t since_ = 0;
};

TEST_F(ScenarioFromJournal, OperationsMadeByHandReplayOnAFreshTerminal) {
    gui::click(btn_start_ecr_event_server);
    ASSERT_TRUE(gui::pump_until([] { return WaitEventState && !StartStopEventServer; }));
    since_ = now_ms();
    run([] { transaction(0, txt_txn_input_amount1, "4500"); });
    const std::string first_invoice = gui::text(txt_txn_output_invoice_num);
    run([] { transaction(1, txt_txn_input_amount1, "1000"); });
    run([] {
        transaction(0, txt_txn_input_amount1, "10011");
        ASSERT_TRUE(gui::wait_for_text(txt_Sign_Status, "Signature In Progress"));
        gui::click(rad_sign_ok);
    });
    run([&] { transaction(2, txt_txn_input_invoice_num, first_invoice); });
    EXPECT_EQ(gui::text(txt_txn_output_txn_status), "Authorised") << "the void of the first sale";
    run([] { gui::click(btn_get_settlement_data); });
    run([] { gui::click(btn_do_settlement); });
    const std::int64_t made = store_->count({"", since_, {}});
    gui::stop_answering_dialogs(); // the save dialog is answered below

    // The Journal page, these entries selected, "Save as scenario...".
    {
        gui::Locked lock;
        GtkNotebook* pages = GTK_NOTEBOOK(gtk_widget_get_parent(page_journal));
        gtk_notebook_set_current_page(pages, gtk_notebook_page_num(pages, page_journal));
    }
    const auto select_ours = [&] {
        GtkTreeSelection* selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(tv_jrn_list));
        gtk_tree_selection_unselect_all(selection);
        GtkTreeModel* model = GTK_TREE_MODEL(ls_journal);
        GtkTreeIter it;
        int selected = 0;
        for (bool ok = gtk_tree_model_get_iter_first(model, &it); ok;
             ok = gtk_tree_model_iter_next(model, &it)) {
            gint64 started = 0;
            gtk_tree_model_get(model, &it, 1, &started, -1);
            if (started >= since_) {
                gtk_tree_selection_select_iter(selection, &it);
                ++selected;
            }
        }
        return selected == made;
    };
    ASSERT_TRUE(gui::pump_until(select_ours)) << made << " entries not all listed";
    const std::string folder = g_getenv("HOME"); // the save dialog's folder
    for (const char* old : {"/by-hand.yaml", "/by-hand-golden", "/by-hand-terminal"})
        std::filesystem::remove_all(folder + old);
    gui::click(btn_jrn_save_scenario);
    GtkWidget* dialog = nullptr;
    ASSERT_TRUE(gui::pump_until([&] { return (dialog = gui::visible_file_chooser()); }));
    {
        gui::Locked lock;
        gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(dialog), "by-hand.yaml");
        gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
    }
    const std::string scenario = folder + "/by-hand.yaml";
    const std::string said = "Saved a scenario of " + std::to_string(made) + " steps to " + scenario;
    ASSERT_TRUE(gui::pump_until(
        [&] { return said == gtk_label_get_text(GTK_LABEL(lbl_jrn_export)); }))
        << gui::label_text(lbl_jrn_export);

    // Played by the runner on a terminal of its own (the window keeps the print port).
    const std::string state = folder + "/by-hand-terminal";
    std::filesystem::create_directories(state);
    gchar** env = g_get_environ();
    env = g_environ_setenv(env, "KORVEX_SIM_STATE_DIR", state.c_str(), TRUE);
    env = g_environ_setenv(env, "KORVEX_SIM_DELAY", "0", TRUE);
    for (const char* tester_switch :
         {"KORVEX_SIM_HOST_DOWN", "KORVEX_SIM_DISABLED_APPS", "KORVEX_SIM_SWIPE"})
        env = g_environ_unsetenv(env, tester_switch);
    const std::string runner = KELVRA_BINARY_DIR "kelvra-run";
    const std::string report = state + "/report.xml";
    const gchar* argv[] = {runner.c_str(), "--print-port", "5191",         "--no-journal",
                           "--junit",      report.c_str(), scenario.c_str(), nullptr};
    gchar* out = nullptr;
    gchar* err = nullptr;
    gint status = -1;
    GError* error = nullptr;
    const bool spawned = g_spawn_sync(nullptr, const_cast<gchar**>(argv), env, G_SPAWN_DEFAULT,
                                      nullptr, nullptr, &out, &err, &status, &error);
    g_strfreev(env);
    ASSERT_TRUE(spawned) << (error ? error->message : "");
    EXPECT_TRUE(g_spawn_check_wait_status(status, nullptr))
        << out << err << "\n--- the scenario:\n" << read_file(scenario);
    g_free(out);
    g_free(err);
}

} // namespace
