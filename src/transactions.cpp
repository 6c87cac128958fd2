// Payment transactions: the start button and its worker DoTxn, which sends the
// input panel to the terminal and shows the whole response, and the fetch of the
// terminal's last transaction.
#include "activity.h"
#include "common_Routines.h"
#include "ecr_Routines.h"
#include "fields.h"
#include "gdk_lock.h"
#include "korvex.h"
#include "record_display.h"
#include "signals.h"
#include "ui_components.h"
#include "worker.h"
#include "window_look.h"

#include <cstddef>
#include <cstring>
#include <iterator>
#include <mutex>

std::atomic<bool> Txnstate{false};
pthread_t Txn;
std::atomic<bool> TxnRecovery{false};
pthread_t GLTD;
TxnRequest TxnDataIn;
TxnResponse TxnDataOut;
std::atomic<bool> IsSignatureSet{false};

namespace {

constexpr short kPedNotAuthenticated = 9;

// A transaction that fails with "PED Not Authenticated" frees the start button
// before its display ends, so two workers may meet at the kept response.
std::mutex txn_data_out_mutex;

} // namespace

// Sized by its initialisers: a missing entry conflicts with the declaration.
GtkWidget** const kTxnOutputEntries[] = {
    &txt_txn_output_msg_number,
    &txt_txn_output_txn_status,
    &txt_txn_output_total_amount,
    &txt_txn_output_additional_amount,
    &txt_txn_output_available_balance,
    &txt_txn_output_cashier_id,
    &txt_txn_output_table_id,
    &txt_txn_output_txn_currency_code,
    &txt_txn_output_txn_currency_exp,
    &txt_txn_output_date_time,
    &txt_txn_output_acq_merchant_id,
    &txt_txn_output_acq_merchant_name,
    &txt_txn_output_auth_code,
    &txt_txn_output_acq_response_code,
    &txt_txn_output_retreival_ref_num,
    &txt_txn_output_emv_txn_type,
    &txt_txn_output_invoice_num,
    &txt_txn_output_batch_num,
    &txt_txn_output_pre_auth_ref_num,
    &txt_txn_output_tax_free_requirement,
    &txt_txn_output_exchange_rate_update_requirement,
    &txt_txn_output_is_dcc_txn,
    &txt_txn_output_dcc_amount,
    &txt_txn_output_conversion_rate,
    &txt_txn_output_fx_exp_applied,
    &txt_txn_output_commission,
    &txt_txn_output_terminal_country_code,
    &txt_txn_output_terminal_currency_code,
    &txt_txn_output_terminal_currency_exp,
    &txt_txn_output_fx_markup,
    &txt_txn_output_custom_line1,
    &txt_txn_output_custom_line2,
    &txt_txn_output_custom_line3,
    &txt_txn_output_custom_line4,
    &txt_txn_output_merchant_name,
    &txt_txn_output_merchant_address1,
    &txt_txn_output_merchant_address2,
    &txt_txn_output_merchant_address3,
    &txt_txn_output_merchant_address4,
    &txt_txn_output_terminal_id,
    &txt_txn_output_application_id,
    &txt_txn_output_commercial_code_data,
    &txt_txn_output_cardholder_name,
    &txt_txn_output_card_scheme_name,
    &txt_txn_output_card_currency_code,
    &txt_txn_output_card_currency_exp,
    &txt_txn_output_app_label,
    &txt_txn_output_app_preferred_name,
    &txt_txn_output_aid,
    &txt_txn_output_app_effective_date,
    &txt_txn_output_pan,
    &txt_txn_output_app_cryptogram,
    &txt_txn_output_pan_seq_num,
    &txt_txn_output_start_date,
    &txt_txn_output_expiry_date,
    &txt_txn_output_emv_card_exp_date,
    &txt_txn_output_entry_method,
    &txt_txn_output_donation_amount,
    &txt_txn_output_avs_response,
    &txt_txn_output_partial_auth_amount,
};

