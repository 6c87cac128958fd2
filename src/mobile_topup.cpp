// Mobile top-up: the terminal's top-up configuration and its products, the voucher
// sale and its vouchers, the top-up settlement and its detail records. None of the
// three operations has a busy flag: each click starts a worker of its own.
//
// Each record selector is filled by its worker, which makes the first row active
// while it holds the toolkit lock; the selector's "changed" handler then runs at
// once on the worker thread and fetches record 1. Chosen by the operator, it runs
// on the main loop, where GTK holds the lock. Either way the lock is already held,
// so the selector handlers never take it.
#include "common_Routines.h"
#include "ecr_Routines.h"
#include "fields.h"
#include "gdk_lock.h"
#include "korvex.h"
#include "operation_scope.h"
#include "record_display.h"
#include "signals.h"
#include "ui_components.h"
#include "worker.h"

pthread_t MtGetConf;
pthread_t MtDoTxn;
pthread_t MtuDoSett;

namespace {

// ---------------------------------------------------------------------------
// Displays, in the records' order

#define CFG(field, widget, rule)                                                                   \
    RECORD_FIELD(MobileTopUpConfigurationDataOut, field, widget, Rule::rule)
const FieldDisplay kConfigurationDisplay[] = {
    CFG(ProfileIDOut, txt_mt_cfg_profile_id, Text),
    CFG(MerchantNameOut, txt_mt_cfg_merch_name, Text),
    CFG(MerchantAddress1Out, txt_mt_cfg_mer_adr1, Text),
    CFG(MerchantAddress2Out, txt_mt_cfg_mer_adr2, Text),
    CFG(MerchantAddress3Out, txt_mt_cfg_mer_adr3, Text),
    CFG(MerchantAddress4Out, txt_mt_cfg_mer_adr4, Text),
    CFG(AcquirerMerchantIDOut, txt_mt_cfg_acq_merch_id, Text),
    CFG(TerminalIdentifierOut, txt_mt_cfg_term_identifer, Text),
    CFG(TerminalCurrencyOut, txt_mt_cfg_term_cur, Text),
    CFG(BarcodeFormatOut, txt_mt_cfg_barcode_format, Text),
    CFG(BarcodeWidthOut, txt_mt_cfg_barcode_width, Unsigned8),
    CFG(BarcodeHeightOut, txt_mt_cfg_barcode_height, Unsigned16),
    CFG(BarcodePrintEnabledOut, txt_mt_cfg_barcode_prn_enabled, Unsigned8),
    CFG(MerchCopyPrintEnabledOut, txt_mt_cfg_merc_copy_prn_enabled, Unsigned8),
    CFG(MobileTopUpProductNumberOut, txt_mt_cfg_mob_topup_prd_nbr, Unsigned8),
};
#undef CFG

#define PRD(field, widget, rule) RECORD_FIELD(ProductDataRecordOut, field, widget, Rule::rule)
// The custom text goes into the emptied text view in bold: it replaces the text of
// the product shown before.
const FieldDisplay kProductDisplay[] = {
    PRD(ProductIdOut, txt_mt_cfg_prd_id, Text),
    PRD(ProductNameOut, txt_mt_cfg_prd_name, Text),
    PRD(AmountsInfoOut, txt_mt_cfg_amt_infs, Text),
    PRD(VarAmountEntryOut, txt_mt_cfg_var_amt_entry, Unsigned8),
    PRD(CustomTextOut, tv_mt_cfg_custom_text, HostText),
};
#undef PRD

#define SALE(field, widget, rule) RECORD_FIELD(MobileTopUpRespOut, field, widget, Rule::rule)
const FieldDisplay kSaleDisplay[] = {
    SALE(MessageNumberOut, txt_mt_txn_resp_msg_nbr, Text),
    SALE(TransactionStatusOut, txt_mt_txn_resp_txn_status, MtTxnStatus),
    SALE(DateTimeOut, txt_mt_txn_resp_date_time, Text),
    SALE(ResponseCodeOut, txt_mt_txn_resp_resp_code, Text),
    SALE(MerchantNameOut, txt_mt_txn_resp_merch_name, Text),
    SALE(AcquirerMerchantIDOut, txt_mt_txn_resp_acq_merch_id, Text),
    SALE(TerminalIdentifierOut, txt_mt_txn_resp_term_id, Text),
    SALE(BatchNumberOut, txt_mt_txn_resp_batch_nbr, Text),
    SALE(HostOptionalMessageOut, txt_mt_txn_resp_host_opt_msg, Latin2Text),
    SALE(VoucherNumberOut, txt_mt_txn_resp_vch_nbr, Unsigned8),
};
#undef SALE

#define VCH(field, widget) RECORD_FIELD(VoucherRecordOut, field, widget, Rule::Text)
const FieldDisplay kVoucherDisplay[] = {
    VCH(VoucherSerialNumberOut, txt_mt_txn_resp_vch_ser_nbr),
    VCH(VoucherCodeOut, txt_mt_txn_resp_vch_code),
    VCH(VoucherExpDateOut, txt_mt_txn_resp_vch_exp_date),
    VCH(AuthCodeOut, txt_mt_txn_resp_auth_code),
    VCH(InvoiceNumberOut, txt_mt_txn_resp_invoice_number),
};
#undef VCH

#define SETT(field, widget, rule)                                                                  \
    RECORD_FIELD(MobileTopUpSettlementRespOut, field, widget, Rule::rule)
const FieldDisplay kSettlementDisplay[] = {
    SETT(MessageNumberOut, txt_mtu_set_resp_msg_nbr, Text),
    SETT(TransactionStatusOut, txt_mtu_set_resp_txn_resp, MtuSettStatus),
    SETT(MerchantNameOut, txt_mtu_set_resp_merch_name, Text),
    SETT(MerchantAddress1Out, txt_mtu_set_resp_merch_adr1, Text),
    SETT(MerchantAddress2Out, txt_mtu_set_resp_merch_adr2, Text),
    SETT(MerchantAddress3Out, txt_mtu_set_resp_merch_adr3, Text),
    SETT(MerchantAddress4Out, txt_mtu_set_resp_merch_adr4, Text),
    SETT(AcquirerMerchantIDOut, txt_mtu_set_resp_acq_merch_id, Text),
    SETT(TerminalIdentifierOut, txt_mtu_set_resp_term_id, Text),
    SETT(SettlementDateTimeOut, txt_mtu_set_resp_set_date_time, Text),
    SETT(VoucherSaleCountOut, txt_mtu_set_resp_vch_sale_cnt, Text),
    SETT(VoucherSaleAmountOut, txt_mtu_set_resp_vch_sale_amt, Text),
    SETT(VoucherRefundCountOut, txt_mtu_set_resp_vch_ref_cnt, Text),
    SETT(VoucherRefundAmountOut, txt_mtu_set_resp_vch_ref_amt, Text),
    SETT(SuppressAuditReportOut, txt_mtu_set_resp_sup_audit_report, Unsigned8),
    SETT(TransactionDetailDataRecordNumberOut, txt_mtu_set_resp_txn_detl_data_rec_nbr, Signed16),
};
#undef SETT

#define DTL(field, widget, rule) RECORD_FIELD(MTPSettlementDataRecordOut, field, widget, Rule::rule)
const FieldDisplay kDetailDisplay[] = {
    DTL(DateTimeOut, txt_mtu_set_resp_prd_date_time, Text),
    DTL(ProductIdOut, txt_mtu_set_resp_prd_prd_id, Text),
    DTL(ProductNameOut, txt_mtu_set_resp_prd_prd_name, Text),
    DTL(TransactionTypeOut, txt_mtu_set_resp_prd_txn_type, Unsigned8),
    DTL(InvoiceNumberOut, txt_mtu_set_resp_prd_invoice_nbr, Text),
    DTL(VoucherSerialNumberOut, txt_mtu_set_resp_prd_vch_ser_nbr, Text),
    DTL(VoucherAmountOut, txt_mtu_set_resp_prd_vch_amt, Text),
};
#undef DTL

// ---------------------------------------------------------------------------
// Entries emptied before each operation and each record, in the order emptied

GtkWidget** const kConfigurationEntries[] = {
    &txt_request_output,
    &txt_mt_cfg_profile_id,
    &txt_mt_cfg_merch_name,
    &txt_mt_cfg_mer_adr1,
    &txt_mt_cfg_mer_adr2,
    &txt_mt_cfg_mer_adr3,
    &txt_mt_cfg_mer_adr4,
    &txt_mt_cfg_acq_merch_id,
    &txt_mt_cfg_term_identifer,
    &txt_mt_cfg_term_cur,
    &txt_mt_cfg_barcode_format,
    &txt_mt_cfg_barcode_width,
    &txt_mt_cfg_barcode_height,
    &txt_mt_cfg_barcode_prn_enabled,
    &txt_mt_cfg_merc_copy_prn_enabled,
    &txt_mt_cfg_mob_topup_prd_nbr,
};
GtkWidget** const kProductEntries[] = {
    &txt_mt_cfg_prd_id,
    &txt_mt_cfg_prd_name,
    &txt_mt_cfg_amt_infs,
    &txt_mt_cfg_var_amt_entry,
};
GtkWidget** const kSaleEntries[] = {
    &txt_request_output,           &txt_mt_txn_resp_msg_nbr,     &txt_mt_txn_resp_txn_status,
    &txt_mt_txn_resp_date_time,    &txt_mt_txn_resp_resp_code,   &txt_mt_txn_resp_merch_name,
    &txt_mt_txn_resp_acq_merch_id, &txt_mt_txn_resp_term_id,     &txt_mt_txn_resp_batch_nbr,
    &txt_mt_txn_resp_host_opt_msg, &txt_mt_txn_resp_vch_nbr,
};
GtkWidget** const kVoucherEntries[] = {
    &txt_mt_txn_resp_vch_ser_nbr,  &txt_mt_txn_resp_vch_code,       &txt_mt_txn_resp_vch_exp_date,
    &txt_mt_txn_resp_auth_code,    &txt_mt_txn_resp_invoice_number,
};
GtkWidget** const kSettlementEntries[] = {
    &txt_request_output,
    &txt_mtu_set_resp_msg_nbr,
    &txt_mtu_set_resp_txn_resp,
    &txt_mtu_set_resp_merch_name,
    &txt_mtu_set_resp_merch_adr1,
    &txt_mtu_set_resp_merch_adr2,
    &txt_mtu_set_resp_merch_adr3,
    &txt_mtu_set_resp_merch_adr4,
    &txt_mtu_set_resp_acq_merch_id,
    &txt_mtu_set_resp_term_id,
    &txt_mtu_set_resp_set_date_time,
    &txt_mtu_set_resp_vch_sale_cnt,
    &txt_mtu_set_resp_vch_sale_amt,
    &txt_mtu_set_resp_vch_ref_cnt,
    &txt_mtu_set_resp_vch_ref_amt,
    &txt_mtu_set_resp_sup_audit_report,
    &txt_mtu_set_resp_txn_detl_data_rec_nbr,
};
GtkWidget** const kDetailEntries[] = {
    &txt_mtu_set_resp_prd_date_time,   &txt_mtu_set_resp_prd_prd_id,
    &txt_mtu_set_resp_prd_prd_name,    &txt_mtu_set_resp_prd_txn_type,
    &txt_mtu_set_resp_prd_invoice_nbr, &txt_mtu_set_resp_prd_vch_ser_nbr,
    &txt_mtu_set_resp_prd_vch_amt,
};
GtkWidget** const kResultLine[] = {&txt_request_output};

// The sale's text inputs, in the order they are read.
const FieldInput kSaleInputs[] = {
    INPUT_FIELD(MobileTopUpReqIn, MessageNumberIn, txt_mt_txn_msg_nbr),
    INPUT_FIELD(MobileTopUpReqIn, VoucherAmountIn, txt_mt_txn_vch_amt),
    INPUT_FIELD(MobileTopUpReqIn, ProductIdIn, txt_mt_txn_prd_id),
    INPUT_FIELD(MobileTopUpReqIn, CashierIdIn, txt_mt_txn_csh_id),
    INPUT_FIELD(MobileTopUpReqIn, GSMPasswordIn, txt_mt_txn_gsm_pwd),
};

// ---------------------------------------------------------------------------
// Small helpers (toolkit lock held)

int active_row(GtkWidget* combo_box) {
    return combo_box ? gtk_combo_box_get_active(GTK_COMBO_BOX(combo_box)) : -1;
}

// Emptying a selector's store leaves it without an active row, so its "changed"
// handler, if it runs, does nothing.
void clear_store(GtkListStore* store) {
    if (store)
        gtk_list_store_clear(store);
}

void clear_custom_text() {
    if (buf_mt_cfg_custom_text)
        gtk_text_buffer_set_text(buf_mt_cfg_custom_text, "", 0);
}

// The rows of an earlier worker of the same operation go first, so that two
// workers at once leave the rows of the latest answer rather than both lists one
// after the other; then the rows "1" to "count" with the first active (the
// selector's "changed" handler runs at once, on this thread, and shows record 1).
void fill_selector(GtkWidget* combo_box, GtkListStore* store, int count) {
    if (count > 0)
        clear_store(store);
    fill_record_selector(store, combo_box, count);
}

// The voucher count as typed: a decimal integer (leading blanks, a sign, digits up
// to the first other character), of which the record keeps the low 8 bits: 300 is
// sent as 44, -1 as 255. Kept modulo 256 while reading, so a number of any length
// keeps its own low bits instead of saturating. Text that is not a number gives 0.
unsigned char voucher_count(const char* text) {
    while (g_ascii_isspace(*text))
        ++text;
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+')
        ++text;
    unsigned int low = 0;
    for (; g_ascii_isdigit(*text); ++text)
        low = (low * 10 + static_cast<unsigned int>(*text - '0')) & 0xFFu;
    return static_cast<unsigned char>(negative ? (0x100u - low) & 0xFFu : low);
}

} // namespace

