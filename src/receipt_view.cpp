// The receipt view: every line that the print server receives, in the order
// received, with a text tag named after its style; clearing, saving, and the
// operator's print status that the print server answers to the terminal.
#include "common_Routines.h"
#include "gdk_lock.h"
#include "journal.h"
#include "print_job.h"
#include "print_server.h"
#include "receipt_paper.h"
#include "signals.h"
#include "terminal_text.h"
#include "ui_components.h"
#include "worker.h"
#include "file_notice.h"
#include "window_look.h"

#include <fcntl.h>
#include <glib/gstdio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

pthread_t PRJS;
pthread_t SAVE_PRINT_JOB;

namespace {

constexpr const char* kReceiptFont = "Courier New 10";
constexpr int kBoldWeight = 700;
constexpr std::size_t kTagNameSize = 20;
constexpr const char* kEndMark = "receipt-end";

// Tag names indexed by PrintJobFont; the default and the marker style, and any
// value out of range, use "FONT".
constexpr const char* kTagOfStyle[] = {
    "FONT",      "BOLD",        "DOUBLE_HEIGHT", "RIGHT_JUSTIFY", "CENTER_TEXT",
    "HALF_SIZE", "DOUBLE_SIZE", "DOUBLE_WIDTH",  "FONT",
};

const char* tag_name(PrintJobFont font) {
    const int index = static_cast<int>(font);
    constexpr int count = sizeof kTagOfStyle / sizeof kTagOfStyle[0];
    return index >= 0 && index < count ? kTagOfStyle[index] : "FONT";
}

// Two clicks in quick succession start two PrintstTh threads; taking the radio
// buttons and writing the file under one mutex keeps the last choice on disk.
std::mutex printer_state_mutex;

} // namespace

void createPrintFormatTags() {
    if (!buf_print_job)
        return;
    gtk_text_buffer_create_tag(buf_print_job, "BOLD", "font", kReceiptFont, "weight", kBoldWeight,
                               nullptr);
    for (const char* name : {"DOUBLE_HEIGHT", "RIGHT_JUSTIFY", "CENTER_TEXT", "HALF_SIZE",
                             "DOUBLE_SIZE", "DOUBLE_WIDTH", "FONT"})
        gtk_text_buffer_create_tag(buf_print_job, name, "font", kReceiptFont, nullptr);
}

void FormatReceivedData(PrintJobFont msgFont, char* FontProprety) {
    if (FontProprety)
        g_strlcpy(FontProprety, tag_name(msgFont), kTagNameSize);
}

void displayReceipt(PrintJobFont msgFont, gchar* msg) {
    if (!buf_print_job || !msg)
        return;
    char tag[kTagNameSize] = {};
    FormatReceivedData(msgFont, tag);
    // Called from the pipe watch, which the main loop runs without the lock.
    gdk_lock_enter();
    GtkTextIter end;
    gtk_text_buffer_get_end_iter(buf_print_job, &end);
    gtk_text_buffer_insert_with_tags_by_name(buf_print_job, &end, msg, -1, tag, nullptr);
    if (txt_do_print_job) {
        // A mark, not the iterator: the view scrolls once its lines are measured,
        // and a burst of lines costs one scroll per frame instead of one per line.
        GtkTextMark* mark = gtk_text_buffer_get_mark(buf_print_job, kEndMark);
        if (!mark)
            mark = gtk_text_buffer_create_mark(buf_print_job, kEndMark, &end, FALSE);
        else
            gtk_text_buffer_move_mark(buf_print_job, mark, &end);
        gtk_text_view_scroll_to_mark(GTK_TEXT_VIEW(txt_do_print_job), mark, 0.0, FALSE, 0.0, 0.0);
    }
    gdk_lock_leave();
}

