// Settlement and settlement data: the two buttons and their workers, which show the
// batch totals in the settlement panel, and the record selector with which the
// operator steps through the transaction detail records that either announced.
#include "common_Routines.h"
#include "ecr_Routines.h"
#include "fields.h"
#include "gdk_lock.h"
#include "korvex.h"
#include "operation_scope.h"
#include "record_display.h"
#include "signals.h"
#include "ui_components.h"
#include "worker.h"

#include <iterator>
#include <string>

std::atomic<bool> DoSettlementState{false};
std::atomic<bool> GetSettlementDataState{false};
pthread_t DoSettlementTh;
pthread_t GetSettlementDataTh;

namespace {

// The detail-record entries, in the order in which they are emptied.
GtkWidget** const kDetailEntries[] = {
    &txt_sett_output_txn_type,
    &txt_sett_output_voided_txn_type,
    &txt_sett_output_total_amount,
    &txt_sett_output_additional_amount,
    &txt_sett_output_txn_currency_code,
    &txt_sett_output_authorisation_code,
    &txt_sett_output_avs_response,
    &txt_sett_output_invoice_number,
    &txt_sett_output_shift_number,
    &txt_sett_output_date_and_time,
    &txt_sett_output_bank_type,
    &txt_sett_output_card_scheme_name,
    &txt_sett_output_card_type,
    &txt_sett_output_pan,
    &txt_sett_output_entry_method,
    &txt_sett_output_is_dcc_txn,
    &txt_sett_output_is_dcc_txn_accepted,
    &txt_sett_output_is_dcc_txn_eligible,
    &txt_sett_output_dcc_amount,
    &txt_sett_output_dcc_tip_amount,
    &txt_sett_output_dcc_txn_currency_code,
    &txt_sett_output_conversion_rate,
    &txt_sett_output_fx_exponent_applied,
};

// The summary entries, in the order in which a new request empties them; the
// detail entries follow (55 in all).
GtkWidget** const kSummaryEntries[] = {
    &txt_sett_output_msg_num,
    &txt_sett_output_settlement_status,
    &txt_sett_output_date_time,
    &txt_sett_output_settlement_response,
    &txt_sett_output_acq_name,
    &txt_sett_output_acq_merchant_id,
    &txt_sett_output_batch_num,
    &txt_sett_output_debit_count,
    &txt_sett_output_debit_amount,
    &txt_sett_output_credit_count,
    &txt_sett_output_credit_amount,
    &txt_sett_output_cash_backs_count,
    &txt_sett_output_cash_backs_amount,
    &txt_sett_output_sales_void_count,
    &txt_sett_output_sales_void_amount,
    &txt_sett_output_refunds_void_count,
    &txt_sett_output_refunds_void_amount,
    &txt_sett_output_is_gratuity_enabled,
    &txt_sett_output_gratuity_amount,
    &txt_sett_output_is_shift_proc_enabled,
    &txt_sett_output_sum_or_detailed_report,
    &txt_sett_output_txn_detail_data_rec_num,
    &txt_sett_output_merchant_name,
    &txt_sett_output_help_desk_number,
    &txt_sett_output_merchant_address1,
    &txt_sett_output_merchant_address2,
    &txt_sett_output_merchant_address3,
    &txt_sett_output_merchant_address4,
    &txt_sett_output_terminal_id,
    &txt_sett_output_terminal_country_code,
    &txt_sett_output_terminal_currency_code,
    &txt_sett_output_terminal_currency_exp,
};
static_assert(std::size(kSummaryEntries) + std::size(kDetailEntries) == 55);

#define SUMMARY(field, widget, rule) RECORD_FIELD(SettlementResponseOut, field, widget, Rule::rule)
// SettlementResponseOut in the summary entries, in the order they are shown.
const FieldDisplay kSummaryDisplay[] = {
    SUMMARY(MessageNumberOut, txt_sett_output_msg_num, Text),
    SUMMARY(SettlementStatusOut, txt_sett_output_settlement_status, SettlementStatus),
    SUMMARY(SettlementDateTimeOut, txt_sett_output_date_time, Text),
    SUMMARY(SettleResponseOut, txt_sett_output_settlement_response, Text),
    SUMMARY(AcquirerNameOut, txt_sett_output_acq_name, Text),
    SUMMARY(AcquirerMerchantIDOut, txt_sett_output_acq_merchant_id, Text),
    SUMMARY(BatchNumberOut, txt_sett_output_batch_num, Text),
    SUMMARY(DebitCountOut, txt_sett_output_debit_count, Text),
    SUMMARY(DebitAmountOut, txt_sett_output_debit_amount, Text),
    SUMMARY(CreditCountOut, txt_sett_output_credit_count, Text),
    SUMMARY(CreditAmountOut, txt_sett_output_credit_amount, Text),
    SUMMARY(CashBacksCountOut, txt_sett_output_cash_backs_count, Text),
    SUMMARY(CashBacksAmountOut, txt_sett_output_cash_backs_amount, Text),
    SUMMARY(SalesVoidCountOut, txt_sett_output_sales_void_count, Text),
    SUMMARY(SalesVoidAmountOut, txt_sett_output_sales_void_amount, Text),
    SUMMARY(RefundsVoidCountOut, txt_sett_output_refunds_void_count, Text),
    SUMMARY(RefundsVoidAmountOut, txt_sett_output_refunds_void_amount, Text),
    SUMMARY(IsGratuityEnabledOut, txt_sett_output_is_gratuity_enabled, Bool16),
    SUMMARY(GratuityAmountOut, txt_sett_output_gratuity_amount, Text),
    SUMMARY(IsShiftProcessEnabledOut, txt_sett_output_is_shift_proc_enabled, Bool16),
    SUMMARY(SumOrDetailReportOut, txt_sett_output_sum_or_detailed_report, Signed16),
    SUMMARY(MerchantNameOut, txt_sett_output_merchant_name, Text),
    SUMMARY(HelpDeskNumberOut, txt_sett_output_help_desk_number, Text),
    SUMMARY(MerchantAddress1Out, txt_sett_output_merchant_address1, Text),
    SUMMARY(MerchantAddress2Out, txt_sett_output_merchant_address2, Text),
    SUMMARY(MerchantAddress3Out, txt_sett_output_merchant_address3, Text),
    SUMMARY(MerchantAddress4Out, txt_sett_output_merchant_address4, Text),
    SUMMARY(TerminalIdentifierOut, txt_sett_output_terminal_id, Text),
    SUMMARY(TerminalCountryCodeOut, txt_sett_output_terminal_country_code, Text),
    SUMMARY(TerminalCurrencyCodeOut, txt_sett_output_terminal_currency_code, Text),
    SUMMARY(TerminalCurrencyExponentOut, txt_sett_output_terminal_currency_exp, Signed16),
    SUMMARY(TransactionDetailDataRecordNumberOut, txt_sett_output_txn_detail_data_rec_num,
            Signed16),
};
#undef SUMMARY

#define DETAIL(field, widget, rule) RECORD_FIELD(SettlementDataRecordOut, field, widget, Rule::rule)
// SettlementDataRecordOut in the detail entries, in the order they are shown.
const FieldDisplay kDetailDisplay[] = {
    DETAIL(TransactionTypeOut, txt_sett_output_txn_type, TxnTypeOfValue),
    DETAIL(VoidedTransactionTypeOut, txt_sett_output_voided_txn_type, Text),
    DETAIL(TotalAmountOut, txt_sett_output_total_amount, Text),
    DETAIL(AdditionalAmountOut, txt_sett_output_additional_amount, Text),
    DETAIL(TransactionCurrencyCodeOut, txt_sett_output_txn_currency_code, CurrencySymbol),
    DETAIL(AuthorisationCodeOut, txt_sett_output_authorisation_code, Text),
    DETAIL(AVSResponseOut, txt_sett_output_avs_response, Text),
    DETAIL(BankTypeOut, txt_sett_output_bank_type, BankType),
    DETAIL(ShiftNumberOut, txt_sett_output_shift_number, Text),
    DETAIL(DateTimeOut, txt_sett_output_date_and_time, Text),
    DETAIL(InvoiceNumberOut, txt_sett_output_invoice_number, Text),
    DETAIL(CardSchemeNameOut, txt_sett_output_card_scheme_name, Text),
    DETAIL(CardTypeOut, txt_sett_output_card_type, Text),
    DETAIL(PANOut, txt_sett_output_pan, Text),
    DETAIL(EntryMethodOut, txt_sett_output_entry_method, EntryMethodName),
    DETAIL(IsDCCTxnOut, txt_sett_output_is_dcc_txn, Bool16),
    DETAIL(IsDCCTxnAcceptedOut, txt_sett_output_is_dcc_txn_accepted, Bool16),
    DETAIL(IsDCCTxnEligibleOut, txt_sett_output_is_dcc_txn_eligible, Bool16),
    DETAIL(DCCAmountOut, txt_sett_output_dcc_amount, Text),
    DETAIL(DCCTipAmountOut, txt_sett_output_dcc_tip_amount, Text),
    DETAIL(DCCTransactionCurrencyCodeOut, txt_sett_output_dcc_txn_currency_code, Text),
    DETAIL(ConversionRateOut, txt_sett_output_conversion_rate, Text),
    DETAIL(FXExponentAppliedOut, txt_sett_output_fx_exponent_applied, Signed16),
};
#undef DETAIL

GtkWidget** const kRequestOutput[] = {&txt_request_output};

// Empties the panel and the selector before a new request (main thread).
void clear_settlement_panel() {
    clear_entries(kSummaryEntries);
    clear_entries(kDetailEntries);
    // The selector's handler sees no active row and fetches nothing.
    if (ls_setm_rec)
        gtk_list_store_clear(ls_setm_rec);
    clear_entries(kRequestOutput);
}

// Reads the message number entry into the request (toolkit lock held).
void read_message_number(GtkWidget* entry, SettlementRequestIn& request) {
    field_copy(request.MessageNumberIn, input_text(entry));
}

// Shows a settlement response, fills the selector with one row per detail record
// and selects the first, which fetches record 1 through the selector's handler on
// this thread, still under the lock; the response's own result code goes last.
void show_settlement_response(const SettlementResponseOut& out) {
    show_record(&out, kSummaryDisplay);
    fill_record_selector(ls_setm_rec, cmb_settlement_record_num,
                         out.TransactionDetailDataRecordNumberOut);
    display_diagnosis_string(txt_request_output, out.DiagRequestOut);
}

} // namespace

