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

#include <cstddef>
#include <cstdlib>
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
constexpr int kAmountBufferLen = 13;

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

// The inputs of the request, in the record's order; amounts are right-aligned in
// twelve '0'-filled digits.
struct RequestInput {
    GtkWidget** entry;
    std::size_t offset;
    std::size_t width;
    bool amount;
};
#define INPUT(field, entry, amount)                                                                \
    RequestInput {                                                                                 \
        &(entry), offsetof(TxnRequest, field), sizeof(TxnRequest::field), (amount)                 \
    }
const RequestInput kRequestInputs[] = {
    INPUT(MessageNumberIn, txt_txn_input_msg_num, false),
    INPUT(Amount1In, txt_txn_input_amount1, true),
    INPUT(Amount2In, txt_txn_input_amount2, true),
    INPUT(Amount3In, txt_txn_input_amount3, true),
    INPUT(Amount4In, txt_txn_input_amount4, true),
    INPUT(Amount1LabelIn, txt_txn_input_amount1_label, false),
    INPUT(Amount2LabelIn, txt_txn_input_amount2_label, false),
    INPUT(Amount3LabelIn, txt_txn_input_amount3_label, false),
    INPUT(Amount4LabelIn, txt_txn_input_amount4_label, false),
    INPUT(CustomLine1In, txt_txn_input_custom_line1, false),
    INPUT(InvoiceNumberIn, txt_txn_input_invoice_num, false),
    INPUT(CashierIdIn, txt_txn_input_cashier_id, false),
    INPUT(TableIdIn, txt_txn_input_table_id, false),
    INPUT(CommercialCodeIn, txt_txn_input_commercial_code, false),
    INPUT(PreAuthRefNumIn, txt_txn_input_pre_auth_ref_num, false),
    INPUT(AuthorisationCodeIn, txt_txn_input_auth_code, false),
};
#undef INPUT

