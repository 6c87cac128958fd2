// Pennies donation: the donation mode sent to the terminal and the terminal's
// donation configuration. Neither operation has a busy flag: every click starts a
// worker of its own.
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

pthread_t PeSetDonationMode;
pthread_t PeGetPenniesConf;

namespace {

GtkWidget** const kPenniesConfigEntries[] = {
    &txt_request_output,      &txt_pe_term_identifier,  &txt_pe_acq_merch_id,
    &txt_pe_don_mode,         &txt_pe_topup_amount,     &txt_pe_max_txn_vol,
    &txt_pe_max_txn_val,      &txt_pe_max_upload_int,   &txt_pe_donation_timeout,
    &txt_pe_upload_win_start, &txt_pe_up_win_end,       &txt_pe_txn_up_req,
    &txt_pe_txn_count,        &txt_pe_txn_val,          &txt_pe_last_up_date,
    &txt_pe_min_top_amount,   &txt_pe_max_top_up_amount, &txt_pe_top_up_amt_inc_step,
};

GtkWidget** const kResultLine[] = {&txt_request_output};

} // namespace

void btn_pe_set_donation_mode_clicked(GtkWidget*, gpointer) {
    clear_entries(kResultLine);
    start_worker(&PeSetDonationMode, PeSetDonationModeFct);
}

void* PeSetDonationModeFct(void*) {
    const Operation& op = value_added_operation(ValueAddedOp::DonationMode);
    PenniesDonationModeIn in{};
    PenniesDonationModeOut out{};
    {
        GdkLock lock;
        // The first row rounds up, the second tops up; no selection rounds up.
        read_inputs(&in, op.inputs);
    }
    {
        OperationActivity activity(op.name);
        activity.request(in);
        run_operation(op, &in, &out);
        activity.response(out);
    }
    GdkLock lock;
    display_diagnosis_string(txt_request_output, out.DiagRequestOut);
    return nullptr;
}

void btn_pe_get_pennies_config_clicked(GtkWidget*, gpointer) {
    clear_entries(kPenniesConfigEntries);
    start_worker(&PeGetPenniesConf, PeGetPenniesConfFct);
}

void* PeGetPenniesConfFct(void*) {
    const Operation& op = value_added_operation(ValueAddedOp::DonationConfiguration);
    PenniesConfigDataOut out{};
    {
        OperationActivity activity(op.name);
        run_operation(op, nullptr, &out);
        activity.response(out);
    }
    // Shown whatever the result code says: fields the terminal left unwritten stay
    // empty (or 0) because the record was cleared before the call.
    GdkLock lock;
    display_diagnosis_string(txt_request_output, out.DiagRequestOut);
    show_record(&out, op.outputs);
    return nullptr;
}
