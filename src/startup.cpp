// Start-up and shut-down of the main window.
#include "startup.h"

#include "common_Routines.h"
#include "end_of_day.h"
#include "receipt_view.h"
#include "terminal_events.h"
#include "terminal_management.h"
#include "transactions.h"
#include "value_added.h"
#include "fields.h"
#include "gdk_lock.h"
#include "korvex.h"
#include "print_server.h"
#include "signals.h"
#include "ui_components.h"
#include "journal.h"
#include "journal_page.h"
#include "journal_store.h"
#include "kelvra_version.h"
#include "window_look.h"

#include <glib-unix.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <iterator>
#include <string>
#include <thread>

const char* g_ui_dir = KELVRA_UI_DIR;

namespace {

constexpr const char* kProgramName = "kelvra";
constexpr const char* kProgramVersion = KELVRA_TITLE_VERSION;

// The signal connections of the main window, in the order they are made.
struct Connection {
    GtkWidget** widget;
    const char* signal;
    GCallback handler;
};

const Connection kConnections[] = {
    {&MainEcrWindow, "destroy", G_CALLBACK(Application_closed)},
    {&btn_start_txn, "clicked", G_CALLBACK(btn_doTransaction_clicked)},
    {&cmb_exr_rec_nbr, "changed", G_CALLBACK(cmb_exr_rec_nbr_changed)},
    {&btn_exr_do_exr_update, "clicked", G_CALLBACK(btn_exr_do_exr_update_Clicked)},
    {&btn_set_ip_address, "clicked", G_CALLBACK(btn_set_ip_address_clicked)},
    {&btn_ssl_certificate_path, "clicked", G_CALLBACK(btn_ssl_certificate_path_clicked)},
    {&btn_set_ssl_certificate, "clicked", G_CALLBACK(btn_set_ssl_certificate_clicked)},
    {&btn_set_passw, "clicked", G_CALLBACK(btn_set_passw_clicked)},
    {&btn_check_eligibilit, "clicked", G_CALLBACK(btn_check_eligibility_clicked)},
    {&btn_ped_authentication, "clicked", G_CALLBACK(btn_PedAuth_clicked)},
    {&btn_read_mag_card_tracks, "clicked", G_CALLBACK(btn_ReadTracks_clicked)},
    {&btn_print_information, "clicked", G_CALLBACK(btn_PrintInfo_clicked)},
    {&btn_get_status, "clicked", G_CALLBACK(btn_GetStatus_clicked)},
    {&btn_set_terminal_date_time, "clicked", G_CALLBACK(btn_SetTime_clicked)},
    {&btn_get_last_txn_data, "clicked", G_CALLBACK(btn_get_last_txn_clicked)},
    {&btn_start_ecr_event_server, "clicked", G_CALLBACK(btn_StartEventServer_clicked)},
    {&btn_stop_ecr_event_server, "clicked", G_CALLBACK(btn_StopEventServer_clicked)},
    {&btn_check_application_enablement, "clicked",
     G_CALLBACK(btn_check_application_enablement_Clicked)},
    {&cmb_settlement_record_num, "changed", G_CALLBACK(cmb_settlement_record_num_changed)},
    {&btn_do_settlement, "clicked", G_CALLBACK(btn_do_settlement_Clicked)},
    {&btn_get_settlement_data, "clicked", G_CALLBACK(btn_get_settlement_data_Clicked)},
    {&rad_print_txn_receipt_disabled, "clicked", G_CALLBACK(rad_print_txn_receipt_clicked)},
    {&rad_print_txn_receipt_enabled, "clicked", G_CALLBACK(rad_print_txn_receipt_clicked)},
    {&rad_sign_nok, "clicked", G_CALLBACK(rad_sign_clicked)},
    {&rad_sign_ok, "clicked", G_CALLBACK(rad_sign_clicked)},
    {&btn_adjust_tip_amount, "clicked", G_CALLBACK(btn_adjust_tip_amount_Clicked)},
    {&btn_tfr_inp_start_tax_free, "clicked", G_CALLBACK(btn_tfr_inp_start_tax_free_Clicked)},
    {&btn_pe_set_donation_mode, "clicked", G_CALLBACK(btn_pe_set_donation_mode_clicked)},
    {&btn_pe_get_pennies_config, "clicked", G_CALLBACK(btn_pe_get_pennies_config_clicked)},
    {&cmb_mt_cfg_rec_nbr, "changed", G_CALLBACK(cmb_mt_cfg_rec_nbr_changed)},
    {&cmb_mt_txn_resp_rec_nbr, "changed", G_CALLBACK(cmb_mt_txn_resp_rec_nbr_changed)},
    {&btn_mt_cfg_get_config, "clicked", G_CALLBACK(btn_mt_cfg_get_config_clicked)},
    {&btn_mt_txn_do_transaction, "clicked", G_CALLBACK(btn_mt_txn_do_transaction_clicked)},
    {&cmb_mtu_set_resp_rec_nbr, "changed", G_CALLBACK(cmb_mtu_set_resp_rec_nbr_changed)},
    {&btn_mtu_set_req_do_set, "clicked", G_CALLBACK(btn_mtu_set_req_do_set_clicked)},
    {&rbtn_prn_state_ok, "clicked", G_CALLBACK(rbtn_prn_state_clicked)},
    {&rbtn_prn_state_mp, "clicked", G_CALLBACK(rbtn_prn_state_clicked)},
    {&rbtn_prn_state_err, "clicked", G_CALLBACK(rbtn_prn_state_clicked)},
    {&btn_prn_clear, "clicked", G_CALLBACK(btn_clear_print_clicked)},
    {&btn_prn_save, "clicked", G_CALLBACK(btn_save_print_clicked)},
    {&btn_prn_print, "clicked", G_CALLBACK(btn_prn_print_clicked)},
    {&btn_prn_export_pdf, "clicked", G_CALLBACK(btn_prn_export_pdf_clicked)},
    {&btn_log_folder_path, "clicked", G_CALLBACK(btn_log_folder_path_clicked)},
    {&btn_set_logFile_folder_path, "clicked", G_CALLBACK(btn_set_logFile_folder_path_clicked)},
    {&checkbtn_trace_tlv_enablement, "clicked", G_CALLBACK(checkbtn_trace_tlv_enablement_clicked)},
    {&page_journal, "map", G_CALLBACK(jrn_page_mapped)},
    {&txt_jrn_search, "changed", G_CALLBACK(jrn_query_changed)},
    {&txt_jrn_search, "activate", G_CALLBACK(jrn_query_activated)},
    {&txt_jrn_from, "changed", G_CALLBACK(jrn_query_changed)},
    {&txt_jrn_from, "activate", G_CALLBACK(jrn_query_activated)},
    {&txt_jrn_to, "changed", G_CALLBACK(jrn_query_changed)},
    {&txt_jrn_to, "activate", G_CALLBACK(jrn_query_activated)},
    {&tv_jrn_list, "cursor-changed", G_CALLBACK(jrn_list_cursor_changed)},
    {&btn_jrn_export_csv, "clicked", G_CALLBACK(btn_jrn_export_csv_clicked)},
    {&btn_jrn_export_json, "clicked", G_CALLBACK(btn_jrn_export_json_clicked)},
    {&btn_jrn_print_receipt, "clicked", G_CALLBACK(btn_jrn_print_receipt_clicked)},
    {&btn_jrn_export_receipt_pdf, "clicked", G_CALLBACK(btn_jrn_export_receipt_pdf_clicked)},
    {&btn_jrn_save_scenario, "clicked", G_CALLBACK(btn_jrn_save_scenario_clicked)},
    {&spn_jrn_keep_days, "value-changed", G_CALLBACK(spn_jrn_keep_days_changed)},
};

// The entries whose text is kept in the settings file, in the record's order.
struct SavedEntry {
    GtkWidget** entry;
    char* field;
    std::size_t width;
};

#define SAVED(entry, field) {&entry, g_SettingStruct.field, sizeof g_SettingStruct.field}
const SavedEntry kSavedEntries[] = {
    SAVED(txt_txn_input_amount1_label, Amount1Label),
    SAVED(txt_txn_input_amount2_label, Amount2Label),
    SAVED(txt_txn_input_amount3_label, Amount3Label),
    SAVED(txt_txn_input_amount4_label, Amount4Label),
    SAVED(txt_txn_input_custom_line1, CustomLine1),
    SAVED(txt_txn_input_cashier_id, CashierId),
    SAVED(txt_txn_input_table_id, TableId),
    SAVED(txt_new_ip_address, TerminalIPAddress),
    SAVED(txt_ssl_certificate_path, CertificationPath),
    SAVED(txt_new_folder_path, LogFileFolderPath),
    SAVED(txt_mt_txn_csh_id, MobileTopupCashierId),
    SAVED(txt_mt_txn_gsm_pwd, MobileTopupGSMPw),
    SAVED(txt_tfr_inp_form_nbr, TFRFormNumber),
};
#undef SAVED

GtkTextBuffer* text_buffer_of(GtkWidget* view) {
    return view ? gtk_text_view_get_buffer(GTK_TEXT_VIEW(view)) : nullptr;
}

void create_bold_tag(GtkTextBuffer* buffer) {
    if (buffer)
        gtk_text_buffer_create_tag(buffer, "BOLD", "font", "Courier New 10", "weight", 700,
                                   nullptr);
}

void set_spin_range(GtkWidget* spin, double low, double high) {
    if (!spin)
        return;
    gtk_spin_button_set_increments(GTK_SPIN_BUTTON(spin), 1, 0);
    gtk_spin_button_set_range(GTK_SPIN_BUTTON(spin), low, high);
}

void set_sensitive(GtkWidget* widget, bool sensitive) {
    if (widget)
        gtk_widget_set_sensitive(widget, sensitive);
}

void prepare_widgets() {
    buf_host_msg = text_buffer_of(txt_txn_output_text_msg);
    create_bold_tag(buf_host_msg);
    set_sensitive(btn_set_ssl_certificate, false); // until a certificate file is chosen
    buf_print_information = text_buffer_of(txt_print_information_buffer);
    set_spin_range(spbtn_get_terminal_status_per_time, 1, 99);
    set_spin_range(sp_dt_hour, 0, 23);
    set_spin_range(sp_dt_min, 0, 59);
    set_spin_range(sp_dt_sec, 0, 59);
    set_time_from_system();
    set_sensitive(txt_Sign_Status, false); // it only displays
    buf_mt_cfg_custom_text = text_buffer_of(tv_mt_cfg_custom_text);
    create_bold_tag(buf_mt_cfg_custom_text);
    buf_print_job = text_buffer_of(txt_do_print_job);
    set_sensitive(btn_set_logFile_folder_path, true);
}

// Ctrl+C (SIGINT), the desktop logging out (SIGTERM) and a closed terminal (SIGHUP)
// close the main window as its close button does, after the journal has written an
// entry for every operation still running. A second signal ends the process at
// once, and so does a close that has not ended it within a second.
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
guint stop_signal_sources[std::size(kStopSignals)];

gboolean stop_on_signal(gpointer data) {
    const int signum = GPOINTER_TO_INT(data);
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i) {
        if (kStopSignals[i] != signum)
            g_source_remove(stop_signal_sources[i]);
        std::signal(kStopSignals[i], SIG_DFL);
    }
    std::fprintf(stderr, "kelvra: %s: closing (again to end at once)\n", g_strsignal(signum));
    std::thread([signum] {
        std::this_thread::sleep_for(std::chrono::milliseconds(900));
        _exit(128 + signum);
    }).detach();
    journal_interrupt_open();
    journal_flush();
    gdk_lock_enter(); // not held by the main loop for this source
    if (MainEcrWindow)
        gtk_widget_destroy(MainEcrWindow); // Application_closed
    gdk_lock_leave();
    return G_SOURCE_REMOVE; // the source of this signal; the default action is back
}