namespace {

// The last transaction's request side, in the order in which it is emptied.
GtkWidget** const kLastTxnRequestEntries[] = {
    &txt_gltd_txn_type,        &txt_gltd_amount1,         &txt_gltd_amount2,
    &txt_gltd_amount3,         &txt_gltd_amount4,         &txt_gltd_amount1_label,
    &txt_gltd_amount2_label,   &txt_gltd_amount3_label,   &txt_gltd_amount4_label,
    &txt_gltd_commercial_code, &txt_gltd_suspected_fraud,
};

// The operations whose tables the panels show: every transaction type shares the
// SALE's inputs and outputs.
const Operation& transaction_operation(int type) {
    return payment_operations()[static_cast<std::size_t>(type)];
}
const Operation& last_transaction() {
    static const Operation* const op = find_operation("Last transaction");
    return *op;
}

void set_entry_empty(GtkWidget* entry) {
    if (entry)
        gtk_entry_set_text(GTK_ENTRY(entry), "");
}

void clear_host_messages() {
    if (buf_host_msg)
        gtk_text_buffer_set_text(buf_host_msg, "", 0);
}

// Empties the transaction output panel, the host message view and the result line.
void clear_transaction_output() {
    clear_entries(kTxnOutputEntries);
    clear_host_messages();
    set_entry_empty(txt_request_output);
}

// The list's type, as the request sends it: the first type when none is chosen.
int chosen_type() {
    const int row = cmb_txn_type ? gtk_combo_box_get_active(GTK_COMBO_BOX(cmb_txn_type)) : -1;
    return row < 0 || row >= static_cast<int>(std::size(tabTxnTypeStringNumber)) ? 0 : row;
}

// Reads the input panel into the request of the chosen type (toolkit lock held).
const Operation& read_request(Transaction_in& request) {
    const Operation& op = transaction_operation(chosen_type());
    op.prepare(&request);
    read_inputs(&request, op.inputs);
    return op;
}

#define COPY(field)                                                                                \
    static_assert(sizeof to.field == sizeof from.field);                                           \
    std::memcpy(to.field, from.field, sizeof to.field)

// The kept copy of the request: the indicator as its low byte.
void keep_request(const Transaction_in& from, TxnRequest& to) {
    COPY(MessageNumberIn);
    COPY(Amount1In);
    COPY(Amount2In);
    COPY(Amount3In);
    COPY(Amount4In);
    COPY(Amount1LabelIn);
    COPY(Amount2LabelIn);
    COPY(Amount3LabelIn);
    COPY(Amount4LabelIn);
    COPY(TransactionTypeIn);
    COPY(CustomLine1In);
    COPY(InvoiceNumberIn);
    COPY(CashierIdIn);
    COPY(TableIdIn);
    COPY(CommercialCodeIn);
    COPY(PreAuthRefNumIn);
    to.SuspectedFraudIndicatorIn = static_cast<unsigned char>(from.SuspectedFraudIndicatorIn);
    COPY(AuthorisationCodeIn);
}

// The kept copy: text fields byte for byte, the 16-bit fields as their low byte.
void keep_response(const Transaction_out& from, TxnResponse& to) {
    to.DiagRequestOut = from.DiagRequestOut;
    COPY(MessageNumberOut);
    COPY(TransactionStatusOut);
    COPY(EntryMethodOut);
    COPY(AcquirerMerchantIDOut);
    COPY(DateTimeOut);
    COPY(CardSchemeNameOut);
    COPY(PANOut);
    COPY(StartDateOut);
    COPY(ExpiryDateOut);
    COPY(AuthorisationCodeOut);
    COPY(AcquirerResponseCodeOut);
    COPY(MerchantNameOut);
    COPY(MerchantAddress1Out);
    COPY(MerchantAddress2Out);
    COPY(MerchantAddress3Out);
    COPY(MerchantAddress4Out);
    COPY(TransactionCurrencyCodeOut);
    to.TransactionCurrenyExponentOut =
        static_cast<unsigned char>(from.TransactionCurrenyExponentOut);
    COPY(CardCurrencyCodeOut);
    to.CardCurrencyExpOut = static_cast<unsigned char>(from.CardCurrencyExpOut);
    COPY(TotalAmountOut);
    COPY(AdditionalAmountOut);
    COPY(EMVCardExpDateOut);
    COPY(AppEffectiveDateOut);
    COPY(AIDOut);
    COPY(AppPreferredNameOut);
    COPY(AppLabelOut);
    COPY(TerminalIdentifierOut);
    COPY(EMVTxnTypeOut);
    COPY(AppCryptogramOut);
    COPY(RetrievalReferenceNumberOut);
    COPY(InvoiceNumberOut);
    COPY(BatchNumberOut);
    COPY(AcquirerNameOut);
    COPY(CustomLine1Out);
    COPY(CustomLine2Out);
    COPY(CustomLine3Out);
    COPY(CustomLine4Out);
    to.IsDCCTxnOut = static_cast<unsigned char>(from.IsDCCTxnOut);
    COPY(DCCAmountOut);
    COPY(ConversionRateOut);
    to.FXExponentAppliedOut = static_cast<unsigned char>(from.FXExponentAppliedOut);
    COPY(CommissionOut);
    COPY(TerminalCountryCodeOut);
    COPY(TerminalCurrencyCodeOut);
    to.TerminalCurrencyExponentOut = static_cast<unsigned char>(from.TerminalCurrencyExponentOut);
    COPY(FXmarkupOut);
    COPY(PANSequenceNumberOut);
    COPY(CashierIdOut);
    COPY(TableIdOut);
    COPY(CardholderNameOut);
    COPY(AvailableBalanceOut);
    COPY(ApplicationIdOut);
    COPY(PreAuthRefNumOut);
    COPY(HostTextOut);
    to.IsTaxFreeRequiredOut = static_cast<unsigned char>(from.IsTaxFreeRequiredOut);
    to.IsExchangeRateUpdateRequiredOut =
        static_cast<unsigned char>(from.IsExchangeRateUpdateRequiredOut);
    COPY(CommercialCodeDataOut);
    COPY(DonationAmountOut);
    COPY(AVSResponseOut);
    COPY(PartialAmountOut);
}
#undef COPY

} // namespace

