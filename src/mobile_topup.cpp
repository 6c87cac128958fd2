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
#include "gdk_lock.h"
#include "korvex.h"
#include "operation_areas.h"
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
    const Operation& op = value_added_operation(ValueAddedOp::TopUpConfiguration);
    MobileTopUpConfigurationDataIn in{};
    MobileTopUpConfigurationDataOut out{};
    {
        GdkLock lock;
        // The first row reads what the terminal holds, the second has it download
        // the configuration from the host first; no selection reads what it holds.
        read_inputs(&in, op.inputs);
    }
    // Open while the answer is shown: the selector fetches the first product then,
    // as part of this operation.
    WorkerOperation activity(op.name);
    activity.request(in);
    run_operation(op, &in, &out);
    activity.response(out);
    GdkLock lock;
    display_diagnosis_string(txt_request_output, out.DiagRequestOut);
    show_record(&out, op.outputs);
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
    const Operation& op = value_added_operation(ValueAddedOp::TopUpProduct);
    ProductDataRecordOut product{};
    fetch_selected_record(op.name, [&](OperationActivity& activity) {
        run_operation(op, nullptr, &product, row + 1);
        activity.response(product);
    });
    show_record(&product, op.outputs);
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
    const Operation& op = value_added_operation(ValueAddedOp::VoucherSale);
    MobileTopUpReqIn in{};
    MobileTopUpRespOut out{};
    {
        GdkLock lock;
        read_inputs(&in, op.inputs);
        // The panel sends any count typed, by its low byte.
        in.VoucherNumbersIn = voucher_count(input_text(txt_mt_txn_vch_nbr));
    }
    WorkerOperation activity(op.name); // open while shown, as above
    activity.request(in);
    run_operation(op, &in, &out);
    activity.response(out);
    GdkLock lock;
    display_diagnosis_string(txt_request_output, out.DiagRequestOut);
    show_record(&out, op.outputs);
    fill_selector(cmb_mt_txn_resp_rec_nbr, ls_mtu_prd, out.VoucherNumberOut);
    return nullptr;
}

void cmb_mt_txn_resp_rec_nbr_changed(GtkWidget*, gpointer) {
    const int row = active_row(cmb_mt_txn_resp_rec_nbr);
    if (row < 0)
        return;
    clear_entries(kVoucherEntries);
    clear_entries(kResultLine);
    const Operation& op = value_added_operation(ValueAddedOp::VoucherRecord);
    VoucherRecordOut voucher{};
    fetch_selected_record(op.name, [&](OperationActivity& activity) {
        run_operation(op, nullptr, &voucher, row + 1);
        activity.response(voucher);
    });
    show_record(&voucher, op.outputs);
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
    const Operation& op = value_added_operation(ValueAddedOp::TopUpSettlement);
    MobileTopUpSettlementRespIn in{};
    MobileTopUpSettlementRespOut out{};
    {
        GdkLock lock;
        read_inputs(&in, op.inputs);
    }
    WorkerOperation activity(op.name); // open while shown, as above
    activity.request(in);
    run_operation(op, &in, &out);
    activity.response(out);
    GdkLock lock;
    display_diagnosis_string(txt_request_output, out.DiagRequestOut);
    show_record(&out, op.outputs);
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
    const Operation& op = value_added_operation(ValueAddedOp::TopUpSettlementRecord);
    fetch_selected_record(op.name, [&](OperationActivity& activity) {
        run_operation(op, nullptr, &detail, row + 1);
        activity.response(detail);
    });
    show_record(&detail, op.outputs);
    display_diagnosis_string(txt_request_output, detail.DiagRequestOut);
}