void stop_on_signals() {
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
        stop_signal_sources[i] =
            g_unix_signal_add(kStopSignals[i], stop_on_signal, GINT_TO_POINTER(kStopSignals[i]));
}

} // namespace

bool ecr_start(int* argc, char*** argv) {
    // ECRConf, PrinterState and the journal are kept in the folder the console is
    // started in (the launcher, scripts/kelvra-in-workdir, chooses it). The
    // journal's writer thread opens it, so a slow or broken file never delays the
    // window.
    gchar* folder = g_get_current_dir();
    const std::string journal = journal_path(folder);
    g_free(folder);
    listen_to_journal(journal); // before the writer can report
    journal_start(journal);
    gdk_lock_record_main_thread();
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    gdk_threads_init();
#pragma GCC diagnostic pop
    gtk_init(argc, argv);

    GtkBuilder* builder = gtk_builder_new();
    if (!builder)
        return false;
    const std::string description = std::string(g_ui_dir) + "EcrUi.xml";
    GError* error = nullptr;
    if (!gtk_builder_add_from_file(builder, description.c_str(), &error))
        g_error("%s", error->message); // ends the process

    bind_widgets(builder);
    for (const Connection& c : kConnections)
        if (*c.widget)
            g_signal_connect(*c.widget, c.signal, c.handler, nullptr);
    prepare_widgets();
    prepare_journal_page();
    createPrintFormatTags();
    show_saved_printer_state();
    StartPrnServer();
    Application_opened();
    pace_frames_only_with_window_manager();
    prepare_window_look(builder);

    const std::string title = std::string(kProgramName) + " V" + kProgramVersion;
    gtk_window_set_title(GTK_WINDOW(MainEcrWindow), title.c_str());
    gtk_widget_show_all(MainEcrWindow);
    gtk_window_maximize(GTK_WINDOW(MainEcrWindow));
    stop_on_signals();
    return true;
}

