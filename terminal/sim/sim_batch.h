// The simulated terminal's journal: the transactions of the open batch and the
// last transaction. Both live in a state file of the simulator's own, so that they
// survive a restart of the till (and of the terminal library with it).
//
// Everything here is guarded by sim::terminal().mutex: take it before calling.
#pragma once

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

    // The type as a number; -1 when the code is not one of the table's.
    int type_number() const;
    bool is(TxnType t) const { return type_number() == static_cast<int>(t); }
};

struct Batch {
    std::vector<TxnRecord> transactions; // approved transactions since the last settlement
    std::optional<TxnRecord> last;       // the latest transaction that reached an outcome
    int batch_number = 1;
    long next_invoice = 1;
    long next_sequence = 1; // retrieval references, authorisation codes, pre-auth references
};

// The batch, read from the state file on first use.
Batch& batch();

// Writes the batch to the state file (a new file renamed over the old one, so a
// crash leaves either the old or the new state). Returns false when it could not.
bool save_batch();

// Forgets the batch held in memory and reads the state file again, looking the
// state folder up afresh (what a restart of the terminal does).
void reload_batch();

std::string batch_file_path();

// The transaction of the batch with this invoice number (compared as a number when
// both are digits, so "7" finds "000007"), skipping voids and reversals themselves.
// Null when there is none.
TxnRecord* find_by_invoice(Batch& b, const std::string& invoice);

// The open pre-authorisation with this reference, or null.
TxnRecord* find_pre_auth(Batch& b, const std::string& reference);

// Text form of one record, as the state file holds it (tab-separated key=value).
std::string serialize(const TxnRecord& txn);
bool deserialize(const std::string& line, TxnRecord& txn);

} // namespace sim
