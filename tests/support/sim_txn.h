// Transactions on the simulated terminal through the library's own calls, shared by
// the unit tests of its payment, settlement, management and value-added parts.
#pragma once

#include "korvex.h"
#include "test_util.h"

#include <cstdlib>
#include <type_traits>

// The answer record of a library call that takes only it, or a request (by pointer
// or by value) and it.
template <class Out> Out answer_of(void (*call)(Out*)) {
    Out out{};
    call(&out);
    return out;
}
template <class In, class Out>
Out answer_of(void (*call)(const In*, Out*), const std::type_identity_t<In>& in) {
    Out out{};
    call(&in, &out);
    return out;
}
template <class In, class Out> Out answer_of(void (*call)(In, Out*), std::type_identity_t<In> in) {
    Out out{};
    call(in, &out);
    return out;
}

// A transaction request; fields left out are empty.
struct SimTxn {
    std::string type;
    std::string amount1 = {};
    std::string amount2 = {};
    std::string invoice = {};
    std::string pre_auth_ref = {};
    std::string auth_code = {};
};

inline Transaction_out launch(const SimTxn& r, const std::string& message_number = "1") {
    Transaction_in in{};
    put(in.MessageNumberIn, message_number);
    put(in.TransactionTypeIn, r.type);
    put(in.Amount1In, r.amount1);
    put(in.Amount2In, r.amount2);
    put(in.InvoiceNumberIn, r.invoice);
    put(in.PreAuthRefNumIn, r.pre_auth_ref);
    put(in.AuthorisationCodeIn, r.auth_code);
    put(in.CashierIdIn, "C7");
    Transaction_out out{};
    Transaction_Launch(&in, &out);
    return out;
}

// A transaction the test needs approved.
inline Transaction_out approved(const SimTxn& r) {
    const Transaction_out out = launch(r);
    EXPECT_EQ(text_of(out.TransactionStatusOut), "00") << "type " << r.type;
    return out;
}

inline GetLastTxnData_out last_txn() {
    return answer_of(GetLastTxnData_Launch);
}

// A settlement answer that succeeded with `records` detail records.
inline SettlementResponseOut settlement_with_records(short records) {
    SettlementResponseOut out{};
    put(out.SettlementStatusOut, "0");
    out.TransactionDetailDataRecordNumberOut = records;
    return out;
}

// A digits field's value.
template <std::size_t N> long number(const char (&field)[N]) {
    return std::atol(text_of(field).c_str());
}

// A terminal that never saw a transaction, whose receipts go nowhere unless a test
// listens for them (no till on port 1).
class SimNoTillTest : public SimStateTest {
    ScopedEnv no_till_{"KORVEX_SIM_PRINT_PORT", "1"};
};
