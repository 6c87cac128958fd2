// The simulated terminal's event server: the queue of events that the till's
// event loop fetches with WaitTerminalEvent, the questions that a transaction asks
// the cashier through it, and the calls with which the cashier answers.
//
// A question blocks the transaction that asks it until the cashier's answer comes
// (or the terminal gives up waiting). While no event server runs, nobody can be
// asked: the terminal waits kNoServerWaitMs (scaled by KORVEX_SIM_DELAY) for one
// to be started, then ends the transaction with "Timeout Reached".
#pragma once

#include "sim_batch.h"
#include "sim_payment.h"

#include <chrono>

namespace sim {

// The events of the terminal, as WaitTerminalEvent reports them.
enum EventCode : short {
    kEventNone = 0,
    kEventSignature = 1,
    kEventVoiceReferral = 2,
    kEventDccQuotation = 3,
    kEventAutoSettlement = 4,
    kEventAutoMobileTopUpSettlement = 5,
    kEventPassword = 6,
    kEventPartialAuth = 7,
    kEventAvsRejection = 8,
    kEventSuspectedFraud = 9,
    kEventBatchClose = 10,
};

// How long a question waits for an event server to be started, and how long for a
// cashier who has been asked (both at delay scale 1; the delay scale applies). The
// cashier is given at least kCashierWaitFloorMs however small the scale: a person
// answers.
inline constexpr int kNoServerWaitMs = 10000;
inline constexpr int kCashierWaitMs = 180000;
inline constexpr int kCashierWaitFloorMs = 10000;
// How long the cardholder looks at a DCC quotation before choosing (scaled).
inline constexpr int kDccChoiceMs = 3000;
// How long the DCC offer waits for the till to fetch it, whatever the delay scale.
inline constexpr std::chrono::milliseconds kDccFetchWait{250};

// Every password of the simulated terminal (user, supervisor, refund, void).
inline constexpr const char* kTerminalPassword = "1234";
inline constexpr int kPasswordAttempts = 3;

// Approved amounts after which the terminal raises an announcement.
inline constexpr long kAmountAnnouncesSettlement = 10031;
inline constexpr long kAmountAnnouncesTopUpSettlement = 10032;
inline constexpr long kAmountAnnouncesBatchClose = 10033;

// Plays a cashier scenario of the payment engine through the event server: raises
// its event, waits for the cashier's answer and turns it into the outcome (and the
// answer fields of `txn`). Called without the terminal's mutex.
ScenarioOutcome play_cashier_event(Scenario scenario, TxnRecord& txn);

// Queues an announcement (4, 5 or 10) for the event loop; dropped, returning false,
// when no event server runs.
bool announce(short event);

} // namespace sim
