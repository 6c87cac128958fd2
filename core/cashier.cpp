#include "cashier.h"

#include "fields.h"
#include "journal.h"
#include "activity.h"
#include "operations.h"

#include <utility>

namespace {

struct QuestionNames {
    Question question;
    const char* name; // in the journal
    const char* key;  // in a scenario
};
constexpr QuestionNames kQuestions[] = {
    {Question::Signature, "Signature", "signature"},
    {Question::VoiceReferral, "Voice referral", "voice_referral"},
    {Question::DccQuotation, "DCC quotation", "dcc"},
    {Question::Password, "Password", "password"},
    {Question::PartialApproval, "Partial approval", "partial_approval"},
    {Question::Avs, "AVS rejection", "avs"},
    {Question::SuspectedFraud, "Suspected fraud", "suspected_fraud"},
};

const QuestionNames& names_of(Question question) {
    for (const QuestionNames& q : kQuestions)
        if (q.question == question)
            return q;
    return kQuestions[0]; // not reached: every question has its row
}

// The answer codes the terminal takes.
constexpr int kSignatureAccepted = 1, kSignatureRefused = 0;
constexpr short kReferralAuthorised = 2, kReferralDeclined = 1, kReferralNone = 0;
constexpr short kAccept = 0, kDecline = 1; // partial approval, AVS
constexpr short kFraudVoid = 0, kFraudContinue = 1;
constexpr short kPasswordEntered = 1, kPasswordCancelled = 0;
constexpr short kBadRequestFormat = 3;

// The event codes: the only table of them on the till's side.
constexpr TerminalEvent kEvents[] = {
    {1, Question::Signature, nullptr},
    {2, Question::VoiceReferral, nullptr},
    {3, Question::DccQuotation, "A DCC quotation request is received"},
    {4, std::nullopt, "An automatic EFT settlement request is received"},
    {5, std::nullopt, "An automatic MTU settlement request is received"},
    {6, Question::Password, nullptr},
    {7, Question::PartialApproval, nullptr},
    {8, Question::Avs, nullptr},
    {9, Question::SuspectedFraud, nullptr},
    {10, std::nullopt, "An automatic batch close event was received"},
};

template <class Record>
ShownQuestion fetched(Question question, void (*fetch)(Record*), Record* record) {
    *record = Record{};
    const std::int64_t started_ms = call_clock_ms();
    fetch(record);
    record_library_call(fetch, started_ms, static_cast<const Record*>(nullptr), *record);
    return ShownQuestion{question, record->DiagRequestOut, journal_record(*record)};
}

// A question fetched into a record of its own.
template <class Record> ShownQuestion fetched_alone() {
    Record record;
    return fetch_question(&record);
}

short send_referral(short status, std::string_view code, std::string answer,
                    const JournalRecord& shown) {
    VoiceReferralStatus_in in{};
    in.AuthorisationStatusIn = status;
    if (status == kReferralAuthorised) {
        const std::string text(code);
        field_copy(in.AuthorisationCodeIn, text.c_str());
        answer += field_text(in.AuthorisationCodeIn);
    }
    // Recorded before it is sent: the transaction that asked ends once the terminal
    // has it.
    journal_question(names_of(Question::VoiceReferral).name, std::move(answer), shown.fields);
    VoiceReferralStatus_out out{};
    const std::int64_t started_ms = call_clock_ms();
    SetAuthorisation(&in, &out);
    record_library_call(SetAuthorisation, started_ms, &in, out);
    return out.DiagRequestOut;
}

} // namespace

const TerminalEvent* terminal_event_of(short event_code) {
    for (const TerminalEvent& event : kEvents)
        if (event.code == event_code)
            return &event;
    return nullptr;
}

std::optional<Question> question_of_event(short event_code) {
    const TerminalEvent* event = terminal_event_of(event_code);
    return event ? event->question : std::nullopt;
}

const char* question_name(Question question) {
    return names_of(question).name;
}
const char* question_key(Question question) {
    return names_of(question).key;
}

std::optional<Question> question_from_key(std::string_view key) {
    for (const QuestionNames& q : kQuestions)
        if (key == q.key)
            return q.question;
    return std::nullopt;
}

ShownQuestion fetch_question(CheckSignReceiptInfo_out* record) {
    return fetched(Question::Signature, CheckSignReq, record);
}
ShownQuestion fetch_question(VoiceReferralInfos_out* record) {
    return fetched(Question::VoiceReferral, CheckVoiceReferralReq, record);
}
ShownQuestion fetch_question(DCCQuotationDataOut* record) {
    return fetched(Question::DccQuotation, DCCQuotation, record);
}
ShownQuestion fetch_question(PasswordParamsOut* record) {
    ShownQuestion shown = fetched(Question::Password, GetPasswordParams, record);
    shown.attempt = record->AttemptNumberOut;
    shown.attempts = record->MaximumAttemptOut;
    return shown;
}
ShownQuestion fetch_question(PartialAuthOut* record) {
    return fetched(Question::PartialApproval, GetPartialAuthData, record);
}
ShownQuestion fetch_question(AVSRejectionOut* record) {
    return fetched(Question::Avs, GetAVSRejectionData, record);
}

