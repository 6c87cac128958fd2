// Terminal management: the terminal's status (once or polled), its date and time,
// address, certificate, password answer, receipt printing and the tracing of the
// library's messages.
#include "terminal_management.h"

#include "fields.h"
#include "operation_recipe.h"
#include "print_server.h"
#include "signals.h"
#include "terminal_events.h"
#include "window_look.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iterator>
#include <thread>

std::atomic<bool> SingleState{false};
std::atomic<bool> periodicFlag{false};
std::atomic<int> TimeLapse{2};
pthread_t GetStatus;
pthread_t Periodic;

std::atomic<bool> TimerState{false};
std::atomic<bool> TxnReceiptPrint{false};
bool IsTraceTlvEnabled = false;
bool IsTraceTlvFailed = false;
pthread_t Timer;
pthread_t SetPAss;
pthread_t ITRPS;

void show_coded(GtkWidget* entry, const CodedText& row) {
    if (!entry)
        return;
    gtk_entry_set_text(GTK_ENTRY(entry), row.text);
    setColor(entry, row.colour);
}

void set_entry(GtkWidget* entry, const char* text) {
    if (entry)
        gtk_entry_set_text(GTK_ENTRY(entry), text);
}

namespace {

// ---------------------------------------------------------------------------
// Status

// The single query's names of the states.
const CodedText kSingleStates[] = {
    {"Unknown", "yellow"},  {"Idle", "green"},     {"Busy", "red"},
    {"Card Insert", "red"}, {"Pin Verify", "red"}, {"Authorizing", "red"},
    {"Completion", "red"},  {"Cancelled", "red"},  {"Error", "red"}, // any other
};

// The polling loop's names of the states.
const CodedText kPeriodicStates[] = {
    {"UNKNOWN", "red"},
    {"IDLE", "green"},
    {"BUSY", "red"},
    {"CARD_INSERT", "red"},
    {"PIN_ENTRY_FIRST_ATTEMPT", "red"},
    {"PIN_ENTRY_SECOND_ATTEMPT", "red"},
    {"PIN_ENTRY_THIRD_ATTEMPT", "red"},
    {"PIN_ENTRY_FAILED", "red"},
    {"GRATUITY_ENTRY", "red"},
    {"AUTHORISING", "red"},
    {"COMPLETION", "red"},
    {"CANCELLED", "red"},
    {"AMOUNT_CONFIRMATION", "red"},
    {"SENDING", "red"},
    {"RECEIVING", "red"},
    {"UNSPECIFIED_INPUT", "red"},
    {"PROCESSING", "red"},
    {"CARD_REMOVAL", "red"},
    {"PRINTING_MERCHANT_COPY", "red"},
    {"PRINTING_CUSTOMER_COPY", "red"},
    {"ERROR", "red"}, // any other
};

constexpr const char* kGetStatusLabel = "Get Status";
constexpr const char* kStopPollingLabel = "Stop Periodic Status";
constexpr const char* kStatusActivity = "Terminal status";

// Each start of polling gets a new number; a loop runs only while its number is
// the latest, so that a stop ends it even when a new start follows within its
// sleep (at most one loop at a time).
std::atomic<std::uintptr_t> polling_generation{0};

bool polling_goes_on(std::uintptr_t generation) {
    return periodicFlag && polling_generation == generation;
}

// A status asked for once is always journaled; a polled one only when it changes,
// or every poll would write an entry.
Status_out query_terminal_state(Journaling journaling) {
    static const Operation& op = console_operation(kStatusActivity);
    Status_out out{};
    journaled_call(op, NoRequest{}, out, journaling);
    return out;
}

// ---------------------------------------------------------------------------
// Configuration

// StatusOut of the date and time: 0 accepted, any other refused.
const CodedText kDateTimeStatus[] = {{"Success", "green"}, {"Fail", "red"}};

// EntryStatusIn by the row of cmb_setpw_entry_status: "Password entered" sends 1,
// "Entry cancelled" 0.
constexpr short kEntryStatusByRow[] = {1, 0};

// Years the two-digit YearIn can carry.
constexpr int kFirstYear = 2000;
constexpr int kLastYear = 2099;

bool toggle_active(GtkWidget* toggle) {
    return toggle && gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(toggle));
}

