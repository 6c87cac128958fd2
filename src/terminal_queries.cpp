// Card and terminal queries: eligibility of a transaction type, PED authenticity,
// magnetic card tracks, free-text printing and application enablement. One button,
// one busy flag and one worker each.
#include "terminal_management.h"

#include "activity.h"
#include "common_Routines.h"
#include "ecr_Routines.h"
#include "fields.h"
#include "gdk_lock.h"
#include "korvex.h"
#include "record_display.h"
#include "signals.h"
#include "ui_components.h"
#include "worker.h"

std::atomic<bool> CheckEligState{false};
std::atomic<bool> GetPEDSerialNumState{false};
std::atomic<bool> ReadTracksState{false};
std::atomic<bool> PrintInfoState{false};
std::atomic<bool> AppEnablement{false};
pthread_t CELI;
pthread_t GPSN;
pthread_t RDT;
pthread_t PrintInfo;
pthread_t ApplicationEnablementTh;

namespace {

constexpr short kPedNotAuthenticated = 9;

// Starts the worker of a query unless its busy flag is set, after emptying its
// output entries and the result line (main thread).
template <std::size_t N>
void start_query(std::atomic<bool>& busy, GtkWidget** const (&outputs)[N], pthread_t* handle,
                 void* (*worker)(void*)) {
    if (busy)
        return;
    clear_entries(outputs);
    set_entry(txt_request_output, "");
    start_worker(handle, worker, nullptr, &busy);
}

// ---------------------------------------------------------------------------
// Eligibility

GtkWidget** const kEligibilityEntries[] = {
    &txt_check_elig_elig_result,    &txt_check_elig_check_elig_curr_symbol,
    &txt_check_elig_cash_back_elig, &txt_check_elig_cash_ceiling_limit,
    &txt_check_elig_ceiling_limit,  &txt_check_elig_comm_code_requirement,
};

// EligibilityResultOut and CashBackEligibilityOut: 0, 1, any other.
const char* const kEligibilityTexts[] = {"NOT ELIGIBLE", "ELIGIBLE", "UNKNOWN"};
const char* eligibility_text(int value) {
    return value == 0 || value == 1 ? kEligibilityTexts[value] : kEligibilityTexts[2];
}

// The limits of an eligible type, by the operation's table.
void show_eligibility(const Operation& op, const CheckEligibility_out& out) {
    set_entry(txt_check_elig_elig_result, eligibility_text(out.EligibilityResultOut));
    if (out.EligibilityResultOut != 1)
        return;
    show_record(&out, op.outputs);
    set_entry(txt_check_elig_cash_back_elig, eligibility_text(out.CashBackEligibilityOut));
    char required[8];
    get_bool_string(static_cast<unsigned char>(out.IsCommercialCodeRequiredOut), required);
    set_entry(txt_check_elig_comm_code_requirement, required);
}

// ---------------------------------------------------------------------------
// PED authentication

GtkWidget** const kPedEntries[] = {&txt_ped_authentication_status};
const CodedText kPedStates[] = {{"AUTH OK", "green"}, {"AUTH NOK", "red"}, {"UNKNOWN", "yellow"}};

// ---------------------------------------------------------------------------
// Card tracks

// Emptied by the button: the statuses first, then the data.
GtkWidget** const kTrackButtonEntries[] = {
    &txt_read_track1_status, &txt_read_track2_status, &txt_read_track3_status,
    &txt_read_track1_data,   &txt_read_track2_data,   &txt_read_track3_data,
};
// Emptied by the worker: the data first, then the statuses.
GtkWidget** const kTrackWorkerEntries[] = {
    &txt_read_track1_data,   &txt_read_track2_data,   &txt_read_track3_data,
    &txt_read_track1_status, &txt_read_track2_status, &txt_read_track3_status,
};

// Colour of each read status (0 to 9, then any other): read, or not read by the
// customer's doing (cancelled, not an ISO track), or failed.
const char* const kTrackStatusColours[] = {
    "green", "red", "red", "red", "red", "red", "red", "orange", "orange", "red", "red",
};

struct TrackStatus {
    GtkWidget** entry;
    short ReadTracks_out::*status;
};
const TrackStatus kTrackStatuses[] = {
    {&txt_read_track1_status, &ReadTracks_out::Track1StatusOut},
    {&txt_read_track2_status, &ReadTracks_out::Track2StatusOut},
    {&txt_read_track3_status, &ReadTracks_out::Track3StatusOut},
};

void show_track_statuses(const ReadTracks_out& out) {
    for (const TrackStatus& track : kTrackStatuses) {
        const int status = out.*track.status;
        const int row = status >= 0 && status <= 9 ? status : 10;
        show_coded(*track.entry, {DiagReadTrackStatus(status), kTrackStatusColours[row]});
    }
}

// ---------------------------------------------------------------------------
// Print information

GtkWidget** const kPrintInfoEntries[] = {&txt_print_information_status};
const char* const kPrintInfoTexts[] = {" PRINT OK ", " PRINT NOK "};

// ---------------------------------------------------------------------------
// Application enablement

GtkWidget** const kAppEnablementEntries[] = {&txt_check_application_enablement_status};
const CodedText kAppEnablementStates[] = {
    {"Application Not Enabled", "red"}, {"Application Enabled", "green"}, {"Unknown", "red"}};

} // namespace

// ---------------------------------------------------------------------------
// Eligibility

void btn_check_eligibility_clicked(GtkWidget*, gpointer) {
    if (!cmb_txn_type || gtk_combo_box_get_active(GTK_COMBO_BOX(cmb_txn_type)) < 0) {
        show_no_type_message();
        return;
    }
    start_query(CheckEligState, kEligibilityEntries, &CELI, CheckEligibility);
}