void show_no_type_message() {
    GtkWidget* dialog =
        gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_ERROR, GTK_BUTTONS_OK,
                               "You must choose a transaction type.");
    fit_dialog_to_screen(dialog);
    gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
}

void btn_doTransaction_clicked(GtkWidget*, gpointer) {
    if (Txnstate)
        return;
    clear_transaction_output();
    if (none_btn_sign)
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(none_btn_sign), TRUE);
    if (!cmb_txn_type || gtk_combo_box_get_active(GTK_COMBO_BOX(cmb_txn_type)) < 0) {
        show_no_type_message();
        return;
    }
    start_worker(&Txn, DoTxn, nullptr, &Txnstate);
}

void show_transaction_result(const Transaction_out& out) {
    clear_transaction_output();
    display_diagnosis_string(txt_request_output, out.DiagRequestOut);
}

// Every transaction type shares the SALE's outputs.
void show_transaction_fields(const Transaction_out& out) {
    show_record(&out, transaction_operation(0).outputs);
}

void* DoTxn(void*) {
    IsSignatureSet = false;
    Txnstate = true;
    Transaction_in in{};
    Transaction_out out{};
    TxnDataIn = TxnRequest{};
    {
        std::lock_guard keep(txn_data_out_mutex);
        TxnDataOut = TxnResponse{};
    }
    const Operation* op;
    {
        GdkLock lock;
        op = &read_request(in);
    }
    keep_request(in, TxnDataIn);
    // Blocks until the terminal has finished, cashier dialogs included; the window
    // stays live because the lock is not held.
    {
        OperationActivity running(op->name);
        running.request(in);
        run_operation(*op, &in, &out);
        running.response(out);
    }
    {
        GdkLock lock;
        show_transaction_result(out);
    }
    // "PED Not Authenticated" frees the start button before the display; the flag
    // is then not cleared again at the end, where it may already be a newer
    // transaction's.
    const bool freed_early = out.DiagRequestOut == kPedNotAuthenticated;
    if (freed_early)
        Txnstate = false;
    {
        GdkLock lock;
        show_transaction_fields(out);
    }
    {
        std::lock_guard keep(txn_data_out_mutex);
        keep_response(out, TxnDataOut);
    }
    if (!freed_early)
        Txnstate = false;
    return nullptr;
}

void btn_get_last_txn_clicked(GtkWidget*, gpointer) {
    if (TxnRecovery)
        return;
    clear_entries(kLastTxnRequestEntries);
    clear_transaction_output();
    start_worker(&GLTD, TransactionRecovery, nullptr, &TxnRecovery);
}

void* TransactionRecovery(void*) {
    TxnRecovery = true;
    {
        GdkLock lock;
        set_entry_empty(txt_request_output);
    }
    GetLastTxnData_out out{};
    {
        OperationActivity running("Last transaction");
        // Blocks, without the lock: the window stays live.
        run_operation(last_transaction(), nullptr, &out);
        running.response(out);
    }
    {
        GdkLock lock;
        display_diagnosis_string(txt_request_output, out.DiagRequestOut);
        show_record(&out, last_transaction().outputs);
    }
    TxnRecovery = false;
    return nullptr;
}