// ---------------------------------------------------------------------------
// Top-up configuration and its products

void btn_mt_cfg_get_config_clicked(GtkWidget*, gpointer) {
    clear_entries(kConfigurationEntries);
    clear_store(ls_mt_rec);
    clear_entries(kProductEntries);
    clear_custom_text();
    start_worker(&MtGetConf, MtGetConfFct);
}

void* MtGetConfFct(void*) {
    MobileTopUpConfigurationDataIn in{};
    MobileTopUpConfigurationDataOut out{};
    {
        GdkLock lock;
        // The first row reads what the terminal holds, the second has it download
        // the configuration from the host first; no selection reads what it holds.
        in.GetMobileTopUpConfigFlagIn = two_way_choice(cmb_mt_conf_mode);
    }
    // Open while the answer is shown: the selector fetches the first product then,
    // as part of this operation.
    WorkerOperation activity("Top-up configuration");
    activity.request(in);
    GetMobileTopUpConfiguration(&in, &out);
    activity.response(out);
    GdkLock lock;
    display_diagnosis_string(txt_request_output, out.DiagRequestOut);
    show_record(&out, kConfigurationDisplay);
    fill_selector(cmb_mt_cfg_rec_nbr, ls_mt_rec, out.MobileTopUpProductNumberOut);
    return nullptr;
}

