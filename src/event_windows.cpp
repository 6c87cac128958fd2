// The three windows with which the cashier answers the terminal during a
// transaction: voice referral (event 2), partial authorisation (event 7) and AVS
// rejection (event 8). Each is built from a window description of its own, shown
// (not run modally) and answered on the main thread by its buttons; the answer
// goes to the terminal library from the button handler, then the window goes.
//
// The terminal may ask again while an earlier window of the same kind is still
// open (it gave up waiting and asked anew). Each window therefore carries its own
// state, handed to its handlers as their user data: a window answers for itself,
// once, and closes, whichever of the two is answered first. The globals of each
// kind only name the newest window.
#include "cashier.h"
#include "common_Routines.h"
#include "terminal_events.h"
#include "fields.h"
#include "gdk_lock.h"
#include "journal.h"
#include "korvex.h"
#include "signals.h"
#include "startup.h"
#include "ui_components.h"
#include "window_look.h"

#include <string>
#include <vector>

// Widgets of the newest window of each kind; null once it has closed.
GtkWidget* p_voiceReferral_childwin;
GtkWidget* lb_Phone;
GtkWidget* lb_MerchId;
GtkWidget* lb_hostMsg;
GtkWidget* accept_check;
GtkWidget* cb_ref_state;
GtkWidget* txt_auth_code;
GtkWidget* btn_auth_ok;
GtkWidget* btn_auth_cancel;

GtkWidget* p_hp_childwin;
GtkWidget* lb_hp_mid;
GtkWidget* lb_hp_amt;
GtkWidget* btn_hp_acc;
GtkWidget* btn_hp_dec;

GtkWidget* p_avs_childwin;
GtkWidget* lb_avs_resp;
GtkWidget* btn_avs_acc;
GtkWidget* btn_avs_dec;

namespace {

// Loads one window description from the descriptions folder. Null when no builder
// could be made; a description that cannot be loaded ends the program with the
// loader's message, as for the main window.
GtkBuilder* load_description(const char* file) {
    GtkBuilder* builder = gtk_builder_new();
    if (!builder)
        return nullptr;
    const std::string path = std::string(g_ui_dir) + file;
    GError* error = nullptr;
    if (!gtk_builder_add_from_file(builder, path.c_str(), &error))
        g_error("%s", error->message); // ends the process
    return builder;
}

GtkWidget* widget_of(GtkBuilder* builder, const char* id) {
    return GTK_WIDGET(gtk_builder_get_object(builder, id));
}

void show_centred(GtkWidget* window) {
    fit_dialog_to_screen(window);
    gtk_widget_show_all(window);
    gtk_window_present(GTK_WINDOW(window));
}

// A label takes UTF-8 only: bytes the terminal sent otherwise show as replacement
// characters instead of breaking the window.
void set_label(GtkWidget* label, const std::string& text) {
    gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
    gtk_label_set_text(GTK_LABEL(label), valid);
    g_free(valid);
}

// One open question window: its widgets and whether it has answered. Owned by
// the window: freed when the window is destroyed.
struct QuestionWindow {
    GtkWidget* window = nullptr;
    bool answered = false;
    void (*forget_globals)() = nullptr; // when this window is the newest of its kind
    GtkWidget** newest = nullptr;       // the global naming the newest window
    JournalRecord shown;                // what the terminal asked with, for the journal
    // The voice referral window's controls.
    GtkWidget* accept_check = nullptr;
    GtkWidget* cb_ref_state = nullptr;
    GtkWidget* txt_auth_code = nullptr;
    GtkWidget* btn_auth_ok = nullptr;
};

void window_destroyed(GtkWidget* window, gpointer data) {
    auto* question = static_cast<QuestionWindow*>(data);
    if (*question->newest == window)
        question->forget_globals();
    delete question;
}

QuestionWindow* own_state(GtkWidget* window, GtkWidget** newest, void (*forget_globals)()) {
    auto* question = new QuestionWindow;
    question->window = window;
    question->newest = newest;
    question->forget_globals = forget_globals;
    g_object_set_data(G_OBJECT(window), "question-window", question);
    g_signal_connect(window, "destroy", G_CALLBACK(window_destroyed), question);
    return question;
}

// The handlers' user data; a handler called without it (not through a signal)
// acts for the newest window of its kind.
QuestionWindow* state_of(gpointer data, GtkWidget* newest) {
    if (data)
        return static_cast<QuestionWindow*>(data);
    return newest ? static_cast<QuestionWindow*>(
                        g_object_get_data(G_OBJECT(newest), "question-window"))
                  : nullptr;
}

// True the first time only: a window sends one answer, however its buttons and
// its title bar are used.
bool take_answer(QuestionWindow* question) {
    if (!question || question->answered)
        return false;
    question->answered = true;
    return true;
}

// Closing a window by its title bar answers like its cancel or decline button.
// The handler has destroyed the window already, so the default one must not run.
template <void (*Answer)(GtkWidget*, gpointer)>
gboolean answer_on_close(GtkWidget*, GdkEvent*, gpointer data) {
    Answer(nullptr, data);
    return TRUE;
}

void forget_voice_referral_window() {
    p_voiceReferral_childwin = lb_Phone = lb_MerchId = lb_hostMsg = nullptr;
    accept_check = cb_ref_state = txt_auth_code = btn_auth_ok = btn_auth_cancel = nullptr;
}

void forget_partial_auth_window() {
    p_hp_childwin = lb_hp_mid = lb_hp_amt = btn_hp_acc = btn_hp_dec = nullptr;
}

void forget_avs_window() {
    p_avs_childwin = lb_avs_resp = btn_avs_acc = btn_avs_dec = nullptr;
}

// The outcome of each item of "cb_ref_state": 0 authorised with the code typed,
// 1 declined, 2 (and anything else) no authorisation.
Referral referral_of_item(int item) {
    switch (item) {
    case 0:
        return Referral::Authorised;
    case 1:
        return Referral::Declined;
    default:
        return Referral::NoAuthorisation;
    }
}

void send_partial_auth_status(gpointer data, bool accept) {
    QuestionWindow* question = state_of(data, p_hp_childwin);
    if (!take_answer(question))
        return;
    display_diagnosis_string(txt_request_output, answer_partial_approval(accept, question->shown));
    gtk_widget_destroy(question->window);
}

void send_avs_status(gpointer data, bool accept) {
    QuestionWindow* question = state_of(data, p_avs_childwin);
    if (!take_answer(question))
        return;
    display_diagnosis_string(txt_request_output, answer_avs(accept, question->shown));
    gtk_widget_destroy(question->window);
}

} // namespace