int spin_value(GtkWidget* spin) {
    return spin ? static_cast<int>(gtk_spin_button_get_value(GTK_SPIN_BUTTON(spin))) : 0;
}

// Two decimal digits; a value that does not fit leaves the field empty, which the
// terminal refuses, rather than sending a wrong date.
void put_two_digits(char (&field)[3], int value) {
    if (value < 0 || value > 99)
        return;
    field[0] = static_cast<char>('0' + value / 10);
    field[1] = static_cast<char>('0' + value % 10);
    field[2] = '\0';
}

void read_date_time(TimeDate_in& in) {
    guint year = 0, month = 0, day = 0;
    if (cal_terminal_date)
        gtk_calendar_get_date(GTK_CALENDAR(cal_terminal_date), &year, &month, &day);
    const int y = static_cast<int>(year);
    put_two_digits(in.YearIn, y >= kFirstYear && y <= kLastYear ? y - kFirstYear : -1);
    put_two_digits(in.MonthIn, static_cast<int>(month) + 1);
    put_two_digits(in.DayIn, static_cast<int>(day));
    put_two_digits(in.HourIn, spin_value(sp_dt_hour));
    put_two_digits(in.MinuteIn, spin_value(sp_dt_min));
    put_two_digits(in.SecondIn, spin_value(sp_dt_sec));
}

// A modal file chooser without a parent, kept above the main window, starting in the home folder;
// the chosen path (to be freed with g_free), or null when the operator cancels.
gchar* choose_path(const char* title, GtkFileChooserAction action, GtkFileFilter* filter) {
    GtkWidget* chooser =
        gtk_file_chooser_dialog_new(title, nullptr, action, "gtk-cancel", GTK_RESPONSE_CANCEL,
                                    "gtk-open", GTK_RESPONSE_ACCEPT, nullptr);
    gtk_window_set_modal(GTK_WINDOW(chooser), TRUE);
    fit_dialog_to_screen(chooser);
    if (const char* home = std::getenv("HOME"))
        gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(chooser), home);
    if (filter)
        gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(chooser), filter);
    gchar* path = nullptr;
    if (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT)
        path = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser));
    gtk_widget_destroy(chooser);
    return path;
}

// Sends the log folder and a tracing state; takes the library's answer into the
// folder entry and IsTraceTlvEnabled, and after a failure makes the check button
// show the state the library reports (main thread).
void send_trace_settings(bool enabled) {
    static const Operation& op = console_operation("Message tracing");
    SetTraceTlvMessagesEnabelement_InOut in{}, io{};
    read_inputs(&in, op.inputs);
    in.TraceEnabelementINOut = enabled ? 1 : 0;
    journaled_call(op, in, io);
    display_diagnosis_string(txt_request_output, io.DiagRequestOut);
    show_record(&io, op.outputs);
    IsTraceTlvEnabled = io.TraceEnabelementINOut != 0;
    if (io.DiagRequestOut != 0) {
        IsTraceTlvFailed = true; // the "clicked" of the correction is not a command
        if (checkbtn_trace_tlv_enablement)
            gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(checkbtn_trace_tlv_enablement),
                                         IsTraceTlvEnabled);
    }
}

// ---------------------------------------------------------------------------
// The operations of the workers

// A status asked for once: the state stays empty for "PED Not Authenticated".
const OperationRecipe<NoRequest, Status_out> kSingleQuery{
    .operation = kStatusActivity,
    .worker = GS,
    .thread = &GetStatus,
    .busy = &SingleState,
    .show =
        [](const Operation&, const Status_out& out) {
            if (out.DiagRequestOut != kPedNotAuthenticated)
                show_coded(txt_get_terminal_status, coded_text(kSingleStates, out.StateOut));
        },
};

