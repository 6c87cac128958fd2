// Console-side records and the workers of the operations.
#pragma once

#include "korvex.h"
#include "print_job_font.h"

#include <gtk/gtk.h>
#include <pthread.h>

#include <atomic>
#include <cstddef>

// Applies the saved settings to the window and the terminal library (start-up).
void Application_opened();

// Presets the terminal date and time selectors with the machine's local time.
void set_time_from_system();

// ---------------------------------------------------------------------------
// Payment transactions

// The transaction request as the console stages it before the library record.
struct TxnRequest {
    char MessageNumberIn[3];
    char Amount1In[13];
    char Amount2In[13];
    char Amount3In[13];
    char Amount4In[13];
    char Amount1LabelIn[20];
    char Amount2LabelIn[20];
    char Amount3LabelIn[20];
    char Amount4LabelIn[20];
    char TransactionTypeIn[3];
    char CustomLine1In[40];
    char InvoiceNumberIn[7];
    char CashierIdIn[5];
    char TableIdIn[3];
    char CommercialCodeIn[3];
    char PreAuthRefNumIn[9];
    unsigned char SuspectedFraudIndicatorIn; // first character of the input, 0 when empty
    char AuthorisationCodeIn[7];
};

// The console's copy of the last transaction response: the library's fields in its
// order, each 16-bit field but the result code kept as its low byte.
struct TxnResponse {
    short DiagRequestOut;
    char MessageNumberOut[3];
    char TransactionStatusOut[3];
    char EntryMethodOut[2];
    char AcquirerMerchantIDOut[17];
    char DateTimeOut[13];
    char CardSchemeNameOut[25];
    char PANOut[20];
    char StartDateOut[5];
    char ExpiryDateOut[5];
    char AuthorisationCodeOut[7];
    char AcquirerResponseCodeOut[2];
    char MerchantNameOut[25];
    char MerchantAddress1Out[25];
    char MerchantAddress2Out[25];
    char MerchantAddress3Out[25];
    char MerchantAddress4Out[25];
    char TransactionCurrencyCodeOut[4];
    unsigned char TransactionCurrenyExponentOut;
    char CardCurrencyCodeOut[4];
    unsigned char CardCurrencyExpOut;
    char TotalAmountOut[13];
    char AdditionalAmountOut[13];
    char EMVCardExpDateOut[7];
    char AppEffectiveDateOut[7];
    char AIDOut[33];
    char AppPreferredNameOut[17];
    char AppLabelOut[17];
    char TerminalIdentifierOut[17];
    char EMVTxnTypeOut[3];
    char AppCryptogramOut[17];
    char RetrievalReferenceNumberOut[13];
    char InvoiceNumberOut[7];
    char BatchNumberOut[4];
    char AcquirerNameOut[17];
    char CustomLine1Out[40];
    char CustomLine2Out[40];
    char CustomLine3Out[40];
    char CustomLine4Out[40];
    unsigned char IsDCCTxnOut;
    char DCCAmountOut[13];
    char ConversionRateOut[9];
    unsigned char FXExponentAppliedOut;
    char CommissionOut[5];
    char TerminalCountryCodeOut[4];
    char TerminalCurrencyCodeOut[4];
    unsigned char TerminalCurrencyExponentOut;
    char FXmarkupOut[4];
    char PANSequenceNumberOut[3];
    char CashierIdOut[5];
    char TableIdOut[3];
    char CardholderNameOut[27];
    char AvailableBalanceOut[13];
    char ApplicationIdOut[9];
    char PreAuthRefNumOut[9];
    char HostTextOut[17];
    unsigned char IsTaxFreeRequiredOut;
    unsigned char IsExchangeRateUpdateRequiredOut;
    char CommercialCodeDataOut[61];
    char DonationAmountOut[13];
    char AVSResponseOut[2];
    char PartialAmountOut[13];
};

// Busy flags of the transaction worker and of the last-transaction worker, and the
// handles of their latest threads.
extern std::atomic<bool> Txnstate;
extern pthread_t Txn;
extern std::atomic<bool> TxnRecovery;
extern pthread_t GLTD;
// The staged request and the kept response of the latest transaction.
extern TxnRequest TxnDataIn;
// The transaction output entries, in the order in which a new transaction empties them.
inline constexpr std::size_t kTxnOutputEntryCount = 60;
extern GtkWidget** const kTxnOutputEntries[kTxnOutputEntryCount];
extern TxnResponse TxnDataOut;
// Set when the cashier has answered a signature check; every transaction clears it
// at its start.
extern std::atomic<bool> IsSignatureSet;

