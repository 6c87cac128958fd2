// Tax-free refund: the button and its worker, which sends the sale to the terminal
// and shows the whole tax-free form it returns.
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

#include <vector>

std::atomic<bool> TaxFreeRefundState{false};
pthread_t TaxFreeRefundTh;

namespace {

// The form's entries in the table's order, then the result line: what a new
// request empties.
std::vector<GtkWidget**> tax_free_outputs() {
    std::vector<GtkWidget**> entries;
    for (const FieldOutput& f : end_of_day_operation(EndOfDayOp::TaxFreeRefund).outputs)
        entries.push_back(widget_handle(f.widget));
    entries.push_back(&txt_request_output);
    return entries;
}

} // namespace

void btn_tfr_inp_start_tax_free_Clicked(GtkWidget*, gpointer) {
    if (TaxFreeRefundState)
        return;
    static const std::vector<GtkWidget**> outputs = tax_free_outputs();
    clear_entries(outputs.data(), outputs.size());
    start_worker(&TaxFreeRefundTh, LaunchTaxFreeRefundReq, nullptr, &TaxFreeRefundState);
}

void* LaunchTaxFreeRefundReq(void*) {
    TaxFreeRefundState = true; // claimed by the handler; the worker holds it from here
    const Operation& op = end_of_day_operation(EndOfDayOp::TaxFreeRefund);
    TFRTransactionIn request{};
    TFRTransactionOut response{};
    {
        GdkLock lock;
        read_inputs(&request, op.inputs); // the texts, then the payment method
    }
    {
        OperationActivity activity(op.name);
        activity.request(request);
        run_operation(op, &request, &response);
        activity.response(response);
    }
    {
        GdkLock lock;
        show_record(&response, op.outputs);
        display_diagnosis_string(txt_request_output, response.DiagRequestOut);
    }
    TaxFreeRefundState = false;
    return nullptr;
}
