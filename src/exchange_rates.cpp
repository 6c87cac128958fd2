// Exchange rate update: the button and its worker, which shows the outcome and the
// merchant data, and the record selector with which the operator steps through
// the currencies and their rates.
#include "common_Routines.h"
#include "ecr_Routines.h"
#include "gdk_lock.h"
#include "korvex.h"
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

#define UPDATE(field, widget, rule) RECORD_FIELD(ExchangeRateUpdateOut, field, widget, Rule::rule)
const FieldDisplay kUpdateDisplay[] = {
    UPDATE(OperationStatusOut, txt_exr_op_status, ExchangeRateStatus),
    UPDATE(AuthorisationResponseOut, txt_exr_auth_resp, Text),
    UPDATE(MerchantNameOut, txt_exr_merch_name, Text),
    UPDATE(MerchantAddress1Out, txt_exr_merch_adr1, Text),
    UPDATE(MerchantAddress2Out, txt_exr_merch_adr2, Text),
    UPDATE(MerchantAddress3Out, txt_exr_merch_adr3, Text),
    UPDATE(MerchantAddress4Out, txt_exr_merch_adr4, Text),
    UPDATE(ProfileIDOut, txt_exr_profile_id, Text),
    UPDATE(DateTimeOut, txt_exr_date_time, Text),
    UPDATE(NumberOfAvailableCurrenciesOut, txt_exr_avail_curs, Signed16),
};
#undef UPDATE

#define CURRENCY(field, widget, rule)                                                              \
    RECORD_FIELD(CurrencyDetailsRecordOut, field, widget, Rule::rule)
const FieldDisplay kCurrencyDisplay[] = {
    CURRENCY(CurrencyCodeOut, txt_exr_cur_code, Text),
    CURRENCY(ConversionExponentOut, txt_exr_conv_exp, Signed16),
    CURRENCY(ConversionRateOut, txt_exr_conv_rate, Text),
};
#undef CURRENCY

} // namespace

void btn_exr_do_exr_update_Clicked(GtkWidget*, gpointer) {
    if (ExchangeRateUpdateState)
        return;
    clear_entries(kExchangeRateEntries);
    // The selector's handler then sees no active row and fetches nothing.
    if (ls_exr_rec)
        gtk_list_store_clear(ls_exr_rec);
    clear_entries(kRequestOutput);
    start_worker(&ExchangeRateUpdateTh, LaunchExchangeRateUpdateReq);
}

void* LaunchExchangeRateUpdateReq(void*) {
    ExchangeRateUpdateState = true;
    ExchangeRateUpdateIn request{};
    ExchangeRateUpdateOut response{};
    {
        GdkLock lock;
        request.UpdateMethodIn = two_way_choice(cmb_exr_update_mth);
    }
    {
        // Open while the answer is shown: the selector fetches currency 1 then, as
        // part of this operation.
        WorkerOperation activity("Exchange rate update");
        activity.request(request);
        Exchange_Rate_Update_Launch(request, &response);
        activity.response(response);
        GdkLock lock;
        show_record(&response, kUpdateDisplay);
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
    CurrencyDetailsRecordOut record{};
    fetch_selected_record("Currency record", [&](OperationActivity& activity) {
        GetCurrencyDetails(static_cast<short>(active + 1), &record); // rows count from 1
        activity.response(record);
    });
    show_record(&record, kCurrencyDisplay);
    display_diagnosis_string(txt_request_output, record.DiagRequestOut);
}
