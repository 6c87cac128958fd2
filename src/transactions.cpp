// Payment transactions: the start button and its worker DoTxn, which sends the
// input panel to the terminal and shows the whole response, and the fetch of the
// terminal's last transaction.
#include "transactions.h"
#include "operation_recipe.h"
#include "signals.h"
#include "window_look.h"

#include <cstddef>
#include <cstring>
#include <iterator>
#include <mutex>

std::atomic<bool> Txnstate{false};
pthread_t Txn;
std::atomic<bool> TxnRecovery{false};
pthread_t GLTD;
TxnRequest TxnDataIn;
TxnResponse TxnDataOut;
std::atomic<bool> IsSignatureSet{false};

namespace {

// A transaction that fails with "PED Not Authenticated" frees the start button
// before its display ends, so two workers may meet at the kept response.
std::mutex txn_data_out_mutex;

// The list's type, as the request sends it: the first type when none is chosen
// (toolkit lock held).
const Operation& chosen_type() {
    const int row = cmb_txn_type ? gtk_combo_box_get_active(GTK_COMBO_BOX(cmb_txn_type)) : -1;
    const bool listed = row >= 0 && row < static_cast<int>(std::size(tabTxnTypeStringNumber));
    return console_operation(tabTxnType[listed ? row : 0]);
}

// Empties the transaction output panel, the host message view included, and the
// result line: every transaction type shares the SALE's outputs.
void clear_transaction_output() {
    clear_outputs(console_operation("SALE"));
    clear_result_line();
}

#define COPY(field)                                                                                \
    static_assert(sizeof to.field == sizeof from.field);                                           \
    std::memcpy(to.field, from.field, sizeof to.field)

// The kept copy of the request: the indicator as its low byte.
void keep_request(const Transaction_in& from, TxnRequest& to) {
    COPY(MessageNumberIn);
    COPY(Amount1In);
    COPY(Amount2In);
    COPY(Amount3In);
    COPY(Amount4In);
    COPY(Amount1LabelIn);
    COPY(Amount2LabelIn);
    COPY(Amount3LabelIn);
    COPY(Amount4LabelIn);
    COPY(TransactionTypeIn);
    COPY(CustomLine1In);
    COPY(InvoiceNumberIn);
    COPY(CashierIdIn);
    COPY(TableIdIn);
    COPY(CommercialCodeIn);
    COPY(PreAuthRefNumIn);
    to.SuspectedFraudIndicatorIn = static_cast<unsigned char>(from.SuspectedFraudIndicatorIn);
    COPY(AuthorisationCodeIn);
}

// The kept copy: text fields byte for byte, the 16-bit fields as their low byte.
void keep_response(const Transaction_out& from, TxnResponse& to) {
    to.DiagRequestOut = from.DiagRequestOut;
    COPY(MessageNumberOut);
    COPY(TransactionStatusOut);
    COPY(EntryMethodOut);
    COPY(AcquirerMerchantIDOut);
    COPY(DateTimeOut);
    COPY(CardSchemeNameOut);
    COPY(PANOut);
    COPY(StartDateOut);
    COPY(ExpiryDateOut);
    COPY(AuthorisationCodeOut);
    COPY(AcquirerResponseCodeOut);
    COPY(MerchantNameOut);
    COPY(MerchantAddress1Out);
    COPY(MerchantAddress2Out);
    COPY(MerchantAddress3Out);
    COPY(MerchantAddress4Out);
    COPY(TransactionCurrencyCodeOut);
    to.TransactionCurrenyExponentOut =
        static_cast<unsigned char>(from.TransactionCurrenyExponentOut);
    COPY(CardCurrencyCodeOut);
    to.CardCurrencyExpOut = static_cast<unsigned char>(from.CardCurrencyExpOut);
    COPY(TotalAmountOut);
    COPY(AdditionalAmountOut);
    COPY(EMVCardExpDateOut);
    COPY(AppEffectiveDateOut);
    COPY(AIDOut);
    COPY(AppPreferredNameOut);
    COPY(AppLabelOut);
    COPY(TerminalIdentifierOut);
    COPY(EMVTxnTypeOut);
    COPY(AppCryptogramOut);
    COPY(RetrievalReferenceNumberOut);
    COPY(InvoiceNumberOut);
    COPY(BatchNumberOut);
    COPY(AcquirerNameOut);
    COPY(CustomLine1Out);
    COPY(CustomLine2Out);
    COPY(CustomLine3Out);
    COPY(CustomLine4Out);
    to.IsDCCTxnOut = static_cast<unsigned char>(from.IsDCCTxnOut);
    COPY(DCCAmountOut);
    COPY(ConversionRateOut);
    to.FXExponentAppliedOut = static_cast<unsigned char>(from.FXExponentAppliedOut);
    COPY(CommissionOut);
    COPY(TerminalCountryCodeOut);
    COPY(TerminalCurrencyCodeOut);
    to.TerminalCurrencyExponentOut = static_cast<unsigned char>(from.TerminalCurrencyExponentOut);
    COPY(FXmarkupOut);
    COPY(PANSequenceNumberOut);
    COPY(CashierIdOut);
    COPY(TableIdOut);
    COPY(CardholderNameOut);
    COPY(AvailableBalanceOut);
    COPY(ApplicationIdOut);
    COPY(PreAuthRefNumOut);
    COPY(HostTextOut);
    to.IsTaxFreeRequiredOut = static_cast<unsigned char>(from.IsTaxFreeRequiredOut);
    to.IsExchangeRateUpdateRequiredOut =
        static_cast<unsigned char>(from.IsExchangeRateUpdateRequiredOut);
    COPY(CommercialCodeDataOut);
    COPY(DonationAmountOut);
    COPY(AVSResponseOut);
    COPY(PartialAmountOut);
}
#undef COPY

} // namespace