const OperationRecipe<TimeDate_in, TimeDate_out> kSetDateTime{
    .operation = "Set date and time",
    .worker = SetTime,
    .thread = &Timer,
    .busy = &TimerState,
    .read = read_date_time,
    .show =
        [](const Operation&, const TimeDate_out& out) {
            if (out.DiagRequestOut != kPedNotAuthenticated)
                show_coded(txt_set_terminal_date_time_status,
                           coded_text(kDateTimeStatus, out.StatusOut));
        },
};

// The password from the table, the status by the list's row. The answer to the
// terminal's password request, if one waits, goes to the operation that asked
// (before this command's own entry opens). The password itself is neither in the
// question nor in the request recorded.
const OperationRecipe<SetPasswordIn, SetPasswordOut> kSetPassword{
    .operation = "Set password",
    .worker = SetPassFct,
    .thread = &SetPAss,
    .busy = nullptr,
    .read =
        [](SetPasswordIn& in) {
            const int row = cmb_setpw_entry_status
                                ? gtk_combo_box_get_active(GTK_COMBO_BOX(cmb_setpw_entry_status))
                                : -1;
            if (row >= 0 && row < static_cast<int>(std::size(kEntryStatusByRow)))
                in.EntryStatusIn = kEntryStatusByRow[row];
        },
    .send = [](const SetPasswordIn& in) { answer_password_request(in.EntryStatusIn == 1); },
};

const OperationRecipe<InitTxnReceiptPrint_InOut, InitTxnReceiptPrint_InOut> kReceiptPrinting{
    .operation = "Receipt printing",
    .worker = UpdateTxnReceiptPrintStatus,
    .thread = &ITRPS,
    .busy = &TxnReceiptPrint,
    .read =
        [](InitTxnReceiptPrint_InOut& in) {
            clear_result_line();
            in.StatusIn = toggle_active(rad_print_txn_receipt_disabled)  ? 0
                          : toggle_active(rad_print_txn_receipt_enabled) ? 1
                                                                         : 0;
        },
};

} // namespace

// ---------------------------------------------------------------------------
// Status

void btn_GetStatus_clicked(GtkWidget*, gpointer) {
    if (toggle_active(chb_periodic_get_terminal_status)) {
        start_periodic_get_state();
        return;
    }
    press(kSingleQuery, [] { clear_widgets({txt_get_terminal_status}); });
}

void start_periodic_get_state() {
    if (periodicFlag) {
        periodicFlag = false;
        ++polling_generation; // the running loop ends after its sleep
        gtk_button_set_label(GTK_BUTTON(btn_get_status), kGetStatusLabel);
        return;
    }
    gtk_button_set_label(GTK_BUTTON(btn_get_status), kStopPollingLabel);
    TimeLapse = spin_value(spbtn_get_terminal_status_per_time);
    // Set here rather than by the loop, so that a press before the loop runs stops it.
    periodicFlag = true;
    const std::uintptr_t generation = ++polling_generation;
    if (!start_worker(&Periodic, GetState, reinterpret_cast<void*>(generation))) {
        periodicFlag = false;
        gtk_button_set_label(GTK_BUTTON(btn_get_status), kGetStatusLabel);
    }
}

void* GS(void*) {
    return run(kSingleQuery);
}

void* GetState(void* arg) {
    const auto generation = reinterpret_cast<std::uintptr_t>(arg);
    while (polling_goes_on(generation)) {
        {
            GdkLock lock;
            set_entry(txt_get_terminal_status, "");
            set_entry(txt_request_output, "");
        }
        const Status_out out = query_terminal_state(Journaling::WhenChanged);
        {
            GdkLock lock;
            display_diagnosis_string(txt_request_output, out.DiagRequestOut);
            if (out.DiagRequestOut != kPedNotAuthenticated)
                show_coded(txt_get_terminal_status, coded_text(kPeriodicStates, out.StateOut));
        }
        std::this_thread::sleep_for(std::chrono::seconds(TimeLapse.load()));
    }
    return nullptr;
}

// ---------------------------------------------------------------------------
// Date and time

