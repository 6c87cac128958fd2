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

template <class Record> ShownQuestion fetched(Question question, void (*fetch)(Record*)) {
    Record record{};
    const std::int64_t started_ms = call_clock_ms();
    fetch(&record);
    record_library_call(fetch, started_ms, static_cast<const Record*>(nullptr), record);
    return ShownQuestion{question, record.DiagRequestOut, journal_record(record)};
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

std::optional<Question> question_of_event(short event_code) {
    for (const QuestionNames& q : kQuestions)
        if (static_cast<short>(q.question) == event_code)
            return q.question;
    return std::nullopt;
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

ShownQuestion fetch_question(Question question) {
    switch (question) {
    case Question::Signature:
        return fetched(question, CheckSignReq);
    case Question::VoiceReferral:
        return fetched(question, CheckVoiceReferralReq);
    case Question::DccQuotation:
        return fetched(question, DCCQuotation);
    case Question::Password: {
        PasswordParamsOut params{};
        const std::int64_t started_ms = call_clock_ms();
        GetPasswordParams(&params);
        record_library_call(GetPasswordParams, started_ms,
                            static_cast<const PasswordParamsOut*>(nullptr), params);
        return ShownQuestion{question, params.DiagRequestOut, journal_record(params),
                             params.AttemptNumberOut, params.MaximumAttemptOut};
    }
    case Question::PartialApproval:
        return fetched(question, GetPartialAuthData);
    case Question::Avs:
        return fetched(question, GetAVSRejectionData);
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