// ---------------------------------------------------------------------------
// Voice referral (event 2)

void* VoiceReferral(void*) {
    VoiceReferralInfos_out referral;
    fetch_question(&referral);
    GdkLock lock;
    display_diagnosis_string(txt_request_output, referral.DiagRequestOut);
    // From here on the window's handlers carry the referral, on the main thread.
    if (referral.DiagRequestOut == 0)
        display_voice_referral_assistant(referral);
    return nullptr;
}

void display_voice_referral_assistant(VoiceReferralInfos_out referral) {
    GtkBuilder* builder = load_description("VoiceReferral.xml");
    if (!builder)
        return;
    p_voiceReferral_childwin = widget_of(builder, "win_voice_ref");
    QuestionWindow* question = own_state(p_voiceReferral_childwin, &p_voiceReferral_childwin,
                                         forget_voice_referral_window);
    question->shown = journal_record(referral);
    lb_hostMsg = widget_of(builder, "lb_hostMsg");
    lb_MerchId = widget_of(builder, "lb_MerchId");
    lb_Phone = widget_of(builder, "lb_Phone");
    question->accept_check = accept_check = widget_of(builder, "accept_check");
    g_signal_connect(accept_check, "clicked", G_CALLBACK(accept_check_clicked), question);
    question->cb_ref_state = cb_ref_state = widget_of(builder, "cb_ref_state");
    g_signal_connect(cb_ref_state, "changed", G_CALLBACK(cb_ref_state_changed), question);
    gtk_widget_set_sensitive(cb_ref_state, FALSE);
    question->txt_auth_code = txt_auth_code = widget_of(builder, "txt_auth_code");
    gtk_widget_set_sensitive(txt_auth_code, FALSE);
    question->btn_auth_ok = btn_auth_ok = widget_of(builder, "btn_auth_ok");
    gtk_widget_set_sensitive(btn_auth_ok, FALSE);
    g_signal_connect(btn_auth_ok, "clicked", G_CALLBACK(btn_auth_ok_clicked), question);
    btn_auth_cancel = widget_of(builder, "btn_auth_cancel");
    g_signal_connect(btn_auth_cancel, "clicked", G_CALLBACK(Cancel_Voice_Referral), question);
    g_object_unref(builder); // the shown window keeps itself alive

    show_centred(p_voiceReferral_childwin);
    set_label(lb_hostMsg, field_text(referral.HostMessageOut));
    set_label(lb_MerchId, field_text(referral.MerchantIdOut));
    set_label(lb_Phone, field_text(referral.PhoneNumberOut));
    g_signal_connect(p_voiceReferral_childwin, "delete_event",
                     G_CALLBACK(answer_on_close<Cancel_Voice_Referral>), question);
}

void accept_check_clicked(GtkWidget*, gpointer data) {
    const QuestionWindow* question = state_of(data, p_voiceReferral_childwin);
    if (!question)
        return;
    gtk_widget_set_sensitive(question->cb_ref_state, gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(
                                                         question->accept_check)));
}

