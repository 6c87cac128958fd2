// The terminal's questions to the cashier and the answers sent back, shared by the
// console's dialogs and the scenario runner: each answer is recorded in the journal
// with what the terminal showed, then sent. The console decides through its windows,
// the runner through its answer policy; what an answer means to the terminal is
// written only here.
#pragma once

#include "journal_entry.h"
#include "korvex.h"

#include <optional>
#include <string>
#include <string_view>

// The questions the terminal asks the cashier.
enum class Question : short {
    Signature,
    VoiceReferral,
    DccQuotation,
    Password,
    PartialApproval,
    Avs,
    SuspectedFraud,
};

// One of the terminal's events, as its event server reports them: a question to
// the cashier, an announcement to show, or both (a DCC offer is shown and
// announced).
struct TerminalEvent {
    short code;
    std::optional<Question> question;
    const char* announcement; // the console's information text, or null
};
// The event of a code, or null for a code the terminal does not define.
const TerminalEvent* terminal_event_of(short event_code);
// The question of an event code, or nullopt for an event that asks nothing
// (announcements: automatic settlements, batch close) or an unknown code.
std::optional<Question> question_of_event(short event_code);
// Its name as the journal records it ("Signature", "Voice referral", ...).
const char* question_name(Question question);
// Its name in a scenario ("signature", "voice_referral", "dcc", "password",
// "partial_approval", "avs", "suspected_fraud"), and back (nullopt if unknown).
const char* question_key(Question question);
std::optional<Question> question_from_key(std::string_view key);

// What the terminal showed with a question, fetched with the question's own call
// (CheckSignReq, CheckVoiceReferralReq, DCCQuotation, GetPasswordParams,
// GetPartialAuthData, GetAVSRejectionData; nothing for a suspected fraud).
struct ShownQuestion {
    Question question;
    short result = 0;     // the fetch's result code
    JournalRecord record; // the fetched record, masked as the journal keeps it
    // For a password request: the attempt and the number of attempts.
    int attempt = 0, attempts = 0;
};
ShownQuestion fetch_question(Question question);
// The same into the caller's record (zero-filled first), for the console's windows
// and panels, which show its fields.
ShownQuestion fetch_question(CheckSignReceiptInfo_out* record);
ShownQuestion fetch_question(VoiceReferralInfos_out* record);
ShownQuestion fetch_question(DCCQuotationDataOut* record);
ShownQuestion fetch_question(PasswordParamsOut* record);
ShownQuestion fetch_question(PartialAuthOut* record);
ShownQuestion fetch_question(AVSRejectionOut* record);

// The answers. Each records the question and the answer in the journal, with the
// record shown (may be empty), sends it and returns the answer call's result code.
short answer_signature(bool accepted, const JournalRecord& shown);
// Authorised by phone with `code`, declined, or no authorisation. A cancel sends no
// authorisation and is recorded as "Cancelled". An answer the terminal refuses as
// badly formed (result 3) is followed once by a declined one, recorded as such.
enum class Referral { Authorised, Declined, NoAuthorisation, Cancelled };
short answer_voice_referral(Referral outcome, std::string_view code, const JournalRecord& shown);
short answer_partial_approval(bool accept, const JournalRecord& shown);
short answer_avs(bool accept, const JournalRecord& shown);
// `password` nullopt: the cashier cancelled. The password is never recorded.
short answer_password(const std::optional<std::string>& password, const JournalRecord& shown);
// The two halves of that answer, for the console's "Set password" command, which the
// journal keeps as an operation of its own beside the transaction that asked: the
// answer recorded with the question (before the command's entry opens), and the
// request the command sends (EntryStatusIn 1 entered, 0 cancelled).
void record_password_answer(bool entered, const JournalRecord& shown);
SetPasswordIn password_answer(const std::optional<std::string>& password);
short answer_suspected_fraud(bool void_it);
// A DCC offer needs no answer; it is recorded as shown.
void record_dcc_offer(const JournalRecord& shown);