PrintJobFont receipt_text_from_pipe_line(const char* line, std::size_t length, char* out,
                                         std::size_t out_size) {
    std::size_t text_length = 0;
    const PrintJobFont font = split_pipe_line(line, length, &text_length);
    if (!out || out_size < 3)
        return font;
    out[0] = '\0';

    // Room is kept for the line feed that ends the receipt line.
    const std::string text = receipt_text_utf8(std::string_view(line ? line : "", text_length));
    const std::size_t size = utf8_prefix_length(text.data(), text.size(), out_size - 2);
    std::memcpy(out, text.data(), size);
    out[size] = '\0';
    if (font != SPECIFIC_MARKER_FONT) {
        out[size] = '\n';
        out[size + 1] = '\0';
    }
    return font;
}

gboolean read_from_channel(GIOChannel* gio, GIOCondition, gpointer) {
    gchar* line = nullptr;
    gsize length = 0;
    gsize terminator = 0;
    const GIOStatus status = g_io_channel_read_line(gio, &line, &length, &terminator, nullptr);
    if (status == G_IO_STATUS_EOF || status == G_IO_STATUS_ERROR) {
        // Cannot happen while this process holds the write end; a watch on a dead
        // pipe would only spin the main loop.
        g_free(line);
        return FALSE;
    }
    if (!line)
        return TRUE;
    // terminator is 0 only for a last line without its line feed.
    const std::size_t body = terminator > 0 ? terminator : length;
    char _LineToPrint[kReceiptLineSize];
    const PrintJobFont font =
        receipt_text_from_pipe_line(line, body, _LineToPrint, sizeof _LineToPrint);
    displayReceipt(font, _LineToPrint);
    // As shown, without the line feed that ends it in the view. The journal masks
    // it and appends it under its mutex: the main loop waits for nothing there.
    std::size_t shown = std::strlen(_LineToPrint);
    if (shown > 0 && _LineToPrint[shown - 1] == '\n')
        --shown;
    journal_receipt_line(std::string(_LineToPrint, shown), font);
    g_free(line);
    return TRUE;
}

void btn_clear_print_clicked(GtkWidget*, gpointer) {
    if (!buf_print_job)
        return;
    GtkTextIter start, end;
    gtk_text_buffer_get_bounds(buf_print_job, &start, &end);
    gtk_text_buffer_delete(buf_print_job, &start, &end);
}

bool save_to_file(const char* data, const char* filename, std::string* error) {
    if (!data || !filename)
        return false;
    std::string temp = std::string(filename) + ".XXXXXX";
    const int fd = g_mkstemp_full(temp.data(), O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0)
        return false; // the file cannot be opened: nothing is written, nothing said
    int failure = write_all(fd, data, std::strlen(data)) ? 0 : errno;
    if (!failure && fsync(fd) != 0)
        failure = errno;
    if (close(fd) != 0 && !failure)
        failure = errno;
    if (!failure && rename(temp.c_str(), filename) != 0)
        failure = errno;
    if (!failure)
        return true;
    unlink(temp.c_str());
    if (error)
        *error = std::string("The printed data could not be saved in ") + filename + ": " +
                 g_strerror(failure);
    return false;
}

namespace {
// Said in the main window, modal over it, as the console's other errors are.
// Called with the toolkit lock held.
void show_save_failure(const std::string& text) {
    GtkWidget* dialog = gtk_message_dialog_new(MainEcrWindow ? GTK_WINDOW(MainEcrWindow) : nullptr,
                                               GTK_DIALOG_MODAL, GTK_MESSAGE_ERROR, GTK_BUTTONS_OK,
                                               "%s", text.c_str());
    gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
}
} // namespace

