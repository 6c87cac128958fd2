// The payment operations: the 16 transaction types of the console's type list and
// the fetch of the terminal's last transaction, with the transaction panel's inputs
// and the output panel's fields.
#include "operations.h"

#include "code_texts.h"
#include "fields.h"

#include <array>
#include <utility>

namespace {

// The transaction panel's entries, in the order the console reads them; the type
// is the operation's own (prepare).
const FieldInput kTransactionInputs[] = {
    KELVRA_INPUT(Transaction_in, MessageNumberIn, Text, "txt_txn_input_msg_num"),
    KELVRA_INPUT(Transaction_in, Amount1In, Amount, "txt_txn_input_amount1"),
    KELVRA_INPUT(Transaction_in, Amount2In, Amount, "txt_txn_input_amount2"),
    KELVRA_INPUT(Transaction_in, Amount3In, Amount, "txt_txn_input_amount3"),
    KELVRA_INPUT(Transaction_in, Amount4In, Amount, "txt_txn_input_amount4"),
    KELVRA_INPUT(Transaction_in, Amount1LabelIn, Text, "txt_txn_input_amount1_label"),
    KELVRA_INPUT(Transaction_in, Amount2LabelIn, Text, "txt_txn_input_amount2_label"),
    KELVRA_INPUT(Transaction_in, Amount3LabelIn, Text, "txt_txn_input_amount3_label"),
    KELVRA_INPUT(Transaction_in, Amount4LabelIn, Text, "txt_txn_input_amount4_label"),
    KELVRA_INPUT(Transaction_in, CustomLine1In, Text, "txt_txn_input_custom_line1"),
    KELVRA_INPUT(Transaction_in, InvoiceNumberIn, Text, "txt_txn_input_invoice_num"),
    KELVRA_INPUT(Transaction_in, CashierIdIn, Text, "txt_txn_input_cashier_id"),
    KELVRA_INPUT(Transaction_in, TableIdIn, Text, "txt_txn_input_table_id"),
    KELVRA_INPUT(Transaction_in, CommercialCodeIn, Text, "txt_txn_input_commercial_code"),
    KELVRA_INPUT(Transaction_in, PreAuthRefNumIn, Text, "txt_txn_input_pre_auth_ref_num"),
    KELVRA_INPUT(Transaction_in, SuspectedFraudIndicatorIn, FirstChar,
                 "txt_txn_input_suspected_fraud"),
    KELVRA_INPUT(Transaction_in, AuthorisationCodeIn, Text, "txt_txn_input_auth_code"),
};

#define TXN(field, widget, rule) KELVRA_OUTPUT(Transaction_out, field, rule, #widget)
// Transaction_out in the transaction output panel; the host text goes last, into
// the host message view.
const FieldOutput kTransactionOutputs[] = {
    TXN(MessageNumberOut, txt_txn_output_msg_number, Text),
    TXN(TransactionStatusOut, txt_txn_output_txn_status, TxnStatus),
    TXN(EntryMethodOut, txt_txn_output_entry_method, Text),
    TXN(AcquirerMerchantIDOut, txt_txn_output_acq_merchant_id, Text),
    TXN(DateTimeOut, txt_txn_output_date_time, Text),
    TXN(CardSchemeNameOut, txt_txn_output_card_scheme_name, Text),
    TXN(PANOut, txt_txn_output_pan, Text),
    TXN(StartDateOut, txt_txn_output_start_date, Text),
    TXN(ExpiryDateOut, txt_txn_output_expiry_date, Text),
    TXN(AuthorisationCodeOut, txt_txn_output_auth_code, Text),
    TXN(AcquirerResponseCodeOut, txt_txn_output_acq_response_code, Text),
    TXN(MerchantNameOut, txt_txn_output_merchant_name, Text),
    TXN(MerchantAddress1Out, txt_txn_output_merchant_address1, Text),
    TXN(MerchantAddress2Out, txt_txn_output_merchant_address2, Text),
    TXN(MerchantAddress3Out, txt_txn_output_merchant_address3, Text),
    TXN(MerchantAddress4Out, txt_txn_output_merchant_address4, Text),
    TXN(TransactionCurrencyCodeOut, txt_txn_output_txn_currency_code, CurrencySymbol),
    TXN(TransactionCurrenyExponentOut, txt_txn_output_txn_currency_exp, Signed16),
    TXN(CardCurrencyCodeOut, txt_txn_output_card_currency_code, CurrencySymbol),
    TXN(CardCurrencyExpOut, txt_txn_output_card_currency_exp, Signed16),
    TXN(TotalAmountOut, txt_txn_output_total_amount, Text),
    TXN(AdditionalAmountOut, txt_txn_output_additional_amount, Text),
    TXN(EMVCardExpDateOut, txt_txn_output_emv_card_exp_date, Text),
    TXN(AppEffectiveDateOut, txt_txn_output_app_effective_date, Text),
    TXN(AIDOut, txt_txn_output_aid, Text),
    TXN(AppPreferredNameOut, txt_txn_output_app_preferred_name, Text),
    TXN(AppLabelOut, txt_txn_output_app_label, Text),
    TXN(TerminalIdentifierOut, txt_txn_output_terminal_id, Text),
    TXN(EMVTxnTypeOut, txt_txn_output_emv_txn_type, Text),
    TXN(AppCryptogramOut, txt_txn_output_app_cryptogram, Text),
    TXN(RetrievalReferenceNumberOut, txt_txn_output_retreival_ref_num, Text),
    TXN(InvoiceNumberOut, txt_txn_output_invoice_num, Text),
    TXN(BatchNumberOut, txt_txn_output_batch_num, Text),
    TXN(AcquirerNameOut, txt_txn_output_acq_merchant_name, Text),
    TXN(CustomLine1Out, txt_txn_output_custom_line1, Text),
    TXN(CustomLine2Out, txt_txn_output_custom_line2, Text),
    TXN(CustomLine3Out, txt_txn_output_custom_line3, Text),
    TXN(CustomLine4Out, txt_txn_output_custom_line4, Text),
    TXN(IsDCCTxnOut, txt_txn_output_is_dcc_txn, Bool16),
    TXN(DCCAmountOut, txt_txn_output_dcc_amount, Text),
    TXN(ConversionRateOut, txt_txn_output_conversion_rate, Text),
    TXN(FXExponentAppliedOut, txt_txn_output_fx_exp_applied, Signed16),
    TXN(CommissionOut, txt_txn_output_commission, Text),
    TXN(TerminalCountryCodeOut, txt_txn_output_terminal_country_code, Text),
    TXN(TerminalCurrencyCodeOut, txt_txn_output_terminal_currency_code, CurrencySymbol),
    TXN(TerminalCurrencyExponentOut, txt_txn_output_terminal_currency_exp, Signed16),
    TXN(FXmarkupOut, txt_txn_output_fx_markup, Text),
    TXN(PANSequenceNumberOut, txt_txn_output_pan_seq_num, Text),
    TXN(CashierIdOut, txt_txn_output_cashier_id, Text),
    TXN(TableIdOut, txt_txn_output_table_id, Text),
    TXN(CardholderNameOut, txt_txn_output_cardholder_name, Text),
    TXN(AvailableBalanceOut, txt_txn_output_available_balance, Text),
    TXN(ApplicationIdOut, txt_txn_output_application_id, Text),
    TXN(PreAuthRefNumOut, txt_txn_output_pre_auth_ref_num, Text),
    TXN(IsTaxFreeRequiredOut, txt_txn_output_tax_free_requirement, Bool16),
    TXN(IsExchangeRateUpdateRequiredOut, txt_txn_output_exchange_rate_update_requirement, Bool16),
    TXN(CommercialCodeDataOut, txt_txn_output_commercial_code_data, Text),
    TXN(DonationAmountOut, txt_txn_output_donation_amount, Text),
    TXN(AVSResponseOut, txt_txn_output_avs_response, Text),
    TXN(PartialAmountOut, txt_txn_output_partial_auth_amount, Text),
    TXN(HostTextOut, txt_txn_output_text_msg, HostText),
};
#undef TXN

#define LAST(field, widget, rule) KELVRA_OUTPUT(GetLastTxnData_out, field, rule, #widget)
// GetLastTxnData_out: the request side in the txt_gltd_ entries, the response side
// in the transaction output panel.
const FieldOutput kLastTransactionOutputs[] = {
    LAST(MessageNumberOut, txt_txn_output_msg_number, Text),
    LAST(Amount1Out, txt_gltd_amount1, Text),
    LAST(Amount2Out, txt_gltd_amount2, Text),
    LAST(Amount3Out, txt_gltd_amount3, Text),
    LAST(Amount4Out, txt_gltd_amount4, Text),
    LAST(Amount1LabelOut, txt_gltd_amount1_label, Text),
    LAST(Amount2LabelOut, txt_gltd_amount2_label, Text),
    LAST(Amount3LabelOut, txt_gltd_amount3_label, Text),
    LAST(Amount4LabelOut, txt_gltd_amount4_label, Text),
    LAST(TransactionTypeOut, txt_gltd_txn_type, TxnTypeName),
    LAST(CommercialCodeOut, txt_gltd_commercial_code, Text),
    LAST(SuspectedFraudIndicatorOut, txt_gltd_suspected_fraud, Signed16),
    LAST(TransactionStatusOut, txt_txn_output_txn_status, TxnStatus),
    LAST(EntryMethodOut, txt_txn_output_entry_method, Text),
    LAST(AcquirerMerchantIDOut, txt_txn_output_acq_merchant_id, Text),
    LAST(DateTimeOut, txt_txn_output_date_time, Text),
    LAST(TransactionCurrencyCodeOut, txt_txn_output_txn_currency_code, CurrencySymbol),
    LAST(CardSchemeNameOut, txt_txn_output_card_scheme_name, Text),
    LAST(PANOut, txt_txn_output_pan, Text),
    LAST(StartDateOut, txt_txn_output_start_date, Text),
    LAST(ExpiryDateOut, txt_txn_output_expiry_date, Text),
    LAST(AuthorisationCodeOut, txt_txn_output_auth_code, Text),
    LAST(AcquirerResponseCodeOut, txt_txn_output_acq_response_code, Text),
    LAST(MerchantNameOut, txt_txn_output_merchant_name, Text),
    LAST(MerchantAddress1Out, txt_txn_output_merchant_address1, Text),
    LAST(MerchantAddress2Out, txt_txn_output_merchant_address2, Text),
    LAST(MerchantAddress3Out, txt_txn_output_merchant_address3, Text),
    LAST(MerchantAddress4Out, txt_txn_output_merchant_address4, Text),
    LAST(TotalAmountOut, txt_txn_output_total_amount, Text),
    LAST(AdditionalAmountOut, txt_txn_output_additional_amount, Text),
    LAST(CardCurrencyCodeOut, txt_txn_output_card_currency_code, CurrencySymbol),
    LAST(CardCurrencyExponentOut, txt_txn_output_card_currency_exp, Signed16),
    LAST(EMVCardExpDateOut, txt_txn_output_emv_card_exp_date, Text),
    LAST(AppEffectiveDateOut, txt_txn_output_app_effective_date, Text),
    LAST(AIDOut, txt_txn_output_aid, Text),
    LAST(AppPreferredNameOut, txt_txn_output_app_preferred_name, Text),
    LAST(AppLabelOut, txt_txn_output_app_label, Text),
    LAST(TerminalIdentifierOut, txt_txn_output_terminal_id, Text),
    LAST(TransactionCurrenyExponentOut, txt_txn_output_txn_currency_exp, Signed16),
    LAST(EMVTxnTypeOut, txt_txn_output_emv_txn_type, Text),
    LAST(AppCryptogramOut, txt_txn_output_app_cryptogram, Text),
    LAST(RetrievalReferenceNumberOut, txt_txn_output_retreival_ref_num, Text),
    LAST(InvoiceNumberOut, txt_txn_output_invoice_num, Text),
    LAST(BatchNumberOut, txt_txn_output_batch_num, Text),
    LAST(AcquirerNameOut, txt_txn_output_acq_merchant_name, Text),
    LAST(CustomLine1Out, txt_txn_output_custom_line1, Text),
    LAST(CustomLine2Out, txt_txn_output_custom_line2, Text),
    LAST(CustomLine3Out, txt_txn_output_custom_line3, Text),
    LAST(CustomLine4Out, txt_txn_output_custom_line4, Text),
    LAST(DCCAmountOut, txt_txn_output_dcc_amount, Text),
    LAST(IsDCCTxnOut, txt_txn_output_is_dcc_txn, Bool16),
    LAST(ConversionRateOut, txt_txn_output_conversion_rate, Text),
    LAST(FXExponentAppliedOut, txt_txn_output_fx_exp_applied, Signed16),
    LAST(CommissionOut, txt_txn_output_commission, Text),
    LAST(TerminalCountryCodeOut, txt_txn_output_terminal_country_code, Text),
    LAST(TerminalCurrencyCodeOut, txt_txn_output_terminal_currency_code, CurrencySymbol),
    LAST(TerminalCurrencyExponentOut, txt_txn_output_terminal_currency_exp, Signed16),
    LAST(FXmarkupOut, txt_txn_output_fx_markup, Text),
    LAST(PANSequenceNumberOut, txt_txn_output_pan_seq_num, Text),
    LAST(CashierIdOut, txt_txn_output_cashier_id, Text),
    LAST(TableIdOut, txt_txn_output_table_id, Text),
    LAST(CardholderNameOut, txt_txn_output_cardholder_name, Text),
    LAST(AvailableBalanceOut, txt_txn_output_available_balance, Text),
    LAST(ApplicationIdOut, txt_txn_output_application_id, Text),
    LAST(PreAuthRefNumOut, txt_txn_output_pre_auth_ref_num, Text),
    LAST(HostTextOut, txt_txn_output_text_msg, HostText),
    LAST(IsTaxFreeRequiredOut, txt_txn_output_tax_free_requirement, Bool16),
    LAST(IsExchangeRateUpdateRequiredOut, txt_txn_output_exchange_rate_update_requirement, Bool16),
    LAST(CommercialCodeDataOut, txt_txn_output_commercial_code_data, Text),
    LAST(DonationAmountOut, txt_txn_output_donation_amount, Text),
    LAST(AVSResponseOut, txt_txn_output_avs_response, Text),
    LAST(PartialAmountOut, txt_txn_output_partial_auth_amount, Text),
};
#undef LAST

// The type code of the list's row N ("00" for a SALE).
template <int N> void set_type(void* request) {
    field_copy(static_cast<Transaction_in*>(request)->TransactionTypeIn, tabTxnTypeStringNumber[N]);
}

short launch_transaction(const OperationCall& call) {
    auto* out = static_cast<Transaction_out*>(call.response);
    call.making(Transaction_Launch);
    Transaction_Launch(static_cast<const Transaction_in*>(call.request), out);
    return out->DiagRequestOut;
}

short fetch_last_transaction(const OperationCall& call) {
    auto* out = static_cast<GetLastTxnData_out*>(call.response);
    call.making(GetLastTxnData_Launch);
    GetLastTxnData_Launch(out);
    return out->DiagRequestOut;
}

constexpr const FieldDesc* kTransactionResult = &field_of<Transaction_out>("DiagRequestOut");

template <int N> constexpr Operation transaction_type() {
    return Operation{tabTxnType[N],
                     &record_description<Transaction_in>,
                     &record_description<Transaction_out>,
                     kTransactionInputs,
                     kTransactionOutputs,
                     kTransactionResult,
                     set_type<N>,
                     launch_transaction,
                     false};
}

template <int... N> constexpr auto transaction_types(std::integer_sequence<int, N...>) {
    return std::array<Operation, sizeof...(N) + 1>{
        transaction_type<N>()...,
        Operation{"Last transaction",
                  nullptr,
                  &record_description<GetLastTxnData_out>,
                  {},
                  kLastTransactionOutputs,
                  &field_of<GetLastTxnData_out>("DiagRequestOut"),
                  nullptr,
                  fetch_last_transaction,
                  false},
    };
}

const auto kPaymentOperations = transaction_types(std::make_integer_sequence<int, 16>());

} // namespace

std::span<const Operation> payment_operations() {
    return kPaymentOperations;
}
