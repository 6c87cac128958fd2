// Settlement and settlement data: the two buttons and their workers, which show the
// batch totals in the settlement panel, and the record selector with which the
// operator steps through the transaction detail records that either announced.
#include "common_Routines.h"
#include "ecr_Routines.h"
#include "gdk_lock.h"
#include "korvex.h"
#include "operation_areas.h"
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

// Shows a settlement response, fills the selector with one row per detail record
// and selects the first, which fetches record 1 through the selector's handler on
// this thread, still under the lock; the response's own result code goes last.
void show_settlement_response(const SettlementResponseOut& out) {
    show_record(&out, end_of_day_operation(EndOfDayOp::Settlement).outputs);
    fill_record_selector(ls_setm_rec, cmb_settlement_record_num,
                         out.TransactionDetailDataRecordNumberOut);
    display_diagnosis_string(txt_request_output, out.DiagRequestOut);
}

} // namespace

void btn_do_settlement_Clicked(GtkWidget*, gpointer) {
    if (DoSettlementState)
        return;
    clear_settlement_panel();
    start_worker(&DoSettlementTh, LaunchSettlementReq, nullptr, &DoSettlementState);
}

void* LaunchSettlementReq(void*) {
    DoSettlementState = true; // claimed by the handler; the worker holds it from here
    const Operation& op = end_of_day_operation(EndOfDayOp::Settlement);
    SettlementRequestIn request{};
    SettlementResponseOut response{};
    {
        GdkLock lock;
        read_inputs(&request, op.inputs);
    }
    {
        // Open while the answer is shown: the selector fetches the first detail
        // record then, as part of this operation.
        WorkerOperation activity(op.name);
        activity.request(request);
        run_operation(op, &request, &response); // blocks while the terminal settles
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
    start_worker(&GetSettlementDataTh, LaunchGetSettlementDataReq, nullptr,
                 &GetSettlementDataState);
}

void* LaunchGetSettlementDataReq(void*) {
    GetSettlementDataState = true; // claimed by the handler; the worker holds it from here
    const Operation& op = end_of_day_operation(EndOfDayOp::SettlementData);
    SettlementRequestIn request{};
    SettlementResponseOut response{};
    {
        GdkLock lock;
        read_inputs(&request, op.inputs); // the message number and the record type
    }
    {
        WorkerOperation activity(op.name); // open while shown, as above
        activity.request(request);
        run_operation(op, &request, &response);
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
    const Operation& op = end_of_day_operation(EndOfDayOp::SettlementRecord);
    const int number = active + 1; // rows count from 1
    // The journal keeps the request as the call sends it, with the number.
    SettlementRequestIn request{};
    request.TxnDetailDataRecordIndexIn = static_cast<short>(number);
    SettlementDataRecordOut record{};
    fetch_selected_record(op.name, [&](OperationActivity& activity) {
        activity.request(request);
        run_operation(op, &request, &record, number);
        activity.response(record);
    });
    show_record(&record, op.outputs);
    display_diagnosis_string(txt_request_output, record.DiagRequestOut);
}
