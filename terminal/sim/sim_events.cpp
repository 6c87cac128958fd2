// The event server of the simulated terminal and the cashier's answers: the queue
// that WaitTerminalEvent serves, the questions that a transaction asks through it
// (signature, voice referral, password, partial approval, AVS rejection, suspected
// fraud), the DCC quotation and the announcements.
#include "sim_events.h"

#include "korvex.h"
#include "sim_core.h"
#include "sim_rates.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

namespace sim {
namespace {

using Clock = std::chrono::steady_clock;

constexpr short kResultServerAlreadyStarted = 12;
constexpr short kResultServerAlreadyStopped = 14;
constexpr short kResultEventServerDown = 20;
constexpr short kServerStopped = 0;
constexpr short kServerRunning = 1;

// While it waits, WaitTerminalEvent looks this often at the terminal's last
// transaction for an announcement to raise.
constexpr auto kWatchPeriod = std::chrono::milliseconds(100);

// What the terminal tells the cashier for a voice referral.
constexpr const char* kReferralPhone = "0800 555 0199";
constexpr const char* kReferralMessage = "CALL AUTH CENTRE";
// The address check that fails in the AVS scenario: nothing matched.
constexpr const char* kAvsNoMatch = "N";

// The DCC offer: the card is a US dollar card, converted at the terminal's rate of
// that currency (sim_rates.h: the same row as the exchange rate update reports),
// which includes the mark-up of 3.50 %.
constexpr const char* kDccCurrency = "840";
constexpr const char* kDccCommission = "0000";
constexpr const char* kDccMarkup = "350";

// One question to the cashier and, once given, the answer.
struct Question {
    unsigned long id = 0;
    short event = kEventNone;
    bool queued = false;    // in the queue of the running server
    bool delivered = false; // fetched by the till's event loop
    bool answered = false;
    // What the fetch call of the event answers.
    CheckSignReceiptInfo_out sign{};
    VoiceReferralInfos_out referral{};
    PasswordParamsOut password{};
    PartialAuthOut partial{};
    AVSRejectionOut avs{};
    // The answer: the status chosen and the code or password typed.
    short status = 0;
    std::string text;
};

struct Queued {
    short event;
    unsigned long question; // 0 for an announcement
};

struct EventServer {
    std::mutex mutex;
    std::condition_variable changed;
    bool running = false;
    unsigned long session = 0; // counts the starts: a stop ends the waits of its session
    std::deque<Queued> queue;
    // The terminal runs one transaction at a time, so one question at most.
    std::optional<Question> question;
    unsigned long questions_asked = 0;
    std::optional<DCCQuotationDataOut> quotation; // the latest offer
    bool quotation_fetched = false;               // by the till, since it was offered
    std::string seen_rrn; // the last transaction already looked at for announcements
};

EventServer& server() {
    // Never destroyed: a question waits on it until the process ends, and destroying
    // a condition variable that has waiters blocks (until the cashier's time is up).
    static EventServer& s = *new EventServer;
    return s;
}

TerminalEventOut event_record(short state, short event, short result) {
    TerminalEventOut out{};
    out.ServerStateOut = state;
    out.EventIdentifierOut = event;
    out.DiagRequestOut = result;
    return out;
}

std::chrono::microseconds scaled(int ms) {
    return std::chrono::microseconds(static_cast<long long>(ms * delay_scale() * 1000));
}

std::string digits12(long amount) {
    char text[32];
    std::snprintf(text, sizeof text, "%012ld", amount);
    return text;
}

long amount_of(const std::string& digits) {
    return std::strtol(digits.c_str(), nullptr, 10);
}

// Puts the question in the queue once a server runs to deliver it. Lock held.
void queue_question_if_due(EventServer& s) {
    if (!s.running || !s.question)
        return;
    Question& q = *s.question;
    if (q.answered || q.queued || q.delivered)
        return;
    s.queue.push_back({q.event, q.id});
    q.queued = true;
    s.changed.notify_all();
}

// Asks the cashier and waits for the answer. Empty when the terminal gave up: no
// event server came within the no-server wait, or nobody answered a delivered
// question within the cashier's time.
std::optional<Question> ask(Question question) {
    EventServer& s = server();
    std::unique_lock lock(s.mutex);
    const unsigned long id = question.id = ++s.questions_asked;
    s.question = std::move(question);
    const Clock::time_point cashier_deadline =
        Clock::now() +
        std::max(scaled(kCashierWaitMs), std::chrono::microseconds(kCashierWaitFloorMs * 1000));
    constexpr Clock::time_point kNoDeadline = Clock::time_point::max();
    Clock::time_point server_deadline = kNoDeadline; // while a server is there to ask
    for (;;) {
        if (!s.question || s.question->id != id)
            return std::nullopt;
        if (s.question->answered) {
            Question answered = std::move(*s.question);
            s.question.reset();
            return answered;
        }
        queue_question_if_due(s);
        if (s.running || s.question->delivered)
            server_deadline = kNoDeadline;
        else if (server_deadline == kNoDeadline) // the wait starts when no server is found
            server_deadline = Clock::now() + scaled(kNoServerWaitMs);
        const Clock::time_point deadline = std::min(cashier_deadline, server_deadline);
        if (Clock::now() >= deadline) {
            s.question.reset(); // a queued copy is skipped by WaitTerminalEvent
            return std::nullopt;
        }
        s.changed.wait_until(lock, deadline);
    }
}

// Hands an answer to the open question of `event`: 10 "No Received Data" when the
// terminal asks nothing of the kind, 3 "Bad Request Format" for an answer it cannot
// take (the question stays open).
short give_answer(short event, bool acceptable, short status, std::string text = {}) {
    EventServer& s = server();
    std::lock_guard lock(s.mutex);
    if (!s.question || s.question->event != event || s.question->answered)
        return kResultNoReceivedData;
    if (!acceptable)
        return kResultBadRequestFormat;
    s.question->status = status;
    s.question->text = std::move(text);
    s.question->answered = true;
    s.changed.notify_all();
    return kResultOk;
}

// The details of the open question of `event`, or an empty record with 10.
template <class Record> void fetch(short event, Record Question::*details, Record& out) {
    EventServer& s = server();
    std::lock_guard lock(s.mutex);
    if (s.question && s.question->event == event && !s.question->answered) {
        out = (*s.question).*details;
        out.DiagRequestOut = kResultOk;
    } else {
        out = Record{};
        out.DiagRequestOut = kResultNoReceivedData;
    }
}

short announcement_for(long amount) {
    switch (amount) {
    case kAmountAnnouncesSettlement:
        return kEventAutoSettlement;
    case kAmountAnnouncesTopUpSettlement:
        return kEventAutoMobileTopUpSettlement;
    case kAmountAnnouncesBatchClose:
        return kEventBatchClose;
    default:
        return kEventNone;
    }
}

struct LastTransaction {
    std::string rrn;
    short announcement = kEventNone;
};

LastTransaction last_transaction_seen() {
    Terminal& t = terminal();
    std::lock_guard lock(t.mutex);
    const Batch& b = batch();
    LastTransaction last;
    if (b.last) {
        last.rrn = b.last->rrn;
        if (b.last->status == status::kAuthorised)
            last.announcement = announcement_for(amount_of(b.last->amount1));
    }
    return last;
}

// Raises the announcement of a transaction approved since the last look, once.
// Called without the server's mutex (the terminal's is taken first, alone).
void watch_last_transaction() {
    const LastTransaction last = last_transaction_seen();
    EventServer& s = server();
    std::lock_guard lock(s.mutex);
    if (last.rrn == s.seen_rrn)
        return;
    s.seen_rrn = last.rrn;
    if (last.announcement != kEventNone && s.running) {
        s.queue.push_back({last.announcement, 0});
        s.changed.notify_all();
    }
}

void start_server(TerminalEventOut& out) {
    // Transactions made before the start announce nothing.
    const std::string seen = last_transaction_seen().rrn;
    EventServer& s = server();
    std::lock_guard lock(s.mutex);
    if (s.running) {
        out = event_record(kServerRunning, kEventNone, kResultServerAlreadyStarted);
        return;
    }
    s.running = true;
    ++s.session;
    s.queue.clear();
    s.seen_rrn = seen;
    queue_question_if_due(s); // a transaction that waits for a server is asked now
    s.changed.notify_all();
    out = event_record(kServerRunning, kEventNone, kResultOk);
}

void stop_server(TerminalEventOut& out) {
    EventServer& s = server();
    std::lock_guard lock(s.mutex);
    if (!s.running) {
        out = event_record(kServerStopped, kEventNone, kResultServerAlreadyStopped);
        return;
    }
    s.running = false;
    s.queue.clear();
    if (s.question)
        s.question->queued = false; // a delivered one may still be answered
    s.changed.notify_all();
    out = event_record(kServerStopped, kEventNone, kResultOk);
}

void wait_event(TerminalEventOut& out) {
    EventServer& s = server();
    std::unique_lock lock(s.mutex);
    if (!s.running) {
        out = event_record(kServerStopped, kEventNone, kResultEventServerDown);
        return;
    }
    const unsigned long session = s.session;
    for (;;) {
        if (!s.running || s.session != session) {
            out = event_record(kServerStopped, kEventNone, kResultOk);
            return;
        }
        while (!s.queue.empty()) {
            const Queued next = s.queue.front();
            s.queue.pop_front();
            if (next.question) {
                if (!s.question || s.question->id != next.question || s.question->answered)
                    continue; // the terminal gave up on it meanwhile
                s.question->queued = false;
                s.question->delivered = true;
            }
            out = event_record(kServerRunning, next.event, kResultOk);
            return;
        }
        lock.unlock();
        watch_last_transaction();
        lock.lock();
        if (s.queue.empty() && s.running && s.session == session)
            s.changed.wait_for(lock, kWatchPeriod);
    }
}

// ---------------------------------------------------------------------------
// The scenarios

ScenarioOutcome ended(const char* status, const char* host_text) {
    return {false, status, host_text};
}

ScenarioOutcome timed_out() {
    return ended(status::kTimeout, "CASHIER TIMEOUT");
}

Question question_of(short event) {
    Question q;
    q.event = event;
    return q;
}

ScenarioOutcome signature(TxnRecord& txn) {
    Question q = question_of(kEventSignature);
    fill_txn_fields(txn, q.sign);
    put(q.sign.TransactionTypeOut, txn.type);
    const std::optional<Question> answer = ask(std::move(q));
    if (!answer)
        return timed_out();
    return answer->status == 1 ? ScenarioOutcome{} : ended(status::kNotAuthorised, "SIGN REFUSED");
}

ScenarioOutcome voice_referral(TxnRecord& txn) {
    Question q = question_of(kEventVoiceReferral);
    put(q.referral.PhoneNumberOut, kReferralPhone);
    put(q.referral.MerchantIdOut, kProfile.acquirer_merchant_id);
    put(q.referral.HostMessageOut, kReferralMessage);
    const std::optional<Question> answer = ask(std::move(q));
    if (!answer)
        return timed_out();
    switch (answer->status) {
    case 2: // authorised on the phone, with the code given there
        txn.auth_code = answer->text;
        txn.acquirer_response = "00";
        return {};
    case 1:
        txn.acquirer_response = "05";
        return ended(status::kNotAuthorised, "CALL DECLINED");
    default:
        txn.acquirer_response = "01";
        return ended(status::kUnableToAuthorise, "NO AUTHORISATION");
    }
}

short password_type_for(const TxnRecord& txn) {
    if (txn.is(TxnType::Refund) || txn.is(TxnType::MotoRefund))
        return 2; // refund password
    if (txn.is(TxnType::Void) || txn.is(TxnType::Cancel))
        return 3; // void password
    return 1;     // supervisor password
}

ScenarioOutcome password(TxnRecord& txn) {
    for (int attempt = 1; attempt <= kPasswordAttempts; ++attempt) {
        Question q = question_of(kEventPassword);
        q.password.AttemptNumberOut = static_cast<unsigned char>(attempt);
        q.password.MaximumAttemptOut = kPasswordAttempts;
        q.password.PasswordTypeOut = password_type_for(txn);
        const std::optional<Question> answer = ask(std::move(q));
        if (!answer)
            return timed_out();
        if (answer->status == 0)
            return ended(status::kCancelled, "PASSWORD CANCEL");
        if (answer->text == kTerminalPassword)
            return {};
    }
    return ended(status::kInvalidPassword, "WRONG PASSWORD");
}

ScenarioOutcome partial_approval(TxnRecord& txn) {
    const std::string approved = digits12(amount_of(txn.total) / 2);
    Question q = question_of(kEventPartialAuth);
    put(q.partial.AcquirerMerchantIDOut, kProfile.acquirer_merchant_id);
    put(q.partial.PartialAmountOut, approved);
    const std::optional<Question> answer = ask(std::move(q));
    if (!answer)
        return timed_out();
    if (answer->status != 0)
        return ended(status::kCancelled, "PARTIAL DECLINED");
    txn.partial_amount = approved;
    txn.total = approved; // only the approved part is paid and filed
    return {};
}

ScenarioOutcome avs_rejection(TxnRecord& txn) {
    txn.avs_response = kAvsNoMatch;
    Question q = question_of(kEventAvsRejection);
    put(q.avs.AVSResponseOut, kAvsNoMatch);
    const std::optional<Question> answer = ask(std::move(q));
    if (!answer)
        return timed_out();
    return answer->status == 0 ? ScenarioOutcome{} : ended(status::kCancelled, "AVS DECLINED");
}

ScenarioOutcome suspected_fraud(TxnRecord&) {
    const std::optional<Question> answer = ask(question_of(kEventSuspectedFraud));
    if (!answer)
        return timed_out();
    return answer->status == 0 ? ended(status::kVoid, "VOID: FRAUD") : ScenarioOutcome{};
}

const CurrencyRate& dcc_rate() {
    return *rate_of(kDccCurrency);
}

DCCQuotationDataOut quotation_for(const TxnRecord& txn, const std::string& dcc_amount) {
    DCCQuotationDataOut q{};
    put(q.MerchantNameOut, kProfile.merchant_name);
    put(q.MerchantAddress1Out, kProfile.merchant_address[0]);
    put(q.MerchantAddress2Out, kProfile.merchant_address[1]);
    put(q.MerchantAddress3Out, kProfile.merchant_address[2]);
    put(q.MerchantAddress4Out, kProfile.merchant_address[3]);
    put(q.AcquirerMerchantIdOut, kProfile.acquirer_merchant_id);
    put(q.TerminalIdentifierOut, kProfile.terminal_id);
    put(q.SchemeLabelOut, txn.card_scheme);
    put(q.Last4DigitsCardOut, txn.pan);
    put(q.CardExpiryDateOut, txn.expiry_date);
    const std::tm local = clock_local();
    char text[16];
    std::strftime(text, sizeof text, "%Y%m%d", &local);
    put(q.CurrentDCCDateOut, text);
    std::strftime(text, sizeof text, "%H%M%S", &local);
    put(q.CurrentDCCTimeOut, text);
    put(q.DCCTxnCurrencyNameOut, dcc_rate().name);
    put(q.LocalCurrencyAmountValueOut, txn.total);
    put(q.TerminalCurrencyCodeOut, kProfile.currency_code);
    q.TerminalCurrencyExponentOut = kProfile.currency_exponent;
    put(q.ConversionRateValueOut, dcc_rate().rate);
    put(q.CommissionValueOut, kDccCommission);
    put(q.ExchangeRateMarkUpValueOut, kDccMarkup);
    put(q.ReferenceRateProviderOut, "DAILY REFERENCE RATE");
    put(q.CurrencyConversionProviderOut, "SIMULATED DCC SERVICE");
    put(q.DCCAmountOut, dcc_amount);
    put(q.CardCurrencyCodeOut, kDccCurrency);
    q.CardCurrencyExpOut = dcc_rate().minor_units;
    q.FXExponentAppliedOut = dcc_rate().exponent;
    return q;
}

// The cardholder is offered the card's currency and takes it. Nothing is asked of
// the cashier: the till is told (event 3) and may fetch the quotation.
ScenarioOutcome dcc_offer(TxnRecord& txn) {
    const std::string dcc_amount = digits12(convert_amount(amount_of(txn.total), dcc_rate()));
    {
        EventServer& s = server();
        std::unique_lock lock(s.mutex);
        s.quotation = quotation_for(txn, dcc_amount);
        s.quotation_fetched = false;
        if (s.running) {
            s.queue.push_back({kEventDccQuotation, 0});
            s.changed.notify_all();
            // The offer stays on the terminal's screen until the till has fetched it
            // (or briefly, when the till does not): a till told of the offer sees it
            // before the sale ends, also when the terminal runs without delays.
            s.changed.wait_for(lock, kDccFetchWait, [&] { return s.quotation_fetched || !s.running; });
        }
    }
    step_delay(kDccChoiceMs);
    txn.is_dcc = "1";
    txn.dcc_amount = dcc_amount;
    txn.conversion_rate = dcc_rate().rate;
    txn.fx_exponent = std::to_string(dcc_rate().exponent);
    txn.commission = kDccCommission;
    txn.fx_markup = kDccMarkup;
    txn.card_currency = kDccCurrency;
    txn.card_currency_exponent = std::to_string(dcc_rate().minor_units);
    return {};
}

bool is_auth_code(const std::string& code) {
    return !code.empty() && std::all_of(code.begin(), code.end(),
                                        [](unsigned char c) { return std::isalnum(c) != 0; });
}

} // namespace

ScenarioOutcome play_cashier_event(Scenario scenario, TxnRecord& txn) {
    switch (scenario) {
    case Scenario::Signature:
        return signature(txn);
    case Scenario::VoiceReferral:
        return voice_referral(txn);
    case Scenario::DccOffer:
        return dcc_offer(txn);
    case Scenario::PartialApproval:
        return partial_approval(txn);
    case Scenario::AvsRejection:
        return avs_rejection(txn);
    case Scenario::Password:
        return password(txn);
    case Scenario::SuspectedFraud:
        return suspected_fraud(txn);
    }
    return {};
}

bool announce(short event) {
    EventServer& s = server();
    std::lock_guard lock(s.mutex);
    if (!s.running)
        return false;
    s.queue.push_back({event, 0});
    s.changed.notify_all();
    return true;
}

} // namespace sim

