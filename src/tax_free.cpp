// Tax-free refund: the button and its worker, which sends the sale to the terminal
// and shows the whole tax-free form it returns.
#include "end_of_day.h"
#include "operation_recipe.h"

std::atomic<bool> TaxFreeRefundState{false};
pthread_t TaxFreeRefundTh;

namespace {

// The texts, then the payment method; the form and the result code in the answer.
const OperationRecipe<TFRTransactionIn, TFRTransactionOut> kTaxFreeRefund{
    .operation = "Tax-free refund",
    .worker = LaunchTaxFreeRefundReq,
    .thread = &TaxFreeRefundTh,
    .busy = &TaxFreeRefundState,
};

} // namespace

void btn_tfr_inp_start_tax_free_Clicked(GtkWidget*, gpointer) {
    press(kTaxFreeRefund);
}

void* LaunchTaxFreeRefundReq(void*) {
    return run(kTaxFreeRefund);
}