ShownQuestion fetch_question(Question question) {
    switch (question) {
    case Question::Signature:
        return fetched_alone<CheckSignReceiptInfo_out>();
    case Question::VoiceReferral:
        return fetched_alone<VoiceReferralInfos_out>();
    case Question::DccQuotation:
        return fetched_alone<DCCQuotationDataOut>();
    case Question::Password:
        return fetched_alone<PasswordParamsOut>();
    case Question::PartialApproval:
        return fetched_alone<PartialAuthOut>();
    case Question::Avs:
        return fetched_alone<AVSRejectionOut>();
    case Question::SuspectedFraud:
        break;
    }
    ShownQuestion nothing_shown{};
    nothing_shown.question = question;
    return nothing_shown;
}

short answer_signature(bool accepted, const JournalRecord& shown) {
    journal_question(question_name(Question::Signature), accepted ? "Accepted" : "Refused",
                     shown.fields);
    Sign_Status_in in{};
    in.SignatureStatusIn = accepted ? kSignatureAccepted : kSignatureRefused;
    Sign_Status_out out{};
    const std::int64_t started_ms = call_clock_ms();
    SetSignStatus(&in, &out);
    record_library_call(SetSignStatus, started_ms, &in, out);
    return out.DiagRequestOut;
}

short answer_voice_referral(Referral outcome, std::string_view code, const JournalRecord& shown) {
    short result = 0;
    switch (outcome) {
    case Referral::Cancelled:
        return send_referral(kReferralNone, {}, "Cancelled", shown);
    case Referral::Authorised:
        result = send_referral(kReferralAuthorised, code, "Approved with code ", shown);
        break;
    case Referral::Declined:
        result = send_referral(kReferralDeclined, {}, "Declined", shown);
        break;
    case Referral::NoAuthorisation:
        result = send_referral(kReferralNone, {}, "No authorisation", shown);
        break;
    }
    if (result == kBadRequestFormat) // fall back to a declined referral, once
        result = send_referral(kReferralDeclined, {}, "Declined after a refused answer", shown);
    return result;
}

short answer_partial_approval(bool accept, const JournalRecord& shown) {
    journal_question(question_name(Question::PartialApproval), accept ? "Accepted" : "Declined",
                     shown.fields);
    PartialAuthOut out{};
    const PartialAuthIn in{accept ? kAccept : kDecline};
    const std::int64_t started_ms = call_clock_ms();
    SetPartialAuthStatus(in, &out);
    record_library_call(SetPartialAuthStatus, started_ms, &in, out);
    return out.DiagRequestOut;
}

short answer_avs(bool accept, const JournalRecord& shown) {
    journal_question(question_name(Question::Avs), accept ? "Accepted" : "Declined", shown.fields);
    AVSRejectionOut out{};
    const AVSRejectionIn in{accept ? kAccept : kDecline};
    const std::int64_t started_ms = call_clock_ms();
    SetAVSRejectionStatus(in, &out);
    record_library_call(SetAVSRejectionStatus, started_ms, &in, out);
    return out.DiagRequestOut;
}

void record_password_answer(bool entered, const JournalRecord& shown) {
    journal_question(question_name(Question::Password), entered ? "Entered" : "Cancelled",
                     shown.fields);
}

SetPasswordIn password_answer(const std::optional<std::string>& password) {
    SetPasswordIn in{};
    // Up to 9 characters; a 9-character one is ended by the record's zero byte.
    field_copy(in.PasswordIn, password ? password->c_str() : "");
    in.EntryStatusIn = password ? kPasswordEntered : kPasswordCancelled;
    return in;
}

short answer_password(const std::optional<std::string>& password, const JournalRecord& shown) {
    record_password_answer(password.has_value(), shown);
    const SetPasswordIn in = password_answer(password);
    SetPasswordOut out{};
    const std::int64_t started_ms = call_clock_ms();
    SetPassword(&in, &out);
    record_library_call(SetPassword, started_ms, &in, out); // the password blanked
    return out.DiagRequestOut;
}

short answer_suspected_fraud(bool void_it) {
    journal_question(question_name(Question::SuspectedFraud), void_it ? "Void" : "Continue");
    SuspectedFraudInOut fraud{};
    fraud.SuspectedFraudStatusIn = void_it ? kFraudVoid : kFraudContinue;
    const SuspectedFraudInOut asked = fraud;
    const std::int64_t started_ms = call_clock_ms();
    SetSuspectedFraudStatus(&fraud);
    record_library_call(SetSuspectedFraudStatus, started_ms, &asked, fraud);
    return fraud.DiagRequestOut;
}

void record_dcc_offer(const JournalRecord& shown) {
    journal_question(question_name(Question::DccQuotation), "Shown", shown.fields);
}