void ecr_run_main_loop() {
    // gtk_main releases the lock while its loop runs and takes it back after, so
    // it is entered with the lock held.
    gdk_lock_enter();
    gtk_main();
    gdk_lock_leave();
    journal_stop(); // writes the entries still waiting for late receipt lines
}

void Application_opened() {
    g_SettingStruct = SettingsSave{};
    ReadSettingFile();
    for (const SavedEntry& s : kSavedEntries)
        if (*s.entry)
            gtk_entry_set_text(GTK_ENTRY(*s.entry), field_text(s.field, s.width).c_str());

    // Start-up goes on whatever the library answers to these two calls. They are
    // not journaled: they hand the terminal the saved settings again at every
    // start, while the operator's own changes of both are journaled.
    SetTerminalIPAddress_InOut address{};
    field_copy_terminated(address.IPAddressIn, g_SettingStruct.TerminalIPAddress);
    SetIPAddress(&address);
    // The terminal at that address may send its receipts to the print server.
    print_server_allow_terminal(field_text(address.IPAddressIn).c_str());
    SetSSLCertificate_InOut certificate{};
    field_copy_terminated(certificate.PathIn, g_SettingStruct.CertificationPath);
    SetPath(&certificate);
}

void Application_closed(GtkWidget*, gpointer) {
    gdk_lock_window_gone();
    g_SettingStruct = SettingsSave{};
    for (const SavedEntry& s : kSavedEntries)
        if (*s.entry)
            field_copy_terminated(s.field, s.width, gtk_entry_get_text(GTK_ENTRY(*s.entry)));
    SaveSettingFile();
    StopPrintServer();
    gtk_main_quit();
}
