// Tip adjustment: the button and its worker, which sends the invoice number, the
// total and the old and new tip (twelve '0'-filled digits) to the terminal and shows
// whether it changed.
#include "end_of_day.h"
#include "operation_recipe.h"

std::atomic<bool> AdjustTipAmountState{false};
pthread_t AdjustTipAmountTh;

namespace {

// Colour first, then the text.
void show_update_status(const Operation&, const AdjustTipAmountOut& response) {
    if (!txt_ata_update_status)
        return;
    const short result = response.TipUpdateResultOut;
    const bool changed = result == 1;
    setColor(txt_ata_update_status, changed ? "green" : "red");
    gtk_entry_set_text(GTK_ENTRY(txt_ata_update_status), changed       ? "Update Succeeded"
                                                         : result == 0 ? "Update Failed"
                                                                       : "Unknown");
}

const OperationRecipe<AdjustTipAmountIn, AdjustTipAmountOut> kTipAdjustment{
    .operation = "Tip adjustment",
    .worker = LaunchAdjustTipAmountReq,
    .thread = &AdjustTipAmountTh,
    .busy = &AdjustTipAmountState,
    .show = show_update_status,
};

} // namespace

void btn_adjust_tip_amount_Clicked(GtkWidget*, gpointer) {
    // The status keeps its colour until the answer.
    press(kTipAdjustment, [] { clear_widgets({txt_ata_update_status}); });
}

void* LaunchAdjustTipAmountReq(void*) {
    return run(kTipAdjustment);
}
