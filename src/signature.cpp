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
#include <string>
#include <string_view>

#include <unistd.h>

namespace {

// Emptied before the receipt data is fetched: the transaction output panel but the
// donation, AVS and partial amounts, which the fill overwrites.
constexpr std::string_view kSignatureKeptFields[] = {"DonationAmountOut", "AVSResponseOut",
                                                     "PartialAmountOut"};

#define SIGN(field, widget, rule) RECORD_FIELD(CheckSignReceiptInfo_out, field, widget, Rule::rule)
// The receipt data in the transaction output panel, in the order it is shown; the
// transaction type goes to the request dialog instead.
const FieldDisplay kSignatureReceiptDisplay[] = {
    SIGN(EntryMethodOut, txt_txn_output_entry_method, Text),
    SIGN(AcquirerMerchantIDOut, txt_txn_output_acq_merchant_id, Text),
    SIGN(DateTimeOut, txt_txn_output_date_time, Text),
    SIGN(CardSchemeNameOut, txt_txn_output_card_scheme_name, Text),
    SIGN(PANOut, txt_txn_output_pan, Text),
    SIGN(StartDateOut, txt_txn_output_start_date, Text),
    SIGN(ExpiryDateOut, txt_txn_output_expiry_date, Text),
    SIGN(AuthorisationCodeOut, txt_txn_output_auth_code, Text),
    SIGN(AcquirerResponseCodeOut, txt_txn_output_acq_response_code, Text),
    SIGN(MerchantNameOut, txt_txn_output_merchant_name, Text),
    SIGN(MerchantAddress1Out, txt_txn_output_merchant_address1, Text),
    SIGN(MerchantAddress2Out, txt_txn_output_merchant_address2, Text),
    SIGN(MerchantAddress3Out, txt_txn_output_merchant_address3, Text),
    SIGN(MerchantAddress4Out, txt_txn_output_merchant_address4, Text),
    SIGN(TransactionCurrenyExponentOut, txt_txn_output_txn_currency_exp, Signed16),
    SIGN(TransactionCurrencyCodeOut, txt_txn_output_txn_currency_code, CurrencySymbol),
    SIGN(CardCurrencyCodeOut, txt_txn_output_card_currency_code, CurrencySymbol),
    SIGN(CardCurrencyExpOut, txt_txn_output_card_currency_exp, Signed16),
    SIGN(TotalAmountOut, txt_txn_output_total_amount, Text),
    SIGN(AdditionalAmountOut, txt_txn_output_additional_amount, Text),
    SIGN(EMVCardExpDateOut, txt_txn_output_emv_card_exp_date, Text),
    SIGN(AppEffectiveDateOut, txt_txn_output_app_effective_date, Text),
    SIGN(AIDOut, txt_txn_output_aid, Text),
    SIGN(AppPreferredNameOut, txt_txn_output_app_preferred_name, Text),
    SIGN(AppLabelOut, txt_txn_output_app_label, Text),
    SIGN(TerminalIdentifierOut, txt_txn_output_terminal_id, Text),
    SIGN(EMVTxnTypeOut, txt_txn_output_emv_txn_type, Text),
    SIGN(AppCryptogramOut, txt_txn_output_app_cryptogram, Text),
    SIGN(RetrievalReferenceNumberOut, txt_txn_output_retreival_ref_num, Text),
    SIGN(InvoiceNumberOut, txt_txn_output_invoice_num, Text),
    SIGN(BatchNumberOut, txt_txn_output_batch_num, Text),
    SIGN(AcquirerNameOut, txt_txn_output_acq_merchant_name, Text),
    SIGN(CustomLine1Out, txt_txn_output_custom_line1, Text),
    SIGN(CustomLine2Out, txt_txn_output_custom_line2, Text),
    SIGN(CustomLine3Out, txt_txn_output_custom_line3, Text),
    SIGN(CustomLine4Out, txt_txn_output_custom_line4, Text),
    SIGN(IsDCCTxnOut, txt_txn_output_is_dcc_txn, Bool16),
    SIGN(DCCAmountOut, txt_txn_output_dcc_amount, Text),
    SIGN(ConversionRateOut, txt_txn_output_conversion_rate, Text),
    SIGN(FXExponentAppliedOut, txt_txn_output_fx_exp_applied, Signed16),
    SIGN(CommissionOut, txt_txn_output_commission, Text),
    SIGN(TerminalCountryCodeOut, txt_txn_output_terminal_country_code, Text),
    SIGN(TerminalCurrencyCodeOut, txt_txn_output_terminal_currency_code, CurrencySymbol),
    SIGN(TerminalCurrencyExponentOut, txt_txn_output_terminal_currency_exp, Signed16),
    SIGN(FXmarkupOut, txt_txn_output_fx_markup, Text),
    SIGN(PANSequenceNumberOut, txt_txn_output_pan_seq_num, Text),
    SIGN(CashierIdOut, txt_txn_output_cashier_id, Text),
    SIGN(TableIdOut, txt_txn_output_table_id, Text),
    SIGN(CardholderNameOut, txt_txn_output_cardholder_name, Text),
    SIGN(AvailableBalanceOut, txt_txn_output_available_balance, Text),
    SIGN(ApplicationIdOut, txt_txn_output_application_id, Text),
    SIGN(PreAuthRefNumOut, txt_txn_output_pre_auth_ref_num, Text),
    SIGN(HostTextOut, txt_txn_output_text_msg, HostText),
    SIGN(IsTaxFreeRequiredOut, txt_txn_output_tax_free_requirement, Bool16),
    SIGN(IsExchangeRateUpdateRequiredOut, txt_txn_output_exchange_rate_update_requirement, Bool16),
    SIGN(CommercialCodeDataOut, txt_txn_output_commercial_code_data, Text),
    SIGN(DonationAmountOut, txt_txn_output_donation_amount, Text),
    SIGN(AVSResponseOut, txt_txn_output_avs_response, Text),
    SIGN(PartialAmountOut, txt_txn_output_partial_auth_amount, Text),
};
#undef SIGN

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
        show_record(&receipt, kSignatureReceiptDisplay);
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
