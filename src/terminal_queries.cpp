// Card and terminal queries: eligibility of a transaction type, PED authenticity,
// magnetic card tracks, free-text printing and application enablement. One button,
// one busy flag and one worker each.
#include "terminal_management.h"

#include "fields.h"
#include "operation_recipe.h"
#include "signals.h"
#include "transactions.h"

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

// ---------------------------------------------------------------------------
// Eligibility

// EligibilityResultOut and CashBackEligibilityOut: 0, 1, any other.
const char* const kEligibilityTexts[] = {"NOT ELIGIBLE", "ELIGIBLE", "UNKNOWN"};
const char* eligibility_text(int value) {
    return value == 0 || value == 1 ? kEligibilityTexts[value] : kEligibilityTexts[2];
}

// The result; for an eligible type its limits, by the operation's table.
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

const CodedText kPedStates[] = {{"AUTH OK", "green"}, {"AUTH NOK", "red"}, {"UNKNOWN", "yellow"}};

// ---------------------------------------------------------------------------
// Card tracks

// The read statuses, which the table does not show.
void clear_track_statuses() {
    clear_widgets({txt_read_track1_status, txt_read_track2_status, txt_read_track3_status});
}

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

void show_track_statuses(const Operation&, const ReadTracks_out& out) {
    for (const TrackStatus& track : kTrackStatuses) {
        const int status = out.*track.status;
        const int row = status >= 0 && status <= 9 ? status : 10;
        show_coded(*track.entry, {DiagReadTrackStatus(status), kTrackStatusColours[row]});
    }
}

// ---------------------------------------------------------------------------
// Print information

const char* const kPrintInfoTexts[] = {" PRINT OK ", " PRINT NOK "};

// ---------------------------------------------------------------------------
// Application enablement

const CodedText kAppEnablementStates[] = {
    {"Application Not Enabled", "red"}, {"Application Enabled", "green"}, {"Unknown", "red"}};

// ---------------------------------------------------------------------------
// The operations

// The type chosen in the transaction panel's list.
const OperationRecipe<CheckEligibility_in, CheckEligibility_out> kEligibility{
    .operation = "Eligibility check",
    .worker = CheckEligibility,
    .thread = &CELI,
    .busy = &CheckEligState,
    .release = Release::NotAuthenticated,
    .show_table = false,
    .read =
        [](CheckEligibility_in& in) {
            field_copy(in.TransactionTypeIn, get_transaction_type(GTK_COMBO_BOX(cmb_txn_type)));
        },
    .show = show_eligibility,
};

// Up to 9 characters; 9 or more fill the field without a terminator.
const OperationRecipe<PEDAuthentication_in, PEDAuthentication_out> kPedAuthentication{
    .operation = "PED authentication",
    .worker = GetPEDSerialNumber,
    .thread = &GPSN,
    .busy = &GetPEDSerialNumState,
    .show =
        [](const Operation&, const PEDAuthentication_out& out) {
            show_coded(txt_ped_authentication_status, coded_text(kPedStates, out.StateOut));
        },
};

// Blocks while the customer swipes; the journal keeps the track statuses, never
// the tracks.
const OperationRecipe<NoRequest, ReadTracks_out> kCardReading{
    .operation = "Card reading",
    .worker = ReadTracks,
    .thread = &RDT,
    .busy = &ReadTracksState,
    .release = Release::NotAuthenticatedShown,
    .read =
        [](NoRequest&) {
            // The data first, then the statuses (the button empties them the other way).
            clear_outputs(console_operation("Card reading"));
            clear_track_statuses();
        },
    .show = show_track_statuses,
};

// The text as typed, its line feeds escaped before it is recorded.
const OperationRecipe<PrintInformation_in, PrintInformation_out> kPrintInformation{
    .operation = "Print information",
    .worker = PrintInformation,
    .thread = &PrintInfo,
    .busy = &PrintInfoState,
    .read =
        [](PrintInformation_in& in) {
            if (!buf_print_information)
                return;
            GtkTextIter start, end;
            gtk_text_buffer_get_bounds(buf_print_information, &start, &end);
            gchar* text = gtk_text_buffer_get_text(buf_print_information, &start, &end, FALSE);
            field_copy_terminated(in.PrintBufferIn, text);
            g_free(text);
            escape_print_line_feeds(in);
        },
    .show =
        [](const Operation&, const PrintInformation_out& out) {
            set_entry(txt_print_information_status, kPrintInfoTexts[out.StatusOut == 0 ? 0 : 1]);
        },
};

// The list's row, the first when none is chosen.
const OperationRecipe<CheckApplicationEnablementIn, CheckApplicationEnablementOut>
    kApplicationEnablement{
        .operation = "Application enablement",
        .worker = CheckApplicationEnablement,
        .thread = &ApplicationEnablementTh,
        .busy = &AppEnablement,
        .show =
            [](const Operation&, const CheckApplicationEnablementOut& out) {
                show_coded(txt_check_application_enablement_status,
                           coded_text(kAppEnablementStates, out.EnablementResultOut));
            },
    };

} // namespace

void btn_check_eligibility_clicked(GtkWidget*, gpointer) {
    if (!cmb_txn_type || gtk_combo_box_get_active(GTK_COMBO_BOX(cmb_txn_type)) < 0) {
        show_no_type_message();
        return;
    }
    press(kEligibility, [] {
        clear_widgets({txt_check_elig_elig_result, txt_check_elig_cash_back_elig,
                       txt_check_elig_comm_code_requirement});
    });
}

void* CheckEligibility(void*) {
    return run(kEligibility);
}

void btn_PedAuth_clicked(GtkWidget*, gpointer) {
    press(kPedAuthentication, [] { clear_widgets({txt_ped_authentication_status}); });
}

void* GetPEDSerialNumber(void*) {
    return run(kPedAuthentication);
}

void btn_ReadTracks_clicked(GtkWidget*, gpointer) {
    press(kCardReading, clear_track_statuses);
}

void* ReadTracks(void*) {
    return run(kCardReading);
}

void btn_PrintInfo_clicked(GtkWidget*, gpointer) {
    press(kPrintInformation, [] { clear_widgets({txt_print_information_status}); });
}

void* PrintInformation(void*) {
    return run(kPrintInformation);
}

void btn_check_application_enablement_Clicked(GtkWidget*, gpointer) {
    press(kApplicationEnablement, [] { clear_widgets({txt_check_application_enablement_status}); });
}

void* CheckApplicationEnablement(void*) {
    return run(kApplicationEnablement);
}
