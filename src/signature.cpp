// Signature check (event 1): the worker shows the transaction that waits for the
// cardholder's signature in the transaction output panel and waits, with a
// blinking status, until the cashier has chosen between the two signature radio
// buttons; the choice goes back to the terminal.
#include "cashier.h"
#include "common_Routines.h"
#include "fields.h"
#include "gdk_lock.h"
#include "journal.h"
#include "korvex.h"
#include "operations.h"
#include "operation_recipe.h"
#include "record_display.h"
#include "signals.h"
#include "terminal_events.h"
#include "transactions.h"
#include "ui_components.h"
#include "window_look.h"

#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

namespace {

// Emptied before the receipt data is fetched: the transaction output panel but the
// donation, AVS and partial amounts, which the fill overwrites.
constexpr std::string_view kSignatureKeptFields[] = {"DonationAmountOut", "AVSResponseOut",
                                                     "PartialAmountOut"};

// The receipt data where the sale's answer shows the same fields, by the same rules:
// each field of the transaction output panel that the receipt record also has (all
// but the message number and the status). The transaction type goes to the request
// dialog instead.
std::span<const FieldDisplay> signature_receipt_display() {
    static const std::vector<FieldDisplay> rows = [] {
        std::vector<FieldDisplay> shown;
        for (const FieldOutput& row : console_operation("SALE").outputs)
            for (const FieldDesc& field : record_description<CheckSignReceiptInfo_out>.fields)
                if (std::string_view(field.name) == row.field->name)
                    shown.push_back({&field, row.rule, row.widget});
        return shown;
    }();
    return rows;
}

constexpr const char* kSignatureInProgress = "Signature In Progress";

void set_sign_status(const char* text) {
    if (txt_Sign_Status)
        gtk_entry_set_text(GTK_ENTRY(txt_Sign_Status), text);
}

bool is_active(GtkWidget* toggle) {
    return toggle && gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(toggle));
}

} // namespace

void rad_sign_clicked(GtkWidget*, gpointer) {
    // Written here on the main thread, polled by the signature worker.
    IsSignatureSet = true;
    set_sign_status("");
}

void display_signature_dialog(const char* TransactionTypeOut) {
    char text[100];
    std::snprintf(text, sizeof text,
                  "A signature Verification request is received\nTransaction Type = %s",
                  get_txn_type(std::atoi(TransactionTypeOut)));
    GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_INFO,
                                               GTK_BUTTONS_OK, "%s", text);
    gtk_window_set_title(GTK_WINDOW(dialog), "SIGNATURE EVENT");
    fit_dialog_to_screen(dialog);
    gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
    gdk_lock_stop_if_window_gone(); // the dialog's loop let the window close
}

void* SignatureVerification(void*) {
    CheckSignReceiptInfo_out receipt{};
    {
        GdkLock lock;
        clear_outputs(console_operation("SALE"), kSignatureKeptFields); // host message too
        gtk_entry_set_text(GTK_ENTRY(txt_request_output), "");
    }
    // Its result code is not looked at: the cashier is asked anyway.
    const ShownQuestion shown = fetch_question(&receipt);
    {
        GdkLock lock;
        display_signature_dialog(field_text(receipt.TransactionTypeOut).c_str());
        show_record(&receipt, signature_receipt_display());
    }

    // The flag is tested before each blink, so an answer given before the request
    // is taken at once and a later click within two seconds.
    while (!IsSignatureSet) {
        {
            GdkLock lock;
            set_sign_status(kSignatureInProgress);
            setColor(txt_Sign_Status, "blue");
        }
        sleep(1);
        {
            GdkLock lock;
            set_sign_status("");
        }
        sleep(1);
    }
    bool accepted;
    {
        GdkLock lock;
        set_sign_status("");
        IsSignatureSet = false;
        accepted = is_active(rad_sign_ok); // refused by the other button, or by none
    }
    const short result = answer_signature(accepted, shown.record);
    GdkLock lock;
    display_diagnosis_string(txt_request_output, result);
    return nullptr;
}