void* CheckEligibility(void*) {
    CheckEligState = true;
    static const Operation& op = console_operation("Eligibility check");
    CheckEligibility_in in{};
    CheckEligibility_out out{};
    {
        GdkLock lock;
        field_copy(in.TransactionTypeIn, get_transaction_type(GTK_COMBO_BOX(cmb_txn_type)));
    }
    {
        OperationActivity activity(op.name);
        activity.request(in);
        run_operation(op, &in, &out);
        activity.response(out);
    }
    // "PED Not Authenticated" frees the button as soon as the call returns; the flag
    // is then not cleared again at the end, where it may already be a newer check's.
    const bool freed_early = out.DiagRequestOut == kPedNotAuthenticated;
    if (freed_early)
        CheckEligState = false;
    {
        GdkLock lock;
        display_diagnosis_string(txt_request_output, out.DiagRequestOut);
        show_eligibility(op, out);
    }
    if (!freed_early)
        CheckEligState = false;
    return nullptr;
}

// ---------------------------------------------------------------------------
// PED authentication

void btn_PedAuth_clicked(GtkWidget*, gpointer) {
    start_query(GetPEDSerialNumState, kPedEntries, &GPSN, GetPEDSerialNumber);
}

void* GetPEDSerialNumber(void*) {
    GetPEDSerialNumState = true;
    static const Operation& op = console_operation("PED authentication");
    PEDAuthentication_in in{};
    PEDAuthentication_out out{};
    {
        GdkLock lock;
        // Up to 9 characters; 9 or more fill the field without a terminator.
        read_inputs(&in, op.inputs);
    }
    {
        OperationActivity activity(op.name);
        activity.request(in);
        run_operation(op, &in, &out);
        activity.response(out);
    }
    {
        GdkLock lock;
        display_diagnosis_string(txt_request_output, out.DiagRequestOut);
        show_coded(txt_ped_authentication_status, coded_text(kPedStates, out.StateOut));
    }
    GetPEDSerialNumState = false;
    return nullptr;
}

// ---------------------------------------------------------------------------
// Card tracks

void btn_ReadTracks_clicked(GtkWidget*, gpointer) {
    start_query(ReadTracksState, kTrackButtonEntries, &RDT, ReadTracks);
}

void* ReadTracks(void*) {
    ReadTracksState = true;
    static const Operation& op = console_operation("Card reading");
    ReadTracks_out out{};
    {
        GdkLock lock;
        clear_entries(kTrackWorkerEntries);
    }
    {
        OperationActivity activity(op.name);
        run_operation(op, nullptr, &out); // blocks while the customer swipes
        activity.response(out);    // the track statuses; the tracks are never kept
    }
    const bool freed_early = out.DiagRequestOut == kPedNotAuthenticated;
    {
        GdkLock lock;
        display_diagnosis_string(txt_request_output, out.DiagRequestOut);
    }
    if (freed_early)
        ReadTracksState = false;
    {
        GdkLock lock;
        show_record(&out, op.outputs);
        show_track_statuses(out);
    }
    if (!freed_early)
        ReadTracksState = false;
    return nullptr;
}

// ---------------------------------------------------------------------------
// Print information

void btn_PrintInfo_clicked(GtkWidget*, gpointer) {
    start_query(PrintInfoState, kPrintInfoEntries, &PrintInfo, PrintInformation);
}

void* PrintInformation(void*) {
    PrintInfoState = true;
    PrintInformation_in in{};
    PrintInformation_out out{};
    {
        GdkLock lock;
        if (buf_print_information) {
            GtkTextIter start, end;
            gtk_text_buffer_get_bounds(buf_print_information, &start, &end);
            gchar* text = gtk_text_buffer_get_text(buf_print_information, &start, &end, FALSE);
            field_copy_terminated(in.PrintBufferIn, text);
            g_free(text);
        }
    }
    static const Operation& op = console_operation("Print information");
    escape_print_line_feeds(in);
    {
        OperationActivity activity(op.name);
        activity.request(in);
        run_operation(op, &in, &out);
        activity.response(out);
    }
    {
        GdkLock lock;
        display_diagnosis_string(txt_request_output, out.DiagRequestOut);
    }
    {
        GdkLock lock;
        set_entry(txt_print_information_status, kPrintInfoTexts[out.StatusOut == 0 ? 0 : 1]);
    }
    PrintInfoState = false;
    return nullptr;
}

// ---------------------------------------------------------------------------
// Application enablement

void btn_check_application_enablement_Clicked(GtkWidget*, gpointer) {
    start_query(AppEnablement, kAppEnablementEntries, &ApplicationEnablementTh,
                CheckApplicationEnablement);
}

void* CheckApplicationEnablement(void*) {
    AppEnablement = true;
    static const Operation& op = console_operation("Application enablement");
    CheckApplicationEnablementIn in{};
    CheckApplicationEnablementOut out{};
    {
        GdkLock lock;
        read_inputs(&in, op.inputs); // the list's row, the first when none is chosen
    }
    {
        OperationActivity activity(op.name);
        activity.request(in);
        run_operation(op, &in, &out);
        activity.response(out);
    }
    {
        GdkLock lock;
        display_diagnosis_string(txt_request_output, out.DiagRequestOut);
        show_coded(txt_check_application_enablement_status,
                   coded_text(kAppEnablementStates, out.EnablementResultOut));
    }
    AppEnablement = false;
    return nullptr;
}
