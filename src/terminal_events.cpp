// Terminal events: the event server's start and stop workers, the event loop and
// its dispatch, the announcements, the suspected-fraud question, the password
// request and the DCC quotation panel. The signature check lives in signature.cpp,
// the voice referral, partial authorisation and AVS windows in event_windows.cpp.
#include "activity.h"
#include "operations.h"
#include "cashier.h"
#include "common_Routines.h"
#include "terminal_events.h"
#include "transactions.h"
#include "gdk_lock.h"
#include "journal.h"
#include "korvex.h"
#include "record_display.h"
#include "signals.h"
#include "ui_components.h"
#include "window_look.h"
#include "worker.h"

#include <glib.h>

#include <cstdio>
#include <mutex>
#include <optional>
#include <utility>

std::atomic<bool> StartStopEventServer{false};
std::atomic<bool> WaitEventState{false};
std::atomic<bool> DCCQuotationState{false};

pthread_t StartStopEventServerTh;
pthread_t WaitEventTh;
pthread_t SignVerifTh;
pthread_t VoiceRefTh;
pthread_t DCCQuotationTh;
pthread_t SetPwTh;
pthread_t ParAuthTh;
pthread_t AVSRejectionTh;

namespace {

// A modal information box without a parent, kept above the main window; returns when the operator closed it.
// Called with the toolkit lock held (gtk_dialog_run releases it while it waits).
void run_message_dialog(GtkMessageType type, GtkButtonsType buttons, const char* title,
                        const char* text, int* response = nullptr,
                        const char* secondary = nullptr) {
    GtkWidget* dialog =
        gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, type, buttons, "%s", text);
    if (secondary)
        gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(dialog), "%s", secondary);
    fit_dialog_to_screen(dialog);
    if (title)
        gtk_window_set_title(GTK_WINDOW(dialog), title);
    const int answer = gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
    gdk_lock_stop_if_window_gone(); // the dialog's loop let the window close
    if (response)
        *response = answer;
}

// An announcement shown by the event loop itself; the loop fetches no further
// event until the operator has closed it.
void show_information(const char* text) {
    char MessageToDisplay[50];
    g_strlcpy(MessageToDisplay, text, sizeof MessageToDisplay);
    GdkLock lock;
    run_message_dialog(GTK_MESSAGE_INFO, GTK_BUTTONS_OK, nullptr, MessageToDisplay);
}

// Event 9, on the loop thread. The lock is kept over the library call, so the
// window stays still until the terminal has the answer.
void ask_suspected_fraud() {
    SuspectedFraudInOut fraud{};
    GdkLock lock;
    display_diagnosis_string(txt_request_output, fraud.DiagRequestOut);
    int answer = GTK_RESPONSE_NONE;
    run_message_dialog(GTK_MESSAGE_WARNING, GTK_BUTTONS_YES_NO, "SUSPECTED FRAUD",
                       "Void due to suspected fraud?", &answer);
    answer_suspected_fraud(answer == GTK_RESPONSE_YES);
}

// What the loop does with each question (the event codes and the announcements
// are the cashier's table, cashier.h). A handler thread returns the loop to the
// terminal at once; a dialog keeps it until the operator closes it.
struct QuestionAction {
    Question question;
    void* (*worker)(void*); // started on a thread of its own, or null
    pthread_t* handle;      // where the worker's handle goes
    void (*on_loop)();      // run on the loop thread itself, or null
};

const QuestionAction kQuestionActions[] = {
    {Question::Signature, SignatureVerification, &SignVerifTh, nullptr},
    {Question::VoiceReferral, VoiceReferral, &VoiceRefTh, nullptr},
    {Question::DccQuotation, GetDCCQuotation, &DCCQuotationTh, nullptr},
    {Question::Password, PasswordEvt, &SetPwTh, nullptr},
    {Question::PartialApproval, PartialAuth, &ParAuthTh, nullptr},
    {Question::Avs, AVSRejection, &AVSRejectionTh, nullptr},
    {Question::SuspectedFraud, nullptr, nullptr, ask_suspected_fraud},
};

void dispatch_event(short code) {
    const TerminalEvent* event = terminal_event_of(code);
    if (!event)
        return; // codes outside the table are the terminal's business; the loop goes on
    for (const QuestionAction& action : kQuestionActions) {
        if (!event->question || action.question != *event->question)
            continue;
        if (action.worker)
            start_worker(action.handle, action.worker);
        if (action.on_loop)
            action.on_loop();
    }
    // After the worker started: a DCC offer is shown while its announcement is open.
    if (event->announcement)
        show_information(event->announcement);
}