void show_no_type_message() {
    GtkWidget* dialog =
        gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_ERROR, GTK_BUTTONS_OK,
                               "You must choose a transaction type.");
    fit_dialog_to_screen(dialog);
    gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
}

namespace {

// A new transaction starts with the cashier's signature answer unset and with
// nothing kept; the window stays live while the call blocks (cashier dialogs
// included). "PED Not Authenticated" frees the start button once the result line
// shows it; the answer is shown all the same.
const OperationRecipe<Transaction_in, Transaction_out> kTransaction{
    .operation = "SALE",
    .worker = DoTxn,
    .thread = &Txn,
    .busy = &Txnstate,
    .release = Release::NotAuthenticatedShown,
    .choose = chosen_type,
    .send =
        [](const Transaction_in& in) {
            IsSignatureSet = false;
            TxnDataIn = TxnRequest{};
            keep_request(in, TxnDataIn);
            std::lock_guard keep(txn_data_out_mutex);
            TxnDataOut = TxnResponse{};
        },
    .clear = clear_transaction_output, // a signature check may have written the panel
    .keep =
        [](const Transaction_out& out) {
            std::lock_guard keep(txn_data_out_mutex);
            keep_response(out, TxnDataOut);
        },
};

// The request side of the last transaction joins the output panel.
const OperationRecipe<NoRequest, GetLastTxnData_out> kLastTransaction{
    .operation = "Last transaction",
    .worker = TransactionRecovery,
    .thread = &GLTD,
    .busy = &TxnRecovery,
    .read = [](NoRequest&) { clear_result_line(); },
};

} // namespace

void btn_doTransaction_clicked(GtkWidget*, gpointer) {
    press(kTransaction, [] {
        if (none_btn_sign)
            gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(none_btn_sign), TRUE);
        if (!cmb_txn_type || gtk_combo_box_get_active(GTK_COMBO_BOX(cmb_txn_type)) < 0) {
            show_no_type_message();
            return false;
        }
        return true;
    });
}

void* DoTxn(void*) {
    return run(kTransaction);
}

void btn_get_last_txn_clicked(GtkWidget*, gpointer) {
    press(kLastTransaction);
}

void* TransactionRecovery(void*) {
    return run(kLastTransaction);
}