void set_time_from_system() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    if (sp_dt_hour)
        gtk_spin_button_set_value(GTK_SPIN_BUTTON(sp_dt_hour), local.tm_hour);
    if (sp_dt_min)
        gtk_spin_button_set_value(GTK_SPIN_BUTTON(sp_dt_min), local.tm_min);
    if (sp_dt_sec)
        gtk_spin_button_set_value(GTK_SPIN_BUTTON(sp_dt_sec), local.tm_sec);
    if (cal_terminal_date) {
        gtk_calendar_select_month(GTK_CALENDAR(cal_terminal_date), local.tm_mon,
                                  local.tm_year + 1900);
        gtk_calendar_select_day(GTK_CALENDAR(cal_terminal_date), local.tm_mday);
    }
}

void btn_SetTime_clicked(GtkWidget*, gpointer) {
    press(kSetDateTime, [] { clear_widgets({txt_set_terminal_date_time_status}); });
}

void* SetTime(void*) {
    return run(kSetDateTime);
}

// ---------------------------------------------------------------------------
// Address and certificate (main thread: the window waits for the library)

void btn_set_ip_address_clicked(GtkWidget*, gpointer) {
    static const Operation& op = console_operation("Set IP address");
    SetTerminalIPAddress_InOut in{}, io{};
    read_inputs(&in, op.inputs);
    journaled_call(op, in, io);
    display_diagnosis_string(txt_request_output, io.DiagRequestOut);
    if (io.DiagRequestOut == 0) // the terminal now prints from there
        print_server_allow_terminal(field_text(in.IPAddressIn).c_str());
}

void btn_ssl_certificate_path_clicked(GtkWidget*, gpointer) {
    set_entry(txt_ssl_certificate_path, "");
    set_entry(txt_request_output, "");
    GtkFileFilter* filter = gtk_file_filter_new();
    gtk_file_filter_set_name(filter, "Certificate files");
    gtk_file_filter_add_pattern(filter, "*.pem");
    gchar* path = choose_path("Set SSL Certificate", GTK_FILE_CHOOSER_ACTION_OPEN, filter);
    set_entry(txt_ssl_certificate_path, path ? path : "");
    if (btn_set_ssl_certificate)
        gtk_widget_set_sensitive(btn_set_ssl_certificate, path != nullptr);
    g_free(path);
}

void btn_set_ssl_certificate_clicked(GtkWidget*, gpointer) {
    static const Operation& op = console_operation("Set certificate");
    SetSSLCertificate_InOut in{}, io{};
    read_inputs(&in, op.inputs);
    journaled_call(op, in, io);
    display_diagnosis_string(txt_request_output, io.DiagRequestOut);
}

// ---------------------------------------------------------------------------
// Password: the answer to the terminal's password request

void btn_set_passw_clicked(GtkWidget*, gpointer) {
    start_worker(&SetPAss, SetPassFct); // no busy flag: every click sends
}

void* SetPassFct(void*) {
    return run(kSetPassword);
}

// ---------------------------------------------------------------------------
// Receipt printing

void rad_print_txn_receipt_clicked(GtkWidget*, gpointer) {
    // One change of choice calls this twice (the button chosen and the one left);
    // the flag, set here, lets only the first start a worker, which reads the
    // buttons once both calls are over.
    press(kReceiptPrinting);
}

void* UpdateTxnReceiptPrintStatus(void*) {
    return run(kReceiptPrinting);
}

// ---------------------------------------------------------------------------
// Log folder and message tracing (main thread)

void btn_log_folder_path_clicked(GtkWidget*, gpointer) {
    gchar* path = choose_path("Set LogFile Folder", GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, nullptr);
    if (path)
        set_entry(txt_new_folder_path, path);
    g_free(path);
}

void btn_set_logFile_folder_path_clicked(GtkWidget*, gpointer) {
    send_trace_settings(IsTraceTlvEnabled);
}

void checkbtn_trace_tlv_enablement_clicked(GtkWidget*, gpointer) {
    if (IsTraceTlvFailed) {
        IsTraceTlvFailed = false; // the console's own correction
        return;
    }
    IsTraceTlvEnabled = !IsTraceTlvEnabled;
    send_trace_settings(IsTraceTlvEnabled);
}