void show_result(short DiagRequestOut) {
    GdkLock lock;
    display_diagnosis_string(txt_request_output, DiagRequestOut);
}

} // namespace

// ---------------------------------------------------------------------------
// Event server start and stop

void btn_StartEventServer_clicked(GtkWidget*, gpointer) {
    if (StartStopEventServer)
        return;
    gtk_entry_set_text(GTK_ENTRY(txt_request_output), "");
    start_worker(&StartStopEventServerTh, StartEventServer, nullptr, &StartStopEventServer);
}

void btn_StopEventServer_clicked(GtkWidget*, gpointer) {
    if (StartStopEventServer)
        return;
    gtk_entry_set_text(GTK_ENTRY(txt_request_output), "");
    start_worker(&StartStopEventServerTh, StopEventServer, nullptr, &StartStopEventServer);
}

void* StartEventServer(void*) {
    StartStopEventServer = true;
    TerminalEventOut server{};
    {
        static const Operation& op = console_operation("Event server start");
        OperationActivity running(op.name);
        run_operation(op, nullptr, &server);
        running.response(server);
    }
    show_result(server.DiagRequestOut);
    if (server.DiagRequestOut == 0)
        start_worker(&WaitEventTh, WaitEvent);
    StartStopEventServer = false;
    return nullptr;
}

void* StopEventServer(void*) {
    StartStopEventServer = true;
    TerminalEventOut server{};
    {
        static const Operation& op = console_operation("Event server stop");
        OperationActivity running(op.name);
        run_operation(op, nullptr, &server);
        running.response(server);
    }
    show_result(server.DiagRequestOut);
    StartStopEventServer = false;
    return nullptr;
}

// ---------------------------------------------------------------------------
// Event loop

namespace {

// The event server counts as running while this loop waits for its events.
void set_loop_running(bool running) {
    WaitEventState = running;
    GdkLock lock;
    show_event_server_state(running);
}

} // namespace

// The waits are no operations of their own: one lasts as long as the terminal has
// nothing to ask, and an entry open that long would take the questions and receipt
// lines of the transaction that runs meanwhile. What an event asks is journaled
// with the cashier's answer, in the entry of that transaction.
void* WaitEvent(void*) {
    set_loop_running(true);
    TerminalEventOut event{};
    WaitTerminalEvent(&event);
    // A stop of the server answers with no event (or a failure); that ends the loop.
    while (event.DiagRequestOut == 0 && event.EventIdentifierOut != 0) {
        dispatch_event(event.EventIdentifierOut);
        show_result(event.DiagRequestOut);
        WaitTerminalEvent(&event);
    }
    set_loop_running(false);
    return nullptr;
}

// ---------------------------------------------------------------------------
// Password request (event 6): the cashier answers with the main window's
// password command; nothing is sent from here.

namespace {

// The latest password request, until the cashier answers it.
std::mutex password_request_mutex;
std::optional<JournalRecord> waiting_password_request;

} // namespace

void answer_password_request(bool entered) {
    std::optional<JournalRecord> asked;
    {
        std::lock_guard lock(password_request_mutex);
        asked = std::exchange(waiting_password_request, std::nullopt);
    }
    if (asked)
        record_password_answer(entered, *asked);
}

namespace {

constexpr const char* kPasswordWhere =
    "Answer on the Terminal page: type the password under \"Password requested by the "
    "terminal\" and press Send password.";

// Brings the Terminal page's password entry on screen, with the focus in it.
void show_password_entry() {
    if (!txt_set_password)
        return;
    GtkWidget* page = txt_set_password;
    GtkWidget* parent = gtk_widget_get_parent(page);
    while (parent && !GTK_IS_NOTEBOOK(parent)) {
        page = parent;
        parent = gtk_widget_get_parent(page);
    }
    if (parent)
        gtk_notebook_set_current_page(GTK_NOTEBOOK(parent),
                                      gtk_notebook_page_num(GTK_NOTEBOOK(parent), page));
    gtk_widget_grab_focus(txt_set_password);
}

} // namespace

