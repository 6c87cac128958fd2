// Settlement and settlement data: the two buttons and their workers, which show the
// batch totals in the settlement panel, and the record selector with which the
// operator steps through the transaction detail records that either announced.
#include "end_of_day.h"
#include "operation_recipe.h"

std::atomic<bool> DoSettlementState{false};
std::atomic<bool> GetSettlementDataState{false};
pthread_t DoSettlementTh;
pthread_t GetSettlementDataTh;

namespace {

// Empties the detail record and the selector as well (main thread); the selector's
// handler then sees no active row and fetches nothing.
void clear_detail_records() {
    clear_outputs(console_operation("Settlement record"));
    if (ls_setm_rec)
        gtk_list_store_clear(ls_setm_rec);
}

// Fills the selector with one row per detail record and selects the first, which
// fetches record 1 through the selector's handler on this thread, still under the
// lock.
void fill_detail_records(const Operation&, const SettlementResponseOut& response) {
    fill_record_selector(ls_setm_rec, cmb_settlement_record_num,
                         response.TransactionDetailDataRecordNumberOut);
}

// Both requests carry the message number (and the settlement data its record type);
// the scope stays open while the answer is shown, so that record 1 is fetched as
// part of it, and the response's own result code goes last.
using SettlementRecipe = OperationRecipe<SettlementRequestIn, SettlementResponseOut>;
constexpr SettlementRecipe settlement_recipe(const char* operation, void* (*worker)(void*),
                                             pthread_t* thread, std::atomic<bool>* busy) {
    return {.operation = operation,
            .worker = worker,
            .thread = thread,
            .busy = busy,
            .scope = Scope::WhileShown,
            .result_last = true,
            .show = fill_detail_records};
}

const auto kSettlement =
    settlement_recipe("Settlement", LaunchSettlementReq, &DoSettlementTh, &DoSettlementState);
const auto kSettlementData = settlement_recipe("Settlement data", LaunchGetSettlementDataReq,
                                               &GetSettlementDataTh, &GetSettlementDataState);

} // namespace

void btn_do_settlement_Clicked(GtkWidget*, gpointer) {
    press(kSettlement, clear_detail_records);
}

void* LaunchSettlementReq(void*) {
    return run(kSettlement); // blocks while the terminal settles
}

void btn_get_settlement_data_Clicked(GtkWidget*, gpointer) {
    press(kSettlementData, clear_detail_records);
}

void* LaunchGetSettlementDataReq(void*) {
    return run(kSettlementData);
}

// Runs with the toolkit lock held (main loop or a worker's locked section): it
// must not take the lock, and its library call keeps the window waiting. The
// journal keeps the request as the call sends it, with the number.
void cmb_settlement_record_num_changed(GtkWidget*, gpointer) {
    show_selected_record<SettlementDataRecordOut, SettlementRequestIn>(
        cmb_settlement_record_num, "Settlement record",
        [](SettlementRequestIn& request, int number) {
            request.TxnDetailDataRecordIndexIn = static_cast<short>(number);
        });
}