void cmb_mt_cfg_rec_nbr_changed(GtkWidget*, gpointer) {
    const int row = active_row(cmb_mt_cfg_rec_nbr);
    if (row < 0)
        return;
    clear_entries(kProductEntries);
    clear_entries(kResultLine);
    clear_custom_text();
    ProductDataRecordOut product{};
    fetch_selected_record("Top-up product", [&](OperationActivity& activity) {
        GetProductData(static_cast<short>(row + 1), &product);
        activity.response(product);
    });
    show_record(&product, kProductDisplay);
    display_diagnosis_string(txt_request_output, product.DiagRequestOut);
}

// ---------------------------------------------------------------------------
// Voucher sale and its vouchers

void btn_mt_txn_do_transaction_clicked(GtkWidget*, gpointer) {
    clear_entries(kSaleEntries);
    clear_store(ls_mtu_prd);
    clear_entries(kVoucherEntries);
    start_worker(&MtDoTxn, MtDoTxnFct);
}

void* MtDoTxnFct(void*) {
    MobileTopUpReqIn in{};
    MobileTopUpRespOut out{};
    {
        GdkLock lock;
        read_inputs(&in, kSaleInputs);
        in.VoucherNumbersIn = voucher_count(input_text(txt_mt_txn_vch_nbr));
    }
    WorkerOperation activity("Voucher sale"); // open while shown, as above
    activity.request(in);
    DoMobileTopUpTransaction(&in, &out);
    activity.response(out);
    GdkLock lock;
    display_diagnosis_string(txt_request_output, out.DiagRequestOut);
    show_record(&out, kSaleDisplay);
    fill_selector(cmb_mt_txn_resp_rec_nbr, ls_mtu_prd, out.VoucherNumberOut);
    return nullptr;
}

