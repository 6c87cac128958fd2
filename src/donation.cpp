// Pennies donation: the donation mode sent to the terminal and the terminal's
// donation configuration. Neither operation has a busy flag: every click starts a
// worker of its own.
#include "activity.h"
#include "common_Routines.h"
#include "ecr_Routines.h"
#include "gdk_lock.h"
#include "korvex.h"
#include "record_display.h"
#include "signals.h"
#include "ui_components.h"
#include "worker.h"

pthread_t PeSetDonationMode;
pthread_t PeGetPenniesConf;

namespace {

#define PE(field, widget, rule) RECORD_FIELD(PenniesConfigDataOut, field, widget, Rule::rule)
// The configuration in its entries, in the record's order.
const FieldDisplay kPenniesConfigDisplay[] = {
    PE(TerminalIdentifierOut, txt_pe_term_identifier, Text),
    PE(AcquirerMerchantIDOut, txt_pe_acq_merch_id, Text),
    PE(DonationModeOut, txt_pe_don_mode, DonationMode),
    PE(TopUpAmountOut, txt_pe_topup_amount, Text),
    PE(MaxTxnVolumeOut, txt_pe_max_txn_vol, Text),
    PE(MaxTxnValueOut, txt_pe_max_txn_val, Text),
    PE(MaxUploadIntervalOut, txt_pe_max_upload_int, Text),
    PE(DonationTimeoutOut, txt_pe_donation_timeout, Text),
    PE(UploadWindowStartOut, txt_pe_upload_win_start, Text),
    PE(UploadWindowsEndOut, txt_pe_up_win_end, Text),
    PE(TxnUploadRequiredOut, txt_pe_txn_up_req, Unsigned8),
    PE(TxnCountOut, txt_pe_txn_count, Text),
    PE(TxnValueOut, txt_pe_txn_val, Text),
    PE(LastUploadDateOut, txt_pe_last_up_date, Text),
    PE(MinTopUpAmountOut, txt_pe_min_top_amount, Text),
    PE(MaxTopUpAmountOut, txt_pe_max_top_up_amount, Text),
    PE(TopUpAmountIncrementStepOut, txt_pe_top_up_amt_inc_step, Unsigned8),
};
#undef PE

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
    PenniesDonationModeIn in{};
    PenniesDonationModeOut out{};
    {
        GdkLock lock;
        // The first row rounds up, the second tops up; no selection rounds up.
        in.DonationModeIn = two_way_choice(cmb_pe_donation_mode);
    }
    {
        OperationActivity activity("Donation mode");
        activity.request(in);
        SetPenniesDonationMode(&in, &out);
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
    PenniesConfigDataOut out{};
    {
        OperationActivity activity("Donation configuration");
        GetPenniesConfiguration(&out);
        activity.response(out);
    }
    // Shown whatever the result code says: fields the terminal left unwritten stay
    // empty (or 0) because the record was cleared before the call.
    GdkLock lock;
    display_diagnosis_string(txt_request_output, out.DiagRequestOut);
    show_record(&out, kPenniesConfigDisplay);
    return nullptr;
}
