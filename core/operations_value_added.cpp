// The value-added services: the donation mode and configuration, the mobile top-up
// configuration and its products, the voucher sale and its vouchers, the top-up
// settlement and its detail records. The donation and top-up panels and the
// scenario runner show and read these operations through the tables below.
#include "operation_calls.h"
#include "operations.h"

#include <string_view>

namespace {

using namespace operation_calls;

// ---------------------------------------------------------------------------
// Donation

// The rows of cmb_pe_donation_mode.
const char* const kDonationModes[] = {"Round up to the next whole unit",
                                      "Add the fixed top-up amount", nullptr};

const FieldInput kDonationModeInputs[] = {
    KELVRA_CHOICE(PenniesDonationModeIn, DonationModeIn, kDonationModes, "cmb_pe_donation_mode"),
};

#define PE(field, rule, widget) KELVRA_OUTPUT(PenniesConfigDataOut, field, rule, widget)
// The configuration in its entries, in the record's order.
const FieldOutput kDonationConfigurationOutputs[] = {
    PE(TerminalIdentifierOut, Text, "txt_pe_term_identifier"),
    PE(AcquirerMerchantIDOut, Text, "txt_pe_acq_merch_id"),
    PE(DonationModeOut, DonationMode, "txt_pe_don_mode"),
    PE(TopUpAmountOut, Text, "txt_pe_topup_amount"),
    PE(MaxTxnVolumeOut, Text, "txt_pe_max_txn_vol"),
    PE(MaxTxnValueOut, Text, "txt_pe_max_txn_val"),
    PE(MaxUploadIntervalOut, Text, "txt_pe_max_upload_int"),
    PE(DonationTimeoutOut, Text, "txt_pe_donation_timeout"),
    PE(UploadWindowStartOut, Text, "txt_pe_upload_win_start"),
    PE(UploadWindowsEndOut, Text, "txt_pe_up_win_end"),
    PE(TxnUploadRequiredOut, Unsigned8, "txt_pe_txn_up_req"),
    PE(TxnCountOut, Text, "txt_pe_txn_count"),
    PE(TxnValueOut, Text, "txt_pe_txn_val"),
    PE(LastUploadDateOut, Text, "txt_pe_last_up_date"),
    PE(MinTopUpAmountOut, Text, "txt_pe_min_top_amount"),
    PE(MaxTopUpAmountOut, Text, "txt_pe_max_top_up_amount"),
    PE(TopUpAmountIncrementStepOut, Unsigned8, "txt_pe_top_up_amt_inc_step"),
};
#undef PE

// ---------------------------------------------------------------------------
// Top-up configuration and its products

// The rows of cmb_mt_conf_mode.
const char* const kConfigurationModes[] = {"As stored on the terminal",
                                           "Download from the host first", nullptr};

const FieldInput kConfigurationInputs[] = {
    KELVRA_CHOICE(MobileTopUpConfigurationDataIn, GetMobileTopUpConfigFlagIn, kConfigurationModes,
                  "cmb_mt_conf_mode"),
};

#define CFG(field, rule, widget) KELVRA_OUTPUT(MobileTopUpConfigurationDataOut, field, rule, widget)
const FieldOutput kConfigurationOutputs[] = {
    CFG(ProfileIDOut, Text, "txt_mt_cfg_profile_id"),
    CFG(MerchantNameOut, Text, "txt_mt_cfg_merch_name"),
    CFG(MerchantAddress1Out, Text, "txt_mt_cfg_mer_adr1"),
    CFG(MerchantAddress2Out, Text, "txt_mt_cfg_mer_adr2"),
    CFG(MerchantAddress3Out, Text, "txt_mt_cfg_mer_adr3"),
    CFG(MerchantAddress4Out, Text, "txt_mt_cfg_mer_adr4"),
    CFG(AcquirerMerchantIDOut, Text, "txt_mt_cfg_acq_merch_id"),
    CFG(TerminalIdentifierOut, Text, "txt_mt_cfg_term_identifer"),
    CFG(TerminalCurrencyOut, Text, "txt_mt_cfg_term_cur"),
    CFG(BarcodeFormatOut, Text, "txt_mt_cfg_barcode_format"),
    CFG(BarcodeWidthOut, Unsigned8, "txt_mt_cfg_barcode_width"),
    CFG(BarcodeHeightOut, Unsigned16, "txt_mt_cfg_barcode_height"),
    CFG(BarcodePrintEnabledOut, Unsigned8, "txt_mt_cfg_barcode_prn_enabled"),
    CFG(MerchCopyPrintEnabledOut, Unsigned8, "txt_mt_cfg_merc_copy_prn_enabled"),
    CFG(MobileTopUpProductNumberOut, Unsigned8, "txt_mt_cfg_mob_topup_prd_nbr"),
};
#undef CFG

#define PRD(field, rule, widget) KELVRA_OUTPUT(ProductDataRecordOut, field, rule, widget)
// The custom text goes into the emptied text view in bold: it replaces the text of
// the product shown before.
const FieldOutput kProductOutputs[] = {
    PRD(ProductIdOut, Text, "txt_mt_cfg_prd_id"),
    PRD(ProductNameOut, Text, "txt_mt_cfg_prd_name"),
    PRD(AmountsInfoOut, Text, "txt_mt_cfg_amt_infs"),
    PRD(VarAmountEntryOut, Unsigned8, "txt_mt_cfg_var_amt_entry"),
    PRD(CustomTextOut, HostText, "tv_mt_cfg_custom_text"),
};
#undef PRD

// ---------------------------------------------------------------------------
// Voucher sale and its vouchers

// In the order the panel reads them; the voucher count last.
const FieldInput kSaleInputs[] = {
    KELVRA_INPUT(MobileTopUpReqIn, MessageNumberIn, Text, "txt_mt_txn_msg_nbr"),
    KELVRA_INPUT(MobileTopUpReqIn, VoucherAmountIn, Text, "txt_mt_txn_vch_amt"),
    KELVRA_INPUT(MobileTopUpReqIn, ProductIdIn, Text, "txt_mt_txn_prd_id"),
    KELVRA_INPUT(MobileTopUpReqIn, CashierIdIn, Text, "txt_mt_txn_csh_id"),
    KELVRA_INPUT(MobileTopUpReqIn, GSMPasswordIn, Text, "txt_mt_txn_gsm_pwd"),
    KELVRA_INPUT(MobileTopUpReqIn, VoucherNumbersIn, Number, "txt_mt_txn_vch_nbr"),
};

#define SALE(field, rule, widget) KELVRA_OUTPUT(MobileTopUpRespOut, field, rule, widget)
const FieldOutput kSaleOutputs[] = {
    SALE(MessageNumberOut, Text, "txt_mt_txn_resp_msg_nbr"),
    SALE(TransactionStatusOut, MtTxnStatus, "txt_mt_txn_resp_txn_status"),
    SALE(DateTimeOut, Text, "txt_mt_txn_resp_date_time"),
    SALE(ResponseCodeOut, Text, "txt_mt_txn_resp_resp_code"),
    SALE(MerchantNameOut, Text, "txt_mt_txn_resp_merch_name"),
    SALE(AcquirerMerchantIDOut, Text, "txt_mt_txn_resp_acq_merch_id"),
    SALE(TerminalIdentifierOut, Text, "txt_mt_txn_resp_term_id"),
    SALE(BatchNumberOut, Text, "txt_mt_txn_resp_batch_nbr"),
    SALE(HostOptionalMessageOut, Latin2Text, "txt_mt_txn_resp_host_opt_msg"),
    SALE(VoucherNumberOut, Unsigned8, "txt_mt_txn_resp_vch_nbr"),
};
#undef SALE

#define VCH(field, widget) KELVRA_OUTPUT(VoucherRecordOut, field, Text, widget)
const FieldOutput kVoucherOutputs[] = {
    VCH(VoucherSerialNumberOut, "txt_mt_txn_resp_vch_ser_nbr"),
    VCH(VoucherCodeOut, "txt_mt_txn_resp_vch_code"),
    VCH(VoucherExpDateOut, "txt_mt_txn_resp_vch_exp_date"),
    VCH(AuthCodeOut, "txt_mt_txn_resp_auth_code"),
    VCH(InvoiceNumberOut, "txt_mt_txn_resp_invoice_number"),
};
#undef VCH

// ---------------------------------------------------------------------------
// Top-up settlement and its detail records

const FieldInput kSettlementInputs[] = {
    KELVRA_INPUT(MobileTopUpSettlementRespIn, MessageNumberIn, Text, "txt_mtu_set_req_msg_nbr"),
};

#define SETT(field, rule, widget) KELVRA_OUTPUT(MobileTopUpSettlementRespOut, field, rule, widget)
const FieldOutput kSettlementOutputs[] = {
    SETT(MessageNumberOut, Text, "txt_mtu_set_resp_msg_nbr"),
    SETT(TransactionStatusOut, MtuSettStatus, "txt_mtu_set_resp_txn_resp"),
    SETT(MerchantNameOut, Text, "txt_mtu_set_resp_merch_name"),
    SETT(MerchantAddress1Out, Text, "txt_mtu_set_resp_merch_adr1"),
    SETT(MerchantAddress2Out, Text, "txt_mtu_set_resp_merch_adr2"),
    SETT(MerchantAddress3Out, Text, "txt_mtu_set_resp_merch_adr3"),
    SETT(MerchantAddress4Out, Text, "txt_mtu_set_resp_merch_adr4"),
    SETT(AcquirerMerchantIDOut, Text, "txt_mtu_set_resp_acq_merch_id"),
    SETT(TerminalIdentifierOut, Text, "txt_mtu_set_resp_term_id"),
    SETT(SettlementDateTimeOut, Text, "txt_mtu_set_resp_set_date_time"),
    SETT(VoucherSaleCountOut, Text, "txt_mtu_set_resp_vch_sale_cnt"),
    SETT(VoucherSaleAmountOut, Text, "txt_mtu_set_resp_vch_sale_amt"),
    SETT(VoucherRefundCountOut, Text, "txt_mtu_set_resp_vch_ref_cnt"),
    SETT(VoucherRefundAmountOut, Text, "txt_mtu_set_resp_vch_ref_amt"),
    SETT(SuppressAuditReportOut, Unsigned8, "txt_mtu_set_resp_sup_audit_report"),
    SETT(TransactionDetailDataRecordNumberOut, Signed16, "txt_mtu_set_resp_txn_detl_data_rec_nbr"),
};
#undef SETT

#define DTL(field, rule, widget) KELVRA_OUTPUT(MTPSettlementDataRecordOut, field, rule, widget)
const FieldOutput kSettlementRecordOutputs[] = {
    DTL(DateTimeOut, Text, "txt_mtu_set_resp_prd_date_time"),
    DTL(ProductIdOut, Text, "txt_mtu_set_resp_prd_prd_id"),
    DTL(ProductNameOut, Text, "txt_mtu_set_resp_prd_prd_name"),
    DTL(TransactionTypeOut, Unsigned8, "txt_mtu_set_resp_prd_txn_type"),
    DTL(InvoiceNumberOut, Text, "txt_mtu_set_resp_prd_invoice_nbr"),
    DTL(VoucherSerialNumberOut, Text, "txt_mtu_set_resp_prd_vch_ser_nbr"),
    DTL(VoucherAmountOut, Text, "txt_mtu_set_resp_prd_vch_amt"),
};
#undef DTL

// ---------------------------------------------------------------------------

constexpr Operation kValueAdded[] = {
    {
        .name = "Donation mode",
        .request = &record_description<PenniesDonationModeIn>,
        .response = &record_description<PenniesDonationModeOut>,
        .inputs = kDonationModeInputs,
        .outputs = {},
        .result = &field_of<PenniesDonationModeOut>("DiagRequestOut"),
        .prepare = nullptr,
        .call = by_pointer<PenniesDonationModeIn, PenniesDonationModeOut, SetPenniesDonationMode>,
        .numbered = false,
    },
    {
        .name = "Donation configuration",
        .request = nullptr,
        .response = &record_description<PenniesConfigDataOut>,
        .inputs = {},
        .outputs = kDonationConfigurationOutputs,
        .result = &field_of<PenniesConfigDataOut>("DiagRequestOut"),
        .prepare = nullptr,
        .call = response_only<PenniesConfigDataOut, GetPenniesConfiguration>,
        .numbered = false,
    },
    {
        .name = "Top-up configuration",
        .request = &record_description<MobileTopUpConfigurationDataIn>,
        .response = &record_description<MobileTopUpConfigurationDataOut>,
        .inputs = kConfigurationInputs,
        .outputs = kConfigurationOutputs,
        .result = &field_of<MobileTopUpConfigurationDataOut>("DiagRequestOut"),
        .prepare = nullptr,
        .call = by_pointer<MobileTopUpConfigurationDataIn, MobileTopUpConfigurationDataOut,
                           GetMobileTopUpConfiguration>,
        .numbered = false,
    },
    {
        .name = "Top-up product",
        .request = nullptr,
        .response = &record_description<ProductDataRecordOut>,
        .inputs = {},
        .outputs = kProductOutputs,
        .result = &field_of<ProductDataRecordOut>("DiagRequestOut"),
        .prepare = nullptr,
        .call = numbered<ProductDataRecordOut, GetProductData>,
        .numbered = true,
    },
    {
        .name = "Voucher sale",
        .request = &record_description<MobileTopUpReqIn>,
        .response = &record_description<MobileTopUpRespOut>,
        .inputs = kSaleInputs,
        .outputs = kSaleOutputs,
        .result = &field_of<MobileTopUpRespOut>("DiagRequestOut"),
        .prepare = nullptr,
        .call = by_pointer<MobileTopUpReqIn, MobileTopUpRespOut, DoMobileTopUpTransaction>,
        .numbered = false,
    },
    {
        .name = "Voucher record",
        .request = nullptr,
        .response = &record_description<VoucherRecordOut>,
        .inputs = {},
        .outputs = kVoucherOutputs,
        .result = &field_of<VoucherRecordOut>("DiagRequestOut"),
        .prepare = nullptr,
        .call = numbered<VoucherRecordOut, GetVoucherRecord>,
        .numbered = true,
    },
    {
        .name = "Top-up settlement",
        .request = &record_description<MobileTopUpSettlementRespIn>,
        .response = &record_description<MobileTopUpSettlementRespOut>,
        .inputs = kSettlementInputs,
        .outputs = kSettlementOutputs,
        .result = &field_of<MobileTopUpSettlementRespOut>("DiagRequestOut"),
        .prepare = nullptr,
        .call = by_pointer<MobileTopUpSettlementRespIn, MobileTopUpSettlementRespOut,
                           DoMobileTopUpSettlement>,
        .numbered = false,
    },
    {
        .name = "Top-up settlement record",
        .request = nullptr,
        .response = &record_description<MTPSettlementDataRecordOut>,
        .inputs = {},
        .outputs = kSettlementRecordOutputs,
        .result = &field_of<MTPSettlementDataRecordOut>("DiagRequestOut"),
        .prepare = nullptr,
        .call = numbered<MTPSettlementDataRecordOut, GetSettlementProductData>,
        .numbered = true,
    },
};

} // namespace

std::span<const Operation> value_added_operations() { return kValueAdded; }
