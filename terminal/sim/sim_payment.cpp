// The payment engine of the simulated terminal. A transaction is checked, walks
// through the terminal's states with realistic step times (scaled by
// KORVEX_SIM_DELAY), is answered by a simulated host whose answer the amount
// chooses (kMagicAmounts), and is kept in the batch, which outlives the process.
#include "sim_payment.h"

#include "korvex.h"
#include "sim_batch.h"
#include "sim_core.h"
#include "sim_events.h"
#include "sim_printer.h"
#include "sim_vas.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <initializer_list>
#include <iterator>
#include <optional>

namespace sim {

const Profile kProfile = {
    .merchant_name = "KELVRA TEST SHOP",
    .merchant_address = {"12 RUE DES ESSAIS", "75011 PARIS", "FRANCE", "TEL 01 23 45 67 89"},
    .acquirer_merchant_id = "000000012345678",
    .terminal_id = "SIM00001",
    .acquirer_name = "SIM ACQUIRER",
    .country_code = "250",
    .currency_code = "978",
    .currency_exponent = 2,
    .application_id = "EFT01",
};

namespace {

// How the simulated host answers an amount. Every other amount within the limits
// is approved. docs/simulated-terminal.md lists the same table for testers.
enum class Magic {
    HostStatus,     // the host (or the line to it) ends the transaction with `status`
    CustomerCancel, // the cardholder cancels on the terminal while asked for the card
    PinFailure,     // three wrong PINs
    Cashier,        // a cashier scenario (cashier_scenario), then approved
    LinkResult,     // the call itself fails with result code `result`
};

struct MagicAmount {
    long amount; // minor units, as typed in the first amount
    Magic kind;
    const char* status = "";
    const char* response_code = "";
    const char* host_text = "";
    Scenario scenario = Scenario::Signature;
    short result = 0;
    int wait_ms = 0; // how long the terminal takes before it answers so
};

// clang-format off
constexpr MagicAmount kMagicAmounts[] = {
    {.amount = 10001, .kind = Magic::HostStatus, .status = status::kNotAuthorised,
     .response_code = "05", .host_text = "DO NOT HONOUR"},
    {.amount = 10002, .kind = Magic::HostStatus, .status = status::kUnableToConnect,
     .host_text = "HOST UNREACHABLE", .wait_ms = 5000},
    {.amount = 10003, .kind = Magic::HostStatus, .status = status::kTimeout,
     .host_text = "NO HOST ANSWER", .wait_ms = 15000},
    {.amount = 10004, .kind = Magic::HostStatus, .status = status::kConnectionFailure,
     .host_text = "LINE DROPPED", .wait_ms = 2000},
    {.amount = 10005, .kind = Magic::HostStatus, .status = status::kUnableToAuthorise,
     .response_code = "91", .host_text = "ISSUER UNAVAIL"},
    {.amount = 10006, .kind = Magic::CustomerCancel, .status = status::kCancelled,
     .host_text = "CANCELLED"},
    {.amount = 10007, .kind = Magic::PinFailure, .status = status::kNotAuthorised,
     .response_code = "75", .host_text = "PIN TRIES EXCEED"},
    {.amount = 10011, .kind = Magic::Cashier, .scenario = Scenario::Signature},
    {.amount = 10012, .kind = Magic::Cashier, .scenario = Scenario::VoiceReferral},
    {.amount = 10013, .kind = Magic::Cashier, .scenario = Scenario::DccOffer},
    {.amount = 10014, .kind = Magic::Cashier, .scenario = Scenario::PartialApproval},
    {.amount = 10015, .kind = Magic::Cashier, .scenario = Scenario::AvsRejection},
    {.amount = 10016, .kind = Magic::Cashier, .scenario = Scenario::Password},
    {.amount = 10017, .kind = Magic::Cashier, .scenario = Scenario::SuspectedFraud},
    {.amount = 10021, .kind = Magic::LinkResult, .result = kResultUnableToConnect},
    {.amount = 10022, .kind = Magic::LinkResult, .result = kResultReceptionTimeout,
     .wait_ms = 30000},
    {.amount = 10023, .kind = Magic::LinkResult, .result = kResultPedNotAuthenticated},
};
// clang-format on

// Step times at delay scale 1, in milliseconds.
constexpr int kStepStart = 300;
constexpr int kStepAmountConfirmation = 800;
constexpr int kStepCardInsert = 2500;
constexpr int kStepCardRead = 700;
constexpr int kStepPinEntry = 3000;
constexpr int kStepKeyedEntry = 4000;
constexpr int kStepSending = 400;
constexpr int kStepAuthorising = 1500;
constexpr int kStepReceiving = 400;
constexpr int kStepCardRemoval = 1200;
constexpr int kStepPrinting = 1500;
constexpr int kStepEnd = 300;
constexpr int kStepLastTxn = 300;

// What the simulated card account holds, answered to VERIFY ACCOUNT.
constexpr const char* kAvailableBalance = "000000250000";

// How each type reads its card and what it needs. Rows in type-code order.
enum class Card { None, Chip, Keyed };
enum class AmountUse { None, Required, Optional };
enum class Reference { None, Invoice, PreAuth, Last };
struct TypeRule {
    const char* name; // as printed on the receipt
    Card card;
    bool pin;
    AmountUse amount;
    Reference reference;
    bool online; // asks the host (FORCE carries an authorisation obtained by phone)
    const char* emv_txn_type;
    bool cash_back = false;       // a cash-back part in the second amount
    bool commercial_code = false; // refused without a commercial code
};
constexpr TypeRule kTypeRules[kTxnTypeCount] = {
    {"SALE", Card::Chip, true, AmountUse::Required, Reference::None, true, "00"},
    {"REFUND", Card::Chip, false, AmountUse::Required, Reference::None, true, "20"},
    {"VOID", Card::None, false, AmountUse::None, Reference::Invoice, true, ""},
    {"DUPLICATA", Card::None, false, AmountUse::None, Reference::Last, false, ""},
    {"CASH ADVANCE", Card::Chip, true, AmountUse::Required, Reference::None, true, "01"},
    {"PWCB", Card::Chip, true, AmountUse::Required, Reference::None, true, "09", true},
    {"PRE-AUTH", Card::Chip, true, AmountUse::Required, Reference::None, true, "00"},
    {"COMPLETION", Card::None, false, AmountUse::Optional, Reference::PreAuth, true, "00"},
    {"VERIFY ACCOUNT", Card::Chip, true, AmountUse::None, Reference::None, true, "00"},
    {"REVERSAL", Card::None, false, AmountUse::None, Reference::Last, true, ""},
    {"FORCE", Card::Chip, false, AmountUse::Required, Reference::None, false, "00"},
    {"MOTO SALE", Card::Keyed, false, AmountUse::Required, Reference::None, true, "00"},
    {"MOTO REFUND", Card::Keyed, false, AmountUse::Required, Reference::None, true, "20"},
    {"PRE-AUTH REVERSAL", Card::None, false, AmountUse::None, Reference::PreAuth, true, "00"},
    {"CANCEL", Card::None, false, AmountUse::None, Reference::Invoice, true, ""},
    {"PRE-AUTH INCREMENT", Card::None, false, AmountUse::Required, Reference::PreAuth, true, "00"},
};

// The status texts, as the receipt prints them.
// clang-format off
constexpr const char* kStatusTexts[] = {
    "Authorised",         "Not authorised",     "Not processed",
    "Unable to authorise", "Unable to process",  "Unable to connect",
    "Void",               "Cancelled",          "Invalid Password",
    "Amount Exceed Maximum Limit", "Connection Failure", "Timeout Reached",
    "Invoice Not Found",  "CashBack Exceed Maximum Limit", "CashBack Not Allowed",
};
// clang-format on

const char* status_text(const std::string& status) {
    const int n = std::atoi(status.c_str());
    return n >= 0 && n < static_cast<int>(std::size(kStatusTexts)) ? kStatusTexts[n] : "";
}

// The request as the engine uses it: the transaction to be and the fields that
// only point at earlier transactions.
struct Request {
    TxnRecord txn;
    std::string invoice, pre_auth_ref, auth_code;
    long amount1 = 0, amount2 = 0; // numeric values of the amounts that the type uses
};

std::string digits12(long amount) {
    char text[32];
    std::snprintf(text, sizeof text, "%012ld", amount);
    return text;
}

long amount_of(const std::string& digits12_text) {
    return std::strtol(digits12_text.c_str(), nullptr, 10);
}

// Parses an amount field: digits only. Empty gives nullopt with `missing` set.
std::optional<long> parse_amount(const std::string& text, bool& missing) {
    missing = text.empty();
    if (missing || text.size() > 12 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return std::strtol(text.c_str(), nullptr, 10);
}

const MagicAmount* magic_for(long amount) {
    for (const MagicAmount& m : kMagicAmounts)
        if (m.amount == amount)
            return &m;
    return nullptr;
}

void step(TerminalState state, int ms) {
    set_terminal_state(state);
    step_delay(ms);
}

std::string now_text() {
    const std::tm local = clock_local();
    char text[16];
    std::strftime(text, sizeof text, "%y%m%d%H%M%S", &local);
    return text;
}

// A stable 16-hex-digit value standing in for the chip's cryptogram.
std::string cryptogram_of(const TxnRecord& t) {
    unsigned long long hash = 1469598103934665603ULL;
    for (const std::string* part : {&t.type, &t.total, &t.date_time, &t.rrn})
        for (unsigned char c : *part)
            hash = (hash ^ c) * 1099511628211ULL;
    char text[20];
    std::snprintf(text, sizeof text, "%016llX", hash);
    return text;
}

Request request_of(const Transaction_in& in) {
    Request r;
    TxnRecord& t = r.txn;
    t.message_number = text_of(in.MessageNumberIn);
    t.type = text_of(in.TransactionTypeIn);
    t.amount1 = text_of(in.Amount1In);
    t.amount2 = text_of(in.Amount2In);
    t.amount3 = text_of(in.Amount3In);
    t.amount4 = text_of(in.Amount4In);
    t.label1 = text_of(in.Amount1LabelIn);
    t.label2 = text_of(in.Amount2LabelIn);
    t.label3 = text_of(in.Amount3LabelIn);
    t.label4 = text_of(in.Amount4LabelIn);
    t.custom_line1 = text_of(in.CustomLine1In);
    t.cashier_id = text_of(in.CashierIdIn);
    t.table_id = text_of(in.TableIdIn);
    t.commercial_code = text_of(in.CommercialCodeIn);
    t.suspected_fraud = std::to_string(in.SuspectedFraudIndicatorIn);
    r.invoice = text_of(in.InvoiceNumberIn);
    r.pre_auth_ref = text_of(in.PreAuthRefNumIn);
    r.auth_code = text_of(in.AuthorisationCodeIn);
    return r;
}

// Checks what a terminal checks before it starts: the type and the fields the type
// cannot do without. Returns the host text of a refusal, or null.
const char* malformed(Request& r) {
    const int type = r.txn.type_number();
    if (type < 0)
        return "UNKNOWN TYPE";
    const TypeRule& rule = kTypeRules[type];
    bool missing = false;
    if (rule.amount != AmountUse::None) {
        const std::optional<long> amount = parse_amount(r.txn.amount1, missing);
        if (missing && rule.amount == AmountUse::Required)
            return "AMOUNT REQUIRED";
        if (!missing && !amount)
            return "INVALID AMOUNT";
        if (amount && *amount == 0 && rule.amount == AmountUse::Required)
            return "AMOUNT REQUIRED";
        r.amount1 = amount.value_or(0);
    }
    if (rule.cash_back) {
        const std::optional<long> cash_back = parse_amount(r.txn.amount2, missing);
        if (missing)
            return "CASHBACK REQUIRED";
        if (!cash_back)
            return "INVALID CASHBACK";
        r.amount2 = *cash_back;
    }
    if (rule.commercial_code && r.txn.commercial_code.empty())
        return "COMM CODE REQ";
    if (r.txn.is(TxnType::Force) && r.auth_code.empty())
        return "AUTH CODE NEEDED";
    if (rule.reference == Reference::PreAuth && r.pre_auth_ref.empty())
        return "PRE-AUTH REF REQ";
    return nullptr;
}

// The card data that the simulated card gives, by how it was read.
void read_simulated_card(Card card, TxnRecord& t) {
    t.card_scheme = "SIMPAY";
    t.pan = "679999******4564";
    t.expiry_date = "2812";
    t.cardholder_name = "SIMPAY/TEST CARD";
    t.card_currency = kProfile.currency_code;
    t.card_currency_exponent = std::to_string(kProfile.currency_exponent);
    if (card == Card::Keyed) {
        t.entry_method = "5"; // keyed, card not present
        t.avs_response = "Y"; // address and postcode match
        return;
    }
    t.entry_method = "3"; // chip inserted
    t.start_date = "2301";
    t.pan_sequence = "01";
    t.emv_expiry_date = "281231";
    t.app_effective_date = "230101";
    t.aid = "A0000009991010";
    t.app_label = "SIMPAY DEBIT";
    t.app_preferred_name = "SimPay Debit";
}

// Copies what a transaction on an earlier one shows of it: its card, its amounts.
void take_card_of(const TxnRecord& original, TxnRecord& t) {
    for (std::string TxnRecord::*field :
         {&TxnRecord::entry_method, &TxnRecord::card_scheme, &TxnRecord::pan,
          &TxnRecord::start_date, &TxnRecord::expiry_date, &TxnRecord::pan_sequence,
          &TxnRecord::cardholder_name, &TxnRecord::emv_expiry_date, &TxnRecord::app_effective_date,
          &TxnRecord::aid, &TxnRecord::app_label, &TxnRecord::app_preferred_name,
          &TxnRecord::card_currency, &TxnRecord::card_currency_exponent, &TxnRecord::emv_txn_type})
        t.*field = original.*field;
}

bool voidable(const TxnRecord& t) {
    for (TxnType type :
         {TxnType::Sale, TxnType::Refund, TxnType::CashAdvance, TxnType::Pwcb, TxnType::Completion,
          TxnType::Force, TxnType::MotoSale, TxnType::MotoRefund})
        if (t.is(type))
            return true;
    return false;
}

// The run of one transaction, from the checked request to its answer.
class Transaction {
  public:
    explicit Transaction(Request request)
        : r_(std::move(request)), t_(r_.txn), rule_(kTypeRules[t_.type_number()]) {}

    // Plays the transaction; returns the result code of the call.
    short run() {
        t_.date_time = now_text();
        t_.currency = kProfile.currency_code;
        t_.currency_exponent = std::to_string(kProfile.currency_exponent);
        step(kStateBusy, kStepStart);

        const MagicAmount* magic =
            rule_.amount == AmountUse::None ? nullptr : magic_for(r_.amount1);
        if (magic && magic->kind == Magic::LinkResult) {
            step_delay(magic->wait_ms);
            return magic->result;
        }
        if (t_.is(TxnType::Duplicata)) {
            duplicate();
            return kResultOk;
        }
        if (find_reference() && check_limits() && read_card(magic) &&
            scenario_at(magic, {Scenario::Password, Scenario::DccOffer}) && authorise(magic) &&
            scenario_at(magic, {Scenario::PartialApproval, Scenario::AvsRejection,
                                Scenario::Signature, Scenario::SuspectedFraud}))
            approve();
        commit();
        finish();
        return kResultOk;
    }

    const TxnRecord& record() const { return t_; }

  private:
    void end(const char* status, const char* host_text, const char* response_code = "") {
        t_.status = status;
        t_.host_text = host_text;
        t_.acquirer_response = response_code;
    }

    bool find_reference() {
        Terminal& terminal_state = terminal();
        std::lock_guard lock(terminal_state.mutex);
        Batch& b = batch();
        const TxnRecord* original = nullptr;
        switch (rule_.reference) {
        case Reference::None:
            return true;
        case Reference::Invoice:
            original = find_by_invoice(b, r_.invoice);
            if (!original) {
                end(status::kInvoiceNotFound, "UNKNOWN INVOICE");
                return false;
            }
            break;
        case Reference::PreAuth:
            original = find_pre_auth(b, r_.pre_auth_ref);
            if (!original) {
                end(status::kNotAuthorised, "UNKNOWN PRE-AUTH", "25");
                return false;
            }
            break;
        case Reference::Last:
            if (b.last && b.last->status == status::kAuthorised)
                original = find_by_invoice(b, b.last->invoice);
            if (!original || original->is(TxnType::VerifyAccount) || !original->closed_by.empty()) {
                end(status::kNotProcessed, "NOTHING TO UNDO");
                return false;
            }
            break;
        }
        if (rule_.reference == Reference::Invoice && !voidable(*original)) {
            end(status::kNotProcessed, "CANNOT BE VOIDED");
            return false;
        }
        if (!original->closed_by.empty()) {
            end(status::kNotProcessed, "ALREADY VOIDED");
            return false;
        }
        original_invoice_ = original->invoice;
        original_type_ = original->type;
        take_card_of(*original, t_);
        if (rule_.reference == Reference::PreAuth) {
            t_.pre_auth_ref = original->pre_auth_ref;
            held_ = amount_of(original->held_amount);
            if (t_.is(TxnType::PreAuthReversal))
                t_.total = original->held_amount;
        } else {
            t_.invoice = original->invoice; // a void is filed under what it undoes
            t_.total = original->total;
            t_.additional = original->additional;
        }
        return true;
    }

    bool check_limits() {
        if (rule_.amount == AmountUse::None)
            return true;
        if (r_.amount1 > kAmountLimit) {
            end(status::kAmountOverLimit, "AMOUNT TOO HIGH");
            return false;
        }
        if (rule_.cash_back) {
            if (r_.amount2 > kCashBackLimit) {
                end(status::kCashBackOverLimit, "CASHBACK TOO HIGH");
                return false;
            }
            // The cash-back is a part of the total: something must be bought.
            if (r_.amount2 == 0 || r_.amount2 >= r_.amount1) {
                end(status::kCashBackNotAllowed, "NO PURCHASE PART");
                return false;
            }
            t_.additional = digits12(r_.amount2);
        }
        if (t_.is(TxnType::Completion) && r_.amount1 == 0)
            r_.amount1 = held_; // completes what was held
        t_.total = digits12(r_.amount1);
        return true;
    }

    bool read_card(const MagicAmount* magic) {
        if (rule_.card == Card::None)
            return true;
        t_.emv_txn_type = rule_.emv_txn_type;
        if (rule_.card == Card::Keyed) {
            step(kStateUnspecifiedInput, kStepKeyedEntry);
            read_simulated_card(Card::Keyed, t_);
            return true;
        }
        step(kStateAmountConfirmation, kStepAmountConfirmation);
        step(kStateCardInsert, kStepCardInsert);
        if (magic && magic->kind == Magic::CustomerCancel) {
            end(magic->status, magic->host_text);
            return false;
        }
        step(kStateProcessing, kStepCardRead);
        read_simulated_card(Card::Chip, t_);
        if (!rule_.pin)
            return true;
        if (magic && magic->kind == Magic::PinFailure) {
            step(kStatePinEntryFirstAttempt, kStepPinEntry);
            step(kStatePinEntrySecondAttempt, kStepPinEntry);
            step(kStatePinEntryThirdAttempt, kStepPinEntry);
            step(kStatePinEntryFailed, kStepEnd);
            end(magic->status, magic->host_text, magic->response_code);
            return false;
        }
        step(kStatePinEntryFirstAttempt, kStepPinEntry);
        return true;
    }

    // Plays the cashier scenario of the amount when it is one of `stage`.
    bool scenario_at(const MagicAmount* magic, std::initializer_list<Scenario> stage) {
        if (!magic || magic->kind != Magic::Cashier)
            return true;
        for (Scenario s : stage)
            if (s == magic->scenario)
                return play(s);
        return true;
    }

    bool play(Scenario scenario) {
        const ScenarioOutcome outcome = cashier_scenario(scenario, t_);
        if (outcome.proceed)
            return true;
        t_.status = outcome.status.empty() ? status::kCancelled : outcome.status;
        t_.host_text = outcome.host_text;
        return false;
    }

    bool authorise(const MagicAmount* magic) {
        reached_host_ = true;
        if (!rule_.online) {
            t_.auth_code = r_.auth_code; // obtained by phone, typed by the cashier
            t_.acquirer_response = "00";
            return host_approved();
        }
        step(kStateSending, kStepSending);
        step(kStateAuthorising, kStepAuthorising + (magic ? magic->wait_ms : 0));
        if (magic && magic->kind == Magic::HostStatus) {
            end(magic->status, magic->host_text, magic->response_code);
            return false;
        }
        step(kStateReceiving, kStepReceiving);
        if (magic && magic->kind == Magic::Cashier && magic->scenario == Scenario::VoiceReferral &&
            !play(Scenario::VoiceReferral))
            return false;
        return host_approved();
    }

    // The host's approval numbers the transaction at once, so that what the cashier
    // is shown afterwards (the signature check) already carries its numbers.
    bool host_approved() {
        Terminal& terminal_state = terminal();
        std::lock_guard lock(terminal_state.mutex);
        // The numbers are taken from the counters on disk: another till on this
        // terminal numbers its transactions from the same ones.
        change_batch(
            "numbers",
            [this](Batch& b, std::vector<TxnRecord*>&) {
                number_locked(b, true);
                return true;
            },
            false); // durable with the transaction's record

        return true;
    }

    // Gives the transaction its invoice number, retrieval reference and, when the
    // host approved, its authorisation code; once per transaction.
    void number_locked(Batch& b, bool with_auth_code) {
        char text[32];
        if (sequence_ < 0) {
            sequence_ = b.next_sequence++;
            if (t_.invoice.empty()) {
                std::snprintf(text, sizeof text, "%06ld", b.next_invoice++ % 1000000);
                t_.invoice = text;
            }
            const std::tm local = clock_local();
            std::snprintf(text, sizeof text, "%02d%03d%07ld", local.tm_year % 100,
                          local.tm_yday + 1, sequence_ % 10000000);
            t_.rrn = text;
        }
        if (with_auth_code && t_.auth_code.empty()) {
            std::snprintf(text, sizeof text, "%06ld", (sequence_ * 7919 + 104729) % 1000000);
            t_.auth_code = text;
        }
    }

    void approve() {
        t_.status = status::kAuthorised;
        if (t_.acquirer_response.empty())
            t_.acquirer_response = "00";
        if (t_.host_text.empty())
            t_.host_text = "APPROVED";
        t_.custom_line2 = "PLEASE KEEP THIS RECEIPT";
        t_.custom_line3 = "THANK YOU FOR YOUR VISIT";
        t_.custom_line4 = "SIMULATED TERMINAL: NO REAL PAYMENT";
        if (!t_.commercial_code.empty())
            t_.commercial_code_data = "COMMERCIAL CODE " + t_.commercial_code + " ACCEPTED";
        if (t_.is(TxnType::VerifyAccount))
            t_.available_balance = kAvailableBalance;
        if ((t_.is(TxnType::Sale) || t_.is(TxnType::MotoSale)) && r_.amount1 >= kTaxFreeThreshold)
            t_.tax_free_required = "1";
        if (t_.is(TxnType::Sale))
            t_.donation_amount = donation_for_sale(r_.amount1); // sim_donation.cpp
        approved_ = true;
    }

    // Numbers the transaction and files it: approved ones into the batch, every
    // answered one as the last transaction.
    void commit() {
        Terminal& terminal_state = terminal();
        std::lock_guard lock(terminal_state.mutex);
        change_batch("transaction", [this](Batch& b, std::vector<TxnRecord*>& changed) {
            char text[32];
            std::snprintf(text, sizeof text, "%03d", b.batch_number % 1000);
            t_.batch_number = text;
            if (reached_host_) {
                number_locked(b, approved_);
                if (approved_ && t_.is(TxnType::PreAuth)) {
                    std::snprintf(text, sizeof text, "%08ld", sequence_ % 100000000);
                    t_.pre_auth_ref = text;
                    t_.held_amount = t_.total;
                }
                if (!t_.aid.empty())
                    t_.cryptogram = cryptogram_of(t_);
            }
            b.last = t_;
            if (!approved_)
                return true;
            b.transactions.push_back(t_);
            // Found after the push: voids and pre-authorisation operations are never
            // what they refer to, so the search cannot return the new record.
            changed = {&b.transactions.back(), close_original(b)};
            return true;
        });
    }

    // What an approved void, cancel, reversal or pre-authorisation operation does
    // to the transaction it refers to; returns that transaction when it changed.
    TxnRecord* close_original(Batch& b) {
        if (rule_.reference == Reference::None)
            return nullptr;
        TxnRecord* original = rule_.reference == Reference::PreAuth
                                  ? find_pre_auth(b, t_.pre_auth_ref)
                                  : find_by_invoice(b, original_invoice_);
        if (!original)
            return nullptr; // settled meanwhile
        if (t_.is(TxnType::PreAuthIncrement))
            original->held_amount = digits12(amount_of(original->held_amount) + r_.amount1);
        else
            original->closed_by = t_.type;
        return original;
    }

    void duplicate() {
        step(kStateProcessing, kStepCardRead);
        {
            Terminal& terminal_state = terminal();
            std::lock_guard lock(terminal_state.mutex);
            const Batch& b = batch();
            if (b.last) {
                const std::string message_number = t_.message_number;
                t_ = *b.last;
                t_.message_number = message_number;
            } else {
                end(status::kNotProcessed, "NO TRANSACTION");
            }
        }
        if (!t_.invoice.empty())
            print();
        step(kStateCompletion, kStepEnd);
    }

    // Prints the merchant and customer copies on the till, when the terminal is set
    // to print receipts. What the printer answers does not change the transaction.
    void print() {
        {
            Terminal& terminal_state = terminal();
            std::lock_guard lock(terminal_state.mutex);
            if (!terminal_state.print_receipts)
                return;
        }
        print_transaction_receipts(receipt_facts(), [](ReceiptCopy copy) {
            step(copy == ReceiptCopy::Merchant ? kStatePrintingMerchantCopy
                                               : kStatePrintingCustomerCopy,
                 kStepPrinting);
        });
    }

    ReceiptFacts receipt_facts() const {
        ReceiptFacts facts;
        facts.merchant_name = kProfile.merchant_name;
        facts.merchant_address.assign(std::begin(kProfile.merchant_address),
                                      std::end(kProfile.merchant_address));
        facts.type_name = kTypeRules[t_.type_number()].name;
        facts.masked_pan = t_.pan;
        facts.amount_minor = amount_of(t_.total) * (credits_the_card() ? -1 : 1);
        facts.currency_exponent = std::atoi(t_.currency_exponent.c_str());
        facts.currency_code = std::atoi(t_.currency.c_str());
        facts.auth_code = t_.auth_code;
        facts.invoice = t_.invoice;
        const std::string& d = t_.date_time; // yymmddhhmmss
        if (d.size() == 12)
            facts.date_time = "20" + d.substr(0, 2) + "-" + d.substr(2, 2) + "-" + d.substr(4, 2) +
                              " " + d.substr(6, 2) + ":" + d.substr(8, 2) + ":" + d.substr(10, 2);
        facts.status_text = status_text(t_.status);
        facts.approved = t_.status == status::kAuthorised;
        facts.donation_minor = amount_of(t_.donation_amount);
        return facts;
    }

    // Refunds give money back; undoing a transaction gives back what it took.
    bool credits_the_card() const {
        const auto refund = [](const std::string& type) { return type == "01" || type == "12"; };
        if (t_.is(TxnType::Void) || t_.is(TxnType::Cancel) || t_.is(TxnType::Reversal))
            return !refund(original_type_);
        return refund(t_.type);
    }

    void finish() {
        if (rule_.card == Card::Chip && !t_.entry_method.empty())
            step(kStateCardRemoval, kStepCardRemoval);
        if (!t_.invoice.empty())
            print();
        step(approved_ ? kStateCompletion : kStateCancelled, kStepEnd);
    }

    Request r_;
    TxnRecord& t_;
    const TypeRule& rule_;
    std::string original_invoice_;
    std::string original_type_;
    long held_ = 0;
    bool reached_host_ = false; // numbered, printed
    bool approved_ = false;
    long sequence_ = -1; // batch sequence number, once numbered
};

void answer(const TxnRecord& t, short result, Transaction_out& out) {
    out = Transaction_out{};
    out.DiagRequestOut = result;
    if (result != kResultOk && result != kResultBadRequestFormat)
        return; // nothing came back from the terminal
    put(out.MessageNumberOut, t.message_number);
    put(out.TransactionStatusOut, t.status);
    if (result == kResultBadRequestFormat) {
        put(out.DateTimeOut, t.date_time);
        put(out.HostTextOut, t.host_text);
        return;
    }
    fill_txn_fields(t, out);
}

} // namespace

Occupied::Occupied() {
    Terminal& t = terminal();
    std::lock_guard lock(t.mutex);
    taken_ = !t.transaction_running;
    if (taken_) {
        t.transaction_running = true;
        t.state = kStateBusy;
    }
}

Occupied::~Occupied() {
    if (!taken_)
        return;
    Terminal& t = terminal();
    std::lock_guard lock(t.mutex);
    t.transaction_running = false;
    t.state = kStateIdle;
}

void set_terminal_state(TerminalState state) {
    terminal().state = state;
}

std::optional<TypeTerms> type_terms(const std::string& type_code) {
    TxnRecord probe;
    probe.type = type_code;
    const int type = probe.type_number();
    if (type < 0)
        return std::nullopt;
    const TypeRule& rule = kTypeRules[type];
    return TypeTerms{.takes_amount = rule.amount != AmountUse::None,
                     .cash_back = rule.cash_back,
                     .commercial_code_required = rule.commercial_code};
}

ScenarioOutcome cashier_scenario(Scenario scenario, TxnRecord& txn) {
    // The terminal raises the scenario's event and waits for the cashier's answer
    // (sim_events.cpp).
    return play_cashier_event(scenario, txn);
}

void run_transaction(const Transaction_in& in, Transaction_out& out) {
    Request request = request_of(in);
    if (const char* refusal = malformed(request)) {
        request.txn.status = status::kNotProcessed;
        request.txn.host_text = refusal;
        request.txn.date_time = now_text();
        answer(request.txn, kResultBadRequestFormat, out);
        return;
    }
    Occupied occupied;
    if (!occupied.taken()) {
        request.txn.status = status::kNotProcessed;
        request.txn.host_text = "TERMINAL BUSY";
        request.txn.date_time = now_text();
        answer(request.txn, kResultOk, out);
        return;
    }
    Transaction transaction(std::move(request));
    const short result = transaction.run();
    answer(transaction.record(), result, out);
}

void last_transaction(GetLastTxnData_out& out) {
    out = GetLastTxnData_out{};
    step_delay(kStepLastTxn);
    Terminal& terminal_state = terminal();
    std::lock_guard lock(terminal_state.mutex);
    const Batch& b = batch();
    if (!b.last) {
        out.DiagRequestOut = kResultNoReceivedData;
        return;
    }
    const TxnRecord& t = *b.last;
    out.DiagRequestOut = kResultOk;
    put(out.MessageNumberOut, t.message_number);
    put(out.Amount1Out, t.amount1);
    put(out.Amount2Out, t.amount2);
    put(out.Amount3Out, t.amount3);
    put(out.Amount4Out, t.amount4);
    put(out.Amount1LabelOut, t.label1);
    put(out.Amount2LabelOut, t.label2);
    put(out.Amount3LabelOut, t.label3);
    put(out.Amount4LabelOut, t.label4);
    put(out.TransactionTypeOut, t.type);
    put(out.CommercialCodeOut, t.commercial_code);
    out.SuspectedFraudIndicatorOut = static_cast<short>(std::atoi(t.suspected_fraud.c_str()));
    put(out.TransactionStatusOut, t.status);
    fill_txn_fields(t, out);
}

} // namespace sim

extern "C" {

KORVEX_API void Transaction_Launch(const Transaction_in* in, Transaction_out* out) {
    SIM_CALL("Transaction_Launch", in, in ? sizeof *in : 0, out, sizeof *out);
    if (!out)
        return;
    if (!in) {
        *out = Transaction_out{};
        out->DiagRequestOut = sim::kResultBadRequestFormat;
        return;
    }
    sim::run_transaction(*in, *out);
}

KORVEX_API void GetLastTxnData_Launch(GetLastTxnData_out* out) {
    SIM_CALL("GetLastTxnData_Launch", nullptr, 0, out, out ? sizeof *out : 0);
    if (out)
        sim::last_transaction(*out);
}

} // extern "C"