// Worker of the start button: launches the transaction and shows its response.
void* DoTxn(void* arg);
// The two locked sections in which DoTxn shows a response (toolkit lock held): the
// emptied panel with the result line, then every field of the response.
void show_transaction_result(const Transaction_out& out);
void show_transaction_fields(const Transaction_out& out);
// Worker of the last-transaction button.
void* TransactionRecovery(void* arg);

// ---------------------------------------------------------------------------
// Terminal events: the event server, its loop and the cashier's answers

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

// ---------------------------------------------------------------------------
// Value-added services: pennies donation and mobile top-up. None of these
// operations has a busy flag: each click starts a worker with records of its own.

// Handles of the latest worker of each operation; nobody waits for them.
extern pthread_t PeSetDonationMode;
extern pthread_t PeGetPenniesConf;
extern pthread_t MtGetConf;
extern pthread_t MtDoTxn;
extern pthread_t MtuDoSett;

// Workers of the donation mode and donation configuration buttons.
void* PeSetDonationModeFct(void* arg);
void* PeGetPenniesConfFct(void* arg);
// Workers of the top-up configuration, voucher sale and top-up settlement buttons.
void* MtGetConfFct(void* arg);
void* MtDoTxnFct(void* arg);
void* MtuDoSettFct(void* arg);

// Shows the modal message box "You must choose a transaction type." (main thread).
void show_no_type_message();

// ---------------------------------------------------------------------------
// Terminal management: status polling, configuration commands, card and terminal
// queries

// Status: busy flag of the single query, true while polling is to go on, the
// polling interval in seconds (read by the polling thread), thread handles.
extern std::atomic<bool> SingleState;
extern std::atomic<bool> periodicFlag;
extern std::atomic<int> TimeLapse;
extern pthread_t GetStatus;
extern pthread_t Periodic;
// Starts polling, or stops it when it runs (main thread).
void start_periodic_get_state();
// The single query and the polling loop.
void* GS(void* arg);
void* GetState(void* arg);

// Configuration: busy flags of the date-and-time and receipt-print workers; the
// tracing state as the library last confirmed it and the guard against the
// "clicked" of the console's own correction of the check button (both main
// thread only); thread handles.
extern std::atomic<bool> TimerState;
extern std::atomic<bool> TxnReceiptPrint;
extern bool IsTraceTlvEnabled;
extern bool IsTraceTlvFailed;
extern pthread_t Timer;
extern pthread_t SetPAss;
extern pthread_t ITRPS;
void* SetTime(void* arg);
void* SetPassFct(void* arg);
void* UpdateTxnReceiptPrintStatus(void* arg);

// Card and terminal queries: one busy flag, thread handle and worker each.
extern std::atomic<bool> CheckEligState;
extern std::atomic<bool> GetPEDSerialNumState;
extern std::atomic<bool> ReadTracksState;
extern std::atomic<bool> PrintInfoState;
extern std::atomic<bool> AppEnablement;
extern pthread_t CELI;
extern pthread_t GPSN;
extern pthread_t RDT;
extern pthread_t PrintInfo;
extern pthread_t ApplicationEnablementTh;
void* CheckEligibility(void* arg);
void* GetPEDSerialNumber(void* arg);
void* ReadTracks(void* arg);
void* PrintInformation(void* arg);
void* CheckApplicationEnablement(void* arg);

// Settlement and reporting: settlement, settlement data and its detail records,
// tip adjustment, exchange rate update, tax-free refund

// Busy flags, set by each worker while it runs, and the handles of the latest workers.
extern std::atomic<bool> DoSettlementState;
extern std::atomic<bool> GetSettlementDataState;
extern std::atomic<bool> AdjustTipAmountState;
extern std::atomic<bool> ExchangeRateUpdateState;
extern std::atomic<bool> TaxFreeRefundState;
extern pthread_t DoSettlementTh;
extern pthread_t GetSettlementDataTh;
extern pthread_t AdjustTipAmountTh;
extern pthread_t ExchangeRateUpdateTh;
extern pthread_t TaxFreeRefundTh;

void* LaunchSettlementReq(void* arg);
void* LaunchGetSettlementDataReq(void* arg);
void* LaunchAdjustTipAmountReq(void* arg);
void* LaunchExchangeRateUpdateReq(void* arg);
void* LaunchTaxFreeRefundReq(void* arg);

// Receipt view and print server
void createPrintFormatTags();
void StartPrnServer();
void StopPrintServer();

// Style of one receipt line: PrintJobFont (print_job_font.h).

// Appends one receipt line (UTF-8, with its own line feed) to the receipt view with
// the style's text tag and scrolls to it. Main thread, without the toolkit lock:
// it takes the lock itself.
void displayReceipt(PrintJobFont msgFont, gchar* msg);
// Writes the tag name of a style into FontProprety (at least 20 bytes).
void FormatReceivedData(PrintJobFont msgFont, char* FontProprety);