using sim::Question;

extern "C" {

KORVEX_API void StartServer(TerminalEventOut* out) {
    SIM_CALL("StartServer", nullptr, 0, out, out ? sizeof *out : 0);
    if (!out)
        return;
    sim::start_server(*out);
}

KORVEX_API void StopServer(TerminalEventOut* out) {
    SIM_CALL("StopServer", nullptr, 0, out, out ? sizeof *out : 0);
    if (!out)
        return;
    sim::stop_server(*out);
}

KORVEX_API void WaitTerminalEvent(TerminalEventOut* inout) {
    SIM_CALL("WaitTerminalEvent", inout, inout ? sizeof *inout : 0, inout,
             inout ? sizeof *inout : 0);
    if (!inout)
        return;
    sim::wait_event(*inout);
}

KORVEX_API void SetSuspectedFraudStatus(SuspectedFraudInOut* inout) {
    SIM_CALL("SetSuspectedFraudStatus", inout, inout ? sizeof *inout : 0, inout,
             inout ? sizeof *inout : 0);
    if (!inout)
        return;
    const short status = inout->SuspectedFraudStatusIn;
    inout->DiagRequestOut =
        sim::give_answer(sim::kEventSuspectedFraud, status == 0 || status == 1, status);
}

KORVEX_API void CheckSignReq(CheckSignReceiptInfo_out* out) {
    SIM_CALL("CheckSignReq", nullptr, 0, out, out ? sizeof *out : 0);
    if (!out)
        return;
    sim::fetch(sim::kEventSignature, &Question::sign, *out);
}

KORVEX_API void SetSignStatus(const Sign_Status_in* in, Sign_Status_out* out) {
    SIM_CALL("SetSignStatus", in, in ? sizeof *in : 0, out, out ? sizeof *out : 0);
    if (!out)
        return;
    *out = Sign_Status_out{};
    if (!in) {
        out->DiagRequestOut = sim::kResultBadRequestFormat;
        return;
    }
    const int status = in->SignatureStatusIn;
    out->DiagRequestOut = sim::give_answer(sim::kEventSignature, status == 0 || status == 1,
                                           static_cast<short>(status));
}

KORVEX_API void CheckVoiceReferralReq(VoiceReferralInfos_out* out) {
    SIM_CALL("CheckVoiceReferralReq", nullptr, 0, out, out ? sizeof *out : 0);
    if (!out)
        return;
    sim::fetch(sim::kEventVoiceReferral, &Question::referral, *out);
}

KORVEX_API void SetAuthorisation(const VoiceReferralStatus_in* in, VoiceReferralStatus_out* out) {
    SIM_CALL("SetAuthorisation", in, in ? sizeof *in : 0, out, out ? sizeof *out : 0);
    if (!out)
        return;
    *out = VoiceReferralStatus_out{};
    if (!in) {
        out->DiagRequestOut = sim::kResultBadRequestFormat;
        return;
    }
    const short status = in->AuthorisationStatusIn;
    const std::string code = sim::text_of(in->AuthorisationCodeIn);
    // An authorisation needs the code given on the phone; the other outcomes none.
    const bool acceptable = (status == 2 && sim::is_auth_code(code)) || status == 1 || status == 0;
    out->DiagRequestOut = sim::give_answer(sim::kEventVoiceReferral, acceptable, status, code);
}

KORVEX_API void GetPasswordParams(PasswordParamsOut* out) {
    SIM_CALL("GetPasswordParams", nullptr, 0, out, out ? sizeof *out : 0);
    if (!out)
        return;
    sim::fetch(sim::kEventPassword, &Question::password, *out);
}

KORVEX_API void SetPassword(const SetPasswordIn* in, SetPasswordOut* out) {
    SIM_CALL("SetPassword", in, in ? sizeof *in : 0, out, out ? sizeof *out : 0);
    if (!out)
        return;
    *out = SetPasswordOut{};
    if (!in) {
        out->DiagRequestOut = sim::kResultBadRequestFormat;
        return;
    }
    const short entry = in->EntryStatusIn; // 1 password entered, 0 entry cancelled
    out->DiagRequestOut = sim::give_answer(sim::kEventPassword, entry == 0 || entry == 1, entry,
                                           sim::text_of(in->PasswordIn));
}

KORVEX_API void GetPartialAuthData(PartialAuthOut* out) {
    SIM_CALL("GetPartialAuthData", nullptr, 0, out, out ? sizeof *out : 0);
    if (!out)
        return;
    sim::fetch(sim::kEventPartialAuth, &Question::partial, *out);
}

KORVEX_API void SetPartialAuthStatus(PartialAuthIn in, PartialAuthOut* out) {
    SIM_CALL("SetPartialAuthStatus", &in, sizeof in, out, out ? sizeof *out : 0);
    if (!out)
        return;
    const short status = in.PartialAuthStatusIn; // 0 accept, 1 decline
    sim::fetch(sim::kEventPartialAuth, &Question::partial, *out);
    out->DiagRequestOut =
        sim::give_answer(sim::kEventPartialAuth, status == 0 || status == 1, status);
}

KORVEX_API void GetAVSRejectionData(AVSRejectionOut* out) {
    SIM_CALL("GetAVSRejectionData", nullptr, 0, out, out ? sizeof *out : 0);
    if (!out)
        return;
    sim::fetch(sim::kEventAvsRejection, &Question::avs, *out);
}

KORVEX_API void SetAVSRejectionStatus(AVSRejectionIn in, AVSRejectionOut* out) {
    SIM_CALL("SetAVSRejectionStatus", &in, sizeof in, out, out ? sizeof *out : 0);
    if (!out)
        return;
    const short status = in.AVSRejectionStatusIn; // 0 accept, 1 decline
    sim::fetch(sim::kEventAvsRejection, &Question::avs, *out);
    out->DiagRequestOut =
        sim::give_answer(sim::kEventAvsRejection, status == 0 || status == 1, status);
}

KORVEX_API void DCCQuotation(DCCQuotationDataOut* out) {
    SIM_CALL("DCCQuotation", nullptr, 0, out, out ? sizeof *out : 0);
    if (!out)
        return;
    sim::EventServer& s = sim::server();
    std::lock_guard lock(s.mutex);
    *out = s.quotation.value_or(DCCQuotationDataOut{});
    out->DiagRequestOut = s.quotation ? sim::kResultOk : sim::kResultNoReceivedData;
    s.quotation_fetched = true;
    s.changed.notify_all();
}

} // extern "C"