void cb_ref_state_changed(GtkWidget*, gpointer data) {
    const QuestionWindow* question = state_of(data, p_voiceReferral_childwin);
    if (!question)
        return;
    // Once opened for item 0, the code entry stays open whatever is chosen later.
    if (gtk_combo_box_get_active(GTK_COMBO_BOX(question->cb_ref_state)) == 0)
        gtk_widget_set_sensitive(question->txt_auth_code, TRUE);
    gtk_widget_set_sensitive(question->btn_auth_ok, TRUE);
}

void btn_auth_ok_clicked(GtkWidget*, gpointer data) {
    QuestionWindow* question = state_of(data, p_voiceReferral_childwin);
    if (!take_answer(question))
        return;
    const Referral outcome =
        referral_of_item(gtk_combo_box_get_active(GTK_COMBO_BOX(question->cb_ref_state)));
    const char* code = outcome == Referral::Authorised
                           ? gtk_entry_get_text(GTK_ENTRY(question->txt_auth_code))
                           : "";
    display_diagnosis_string(txt_request_output,
                             answer_voice_referral(outcome, code, question->shown));
    gtk_widget_destroy(question->window);
}

void Cancel_Voice_Referral(GtkWidget*, gpointer data) {
    QuestionWindow* question = state_of(data, p_voiceReferral_childwin);
    if (!take_answer(question))
        return;
    display_diagnosis_string(txt_request_output,
                             answer_voice_referral(Referral::Cancelled, {}, question->shown));
    gtk_widget_destroy(question->window);
}

// ---------------------------------------------------------------------------
// Partial authorisation (event 7)

void* PartialAuth(void*) {
    PartialAuthOut partial;
    fetch_question(&partial);
    GdkLock lock;
    display_diagnosis_string(txt_request_output, partial.DiagRequestOut);
    // Shown whatever the result: the terminal still waits for an answer.
    display_Partial_Auth_dlg(partial);
    return nullptr;
}

void display_Partial_Auth_dlg(PartialAuthOut partial) {
    GtkBuilder* builder = load_description("ParAuth.xml");
    if (!builder)
        return;
    p_hp_childwin = widget_of(builder, "partial_auth_dlg");
    QuestionWindow* question = own_state(p_hp_childwin, &p_hp_childwin, forget_partial_auth_window);
    question->shown = journal_record(partial);
    lb_hp_mid = widget_of(builder, "lb_hp_mid");
    lb_hp_amt = widget_of(builder, "lb_hp_amt");
    btn_hp_acc = widget_of(builder, "btn_hp_acc");
    btn_hp_dec = widget_of(builder, "btn_hp_dec");
    g_signal_connect(btn_hp_acc, "clicked", G_CALLBACK(btn__Partial_Auth_accept_clicked), question);
    g_signal_connect(btn_hp_dec, "clicked", G_CALLBACK(Decline_Partial_Auth), question);
    g_object_unref(builder);

    show_centred(p_hp_childwin);
    set_label(lb_hp_mid, field_text(partial.AcquirerMerchantIDOut));
    set_label(lb_hp_amt, field_text(partial.PartialAmountOut));
    g_signal_connect(p_hp_childwin, "delete_event",
                     G_CALLBACK(answer_on_close<Decline_Partial_Auth>), question);
}

void btn__Partial_Auth_accept_clicked(GtkWidget*, gpointer data) {
    send_partial_auth_status(data, true);
}

void Decline_Partial_Auth(GtkWidget*, gpointer data) {
    send_partial_auth_status(data, false);
}

// ---------------------------------------------------------------------------
// AVS rejection (event 8)

void* AVSRejection(void*) {
    AVSRejectionOut avs;
    fetch_question(&avs);
    GdkLock lock;
    display_diagnosis_string(txt_request_output, avs.DiagRequestOut);
    display_AVS_Rej_dlg(avs);
    return nullptr;
}

void display_AVS_Rej_dlg(AVSRejectionOut avs) {
    GtkBuilder* builder = load_description("AvsIj.xml");
    if (!builder)
        return;
    p_avs_childwin = widget_of(builder, "avs_rej_dlg");
    QuestionWindow* question = own_state(p_avs_childwin, &p_avs_childwin, forget_avs_window);
    question->shown = journal_record(avs);
    lb_avs_resp = widget_of(builder, "lb_avs_resp");
    btn_avs_acc = widget_of(builder, "btn_avs_acc");
    btn_avs_dec = widget_of(builder, "btn_avs_dec");
    g_signal_connect(btn_avs_acc, "clicked", G_CALLBACK(btn_avs_accept_clicked), question);
    g_signal_connect(btn_avs_dec, "clicked", G_CALLBACK(decline_avs), question);
    g_object_unref(builder);

    show_centred(p_avs_childwin);
    set_label(lb_avs_resp, field_text(avs.AVSResponseOut));
    g_signal_connect(p_avs_childwin, "delete_event", G_CALLBACK(answer_on_close<decline_avs>),
                     question);
}

void btn_avs_accept_clicked(GtkWidget*, gpointer data) {
    send_avs_status(data, true);
}

void decline_avs(GtkWidget*, gpointer data) {
    send_avs_status(data, false);
}