void display_set_password_dialog(PasswordParamsOut params) {
    static const char* const kPasswordNames[] = {"User Password", "SUPERVISOR Password",
                                                 "REFUND Password", "VOID Password"};
    char unknown[26]; // "Unknown Password (-32768)"
    const char* name = unknown;
    if (params.PasswordTypeOut >= 0 && params.PasswordTypeOut < 4)
        name = kPasswordNames[params.PasswordTypeOut];
    else
        std::snprintf(unknown, sizeof unknown, "Unknown Password (%d)", params.PasswordTypeOut);
    char text[100];
    std::snprintf(text, sizeof text,
                  "Password request entry is received\nPassword Type : %s.\nAttempt : %u/%u", name,
                  static_cast<unsigned>(params.AttemptNumberOut),
                  static_cast<unsigned>(params.MaximumAttemptOut));
    // The documented text says what the terminal asks; the second line says where
    // the cashier answers, and closing the window takes the cashier there.
    run_message_dialog(GTK_MESSAGE_INFO, GTK_BUTTONS_OK, "PASSWORD EVENT", text, nullptr,
                       kPasswordWhere);
    show_password_entry();
}

void* PasswordEvt(void*) {
    PasswordParamsOut params;
    ShownQuestion shown = fetch_question(&params);
    if (params.DiagRequestOut == 0) {
        std::lock_guard waiting(password_request_mutex);
        waiting_password_request = std::move(shown.record);
    }
    GdkLock lock;
    display_diagnosis_string(txt_request_output, params.DiagRequestOut);
    if (params.DiagRequestOut == 0)
        display_set_password_dialog(params);
    return nullptr;
}

// ---------------------------------------------------------------------------
// DCC quotation (event 3): shown in the DCC panel, nothing is sent back.

namespace {

#define DCC(field, widget, rule) RECORD_FIELD(DCCQuotationDataOut, field, widget, Rule::rule)
// The panel in the record's order; the currency codes are shown as their digits,
// the exponents as signed numbers (whole, also beyond four digits).
const FieldDisplay kDccQuotationDisplay[] = {
    DCC(MerchantNameOut, txt_dcc_merchant_name, Text),
    DCC(MerchantAddress1Out, txt_dcc_merchant_adr1, Text),
    DCC(MerchantAddress2Out, txt_dcc_merchant_adr2, Text),
    DCC(MerchantAddress3Out, txt_dcc_merchant_adr3, Text),
    DCC(MerchantAddress4Out, txt_dcc_merchant_adr4, Text),
    DCC(AcquirerMerchantIdOut, txt_dcc_acq_merch_id, Text),
    DCC(TerminalIdentifierOut, txt_dcc_term_idf, Text),
    DCC(SchemeLabelOut, txt_dcc_shm_lbl, Text),
    DCC(Last4DigitsCardOut, txt_dcc_last_dgts_crd, Text),
    DCC(CardExpiryDateOut, txt_dcc_card_exp_date, Text),
    DCC(CurrentDCCDateOut, txt_dcc_cur_dcc_date, Text),
    DCC(CurrentDCCTimeOut, txt_dcc_cur_dcc_time, Text),
    DCC(DCCTxnCurrencyNameOut, txt_dcc_txn_cur_name, Text),
    DCC(LocalCurrencyAmountValueOut, txt_dcc_loc_cur_amt_val, Text),
    DCC(TerminalCurrencyCodeOut, txt_dcc_term_cur_code, Text),
    DCC(TerminalCurrencyExponentOut, txt_dcc_term_cur_exp, Signed16),
    DCC(ConversionRateValueOut, txt_dcc_conv_rate_value, Text),
    DCC(CommissionValueOut, txt_dcc_com_value, Text),
    DCC(ExchangeRateMarkUpValueOut, txt_dcc_ex_rate_markup_val, Text),
    DCC(ReferenceRateProviderOut, txt_dcc_ref_rate_provider, Text),
    DCC(CurrencyConversionProviderOut, txt_dcc_cur_conv_provider, Text),
    DCC(DCCAmountOut, txt_dcc_dcc_amt, Text),
    DCC(CardCurrencyCodeOut, txt_dcc_card_cur_code, Text),
    DCC(CardCurrencyExpOut, txt_dcc_card_cur_exp, Signed16),
    DCC(FXExponentAppliedOut, txt_dcc_fx_exp_applied, Signed16),
};
#undef DCC

} // namespace

std::span<const FieldDisplay> dcc_quotation_display() {
    return kDccQuotationDisplay;
}

void* GetDCCQuotation(void*) {
    DCCQuotationState = true;
    DCCQuotationDataOut quotation;
    const ShownQuestion shown = fetch_question(&quotation);
    // The cardholder takes or leaves the offer on the terminal; the console shows it.
    if (quotation.DiagRequestOut == 0)
        record_dcc_offer(shown.record);
    {
        GdkLock lock;
        show_record(&quotation, kDccQuotationDisplay);
        display_diagnosis_string(txt_request_output, quotation.DiagRequestOut);
    }
    DCCQuotationState = false;
    return nullptr;
}