void* SavePrintThread(void*) {
    GdkLock lock; // the dialog is built and run under the lock, held once
    GtkWidget* dialog = gtk_file_chooser_dialog_new(
        "Save Printed Data", nullptr, GTK_FILE_CHOOSER_ACTION_SAVE, "gtk-cancel",
        GTK_RESPONSE_CANCEL, "gtk-save", GTK_RESPONSE_ACCEPT, nullptr);
    fit_dialog_to_screen(dialog);
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    gtk_file_chooser_set_do_overwrite_confirmation(chooser, TRUE);
    const char* home = g_getenv("HOME");
    gtk_file_chooser_set_current_folder(chooser, home && *home ? home : g_get_home_dir());
    gtk_file_chooser_set_current_name(chooser, "PrintedData.txt");

    if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
        // The text as it is when the operator accepts, lines received meanwhile included.
        gchar* text = nullptr;
        if (buf_print_job) {
            GtkTextIter start, end;
            gtk_text_buffer_get_bounds(buf_print_job, &start, &end);
            text = gtk_text_buffer_get_text(buf_print_job, &start, &end, FALSE);
        }
        gchar* filename = gtk_file_chooser_get_filename(chooser);
        std::string failure;
        {
            GdkUnlock unlock; // the window stays live while the file is written
            save_to_file(text ? text : "", filename, &failure);
        }
        if (!failure.empty())
            show_save_failure(failure);
        g_free(filename);
        g_free(text);
    }
    gtk_widget_destroy(dialog);
    return nullptr;
}

void btn_save_print_clicked(GtkWidget*, gpointer) {
    start_worker(&SAVE_PRINT_JOB, SavePrintThread);
}

// The view's lines as shown, each drawn in its style (main thread, lock held).
void btn_prn_print_clicked(GtkWidget*, gpointer) {
    print_receipt(receipt_lines_of_buffer(buf_print_job), "Receipts");
}

void btn_prn_export_pdf_clicked(GtkWidget*, gpointer) {
    export_receipt_pdf(receipt_lines_of_buffer(buf_print_job), "PrintedData.pdf");
}

void* PrintstTh(void*) {
    std::lock_guard serial(printer_state_mutex);
    int status = -1;
    {
        GdkLock lock;
        GtkWidget* const buttons[] = {rbtn_prn_state_ok, rbtn_prn_state_mp, rbtn_prn_state_err};
        for (int i = 0; i < 3 && status < 0; ++i)
            if (buttons[i] && gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(buttons[i])))
                status = i;
    }
    if (status < 0)
        return nullptr; // none active: the file keeps its content
    // Replaced in one step, so the child never reads a half-written (empty) file.
    const char byte = static_cast<char>(status);
    GError* error = nullptr;
    g_file_set_contents_full(g_printer_state_file, &byte, 1, G_FILE_SET_CONTENTS_CONSISTENT, 0600,
                             &error);
    // Said in the window until a later write succeeds.
    report_file_write("PrinterState", error ? error->message : "");
    g_clear_error(&error);
    return nullptr;
}

void rbtn_prn_state_clicked(GtkWidget*, gpointer) {
    start_worker(&PRJS, PrintstTh);
}

void show_saved_printer_state() {
    gchar* contents = nullptr;
    gsize size = 0;
    // The child answers 0 for a missing or empty file.
    unsigned char status = 0;
    g_chmod(g_printer_state_file, 0600); // kept by the console: owner-only, also when older
    if (g_file_get_contents(g_printer_state_file, &contents, &size, nullptr) && size > 0)
        status = static_cast<unsigned char>(contents[0]);
    g_free(contents);
    GtkWidget* const buttons[] = {rbtn_prn_state_ok, rbtn_prn_state_mp, rbtn_prn_state_err};
    if (status >= 3 || !buttons[status])
        return; // a byte the console never writes: no button stands for it
    // Showing the choice is not a new choice: the file is not written again.
    for (GtkWidget* button : buttons)
        if (button)
            g_signal_handlers_block_by_func(button, gpointer(rbtn_prn_state_clicked), nullptr);
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(buttons[status]), TRUE);
    for (GtkWidget* button : buttons)
        if (button)
            g_signal_handlers_unblock_by_func(button, gpointer(rbtn_prn_state_clicked), nullptr);
}
