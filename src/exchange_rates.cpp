// Exchange rate update: the button and its worker, which shows the outcome and the
// merchant data, and the record selector with which the operator steps through
// the currencies and their rates.
#include "end_of_day.h"
#include "operation_recipe.h"

std::atomic<bool> ExchangeRateUpdateState{false};
pthread_t ExchangeRateUpdateTh;

namespace {

// Fills the selector, which fetches currency 1 through its handler, on this thread.
void fill_currencies(const Operation&, const ExchangeRateUpdateOut& response) {
    fill_record_selector(ls_exr_rec, cmb_exr_rec_nbr, response.NumberOfAvailableCurrenciesOut);
}

// Open while the answer is shown, so that currency 1 is fetched as part of the
// update; the update's own result code goes last.
const OperationRecipe<ExchangeRateUpdateIn, ExchangeRateUpdateOut> kExchangeRateUpdate{
    .operation = "Exchange rate update",
    .worker = LaunchExchangeRateUpdateReq,
    .thread = &ExchangeRateUpdateTh,
    .busy = &ExchangeRateUpdateState,
    .scope = Scope::WhileShown,
    .result_last = true,
    .show = fill_currencies,
};

} // namespace

void btn_exr_do_exr_update_Clicked(GtkWidget*, gpointer) {
    press(kExchangeRateUpdate, [] {
        clear_outputs(console_operation("Currency record"));
        // The selector's handler then sees no active row and fetches nothing.
        if (ls_exr_rec)
            gtk_list_store_clear(ls_exr_rec);
    });
}

void* LaunchExchangeRateUpdateReq(void*) {
    return run(kExchangeRateUpdate);
}

// Runs with the toolkit lock held (main loop or the worker's locked section).
void cmb_exr_rec_nbr_changed(GtkWidget*, gpointer) {
    show_selected_record<CurrencyDetailsRecordOut>(cmb_exr_rec_nbr, "Currency record");
}
