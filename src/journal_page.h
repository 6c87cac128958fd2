// The Journal page of the main window: search, list, detail, export and the days
// kept; and the notice of a console that runs without a journal.
#pragma once

#include <gtk/gtk.h>

#include <string>

// Start-up, before journal_start: the page reads the journal at `path` and hears
// from the writer thread when it has written an entry or cannot keep the journal.
void listen_to_journal(const std::string& path);
// Start-up, main thread, after the widgets are bound: the page's fixed settings.
void prepare_journal_page();

// Handlers (main thread, toolkit lock held).
void jrn_page_mapped(GtkWidget* widget = nullptr, gpointer data = nullptr);
void jrn_query_changed(GtkWidget* widget = nullptr, gpointer data = nullptr);
void jrn_query_activated(GtkWidget* widget = nullptr, gpointer data = nullptr);
void jrn_list_cursor_changed(GtkWidget* widget = nullptr, gpointer data = nullptr);
void cmb_jrn_call_changed(GtkWidget* widget = nullptr, gpointer data = nullptr);
void btn_jrn_export_csv_clicked(GtkWidget* widget = nullptr, gpointer data = nullptr);
void btn_jrn_export_json_clicked(GtkWidget* widget = nullptr, gpointer data = nullptr);
// The selected entry's receipt, printed or written as PDF.
void btn_jrn_print_receipt_clicked(GtkWidget* widget = nullptr, gpointer data = nullptr);
void btn_jrn_export_receipt_pdf_clicked(GtkWidget* widget = nullptr, gpointer data = nullptr);
void btn_jrn_save_scenario_clicked(GtkWidget* widget = nullptr, gpointer data = nullptr);
void spn_jrn_keep_days_changed(GtkWidget* widget = nullptr, gpointer data = nullptr);

// "12.50" for the minor units "1250"; empty for an entry without an amount.
std::string major_units(const std::string& minor);
// "1 entry", "1,234 entries".
std::string entries_text(long long count);
