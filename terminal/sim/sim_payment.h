// The simulated terminal's payment engine: Transaction_Launch and
// GetLastTxnData_Launch. The outcome of a transaction is chosen by its amount, the
// way payment test hosts do it (docs/simulated-terminal.md lists the amounts).
#pragma once

#include "korvex.h"
#include "sim_batch.h"
#include "sim_core.h"

#include <cstdlib>
#include <optional>
#include <string>

namespace sim {

// The host's limits, in minor units of the terminal currency.
inline constexpr long kAmountLimit = 500000;  // 5000.00: above it, "Amount Exceed Maximum Limit"
inline constexpr long kCashBackLimit = 10000; // 100.00: above it, "CashBack Exceed Maximum Limit"
// Purchases from this total on may be refunded their tax: the sale's answer says so,
// and the tax-free refund takes no smaller amount.
inline constexpr long kTaxFreeThreshold = 17500;

// The terminal's states while it works, as GetTerminalState reports them.
enum TerminalState : short {
    kStateUnknown = 0,
    kStateIdle = 1,
    kStateBusy = 2,
    kStateCardInsert = 3,
    kStatePinEntryFirstAttempt = 4,
    kStatePinEntrySecondAttempt = 5,
    kStatePinEntryThirdAttempt = 6,
    kStatePinEntryFailed = 7,
    kStateGratuityEntry = 8,
    kStateAuthorising = 9,
    kStateCompletion = 10,
    kStateCancelled = 11,
    kStateAmountConfirmation = 12,
    kStateSending = 13,
    kStateReceiving = 14,
    kStateUnspecifiedInput = 15,
    kStateProcessing = 16,
    kStateCardRemoval = 17,
    kStatePrintingMerchantCopy = 18,
    kStatePrintingCustomerCopy = 19,
};

// Sets the state that GetTerminalState reports (atomic: needs no mutex).
void set_terminal_state(TerminalState state);

// Holds the terminal for one operation that walks through its states (a
// transaction, a settlement, a rate download): while one holds it, another is
// refused. The state goes back to IDLE when it is released.
class Occupied {
  public:
    Occupied();
    ~Occupied();
    Occupied(const Occupied&) = delete;
    Occupied& operator=(const Occupied&) = delete;
    bool taken() const { return taken_; }