#define TXN(field, widget, rule) RECORD_FIELD(Transaction_out, field, widget, Rule::rule)
// Transaction_out in the transaction output panel; the host text goes last, into
// the host message view.
const FieldDisplay kTransactionOutDisplay[] = {
    TXN(MessageNumberOut, txt_txn_output_msg_number, Text),
    TXN(TransactionStatusOut, txt_txn_output_txn_status, TxnStatus),
    TXN(EntryMethodOut, txt_txn_output_entry_method, Text),
    TXN(AcquirerMerchantIDOut, txt_txn_output_acq_merchant_id, Text),
    TXN(DateTimeOut, txt_txn_output_date_time, Text),
    TXN(CardSchemeNameOut, txt_txn_output_card_scheme_name, Text),
    TXN(PANOut, txt_txn_output_pan, Text),
    TXN(StartDateOut, txt_txn_output_start_date, Text),
    TXN(ExpiryDateOut, txt_txn_output_expiry_date, Text),
    TXN(AuthorisationCodeOut, txt_txn_output_auth_code, Text),
    TXN(AcquirerResponseCodeOut, txt_txn_output_acq_response_code, Text),
    TXN(MerchantNameOut, txt_txn_output_merchant_name, Text),
    TXN(MerchantAddress1Out, txt_txn_output_merchant_address1, Text),
    TXN(MerchantAddress2Out, txt_txn_output_merchant_address2, Text),
    TXN(MerchantAddress3Out, txt_txn_output_merchant_address3, Text),
    TXN(MerchantAddress4Out, txt_txn_output_merchant_address4, Text),
    TXN(TransactionCurrencyCodeOut, txt_txn_output_txn_currency_code, CurrencySymbol),
    TXN(TransactionCurrenyExponentOut, txt_txn_output_txn_currency_exp, Signed16),
    TXN(CardCurrencyCodeOut, txt_txn_output_card_currency_code, CurrencySymbol),
    TXN(CardCurrencyExpOut, txt_txn_output_card_currency_exp, Signed16),
    TXN(TotalAmountOut, txt_txn_output_total_amount, Text),
    TXN(AdditionalAmountOut, txt_txn_output_additional_amount, Text),
    TXN(EMVCardExpDateOut, txt_txn_output_emv_card_exp_date, Text),
    TXN(AppEffectiveDateOut, txt_txn_output_app_effective_date, Text),
    TXN(AIDOut, txt_txn_output_aid, Text),
    TXN(AppPreferredNameOut, txt_txn_output_app_preferred_name, Text),
    TXN(AppLabelOut, txt_txn_output_app_label, Text),
    TXN(TerminalIdentifierOut, txt_txn_output_terminal_id, Text),
    TXN(EMVTxnTypeOut, txt_txn_output_emv_txn_type, Text),
    TXN(AppCryptogramOut, txt_txn_output_app_cryptogram, Text),
    TXN(RetrievalReferenceNumberOut, txt_txn_output_retreival_ref_num, Text),
    TXN(InvoiceNumberOut, txt_txn_output_invoice_num, Text),
    TXN(BatchNumberOut, txt_txn_output_batch_num, Text),
    TXN(AcquirerNameOut, txt_txn_output_acq_merchant_name, Text),
    TXN(CustomLine1Out, txt_txn_output_custom_line1, Text),
    TXN(CustomLine2Out, txt_txn_output_custom_line2, Text),
    TXN(CustomLine3Out, txt_txn_output_custom_line3, Text),
    TXN(CustomLine4Out, txt_txn_output_custom_line4, Text),
    TXN(IsDCCTxnOut, txt_txn_output_is_dcc_txn, Bool16),
    TXN(DCCAmountOut, txt_txn_output_dcc_amount, Text),
    TXN(ConversionRateOut, txt_txn_output_conversion_rate, Text),
    TXN(FXExponentAppliedOut, txt_txn_output_fx_exp_applied, Signed16),
    TXN(CommissionOut, txt_txn_output_commission, Text),
    TXN(TerminalCountryCodeOut, txt_txn_output_terminal_country_code, Text),
    TXN(TerminalCurrencyCodeOut, txt_txn_output_terminal_currency_code, CurrencySymbol),
    TXN(TerminalCurrencyExponentOut, txt_txn_output_terminal_currency_exp, Signed16),
    TXN(FXmarkupOut, txt_txn_output_fx_markup, Text),
    TXN(PANSequenceNumberOut, txt_txn_output_pan_seq_num, Text),
    TXN(CashierIdOut, txt_txn_output_cashier_id, Text),
    TXN(TableIdOut, txt_txn_output_table_id, Text),
    TXN(CardholderNameOut, txt_txn_output_cardholder_name, Text),
    TXN(AvailableBalanceOut, txt_txn_output_available_balance, Text),
    TXN(ApplicationIdOut, txt_txn_output_application_id, Text),
    TXN(PreAuthRefNumOut, txt_txn_output_pre_auth_ref_num, Text),
    TXN(IsTaxFreeRequiredOut, txt_txn_output_tax_free_requirement, Bool16),
    TXN(IsExchangeRateUpdateRequiredOut, txt_txn_output_exchange_rate_update_requirement, Bool16),
    TXN(CommercialCodeDataOut, txt_txn_output_commercial_code_data, Text),
    TXN(DonationAmountOut, txt_txn_output_donation_amount, Text),
    TXN(AVSResponseOut, txt_txn_output_avs_response, Text),
    TXN(PartialAmountOut, txt_txn_output_partial_auth_amount, Text),
    TXN(HostTextOut, txt_txn_output_text_msg, HostText),
};
#undef TXN

