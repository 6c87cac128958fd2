// Tip adjustment: the button and its worker, which sends the invoice number, the
// total and the old and new tip to the terminal and shows whether it changed.
#include "activity.h"
#include "common_Routines.h"
#include "ecr_Routines.h"
#include "gdk_lock.h"
#include "korvex.h"
#include "operation_areas.h"
#include "record_display.h"
#include "signals.h"
#include "ui_components.h"
#include "worker.h"

std::atomic<bool> AdjustTipAmountState{false};
pthread_t AdjustTipAmountTh;

namespace {

GtkWidget** const kTipOutputs[] = {&txt_ata_update_status, &txt_request_output};

// Colour first, then the text.
void show_update_status(short result) {
    if (!txt_ata_update_status)
        return;
    const bool changed = result == 1;
    setColor(txt_ata_update_status, changed ? "green" : "red");
    gtk_entry_set_text(GTK_ENTRY(txt_ata_update_status), changed       ? "Update Succeeded"
                                                         : result == 0 ? "Update Failed"
                                                                       : "Unknown");
}

} // namespace

void btn_adjust_tip_amount_Clicked(GtkWidget*, gpointer) {
    if (AdjustTipAmountState)
        return;
    clear_entries(kTipOutputs); // the status keeps its colour until the answer
    start_worker(&AdjustTipAmountTh, LaunchAdjustTipAmountReq, nullptr, &AdjustTipAmountState);
}

void* LaunchAdjustTipAmountReq(void*) {
    AdjustTipAmountState = true; // claimed by the handler; the worker holds it from here
    const Operation& op = end_of_day_operation(EndOfDayOp::TipAdjustment);
    AdjustTipAmountIn request{};
    AdjustTipAmountOut response{};
    {
        GdkLock lock;
        read_inputs(&request, op.inputs); // the tips in twelve '0'-filled digits
    }
    {
        OperationActivity activity(op.name);
        activity.request(request);
        run_operation(op, &request, &response);
        activity.response(response);
    }
    {
        GdkLock lock;
        show_update_status(response.TipUpdateResultOut);
        display_diagnosis_string(txt_request_output, response.DiagRequestOut);
    }
    AdjustTipAmountState = false;
    return nullptr;
}
