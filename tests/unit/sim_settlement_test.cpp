// The simulated terminal's end of day: batch totals, tips, settlement, rates, tax-free forms.
#include "korvex.h"
#include "sim_txn.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <set>
#include <vector>

namespace {

SettlementRequestIn request(const std::string& message = "5", short record = 0, short type = 0) {
    SettlementRequestIn in{};
    put(in.MessageNumberIn, message);
    in.TxnDetailDataRecordIndexIn = record;
    in.SettlementRecordTypeIn = type;
    return in;
}

SettlementResponseOut settle(const std::string& message = "5") {
    return answer_of(DoSettlement, request(message));
}

SettlementResponseOut data(short type) {
    return answer_of(GetSettlementData, request("6", 0, type));
}

SettlementDataRecordOut detail(short record) {
    return answer_of(GetTransactionDetailDataRecord, request("", record));
}

// Count and amount of debits, credits, cash-backs, sales voids and refunds voids.
using Figures = std::array<long, 10>;
Figures figures(const SettlementResponseOut& o) {
    return {number(o.DebitCountOut),       number(o.DebitAmountOut),
            number(o.CreditCountOut),      number(o.CreditAmountOut),
            number(o.CashBacksCountOut),   number(o.CashBacksAmountOut),
            number(o.SalesVoidCountOut),   number(o.SalesVoidAmountOut),
            number(o.RefundsVoidCountOut), number(o.RefundsVoidAmountOut)};
}

AdjustTipAmountOut tip(const std::string& invoice, const std::string& total,
                       const std::string& old_tip, const std::string& new_tip) {
    AdjustTipAmountIn in{};
    put(in.InvoiceNumberIn, invoice);
    put(in.TotalAmountIn, total);
    put(in.OldTipAmountIn, old_tip);
    put(in.NewTipAmountIn, new_tip);
    return answer_of(AdjustTipAmount, in);
}

using SimSettlement = SimNoTillTest;

// Every type's category in the open batch's data and the settlement: the batch
// categories scenario.
// The settlement's texts, an empty batch's status and the void's record right after
// the sale it voided are also played by the day scenario.
TEST_F(SimSettlement, SettlementClosesTheBatchAndNumbersItsDetailRecords) {
    const SettlementResponseOut empty = settle("42");
    EXPECT_EQ(text_of(empty.BatchNumberOut), "001");
    EXPECT_EQ(empty.TransactionDetailDataRecordNumberOut, 0);
    EXPECT_EQ(empty.DiagRequestOut, 0);

    approved({"00", "4500"});      // 000001
    approved({"01", "1000"});      // 000002
    approved({"00", "3000"});      // 000003
    approved({"02", "", "", "1"}); // voids 000001, filed under it
    const SettlementResponseOut out = settle("42");
    EXPECT_EQ(text_of(out.BatchNumberOut), "001");
    EXPECT_EQ(text_of(out.SettlementDateTimeOut).size(), 12u);
    EXPECT_EQ(figures(out), (Figures{1, 3000, 1, 1000, 0, 0, 1, 4500, 0, 0}));
    ASSERT_EQ(out.TransactionDetailDataRecordNumberOut, 4);

    // Invoice order; a void right after what it voided.
    const struct {
        const char* invoice;
        const char* type;
        const char* voided_type;
    } expected[] = {
        {"000001", "00", ""}, {"000001", "02", "00"}, {"000002", "01", ""}, {"000003", "00", ""}};
    for (short n = 1; n <= 4; ++n) {
        SCOPED_TRACE(n);
        const SettlementDataRecordOut r = detail(n);
        EXPECT_EQ(r.DiagRequestOut, 0);
        EXPECT_EQ(text_of(r.InvoiceNumberOut), expected[n - 1].invoice);
        EXPECT_EQ(text_of(r.TransactionTypeOut), expected[n - 1].type);
        EXPECT_EQ(text_of(r.VoidedTransactionTypeOut), expected[n - 1].voided_type);
    }
    for (short outside : {0, 5, -1}) {
        const SettlementDataRecordOut r = detail(outside);
        EXPECT_NE(r.DiagRequestOut, 0) << outside;
        SettlementDataRecordOut zeroed{};
        zeroed.DiagRequestOut = r.DiagRequestOut;
        EXPECT_EQ(std::memcmp(&r, &zeroed, sizeof r), 0) << outside;
    }

    EXPECT_EQ(text_of(approved({"00", "1000"}).BatchNumberOut), "002") << "the next sale opens 002";
    korvex_sim_reload_state(); // both batches outlive a restart
    EXPECT_EQ(text_of(data(1).BatchNumberOut), "001") << "record type 1: the closed batch";
    EXPECT_EQ(figures(data(1)), figures(out));
    const SettlementResponseOut open = data(0);
    EXPECT_EQ(text_of(open.BatchNumberOut), "002") << "record type 0: the open batch";
    EXPECT_EQ(number(open.DebitAmountOut), 1000);
    EXPECT_EQ(open.TransactionDetailDataRecordNumberOut, 1);
    EXPECT_EQ(text_of(detail(1).InvoiceNumberOut), "000004") << "the latest data's records";
}

TEST_F(SimSettlement, AnUnreachableHostLeavesTheBatchOpen) {
    approved({"00", "1000"}); // message number 999: the day scenario
    {
        ScopedEnv host_down("KORVEX_SIM_HOST_DOWN", "1");
        EXPECT_EQ(text_of(settle().SettlementStatusOut), "2");
    }
    const SettlementResponseOut later = settle();
    EXPECT_EQ(text_of(later.SettlementStatusOut), "0");
    EXPECT_EQ(text_of(later.BatchNumberOut), "001");
    EXPECT_EQ(number(later.DebitAmountOut), 1000);
}

// A tip's detail record and a tip on a settled batch: the day scenario; the refused
// tips (unknown, voided, a refund, total or old tip differs, over 30 %, letters):
// the refusal scenario.
TEST_F(SimSettlement, TipsAreCheckedKeptAndSettled) {
    approved({"00", "4000"});      // 000001
    approved({"01", "1000"});      // 000002
    approved({"00", "2000"});      // 000003
    approved({"02", "", "", "3"}); // voids 000003
    approved({"00", "1000"});      // 000004: tipped, then voided
    const struct {
        const char* why;
        const char *invoice, *total, *old_tip, *new_tip;
        short result, diag;
    } cases[] = {
        {"no new tip", "1", "4000", "", "", 0, 3},
        {"accepted, leading zeros anywhere", "0001", "000000004000", "000000000000", "500", 1, 0},
        {"the old tip is now 500", "1", "4000", "", "800", 0, 0},
        {"raised from 500", "000001", "4000", "000000000500", "000000000800", 1, 0},
        {"a tip on a sale voided later", "4", "1000", "", "200", 1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const AdjustTipAmountOut out = tip(c.invoice, c.total, c.old_tip, c.new_tip);
        EXPECT_EQ(out.TipUpdateResultOut, c.result);
        EXPECT_EQ(out.DiagRequestOut, c.diag);
    }
    approved({"02", "", "", "4"});
    korvex_sim_reload_state(); // the tip is part of the batch
    const SettlementResponseOut out = settle();
    EXPECT_EQ(number(out.GratuityAmountOut), 800) << "not the voided sale's tip";
    EXPECT_EQ(number(out.DebitAmountOut), 4800) << "the card is charged the tip";
    EXPECT_EQ(number(out.SalesVoidAmountOut), 3200) << "a voided sale gives back its tip";
}

// The rates, their records and a DCC offer at them: the day and question scenarios.
TEST_F(SimSettlement, TheRatesComeWithTheFirstUpdate) {
    EXPECT_EQ(answer_of(GetCurrencyDetails, 1).DiagRequestOut, 10) << "none before the first update";
    const auto update = answer_of(Exchange_Rate_Update_Launch, ExchangeRateUpdateIn{0});
    EXPECT_EQ(update.OperationStatusOut, 1);
    EXPECT_EQ(text_of(update.DateTimeOut).size(), 12u);
}

// A terminal killed in the middle of its sales loses none that it approved: every
// sale answered before the kill is in the batch after a restart.
TEST_F(SimSettlement, AKillAtAnyPointLosesNoApprovedSale) {
    int answered[2];
    ASSERT_EQ(pipe(answered), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(answered[0]);
        for (long n = 0;; ++n) {
            approved({"00", std::to_string(1000 + n % 97)});
            const char one = 1;
            if (write(answered[1], &one, 1) != 1)
                _exit(1);
        }
    }
    close(answered[1]);
    long approved = 0;
    char one;
    while (approved < 150 && read(answered[0], &one, 1) == 1)
        ++approved;
    kill(child, SIGKILL); // somewhere inside the next sale
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_EQ(approved, 150);
    // The sales it answered meanwhile, before the kill.
    while (read(answered[0], &one, 1) == 1)
        ++approved;
    close(answered[0]);

    korvex_sim_reload_state();
    const long kept = number(data(0).DebitCountOut);
    EXPECT_GE(kept, approved);
    EXPECT_LE(kept, approved + 1) << "at most the sale being answered at the kill";
    EXPECT_EQ(text_of(settle().SettlementStatusOut), "0") << "the database is whole";
}

// Two tills on one terminal: a second process sells, this one sells and settles
// while the other waits between two of its sales, then the other sells on; all on
// one state folder. Every sale is settled exactly once, invoice numbers never
// repeat, and a restart brings no settled sale back.
TEST_F(SimSettlement, TwoProcessesOnOneStateFolderAreOneTerminal) {
    constexpr int kBefore = 20, kAfter = 40, kOwnSales = 10;
    int invoices[2], go[2];
    ASSERT_EQ(pipe(invoices), 0);
    ASSERT_EQ(pipe(go), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) { // its own connection: this process has not opened the batch yet
        close(invoices[0]);
        close(go[1]);
        for (int n = 0; n < kBefore + kAfter; ++n) {
            char byte = 0;
            if (n == kBefore && read(go[0], &byte, 1) != 1)
                _exit(1);
            const Transaction_out out = launch({"00", std::to_string(1000 + n)});
            if (text_of(out.TransactionStatusOut) != "00" ||
                write(invoices[1], out.InvoiceNumberOut, sizeof out.InvoiceNumberOut) !=
                    static_cast<ssize_t>(sizeof out.InvoiceNumberOut))
                _exit(1);
        }
        _exit(0);
    }
    close(invoices[1]);
    close(go[0]);
    std::set<std::string> seen;
    auto read_invoices = [&](int count) {
        Transaction_out out{};
        for (int n = 0; n < count; ++n) {
            ASSERT_EQ(read(invoices[0], out.InvoiceNumberOut, sizeof out.InvoiceNumberOut),
                      static_cast<ssize_t>(sizeof out.InvoiceNumberOut));
            EXPECT_TRUE(seen.insert(text_of(out.InvoiceNumberOut)).second)
                << "invoice repeated: " << text_of(out.InvoiceNumberOut);
        }
    };
    read_invoices(kBefore);
    for (int n = 0; n < kOwnSales; ++n)
        EXPECT_TRUE(seen.insert(text_of(approved({"00", "2000"}).InvoiceNumberOut)).second);
    const long first = number(settle().DebitCountOut);
    ASSERT_EQ(write(go[1], "g", 1), 1);
    read_invoices(kAfter);
    int status = 1;
    waitpid(child, &status, 0);
    close(invoices[0]);
    close(go[1]);
    ASSERT_EQ(status, 0) << "the other till's sales were all approved";
    EXPECT_EQ(first, kBefore + kOwnSales);
    EXPECT_EQ(number(settle().DebitCountOut), kAfter);

    korvex_sim_reload_state();
    EXPECT_EQ(number(data(0).DebitCountOut), 0) << "no settled sale comes back";
    EXPECT_EQ(number(data(1).DebitCountOut), kAfter);
}

} // namespace