#define LAST(field, widget, rule) RECORD_FIELD(GetLastTxnData_out, field, widget, Rule::rule)
// GetLastTxnData_out: the request side in the txt_gltd_ entries, the response side
// in the transaction output panel.
const FieldDisplay kLastTxnDataDisplay[] = {
    LAST(MessageNumberOut, txt_txn_output_msg_number, Text),
    LAST(Amount1Out, txt_gltd_amount1, Text),
    LAST(Amount2Out, txt_gltd_amount2, Text),
    LAST(Amount3Out, txt_gltd_amount3, Text),
    LAST(Amount4Out, txt_gltd_amount4, Text),
    LAST(Amount1LabelOut, txt_gltd_amount1_label, Text),
    LAST(Amount2LabelOut, txt_gltd_amount2_label, Text),
    LAST(Amount3LabelOut, txt_gltd_amount3_label, Text),
    LAST(Amount4LabelOut, txt_gltd_amount4_label, Text),
    LAST(TransactionTypeOut, txt_gltd_txn_type, TxnTypeName),
    LAST(CommercialCodeOut, txt_gltd_commercial_code, Text),
    LAST(SuspectedFraudIndicatorOut, txt_gltd_suspected_fraud, Signed16),
    LAST(TransactionStatusOut, txt_txn_output_txn_status, TxnStatus),
    LAST(EntryMethodOut, txt_txn_output_entry_method, Text),
    LAST(AcquirerMerchantIDOut, txt_txn_output_acq_merchant_id, Text),
    LAST(DateTimeOut, txt_txn_output_date_time, Text),
    LAST(TransactionCurrencyCodeOut, txt_txn_output_txn_currency_code, CurrencySymbol),
    LAST(CardSchemeNameOut, txt_txn_output_card_scheme_name, Text),
    LAST(PANOut, txt_txn_output_pan, Text),
    LAST(StartDateOut, txt_txn_output_start_date, Text),
    LAST(ExpiryDateOut, txt_txn_output_expiry_date, Text),
    LAST(AuthorisationCodeOut, txt_txn_output_auth_code, Text),
    LAST(AcquirerResponseCodeOut, txt_txn_output_acq_response_code, Text),
    LAST(MerchantNameOut, txt_txn_output_merchant_name, Text),
    LAST(MerchantAddress1Out, txt_txn_output_merchant_address1, Text),
    LAST(MerchantAddress2Out, txt_txn_output_merchant_address2, Text),
    LAST(MerchantAddress3Out, txt_txn_output_merchant_address3, Text),
    LAST(MerchantAddress4Out, txt_txn_output_merchant_address4, Text),
    LAST(TotalAmountOut, txt_txn_output_total_amount, Text),
    LAST(AdditionalAmountOut, txt_txn_output_additional_amount, Text),
    LAST(CardCurrencyCodeOut, txt_txn_output_card_currency_code, CurrencySymbol),
    LAST(CardCurrencyExponentOut, txt_txn_output_card_currency_exp, Signed16),
    LAST(EMVCardExpDateOut, txt_txn_output_emv_card_exp_date, Text),
    LAST(AppEffectiveDateOut, txt_txn_output_app_effective_date, Text),
    LAST(AIDOut, txt_txn_output_aid, Text),
    LAST(AppPreferredNameOut, txt_txn_output_app_preferred_name, Text),
    LAST(AppLabelOut, txt_txn_output_app_label, Text),
    LAST(TerminalIdentifierOut, txt_txn_output_terminal_id, Text),
    LAST(TransactionCurrenyExponentOut, txt_txn_output_txn_currency_exp, Signed16),
    LAST(EMVTxnTypeOut, txt_txn_output_emv_txn_type, Text),
    LAST(AppCryptogramOut, txt_txn_output_app_cryptogram, Text),
    LAST(RetrievalReferenceNumberOut, txt_txn_output_retreival_ref_num, Text),
    LAST(InvoiceNumberOut, txt_txn_output_invoice_num, Text),
    LAST(BatchNumberOut, txt_txn_output_batch_num, Text),
    LAST(AcquirerNameOut, txt_txn_output_acq_merchant_name, Text),
    LAST(CustomLine1Out, txt_txn_output_custom_line1, Text),
    LAST(CustomLine2Out, txt_txn_output_custom_line2, Text),
    LAST(CustomLine3Out, txt_txn_output_custom_line3, Text),
    LAST(CustomLine4Out, txt_txn_output_custom_line4, Text),
    LAST(DCCAmountOut, txt_txn_output_dcc_amount, Text),
    LAST(IsDCCTxnOut, txt_txn_output_is_dcc_txn, Bool16),
    LAST(ConversionRateOut, txt_txn_output_conversion_rate, Text),
    LAST(FXExponentAppliedOut, txt_txn_output_fx_exp_applied, Signed16),
    LAST(CommissionOut, txt_txn_output_commission, Text),
    LAST(TerminalCountryCodeOut, txt_txn_output_terminal_country_code, Text),
    LAST(TerminalCurrencyCodeOut, txt_txn_output_terminal_currency_code, CurrencySymbol),
    LAST(TerminalCurrencyExponentOut, txt_txn_output_terminal_currency_exp, Signed16),
    LAST(FXmarkupOut, txt_txn_output_fx_markup, Text),
    LAST(PANSequenceNumberOut, txt_txn_output_pan_seq_num, Text),
    LAST(CashierIdOut, txt_txn_output_cashier_id, Text),
    LAST(TableIdOut, txt_txn_output_table_id, Text),
    LAST(CardholderNameOut, txt_txn_output_cardholder_name, Text),
    LAST(AvailableBalanceOut, txt_txn_output_available_balance, Text),
    LAST(ApplicationIdOut, txt_txn_output_application_id, Text),
    LAST(PreAuthRefNumOut, txt_txn_output_pre_auth_ref_num, Text),
    LAST(HostTextOut, txt_txn_output_text_msg, HostText),
    LAST(IsTaxFreeRequiredOut, txt_txn_output_tax_free_requirement, Bool16),
    LAST(IsExchangeRateUpdateRequiredOut, txt_txn_output_exchange_rate_update_requirement, Bool16),
    LAST(CommercialCodeDataOut, txt_txn_output_commercial_code_data, Text),
    LAST(DonationAmountOut, txt_txn_output_donation_amount, Text),
    LAST(AVSResponseOut, txt_txn_output_avs_response, Text),
    LAST(PartialAmountOut, txt_txn_output_partial_auth_amount, Text),
};
#undef LAST