void cmb_mt_txn_resp_rec_nbr_changed(GtkWidget*, gpointer) {
    const int row = active_row(cmb_mt_txn_resp_rec_nbr);
    if (row < 0)
        return;
    clear_entries(kVoucherEntries);
    clear_entries(kResultLine);
    VoucherRecordOut voucher{};
    fetch_selected_record("Voucher record", [&](OperationActivity& activity) {
        GetVoucherRecord(static_cast<short>(row + 1), &voucher);
        activity.response(voucher);
    });
    show_record(&voucher, kVoucherDisplay);
    display_diagnosis_string(txt_request_output, voucher.DiagRequestOut);
}

// ---------------------------------------------------------------------------
// Top-up settlement and its detail records

void btn_mtu_set_req_do_set_clicked(GtkWidget*, gpointer) {
    clear_entries(kSettlementEntries);
    clear_store(ls_mtu_set_resp_rec);
    clear_entries(kDetailEntries);
    start_worker(&MtuDoSett, MtuDoSettFct);
}

void* MtuDoSettFct(void*) {
    MobileTopUpSettlementRespIn in{};
    MobileTopUpSettlementRespOut out{};
    {
        GdkLock lock;
        field_copy(in.MessageNumberIn, input_text(txt_mtu_set_req_msg_nbr));
    }
    WorkerOperation activity("Top-up settlement"); // open while shown, as above
    activity.request(in);
    DoMobileTopUpSettlement(&in, &out);
    activity.response(out);
    GdkLock lock;
    display_diagnosis_string(txt_request_output, out.DiagRequestOut);
    show_record(&out, kSettlementDisplay);
    fill_selector(cmb_mtu_set_resp_rec_nbr, ls_mtu_set_resp_rec,
                  out.TransactionDetailDataRecordNumberOut);
    return nullptr;
}

void cmb_mtu_set_resp_rec_nbr_changed(GtkWidget*, gpointer) {
    MTPSettlementDataRecordOut detail{};
    const int row = active_row(cmb_mtu_set_resp_rec_nbr);
    if (row < 0)
        return;
    clear_entries(kDetailEntries);
    clear_entries(kResultLine);
    fetch_selected_record("Top-up settlement record", [&](OperationActivity& activity) {
        GetSettlementProductData(static_cast<short>(row + 1), &detail);
        activity.response(detail);
    });
    show_record(&detail, kDetailDisplay);
    display_diagnosis_string(txt_request_output, detail.DiagRequestOut);
}
