// Terminal events: the event server, its loop, the cashier's answers and windows.
#pragma once

#include "korvex.h"

#include <gtk/gtk.h>
#include <pthread.h>

#include <atomic>

// Busy flag of the start and stop workers (one for both), true while the event
// loop runs, true while a DCC quotation is fetched and shown.
extern std::atomic<bool> StartStopEventServer;
extern std::atomic<bool> WaitEventState;
extern std::atomic<bool> DCCQuotationState;
// Handles of the latest thread of each kind; nobody waits for them.
extern pthread_t StartStopEventServerTh;
extern pthread_t WaitEventTh;
extern pthread_t SignVerifTh;
extern pthread_t VoiceRefTh;
extern pthread_t DCCQuotationTh;
extern pthread_t SetPwTh;
extern pthread_t ParAuthTh;
extern pthread_t AVSRejectionTh;

// Start and stop workers of the event server's buttons.
void* StartEventServer(void* arg);
void* StopEventServer(void* arg);
// The event loop: waits for the terminal's events and dispatches each.
void* WaitEvent(void* arg);
// Handler threads of the events that need the cashier (1, 2, 3, 6, 7, 8).
void* SignatureVerification(void* arg);
void* VoiceReferral(void* arg);
void* GetDCCQuotation(void* arg);
void* PasswordEvt(void* arg);
void* PartialAuth(void* arg);
void* AVSRejection(void* arg);

// Dialogs and windows of the events; called with the toolkit lock held.
void display_signature_dialog(const char* TransactionTypeOut);
void display_set_password_dialog(PasswordParamsOut params);
void display_voice_referral_assistant(VoiceReferralInfos_out referral);
void display_Partial_Auth_dlg(PartialAuthOut partial);
void display_AVS_Rej_dlg(AVSRejectionOut avs);
// Journals the cashier's answer (entered or cancelled) to the terminal's password
// request that waits for it, if any; the "Set password" command gives the answer.
void answer_password_request(bool entered);

// Widgets of the newest voice referral, partial authorisation and AVS windows,
// named like their identifiers in the window descriptions; null while closed.
extern GtkWidget* p_voiceReferral_childwin;
extern GtkWidget* lb_Phone;
extern GtkWidget* lb_MerchId;
extern GtkWidget* lb_hostMsg;
extern GtkWidget* accept_check;
extern GtkWidget* cb_ref_state;
extern GtkWidget* txt_auth_code;
extern GtkWidget* btn_auth_ok;
extern GtkWidget* btn_auth_cancel;
extern GtkWidget* p_hp_childwin;
extern GtkWidget* lb_hp_mid;
extern GtkWidget* lb_hp_amt;
extern GtkWidget* btn_hp_acc;
extern GtkWidget* btn_hp_dec;
extern GtkWidget* p_avs_childwin;
extern GtkWidget* lb_avs_resp;
extern GtkWidget* btn_avs_acc;
extern GtkWidget* btn_avs_dec;