const char* entry_text(GtkWidget* entry) {
    return entry ? gtk_entry_get_text(GTK_ENTRY(entry)) : "";
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

// Reads the input panel into TxnDataIn (toolkit lock held).
void read_request(TxnRequest& request) {
    auto* bytes = reinterpret_cast<char*>(&request);
    for (const RequestInput& input : kRequestInputs) {
        char* field = bytes + input.offset;
        field_copy(field, input.width, entry_text(*input.entry));
        if (input.amount)
            LeftPadBuffer(field, kAmountBufferLen, '0');
    }
    field_copy(request.TransactionTypeIn,
               get_transaction_type(cmb_txn_type ? GTK_COMBO_BOX(cmb_txn_type) : nullptr));
    request.SuspectedFraudIndicatorIn =
        static_cast<unsigned char>(entry_text(txt_txn_input_suspected_fraud)[0]);
}

#define COPY(field)                                                                                \
    static_assert(sizeof to.field == sizeof from.field);                                           \
    std::memcpy(to.field, from.field, sizeof to.field)

void to_library(const TxnRequest& from, Transaction_in& to) {
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
    to.SuspectedFraudIndicatorIn = from.SuspectedFraudIndicatorIn; // zero-extended
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
    // Set here too, so that a second press before the worker runs is refused.
    Txnstate = true;
    if (!start_worker(&Txn, DoTxn))
        Txnstate = false;
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
    {
        GdkLock lock;
        read_request(TxnDataIn);
    }
    to_library(TxnDataIn, in);
    // Blocks until the terminal has finished, cashier dialogs included; the window
    // stays live because the lock is not held.
    {
        OperationActivity running(get_txn_type(std::atoi(in.TransactionTypeIn)));
        running.request(in);
        Transaction_Launch(&in, &out);
        running.response(out);
    }
    {
        GdkLock lock;
        clear_transaction_output();
        display_diagnosis_string(txt_request_output, out.DiagRequestOut);
    }
    // "PED Not Authenticated" frees the start button before the display; the flag
    // is then not cleared again at the end, where it may already be a newer
    // transaction's.
    const bool freed_early = out.DiagRequestOut == kPedNotAuthenticated;
    if (freed_early)
        Txnstate = false;
    {
        GdkLock lock;
        show_record(&out, kTransactionOutDisplay);
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
    TxnRecovery = true;
    if (!start_worker(&GLTD, TransactionRecovery))
        TxnRecovery = false;
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
        GetLastTxnData_Launch(&out); // blocks, without the lock: the window stays live
        running.response(out);
    }
    {
        GdkLock lock;
        display_diagnosis_string(txt_request_output, out.DiagRequestOut);
        show_record(&out, kLastTxnDataDisplay);
    }
    TxnRecovery = false;
    return nullptr;
}