void btn_do_settlement_Clicked(GtkWidget*, gpointer) {
    if (DoSettlementState)
        return;
    clear_settlement_panel();
    start_worker(&DoSettlementTh, LaunchSettlementReq);
}

void* LaunchSettlementReq(void*) {
    DoSettlementState = true;
    SettlementRequestIn request{};
    SettlementResponseOut response{};
    {
        GdkLock lock;
        read_message_number(txt_settlement_msg_num, request);
    }
    {
        // Open while the answer is shown: the selector fetches the first detail
        // record then, as part of this operation.
        WorkerOperation activity("Settlement");
        activity.request(request);
        DoSettlement(request, &response); // blocks while the terminal settles
        activity.response(response);
        GdkLock lock;
        show_settlement_response(response);
    }
    DoSettlementState = false;
    return nullptr;
}

void btn_get_settlement_data_Clicked(GtkWidget*, gpointer) {
    if (GetSettlementDataState)
        return;
    clear_settlement_panel();
    start_worker(&GetSettlementDataTh, LaunchGetSettlementDataReq);
}

void* LaunchGetSettlementDataReq(void*) {
    GetSettlementDataState = true;
    SettlementRequestIn request{};
    SettlementResponseOut response{};
    {
        GdkLock lock;
        read_message_number(txt_get_settlement_msg_num, request);
        request.SettlementRecordTypeIn = two_way_choice(cmb_get_settlement_data_record_type);
    }
    {
        WorkerOperation activity("Settlement data"); // open while shown, as above
        activity.request(request);
        GetSettlementData(request, &response);
        activity.response(response);
        GdkLock lock;
        show_settlement_response(response);
    }
    GetSettlementDataState = false;
    return nullptr;
}

// Runs with the toolkit lock held (main loop or a worker's locked section): it
// must not take the lock, and its library call keeps the window waiting.
void cmb_settlement_record_num_changed(GtkWidget*, gpointer) {
    if (!cmb_settlement_record_num)
        return;
    const int active = gtk_combo_box_get_active(GTK_COMBO_BOX(cmb_settlement_record_num));
    if (active < 0)
        return;
    clear_entries(kDetailEntries);
    clear_entries(kRequestOutput);
    SettlementRequestIn request{};
    request.TxnDetailDataRecordIndexIn = static_cast<short>(active + 1); // rows count from 1
    SettlementDataRecordOut record{};
    fetch_selected_record("Settlement record", [&](OperationActivity& activity) {
        activity.request(request);
        GetTransactionDetailDataRecord(request, &record);
        activity.response(record);
    });
    show_record(&record, kDetailDisplay);
    display_diagnosis_string(txt_request_output, record.DiagRequestOut);
}
