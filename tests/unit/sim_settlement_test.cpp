// The simulated terminal's end of day (batch totals, tips, settlement, rates, tax-free
// forms) and its value-added services (donation, mobile top-up and their persistence).
#include "print_child.h"
#include "sim_txn.h"

#include <array>
#include <ctime>
#include <future>
#include <set>

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

    // Invoice order; a void right after what it voided. Invoice, type, voided type.
    const char* const expected[] = {"000001 00 ", "000001 02 00", "000002 01 ", "000003 00 "};
    for (short n = 1; n <= 4; ++n) {
        const SettlementDataRecordOut r = detail(n);
        EXPECT_EQ(r.DiagRequestOut, 0) << n;
        EXPECT_EQ(text_of(r.InvoiceNumberOut) + " " + text_of(r.TransactionTypeOut) + " " +
                      text_of(r.VoidedTransactionTypeOut),
                  expected[n - 1]);
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
        AdjustTipAmountIn in{};
        put(in.InvoiceNumberIn, c.invoice);
        put(in.TotalAmountIn, c.total);
        put(in.OldTipAmountIn, c.old_tip);
        put(in.NewTipAmountIn, c.new_tip);
        const AdjustTipAmountOut out = answer_of(AdjustTipAmount, in);
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

// The update's status, the rates, their records and a DCC offer at them: the day and
// question scenarios.
TEST_F(SimSettlement, TheRatesComeWithTheFirstUpdate) {
    EXPECT_EQ(answer_of(GetCurrencyDetails, 1).DiagRequestOut, 10)
        << "none before the first update";
    const auto update = answer_of(Exchange_Rate_Update_Launch, ExchangeRateUpdateIn{0});
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

using SimVas = SimNoTillTest;

short set_donation_mode(short mode) {
    return answer_of(SetPenniesDonationMode, PenniesDonationModeIn{mode}).DiagRequestOut;
}

PenniesConfigDataOut donation_configuration() {
    const PenniesConfigDataOut out = answer_of(GetPenniesConfiguration);
    EXPECT_EQ(out.DiagRequestOut, 0);
    return out;
}

// The mode and the totals outlive a restart; a refused mode changes nothing.
TEST_F(SimVas, AnApprovedSaleCarriesTheDonationOfTheModeSet) {
    // The mode set (-1: never), the sale's amount and its donation.
    const std::tuple<short, const char*, const char*> sales[] = {
        {-1, "1230", ""},            // donation not set up yet
        {0, "1230", "000000000070"}, // 12.30 rounded up to 13.00
        {0, "1299", "000000000001"},
        {0, "1200", ""},             // nothing to round up
        {1, "1200", "000000000050"}, // the fixed top-up amount
        {1, "1", "000000000050"},
    };
    long count = 0;
    long value = 0;
    for (const auto& [mode, amount, donation] : sales) {
        SCOPED_TRACE(std::string("mode ") + std::to_string(mode) + " amount " + amount);
        if (mode >= 0) {
            ASSERT_EQ(set_donation_mode(mode), 0);
        }
        const Transaction_out out = launch({"00", amount});
        EXPECT_EQ(text_of(out.DonationAmountOut), donation);
        if (*donation) {
            ++count;
            value += std::atol(donation);
        }
        const PenniesConfigDataOut config = donation_configuration();
        EXPECT_EQ(number(config.TxnCountOut), count);
        EXPECT_EQ(number(config.TxnValueOut), value);
        EXPECT_EQ(config.TxnUploadRequiredOut, count > 0 ? 1 : 0);
    }
    EXPECT_EQ(set_donation_mode(-1), 3);
    korvex_sim_reset();
    korvex_sim_reload_state();
    const PenniesConfigDataOut config = donation_configuration();
    EXPECT_EQ(config.DonationModeOut, 1);
    EXPECT_EQ(text_of(config.TxnCountOut), "00004");
    EXPECT_EQ(text_of(config.TxnValueOut), "00171");
}

struct Sale {
    int count;
    const char* amount;
    const char* product;
    const char* password = "1234";
};

MobileTopUpRespOut sell(const Sale& s) {
    MobileTopUpReqIn in{};
    put(in.MessageNumberIn, "07");
    put(in.VoucherAmountIn, s.amount);
    in.VoucherNumbersIn = static_cast<unsigned char>(s.count);
    put(in.ProductIdIn, s.product);
    put(in.CashierIdIn, "C1");
    put(in.GSMPasswordIn, s.password);
    return answer_of(DoMobileTopUpTransaction, in);
}

VoucherRecordOut voucher(short number) {
    return answer_of(GetVoucherRecord, number);
}

MobileTopUpSettlementRespOut settle_top_up() {
    MobileTopUpSettlementRespIn in{};
    put(in.MessageNumberIn, "09");
    return answer_of(DoMobileTopUpSettlement, in);
}

// The value-added scenario plays the donations, refusals, products, vouchers, the
// edges of a sale and top-up settlement through the console's tables; these tests
// keep what it does not reach (uniqueness, grouping, what outlives a restart, a
// terminal that never got the host's configuration).
TEST_F(SimVas, VouchersAreUniqueAndFetchedOneToNOfTheLastSale) {
    std::set<std::string> serials, codes, invoices;
    const std::time_t now = std::time(nullptr);
    std::tm today{};
    localtime_r(&now, &today);
    for (int count : {2, 3}) {
        const MobileTopUpRespOut out = sell({count, "1500", "1002"});
        ASSERT_EQ(out.VoucherNumberOut, count);
        for (short n = 1; n <= count; ++n) {
            const VoucherRecordOut v = voucher(n);
            ASSERT_EQ(v.DiagRequestOut, 0);
            EXPECT_EQ(text_of(v.VoucherSerialNumberOut),
                      text_of(out.VoucherRecordsOut[n - 1].VoucherSerialNumberOut));
            serials.insert(text_of(v.VoucherSerialNumberOut));
            codes.insert(text_of(v.VoucherCodeOut));
            invoices.insert(text_of(v.InvoiceNumberOut));
            EXPECT_EQ(text_of(v.VoucherExpDateOut).substr(0, 4),
                      std::to_string(today.tm_year + 1900 + 1))
                << "valid for a year";
            EXPECT_EQ(text_of(v.AuthCodeOut).size(), 6u);
        }
        EXPECT_EQ(voucher(0).DiagRequestOut, 10);
        EXPECT_EQ(voucher(static_cast<short>(count + 1)).DiagRequestOut, 10);
    }
    EXPECT_EQ(serials.size(), 5u);
    EXPECT_EQ(codes.size(), 5u);
    EXPECT_EQ(invoices.size(), 5u);
}

// The totals, the records grouped by product and a settlement with nothing sold:
// the value-added scenario.
TEST_F(SimVas, TheSettlementStartsTheNextBatch) {
    sell({1, "1000", "1001"});
    EXPECT_EQ(text_of(settle_top_up().TransactionStatusOut), "0");
    EXPECT_EQ(text_of(sell({1, "1000", "1001"}).BatchNumberOut), "000002");
}

TEST_F(SimVas, NoVoucherIsSoldWhileACardPaymentHoldsTheTerminal) {
    ASSERT_EQ(answer_of(StartServer).DiagRequestOut, 0);
    // A sale that waits for the cashier's signature check keeps the terminal busy.
    auto payment = std::async(std::launch::async, [] { return launch({"00", "10011"}); });
    ASSERT_EQ(answer_of(WaitTerminalEvent).EventIdentifierOut, 1);
    const MobileTopUpRespOut busy = sell({1, "1000", "1001"});
    EXPECT_EQ(text_of(busy.TransactionStatusOut), "2");
    EXPECT_EQ(text_of(busy.HostOptionalMessageOut), "TERMINAL BUSY");
    answer_of(SetSignStatus, Sign_Status_in{1});
    ASSERT_EQ(payment.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(text_of(payment.get().TransactionStatusOut), "00");
    answer_of(StopServer);
    EXPECT_EQ(sell({1, "1000", "1001"}).VoucherNumberOut, 1) << "free again";
}

TEST_F(SimVas, TheTopUpPeriodLivesInTheStateFolder) {
    sell({3, "2000", "1001"});
    {
        ScopedEnv other("KORVEX_SIM_STATE_DIR", (state_dir_ + "-other").c_str());
        EXPECT_EQ(text_of(settle_top_up().TransactionStatusOut), "4");
    }
    korvex_sim_reset();
    EXPECT_EQ(voucher(3).DiagRequestOut, 0) << "the last sale is kept too";
    // Damaged lines: broken, a number past any integer, an amount of 30 digits.
    std::ofstream(state_dir_ + "/topup.state", std::ios::app)
        << "period\tbroken line\n"
        << "next\t99999999999999999999\n"
        << "period\t2601010000\t1001\tVELMARO MOBILE\t" << std::string(30, '9')
        << "\t900001\tS\tC\t20270101\t000001\n";
    const MobileTopUpSettlementRespOut out = settle_top_up();
    EXPECT_EQ(text_of(out.VoucherSaleCountOut), "00000003") << "damaged lines are skipped";
    EXPECT_EQ(text_of(out.VoucherSaleAmountOut), "000000006000");
    const MobileTopUpRespOut sold = sell({1, "1000", "1001"});
    ASSERT_EQ(sold.VoucherNumberOut, 1);
    EXPECT_EQ(text_of(sold.VoucherRecordsOut[0].VoucherSerialNumberOut), "1001000000000001")
        << "the numbering starts again";
}

TEST_F(SimVas, TheHostsConfigurationAddsAProductThatStays) {
    const MobileTopUpRespOut early = sell({1, "2000", "1004"});
    EXPECT_EQ(text_of(early.TransactionStatusOut), "1") << "not offered before the host's";
    EXPECT_EQ(text_of(early.ResponseCodeOut), "12");
    for (const auto [mode, products] : {std::pair<short, short>{0, 3}, {1, 4}, {0, 4}}) {
        SCOPED_TRACE("mode " + std::to_string(mode));
        const auto out =
            answer_of(GetMobileTopUpConfiguration, MobileTopUpConfigurationDataIn{mode});
        EXPECT_EQ(out.DiagRequestOut, 0);
        EXPECT_EQ(out.MobileTopUpProductNumberOut, products);
        for (short n = 1; n <= products; ++n) {
            const ProductDataRecordOut p = answer_of(GetProductData, n);
            EXPECT_EQ(p.DiagRequestOut, 0);
            const std::string amounts = text_of(p.AmountsInfoOut);
            EXPECT_EQ(amounts.find('-') != std::string::npos, p.VarAmountEntryOut == 1) << amounts;
            EXPECT_NE(text_of(p.CustomTextOut).find('\n'), std::string::npos);
        }
        EXPECT_EQ(answer_of(GetProductData, products + 1).DiagRequestOut, 10);
    }
    EXPECT_EQ(sell({1, "2000", "1004"}).VoucherNumberOut, 1);
}

TEST_F(SimVas, EachVoucherPrintsItsOwnReceipt) {
    print_test::SimTill till("PrinterState-sim-vas");
    sell({3, "1000", "1001"});
    const std::string receipts = till.drain();
    std::size_t count = 0;
    for (auto at = receipts.find("MOBILE TOP-UP VOUCHER"); at != std::string::npos;
         at = receipts.find("MOBILE TOP-UP VOUCHER", at + 1))
        ++count;
    EXPECT_EQ(count, 3u) << receipts;
    for (short n = 1; n <= 3; ++n)
        EXPECT_NE(receipts.find(text_of(voucher(n).VoucherCodeOut)), std::string::npos);
    EXPECT_NE(receipts.find("VOUCHER 3 OF 3"), std::string::npos);

    sell({1, "1000", "1001", "9999"});
    EXPECT_EQ(till.drain(), "") << "a refused sale prints nothing";
}

} // namespace