  private:
    bool taken_ = false;
};

// What the engine asks of a transaction type: the eligibility check answers from it.
struct TypeTerms {
    bool takes_amount;             // the first amount, within kAmountLimit
    bool cash_back;                // a cash-back part, within kCashBackLimit
    bool commercial_code_required; // refused without a commercial code
};
// The terms of a two-digit type code; empty for a code the engine does not know.
std::optional<TypeTerms> type_terms(const std::string& type_code);

// The transaction status codes of the response.
namespace status {
inline constexpr const char* kAuthorised = "00";
inline constexpr const char* kNotAuthorised = "01";
inline constexpr const char* kNotProcessed = "02";
inline constexpr const char* kUnableToAuthorise = "03";
inline constexpr const char* kUnableToProcess = "04";
inline constexpr const char* kUnableToConnect = "05";
inline constexpr const char* kVoid = "06";
inline constexpr const char* kCancelled = "07";
inline constexpr const char* kInvalidPassword = "08";
inline constexpr const char* kAmountOverLimit = "09";
inline constexpr const char* kConnectionFailure = "10";
inline constexpr const char* kTimeout = "11";
inline constexpr const char* kInvoiceNotFound = "12";
inline constexpr const char* kCashBackOverLimit = "13";
inline constexpr const char* kCashBackNotAllowed = "14";
} // namespace status

// The scenarios in which the terminal needs the cashier during a transaction.
enum class Scenario {
    Signature,       // the cardholder signs; the cashier compares the signature
    VoiceReferral,   // the host asks the cashier to phone for an authorisation code
    DccOffer,        // the card's currency is offered to the cardholder
    PartialApproval, // the host approves only part of the amount
    AvsRejection,    // the address check failed; the cashier goes on or not
    Password,        // the terminal asks for a password before it goes on
    SuspectedFraud,  // the host suspects fraud; the cashier decides on a void
};

// What a cashier scenario decided: go on towards approval, or end the transaction
// with `status` (and `host_text` for the receipt and the host message view).
struct ScenarioOutcome {
    bool proceed = true;
    std::string status;
    std::string host_text;
};

// The one place where a cashier scenario is played. The engine calls it, without the
// terminal's mutex, at the scenario's point of the transaction (before
// authorisation: Password, DccOffer; instead of the host's answer: VoiceReferral;
// after approval: PartialApproval, AvsRejection, Signature, SuspectedFraud). It may
// change the transaction's answer fields (auth_code, partial_amount, the DCC
// fields, avs_response, host_text) and may block while it waits for the cashier.
ScenarioOutcome cashier_scenario(Scenario scenario, TxnRecord& txn);

// The merchant and terminal profile of the simulated terminal.
struct Profile {
    const char* merchant_name;
    const char* merchant_address[4];
    const char* acquirer_merchant_id;
    const char* terminal_id;
    const char* acquirer_name;
    const char* country_code;
    const char* currency_code;
    short currency_exponent;
    const char* application_id;
};
extern const Profile kProfile;

// Result codes (DiagRequestOut) of the terminal library.
inline constexpr short kResultOk = 0;
inline constexpr short kResultUnableToConnect = 1;
inline constexpr short kResultBadRequestFormat = 3;
inline constexpr short kResultReceptionTimeout = 5;
inline constexpr short kResultPedNotAuthenticated = 9;
inline constexpr short kResultNoReceivedData = 10;

// Runs one transaction: validates the request, walks the terminal states, asks the
// host (by the magic amounts) and the cashier, keeps the batch. Fills `out` whole.
void run_transaction(const Transaction_in& in, Transaction_out& out);

// The answer of GetLastTxnData_Launch.
void last_transaction(GetLastTxnData_out& out);

// Fills the fields that the transaction responses share (Transaction_out,
// GetLastTxnData_out, CheckSignReceiptInfo_out carry them at different offsets)
// from a transaction and the terminal's profile.
template <class Out> void fill_txn_fields(const TxnRecord& t, Out& out) {
    auto number = [](const std::string& s) { return static_cast<short>(std::atoi(s.c_str())); };
    put(out.EntryMethodOut, t.entry_method);
    put(out.AcquirerMerchantIDOut, kProfile.acquirer_merchant_id);
    put(out.DateTimeOut, t.date_time);
    put(out.CardSchemeNameOut, t.card_scheme);
    put(out.PANOut, t.pan);
    put(out.StartDateOut, t.start_date);
    put(out.ExpiryDateOut, t.expiry_date);
    put(out.AuthorisationCodeOut, t.auth_code);
    put(out.AcquirerResponseCodeOut, t.acquirer_response);
    put(out.MerchantNameOut, kProfile.merchant_name);
    put(out.MerchantAddress1Out, kProfile.merchant_address[0]);
    put(out.MerchantAddress2Out, kProfile.merchant_address[1]);
    put(out.MerchantAddress3Out, kProfile.merchant_address[2]);
    put(out.MerchantAddress4Out, kProfile.merchant_address[3]);
    put(out.TransactionCurrencyCodeOut, t.currency);
    out.TransactionCurrenyExponentOut = number(t.currency_exponent);
    put(out.CardCurrencyCodeOut, t.card_currency);
    if constexpr (requires { out.CardCurrencyExpOut; })
        out.CardCurrencyExpOut = number(t.card_currency_exponent);
    else
        out.CardCurrencyExponentOut = number(t.card_currency_exponent);
    put(out.TotalAmountOut, t.total);
    put(out.AdditionalAmountOut, t.additional);
    put(out.EMVCardExpDateOut, t.emv_expiry_date);
    put(out.AppEffectiveDateOut, t.app_effective_date);
    put(out.AIDOut, t.aid);
    put(out.AppPreferredNameOut, t.app_preferred_name);
    put(out.AppLabelOut, t.app_label);
    put(out.TerminalIdentifierOut, kProfile.terminal_id);
    put(out.EMVTxnTypeOut, t.emv_txn_type);
    put(out.AppCryptogramOut, t.cryptogram);
    put(out.RetrievalReferenceNumberOut, t.rrn);
    put(out.InvoiceNumberOut, t.invoice);
    put(out.BatchNumberOut, t.batch_number);
    put(out.AcquirerNameOut, kProfile.acquirer_name);
    put(out.CustomLine1Out, t.custom_line1);
    put(out.CustomLine2Out, t.custom_line2);
    put(out.CustomLine3Out, t.custom_line3);
    put(out.CustomLine4Out, t.custom_line4);
    out.IsDCCTxnOut = number(t.is_dcc);
    put(out.DCCAmountOut, t.dcc_amount);
    put(out.ConversionRateOut, t.conversion_rate);
    out.FXExponentAppliedOut = number(t.fx_exponent);
    put(out.CommissionOut, t.commission);
    put(out.TerminalCountryCodeOut, kProfile.country_code);
    put(out.TerminalCurrencyCodeOut, kProfile.currency_code);
    out.TerminalCurrencyExponentOut = kProfile.currency_exponent;
    put(out.FXmarkupOut, t.fx_markup);
    put(out.PANSequenceNumberOut, t.pan_sequence);
    put(out.CashierIdOut, t.cashier_id);
    put(out.TableIdOut, t.table_id);
    put(out.CardholderNameOut, t.cardholder_name);
    put(out.AvailableBalanceOut, t.available_balance);
    put(out.ApplicationIdOut, kProfile.application_id);
    put(out.PreAuthRefNumOut, t.pre_auth_ref);
    put(out.HostTextOut, t.host_text);
    out.IsTaxFreeRequiredOut = number(t.tax_free_required);
    out.IsExchangeRateUpdateRequiredOut = 0;
    put(out.CommercialCodeDataOut, t.commercial_code_data);
    put(out.DonationAmountOut, t.donation_amount);
    put(out.AVSResponseOut, t.avs_response);
    put(out.PartialAmountOut, t.partial_amount);
}

} // namespace sim
