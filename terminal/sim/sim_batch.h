// The simulated terminal's journal: the transactions of the open batch, the last
// closed batch and the last transaction. They live in an SQLite database in the
// simulator's state folder (batch.db), so that they survive a restart of the till
// (and of the terminal library with it). Each change is written in one database
// transaction of its own, which costs the same however large the batch has grown;
// a crash at any point leaves the state before or after that change.
//
// Two processes may use one state folder (two tills on one terminal). The batch
// held in memory is only a cache of the database: it is read again whenever another
// connection has committed since (SQLite's data_version), and every change runs on
// what is on disk, inside one BEGIN IMMEDIATE transaction that also writes it.
//
// Everything here is guarded by sim::terminal().mutex: take it before calling.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace sim {

// The transaction type codes, in the order of the type table ("00" SALE to "15"
// PRE-AUTH INCREMENT).
enum class TxnType {
    Sale,
    Refund,
    Void,
    Duplicata,
    CashAdvance,
    Pwcb,
    PreAuth,
    Completion,
    VerifyAccount,
    Reversal,
    Force,
    MotoSale,
    MotoRefund,
    PreAuthReversal,
    Cancel,
    PreAuthIncrement,
};
inline constexpr int kTxnTypeCount = 16;

// One transaction as the terminal keeps it: what the till asked and what the
// terminal answered. All values are the texts that the records carry.
struct TxnRecord {
    // The request, as sent by the till.
    std::string message_number;
    std::string type; // "00" to "15"
    std::string amount1, amount2, amount3, amount4;
    std::string label1, label2, label3, label4;
    std::string custom_line1;
    std::string cashier_id, table_id;
    std::string commercial_code;
    std::string suspected_fraud; // the request's 16-bit indicator, in decimal

    // The answer.
    std::string status; // two digits, see the transaction status table
    std::string invoice, batch_number;
    std::string auth_code, acquirer_response, rrn, date_time;
    std::string total, additional; // 12 digits, minor units
    std::string currency, currency_exponent;
    std::string card_currency, card_currency_exponent;
    std::string entry_method;
    std::string card_scheme, pan, start_date, expiry_date, pan_sequence, cardholder_name;
    std::string emv_expiry_date, app_effective_date, aid, app_label, app_preferred_name;
    std::string emv_txn_type, cryptogram;
    std::string custom_line2, custom_line3, custom_line4;
    std::string pre_auth_ref;
    std::string host_text;
    std::string available_balance;
    std::string is_dcc, dcc_amount, conversion_rate, fx_exponent, commission, fx_markup;
    std::string tax_free_required, commercial_code_data, donation_amount;
    std::string avs_response, partial_amount;

    // Book-keeping of the batch.
    std::string closed_by;   // type code of the void, cancel, reversal or completion that closed it
    std::string held_amount; // pre-authorisation: the amount held, increments included
    std::string tip;         // the tip added by a tip adjustment, 12 digits; empty for none

    // Row of the record in the database; 0 until it is first saved. Not a field of
    // the record's text.
    long id = 0;

    // The type as a number; -1 when the code is not one of the table's.
    int type_number() const;
    bool is(TxnType t) const { return type_number() == static_cast<int>(t); }
};

struct Batch {
    std::vector<TxnRecord> transactions; // approved transactions since the last settlement
    std::optional<TxnRecord> last;       // the latest transaction that reached an outcome
    int batch_number = 1;                // of the open batch
    long next_invoice = 1;
    long next_sequence = 1; // retrieval references, authorisation codes, pre-auth references
    // The last closed batch (settled), kept until the next settlement closes another.
    std::vector<TxnRecord> closed;
    int closed_batch_number = 0; // 0: no batch was closed yet
    std::string closed_date_time;
};

// The batch as it is on disk now, for reading; re-read when another process has
// changed it. Changes go through change_batch, never through this reference.
Batch& batch();

// One read-modify-write of the batch: `change` runs on the batch as it is on disk,
// inside one database transaction that also writes the counters, the last
// transaction, the records that `change` names in `changed` (new ones are added
// and get their id; null pointers are skipped) and, when it closed the open batch,
// forgets the batch closed before. `change` returns false when it changed nothing.
// Returns false (and says so on standard error) when the change could not be
// written; the terminal then goes on from memory.
// A change that is not `durable` is committed without waiting for the disk: it
// becomes durable with the next durable one (the write-ahead log is synced whole),
// so that a sale still costs one sync (its numbers, then its record).
using BatchChange = std::function<bool(Batch& b, std::vector<TxnRecord*>& changed)>;
bool change_batch(const char* what, const BatchChange& change, bool durable = true);

// Settlement, inside change_batch: the open batch becomes the last closed batch
// (the one closed before is forgotten), closed at `date_time`, and the next batch
// number opens.
void close_open_batch(Batch& b, const std::string& date_time);

// Forgets the batch held in memory and closes the database; the next use opens it
// again, looking the state folder up afresh (what a restart of the terminal does).
void reload_batch();

std::string batch_file_path();

// The transaction of the batch with this invoice number (compared as a number when
// both are digits, so "7" finds "000007"), skipping voids and reversals themselves.
// Null when there is none.
TxnRecord* find_by_invoice(Batch& b, const std::string& invoice);
// The same search in any list of transactions (the last closed batch).
TxnRecord* find_by_invoice(std::vector<TxnRecord>& transactions, const std::string& invoice);

// The open pre-authorisation with this reference, or null.
TxnRecord* find_pre_auth(Batch& b, const std::string& reference);

// Text form of one record, as the database holds it (tab-separated key=value).
std::string serialize(const TxnRecord& txn);
bool deserialize(const std::string& line, TxnRecord& txn);

} // namespace sim
