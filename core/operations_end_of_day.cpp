// The end of the day: the settlement, the settlement data and their detail records,
// the tip adjustment, the exchange rate update and its currencies, the tax-free
// refund. The settlement and exchange-rate panels and the scenario runner show and
// read these operations through the tables below.
#include "operation_calls.h"
#include "operations.h"

#include <string_view>

namespace {

using namespace operation_calls;

// ---------------------------------------------------------------------------
// Settlement and settlement data

// The rows of cmb_get_settlement_data_record_type, by the value the terminal takes.
const char* const kSettlementTypes[] = {"Open batch (not settled yet)", "Last settled batch",
                                        nullptr};

const FieldInput kSettlementInputs[] = {
    KELVRA_INPUT(SettlementRequestIn, MessageNumberIn, Text, "txt_settlement_msg_num"),
};

const FieldInput kSettlementDataInputs[] = {
    KELVRA_INPUT(SettlementRequestIn, MessageNumberIn, Text, "txt_get_settlement_msg_num"),
    KELVRA_CHOICE(SettlementRequestIn, SettlementRecordTypeIn, kSettlementTypes,
                  "cmb_get_settlement_data_record_type"),
};

#define SUMMARY(field, rule, widget) KELVRA_OUTPUT(SettlementResponseOut, field, rule, widget)
// The batch totals in the settlement panel, in the order they are shown.
const FieldOutput kSettlementOutputs[] = {
    SUMMARY(MessageNumberOut, Text, "txt_sett_output_msg_num"),
    SUMMARY(SettlementStatusOut, SettlementStatus, "txt_sett_output_settlement_status"),
    SUMMARY(SettlementDateTimeOut, Text, "txt_sett_output_date_time"),
    SUMMARY(SettleResponseOut, Text, "txt_sett_output_settlement_response"),
    SUMMARY(AcquirerNameOut, Text, "txt_sett_output_acq_name"),
    SUMMARY(AcquirerMerchantIDOut, Text, "txt_sett_output_acq_merchant_id"),
    SUMMARY(BatchNumberOut, Text, "txt_sett_output_batch_num"),
    SUMMARY(DebitCountOut, Text, "txt_sett_output_debit_count"),
    SUMMARY(DebitAmountOut, Text, "txt_sett_output_debit_amount"),
    SUMMARY(CreditCountOut, Text, "txt_sett_output_credit_count"),
    SUMMARY(CreditAmountOut, Text, "txt_sett_output_credit_amount"),
    SUMMARY(CashBacksCountOut, Text, "txt_sett_output_cash_backs_count"),
    SUMMARY(CashBacksAmountOut, Text, "txt_sett_output_cash_backs_amount"),
    SUMMARY(SalesVoidCountOut, Text, "txt_sett_output_sales_void_count"),
    SUMMARY(SalesVoidAmountOut, Text, "txt_sett_output_sales_void_amount"),
    SUMMARY(RefundsVoidCountOut, Text, "txt_sett_output_refunds_void_count"),
    SUMMARY(RefundsVoidAmountOut, Text, "txt_sett_output_refunds_void_amount"),
    SUMMARY(IsGratuityEnabledOut, Bool16, "txt_sett_output_is_gratuity_enabled"),
    SUMMARY(GratuityAmountOut, Text, "txt_sett_output_gratuity_amount"),
    SUMMARY(IsShiftProcessEnabledOut, Bool16, "txt_sett_output_is_shift_proc_enabled"),
    SUMMARY(SumOrDetailReportOut, Signed16, "txt_sett_output_sum_or_detailed_report"),
    SUMMARY(MerchantNameOut, Text, "txt_sett_output_merchant_name"),
    SUMMARY(HelpDeskNumberOut, Text, "txt_sett_output_help_desk_number"),
    SUMMARY(MerchantAddress1Out, Text, "txt_sett_output_merchant_address1"),
    SUMMARY(MerchantAddress2Out, Text, "txt_sett_output_merchant_address2"),
    SUMMARY(MerchantAddress3Out, Text, "txt_sett_output_merchant_address3"),
    SUMMARY(MerchantAddress4Out, Text, "txt_sett_output_merchant_address4"),
    SUMMARY(TerminalIdentifierOut, Text, "txt_sett_output_terminal_id"),
    SUMMARY(TerminalCountryCodeOut, Text, "txt_sett_output_terminal_country_code"),
    SUMMARY(TerminalCurrencyCodeOut, Text, "txt_sett_output_terminal_currency_code"),
    SUMMARY(TerminalCurrencyExponentOut, Signed16, "txt_sett_output_terminal_currency_exp"),
    SUMMARY(TransactionDetailDataRecordNumberOut, Signed16,
            "txt_sett_output_txn_detail_data_rec_num"),
};
#undef SUMMARY

#define DETAIL(field, rule, widget) KELVRA_OUTPUT(SettlementDataRecordOut, field, rule, widget)
// One transaction detail record in the settlement panel, in the order shown.
const FieldOutput kSettlementRecordOutputs[] = {
    DETAIL(TransactionTypeOut, TxnTypeOfValue, "txt_sett_output_txn_type"),
    DETAIL(VoidedTransactionTypeOut, Text, "txt_sett_output_voided_txn_type"),
    DETAIL(TotalAmountOut, Text, "txt_sett_output_total_amount"),
    DETAIL(AdditionalAmountOut, Text, "txt_sett_output_additional_amount"),
    DETAIL(TransactionCurrencyCodeOut, CurrencySymbol, "txt_sett_output_txn_currency_code"),
    DETAIL(AuthorisationCodeOut, Text, "txt_sett_output_authorisation_code"),
    DETAIL(AVSResponseOut, Text, "txt_sett_output_avs_response"),
    DETAIL(BankTypeOut, BankType, "txt_sett_output_bank_type"),
    DETAIL(ShiftNumberOut, Text, "txt_sett_output_shift_number"),
    DETAIL(DateTimeOut, Text, "txt_sett_output_date_and_time"),
    DETAIL(InvoiceNumberOut, Text, "txt_sett_output_invoice_number"),
    DETAIL(CardSchemeNameOut, Text, "txt_sett_output_card_scheme_name"),
    DETAIL(CardTypeOut, Text, "txt_sett_output_card_type"),
    DETAIL(PANOut, Text, "txt_sett_output_pan"),
    DETAIL(EntryMethodOut, EntryMethodName, "txt_sett_output_entry_method"),
    DETAIL(IsDCCTxnOut, Bool16, "txt_sett_output_is_dcc_txn"),
    DETAIL(IsDCCTxnAcceptedOut, Bool16, "txt_sett_output_is_dcc_txn_accepted"),
    DETAIL(IsDCCTxnEligibleOut, Bool16, "txt_sett_output_is_dcc_txn_eligible"),
    DETAIL(DCCAmountOut, Text, "txt_sett_output_dcc_amount"),
    DETAIL(DCCTipAmountOut, Text, "txt_sett_output_dcc_tip_amount"),
    DETAIL(DCCTransactionCurrencyCodeOut, Text, "txt_sett_output_dcc_txn_currency_code"),
    DETAIL(ConversionRateOut, Text, "txt_sett_output_conversion_rate"),
    DETAIL(FXExponentAppliedOut, Signed16, "txt_sett_output_fx_exponent_applied"),
};
#undef DETAIL

// GetTransactionDetailDataRecord takes the record number inside its request.
short fetch_settlement_record(const OperationCall& c) {
    SettlementRequestIn in{};
    if (c.request)
        in = *static_cast<const SettlementRequestIn*>(c.request);
    in.TxnDetailDataRecordIndexIn = static_cast<short>(c.record_number);
    auto* out = static_cast<SettlementDataRecordOut*>(c.response);
    c.making(GetTransactionDetailDataRecord, in);
    GetTransactionDetailDataRecord(in, out);
    return out->DiagRequestOut;
}

// ---------------------------------------------------------------------------
// Tip adjustment

// The tips go right-aligned in twelve '0'-filled digits, the total as typed.
const FieldInput kTipInputs[] = {
    KELVRA_INPUT(AdjustTipAmountIn, InvoiceNumberIn, Text, "txt_ata_invoice_num"),
    KELVRA_INPUT(AdjustTipAmountIn, TotalAmountIn, Text, "txt_ata_total_amount"),
    KELVRA_INPUT(AdjustTipAmountIn, OldTipAmountIn, Amount, "txt_ata_old_tip_amount"),
    KELVRA_INPUT(AdjustTipAmountIn, NewTipAmountIn, Amount, "txt_ata_new_tip_amount"),
    KELVRA_INPUT(AdjustTipAmountIn, CashierIdIn, Text, "txt_ata_cashier_id"),
};
// The panel shows the outcome in words and colour of its own: no widget here.
const FieldOutput kTipOutputs[] = {
    KELVRA_OUTPUT(AdjustTipAmountOut, TipUpdateResultOut, Signed16, nullptr),
};

// ---------------------------------------------------------------------------
// Exchange rate update and its currencies

// The rows of cmb_exr_update_mth.
const char* const kUpdateMethods[] = {"Download from the host now",
                                      "Rates stored at the last download", nullptr};

const FieldInput kExchangeRateInputs[] = {
    KELVRA_CHOICE(ExchangeRateUpdateIn, UpdateMethodIn, kUpdateMethods, "cmb_exr_update_mth"),
};

#define UPDATE(field, rule, widget) KELVRA_OUTPUT(ExchangeRateUpdateOut, field, rule, widget)
const FieldOutput kExchangeRateOutputs[] = {
    UPDATE(OperationStatusOut, ExchangeRateStatus, "txt_exr_op_status"),
    UPDATE(AuthorisationResponseOut, Text, "txt_exr_auth_resp"),
    UPDATE(MerchantNameOut, Text, "txt_exr_merch_name"),
    UPDATE(MerchantAddress1Out, Text, "txt_exr_merch_adr1"),
    UPDATE(MerchantAddress2Out, Text, "txt_exr_merch_adr2"),
    UPDATE(MerchantAddress3Out, Text, "txt_exr_merch_adr3"),
    UPDATE(MerchantAddress4Out, Text, "txt_exr_merch_adr4"),
    UPDATE(ProfileIDOut, Text, "txt_exr_profile_id"),
    UPDATE(DateTimeOut, Text, "txt_exr_date_time"),
    UPDATE(NumberOfAvailableCurrenciesOut, Signed16, "txt_exr_avail_curs"),
};
#undef UPDATE

#define CURRENCY(field, rule, widget) KELVRA_OUTPUT(CurrencyDetailsRecordOut, field, rule, widget)
const FieldOutput kCurrencyOutputs[] = {
    CURRENCY(CurrencyCodeOut, Text, "txt_exr_cur_code"),
    CURRENCY(ConversionExponentOut, Signed16, "txt_exr_conv_exp"),
    CURRENCY(ConversionRateOut, Text, "txt_exr_conv_rate"),
};
#undef CURRENCY

// ---------------------------------------------------------------------------
// Tax-free refund

// The rows of cmb_tfr_inp_pay_mth.
const char* const kRefundMethods[] = {"Refund to the card", "Refund in cash", nullptr};

const FieldInput kTaxFreeInputs[] = {
    KELVRA_INPUT(TFRTransactionIn, MessageNumberIn, Text, "txt_tfr_inp_msg_nbr"),
    KELVRA_INPUT(TFRTransactionIn, TaxFreeFormNumberIn, Text, "txt_tfr_inp_form_nbr"),
    KELVRA_INPUT(TFRTransactionIn, SaleCashAmountIn, Text, "txt_tfr_inp_sae_csh_amt"),
    KELVRA_CHOICE(TFRTransactionIn, PaymentMethodIn, kRefundMethods, "cmb_tfr_inp_pay_mth"),
};

#define FORM(field, rule, widget) KELVRA_OUTPUT(TFRTransactionOut, field, rule, widget)
// The form in its entries, in the record's order; the two statements for official
// use are not shown.
const FieldOutput kTaxFreeOutputs[] = {
    FORM(MessageNumberOut, Text, "txt_tfr_out_msg_nbr"),
    FORM(TransactionStatusOut, TaxFreeStatus, "txt_tfr_out_txn_status"),
    FORM(VATRateOut, Text, "txt_tfr_out_vat_rate"),
    FORM(VATAmountOut, Text, "txt_tfr_out_vat_amt"),
    FORM(FullPriceOut, Text, "txt_tfr_out_full_price"),
    FORM(ExVATPriceOut, Text, "txt_tfr_out_ext_vat_price"),
    FORM(TaxRefundAmountOut, Text, "txt_tfr_out_tax_ref_amt"),
    FORM(AdministrationFeeOut, Text, "txt_tfr_out_adm_free"),
    FORM(DateOfSaleOut, Text, "txt_tfr_out_date_of_sale"),
    FORM(TimeOfSaleOut, Text, "txt_tfr_out_time_of_sale"),
    FORM(MerchantNameOut, Text, "txt_tfr_out_merch_name"),
    FORM(MerchantAddress1Out, Text, "txt_tfr_out_merch_adr1"),
    FORM(MerchantAddress2Out, Text, "txt_tfr_out_merch_adr2"),
    FORM(TFWWNameOut, Text, "txt_tfr_out_tfww_name"),
    FORM(TFWWAddressOut, Text, "txt_tfr_out_tfww_adr"),
    FORM(TFWWWebAddressOut, Text, "txt_tfr_out_tfww_web_adr"),
    FORM(TFWWTelNumberOut, Text, "txt_tfr_out_tfww_tel_nbr"),
    FORM(VATNumberLabelOut, Text, "txt_tfr_out_vat_nbr_lbl"),
    FORM(VATNumberOut, Text, "txt_tfr_out_vat_nbr"),
    FORM(CustomerDeclarationOut, Text, "txt_tfr_out_cust_dec"),
    FORM(CustomerAddressOut, Text, "txt_tfr_out_cust_adr"),
    FORM(CustomerPassportOut, Text, "txt_tfr_out_cust_passport"),
    FORM(CustomerIssuerGovernmentOut, Text, "txt_tfr_out_cust_iss_gov"),
    FORM(CustomerDeclarationStatement1Out, Text, "txt_tfr_out_cust_dec_stat1"),
    FORM(CustomerDeclarationStatement2Out, Text, "txt_tfr_out_cust_dec_stat2"),
    FORM(RetailerDeclarationHeadingOut, Text, "txt_tfr_out_ret_dec_hd"),
    FORM(RetailerSignatureOut, Text, "txt_tfr_out_ret_sig"),
    FORM(RetailerDeclarationIMPORTANTOut, Text, "txt_tfr_out_ret_dec_imp"),
    FORM(RetailerInstructionLine1Out, Text, "txt_tfr_out_ret_ins_line1"),
    FORM(RetailerInstructionLine2Out, Text, "txt_tfr_out_ret_ins_line2"),
    FORM(ExportHeadingOut, Text, "txt_tfr_out_exp_hd"),
    FORM(ExportWarningOut, Text, "txt_tfr_out_exp_wrn"),
    FORM(DataProtectionActOut, Text, "txt_tfr_out_data_prt_act"),
    FORM(DataStatement1Out, Text, "txt_tfr_out_data_st1"),
    FORM(DataStatement2Out, Text, "txt_tfr_out_data_st2"),
    FORM(DataStatement3Out, Text, "txt_tfr_out_data_st3"),
    FORM(DataStatement4Out, Text, "txt_tfr_out_data_st4"),
    FORM(CountryCodeOut, Signed16, "txt_tfr_out_cnt_code"),
    FORM(FormTypeOut, Signed16, "txt_tfr_out_form_type"),
    FORM(CustNumberOut, Text, "txt_tfr_out_cust_nbr"),
    FORM(PosIDOut, Text, "txt_tfr_out_pos_id"),
    FORM(CurrencyCodeOut, CurrencySymbol, "txt_tfr_out_cur_code"),
    FORM(CurrencyExpOut, Signed16, "txt_tfr_out_cur_exp"),
    FORM(CardPANOut, Text, "txt_tfr_out_card_pan"),
    FORM(CardExpiryDateOut, Text, "txt_tfr_out_card_exp_date"),
    FORM(CardTypeOut, Text, "txt_tfr_out_card_type"),
    FORM(Barcode1Out, Text, "txt_tfr_out_barcode1"),
    FORM(Barcode2Out, Text, "txt_tfr_out_barcode2"),
    FORM(CardSalesStatement1Out, Text, "txt_tfr_out_crd_sales_st1"),
    FORM(CardSalesStatement2Out, Text, "txt_tfr_out_crd_sales_st2"),
    FORM(CardSalesStatement3Out, Text, "txt_tfr_out_crd_sales_st3"),
    FORM(CardSalesStatement4Out, Text, "txt_tfr_out_crd_sales_st4"),
    FORM(CardSalesStatement5Out, Text, "txt_tfr_out_crd_sales_st5"),
    FORM(CashStringOut, Text, "txt_tfr_out_cash_string"),
};
#undef FORM

// ---------------------------------------------------------------------------

constexpr Operation kEndOfDay[] = {
    {
        .name = "Settlement",
        .request = &record_description<SettlementRequestIn>,
        .response = &record_description<SettlementResponseOut>,
        .inputs = kSettlementInputs,
        .outputs = kSettlementOutputs,
        .result = &field_of<SettlementResponseOut>("DiagRequestOut"),
        .prepare = nullptr,
        .call = by_value<SettlementRequestIn, SettlementResponseOut, DoSettlement>,
        .numbered = false,
    },
    {
        .name = "Settlement data",
        .request = &record_description<SettlementRequestIn>,
        .response = &record_description<SettlementResponseOut>,
        .inputs = kSettlementDataInputs,
        .outputs = kSettlementOutputs,
        .result = &field_of<SettlementResponseOut>("DiagRequestOut"),
        .prepare = nullptr,
        .call = by_value<SettlementRequestIn, SettlementResponseOut, GetSettlementData>,
        .numbered = false,
    },
    {
        .name = "Settlement record",
        .request = &record_description<SettlementRequestIn>,
        .response = &record_description<SettlementDataRecordOut>,
        .inputs = {},
        .outputs = kSettlementRecordOutputs,
        .result = &field_of<SettlementDataRecordOut>("DiagRequestOut"),
        .prepare = nullptr,
        .call = fetch_settlement_record,
        .numbered = true,
    },
    {
        .name = "Tip adjustment",
        .request = &record_description<AdjustTipAmountIn>,
        .response = &record_description<AdjustTipAmountOut>,
        .inputs = kTipInputs,
        .outputs = kTipOutputs,
        .result = &field_of<AdjustTipAmountOut>("DiagRequestOut"),
        .prepare = nullptr,
        .call = by_pointer<AdjustTipAmountIn, AdjustTipAmountOut, AdjustTipAmount>,
        .numbered = false,
    },
    {
        .name = "Exchange rate update",
        .request = &record_description<ExchangeRateUpdateIn>,
        .response = &record_description<ExchangeRateUpdateOut>,
        .inputs = kExchangeRateInputs,
        .outputs = kExchangeRateOutputs,
        .result = &field_of<ExchangeRateUpdateOut>("DiagRequestOut"),
        .prepare = nullptr,
        .call = by_value<ExchangeRateUpdateIn, ExchangeRateUpdateOut, Exchange_Rate_Update_Launch>,
        .numbered = false,
    },
    {
        .name = "Currency record",
        .request = nullptr,
        .response = &record_description<CurrencyDetailsRecordOut>,
        .inputs = {},
        .outputs = kCurrencyOutputs,
        .result = &field_of<CurrencyDetailsRecordOut>("DiagRequestOut"),
        .prepare = nullptr,
        .call = numbered<CurrencyDetailsRecordOut, GetCurrencyDetails>,
        .numbered = true,
    },
    {
        .name = "Tax-free refund",
        .request = &record_description<TFRTransactionIn>,
        .response = &record_description<TFRTransactionOut>,
        .inputs = kTaxFreeInputs,
        .outputs = kTaxFreeOutputs,
        .result = &field_of<TFRTransactionOut>("DiagRequestOut"),
        .prepare = nullptr,
        .call = by_value<TFRTransactionIn, TFRTransactionOut, DoTaxFreeRefund>,
        .numbered = false,
    },
};

} // namespace

std::span<const Operation> end_of_day_operations() { return kEndOfDay; }
