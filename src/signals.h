// Handlers of the main window's buttons and record selectors. Each ignores its
// arguments; they run on the main thread, where GTK holds the toolkit lock.
#pragma once

#include <gtk/gtk.h>

// Main window
void Application_closed(GtkWidget* widget = nullptr, gpointer data = nullptr);

// Payment transactions
void btn_doTransaction_clicked(GtkWidget* widget = nullptr, gpointer data = nullptr);
void btn_get_last_txn_clicked(GtkWidget* widget = nullptr, gpointer data = nullptr);

// Terminal events
void btn_StartEventServer_clicked(GtkWidget* widget = nullptr, gpointer data = nullptr);
void btn_StopEventServer_clicked(GtkWidget* widget = nullptr, gpointer data = nullptr);
void rad_sign_clicked(GtkWidget* widget = nullptr, gpointer data = nullptr);
// Voice referral window
void accept_check_clicked(GtkWidget* widget = nullptr, gpointer data = nullptr);
void cb_ref_state_changed(GtkWidget* widget = nullptr, gpointer data = nullptr);
void btn_auth_ok_clicked(GtkWidget* widget = nullptr, gpointer data = nullptr);
void Cancel_Voice_Referral(GtkWidget* widget = nullptr, gpointer data = nullptr);
// Partial authorisation and AVS windows (closing a window declines)
void btn__Partial_Auth_accept_clicked(GtkWidget* widget = nullptr, gpointer data = nullptr);
void Decline_Partial_Auth(GtkWidget* widget = nullptr, gpointer data = nullptr);
void btn_avs_accept_clicked(GtkWidget* widget = nullptr, gpointer data = nullptr);
void decline_avs(GtkWidget* widget = nullptr, gpointer data = nullptr);

// Receipt print server and receipt view
void rbtn_prn_state_clicked(GtkWidget* widget = nullptr, gpointer data = nullptr);
void btn_clear_print_clicked(GtkWidget* widget = nullptr, gpointer data = nullptr);
void btn_save_print_clicked(GtkWidget* widget = nullptr, gpointer data = nullptr);
void btn_prn_print_clicked(GtkWidget* widget = nullptr, gpointer data = nullptr);
void btn_prn_export_pdf_clicked(GtkWidget* widget = nullptr, gpointer data = nullptr);

// Value-added services: pennies donation and mobile top-up. The record selectors'
// "changed" handlers also run inside a worker's locked section and never take
// the lock themselves.
void btn_pe_set_donation_mode_clicked(GtkWidget* widget = nullptr, gpointer data = nullptr);
void btn_pe_get_pennies_config_clicked(GtkWidget* widget = nullptr, gpointer data = nullptr);
void cmb_mt_cfg_rec_nbr_changed(GtkWidget* widget = nullptr, gpointer data = nullptr);
void cmb_mt_txn_resp_rec_nbr_changed(GtkWidget* widget = nullptr, gpointer data = nullptr);
void btn_mt_cfg_get_config_clicked(GtkWidget* widget = nullptr, gpointer data = nullptr);
void btn_mt_txn_do_transaction_clicked(GtkWidget* widget = nullptr, gpointer data = nullptr);
void cmb_mtu_set_resp_rec_nbr_changed(GtkWidget* widget = nullptr, gpointer data = nullptr);
void btn_mtu_set_req_do_set_clicked(GtkWidget* widget = nullptr, gpointer data = nullptr);

// Terminal management: status, configuration, card and terminal queries
void btn_GetStatus_clicked(GtkWidget* widget = nullptr, gpointer data = nullptr);
void btn_SetTime_clicked(GtkWidget* widget = nullptr, gpointer data = nullptr);
void btn_set_ip_address_clicked(GtkWidget* widget = nullptr, gpointer data = nullptr);
void btn_ssl_certificate_path_clicked(GtkWidget* widget = nullptr, gpointer data = nullptr);
void btn_set_ssl_certificate_clicked(GtkWidget* widget = nullptr, gpointer data = nullptr);
void btn_set_passw_clicked(GtkWidget* widget = nullptr, gpointer data = nullptr);
void rad_print_txn_receipt_clicked(GtkWidget* widget = nullptr, gpointer data = nullptr);
void btn_log_folder_path_clicked(GtkWidget* widget = nullptr, gpointer data = nullptr);
void btn_set_logFile_folder_path_clicked(GtkWidget* widget = nullptr, gpointer data = nullptr);
void checkbtn_trace_tlv_enablement_clicked(GtkWidget* widget = nullptr, gpointer data = nullptr);
void btn_check_eligibility_clicked(GtkWidget* widget = nullptr, gpointer data = nullptr);
void btn_PedAuth_clicked(GtkWidget* widget = nullptr, gpointer data = nullptr);
void btn_ReadTracks_clicked(GtkWidget* widget = nullptr, gpointer data = nullptr);
void btn_PrintInfo_clicked(GtkWidget* widget = nullptr, gpointer data = nullptr);
void btn_check_application_enablement_Clicked(GtkWidget* widget = nullptr, gpointer data = nullptr);

// Settlement and reporting. The record selectors' handlers run with the toolkit lock
// held: from the main loop, or inside a worker's locked section.
void btn_do_settlement_Clicked(GtkWidget* widget = nullptr, gpointer data = nullptr);
void btn_get_settlement_data_Clicked(GtkWidget* widget = nullptr, gpointer data = nullptr);
void cmb_settlement_record_num_changed(GtkWidget* widget = nullptr, gpointer data = nullptr);
void btn_adjust_tip_amount_Clicked(GtkWidget* widget = nullptr, gpointer data = nullptr);
void btn_exr_do_exr_update_Clicked(GtkWidget* widget = nullptr, gpointer data = nullptr);
void cmb_exr_rec_nbr_changed(GtkWidget* widget = nullptr, gpointer data = nullptr);
void btn_tfr_inp_start_tax_free_Clicked(GtkWidget* widget = nullptr, gpointer data = nullptr);
