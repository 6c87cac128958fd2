// Exchange rate update: the button and its worker, which shows the outcome and the
// merchant data, and the record selector with which the operator steps through
// the currencies and their rates.
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

std::atomic<bool> ExchangeRateUpdateState{false};
pthread_t ExchangeRateUpdateTh;

namespace {

GtkWidget** const kCurrencyEntries[] = {&txt_exr_cur_code, &txt_exr_conv_exp, &txt_exr_conv_rate};

// Every exchange-rate entry, in the order in which a new update empties them.
GtkWidget** const kExchangeRateEntries[] = {
    &txt_exr_op_status,  &txt_exr_auth_resp,  &txt_exr_merch_name, &txt_exr_merch_adr1,
    &txt_exr_merch_adr2, &txt_exr_merch_adr3, &txt_exr_merch_adr4, &txt_exr_profile_id,
    &txt_exr_date_time,  &txt_exr_avail_curs, &txt_exr_cur_code,   &txt_exr_conv_exp,
    &txt_exr_conv_rate,
};

GtkWidget** const kRequestOutput[] = {&txt_request_output};

} // namespace

void btn_exr_do_exr_update_Clicked(GtkWidget*, gpointer) {
    if (ExchangeRateUpdateState)
        return;
    clear_entries(kExchangeRateEntries);
    // The selector's handler then sees no active row and fetches nothing.
    if (ls_exr_rec)
        gtk_list_store_clear(ls_exr_rec);
    clear_entries(kRequestOutput);
    start_worker(&ExchangeRateUpdateTh, LaunchExchangeRateUpdateReq, nullptr,
                 &ExchangeRateUpdateState);
}

void* LaunchExchangeRateUpdateReq(void*) {
    ExchangeRateUpdateState = true; // claimed by the handler; the worker holds it from here
    const Operation& op = end_of_day_operation(EndOfDayOp::ExchangeRateUpdate);
    ExchangeRateUpdateIn request{};
    ExchangeRateUpdateOut response{};
    {
        GdkLock lock;
        read_inputs(&request, op.inputs);
    }
    {
        // Open while the answer is shown: the selector fetches currency 1 then, as
        // part of this operation.
        WorkerOperation activity(op.name);
        activity.request(request);
        run_operation(op, &request, &response);
        activity.response(response);
        GdkLock lock;
        show_record(&response, op.outputs);
        // Fetches currency 1 through the selector's handler, on this thread.
        fill_record_selector(ls_exr_rec, cmb_exr_rec_nbr, response.NumberOfAvailableCurrenciesOut);
        display_diagnosis_string(txt_request_output, response.DiagRequestOut);
    }
    ExchangeRateUpdateState = false;
    return nullptr;
}

// Runs with the toolkit lock held (main loop or the worker's locked section).
void cmb_exr_rec_nbr_changed(GtkWidget*, gpointer) {
    if (!cmb_exr_rec_nbr)
        return;
    const int active = gtk_combo_box_get_active(GTK_COMBO_BOX(cmb_exr_rec_nbr));
    if (active < 0)
        return;
    clear_entries(kCurrencyEntries);
    clear_entries(kRequestOutput);
    const Operation& op = end_of_day_operation(EndOfDayOp::CurrencyRecord);
    CurrencyDetailsRecordOut record{};
    fetch_selected_record(op.name, [&](OperationActivity& activity) {
        run_operation(op, nullptr, &record, active + 1); // rows count from 1
        activity.response(record);
    });
    show_record(&record, op.outputs);
    display_diagnosis_string(txt_request_output, record.DiagRequestOut);
}
