// The simulated terminal's value-added services: donation, mobile top-up and their persistence.
#include "korvex.h"
#include "print_child.h"
#include "sim_txn.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <future>
#include <set>
#include <vector>

namespace {

using SimVas = SimNoTillTest;

short set_donation_mode(short mode) {
    return answer_of(SetPenniesDonationMode, PenniesDonationModeIn{mode}).DiagRequestOut;
}

PenniesConfigDataOut donation_configuration() {
    const PenniesConfigDataOut out = answer_of(GetPenniesConfiguration);
    EXPECT_EQ(out.DiagRequestOut, 0);
    return out;
}

TEST_F(SimVas, AnApprovedSaleCarriesTheDonationOfTheModeSet) {
    struct Case {
        short mode; // -1: never set
        const char* type;
        const char* amount;
        const char* donation;
    };
    const Case cases[] = {
        {-1, "00", "1230", ""},            // donation not set up yet
        {0, "00", "1230", "000000000070"}, // 12.30 rounded up to 13.00
        {0, "00", "1299", "000000000001"},
        {0, "00", "1200", ""},             // nothing to round up
        {1, "00", "1200", "000000000050"}, // the fixed top-up amount
        {1, "00", "1", "000000000050"},
    };
    long count = 0;
    long value = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("mode ") + std::to_string(c.mode) + " amount " + c.amount);
        if (c.mode >= 0) {
            ASSERT_EQ(set_donation_mode(c.mode), 0);
        }
        const Transaction_out out = launch({c.type, c.amount});
        EXPECT_EQ(text_of(out.DonationAmountOut), c.donation);
        if (*c.donation) {
            ++count;
            value += std::atol(c.donation);
        }
        const PenniesConfigDataOut config = donation_configuration();
        EXPECT_EQ(number(config.TxnCountOut), count);
        EXPECT_EQ(number(config.TxnValueOut), value);
        EXPECT_EQ(config.TxnUploadRequiredOut, count > 0 ? 1 : 0);
    }
}

TEST_F(SimVas, TheDonationModeAndTotalsOutliveARestart) {
    ASSERT_EQ(set_donation_mode(1), 0);
    launch({"00", "1000"});
    EXPECT_EQ(set_donation_mode(-1), 3);
    korvex_sim_reset();
    korvex_sim_reload_state();
    const PenniesConfigDataOut config = donation_configuration();
    EXPECT_EQ(config.DonationModeOut, 1) << "a refused mode changes nothing";
    EXPECT_EQ(text_of(config.TxnCountOut), "00001");
    EXPECT_EQ(text_of(config.TxnValueOut), "00050");
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

MobileTopUpSettlementRespOut settle() {
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
    EXPECT_EQ(text_of(settle().TransactionStatusOut), "0");
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
        EXPECT_EQ(text_of(settle().TransactionStatusOut), "4");
    }
    korvex_sim_reset();
    EXPECT_EQ(voucher(3).DiagRequestOut, 0) << "the last sale is kept too";
    // Damaged lines: broken, a number past any integer, an amount of 30 digits.
    std::ofstream(state_dir_ + "/topup.state", std::ios::app)
        << "period\tbroken line\n"
        << "next\t99999999999999999999\n"
        << "period\t2601010000\t1001\tVELMARO MOBILE\t" << std::string(30, '9')
        << "\t900001\tS\tC\t20270101\t000001\n";
    const MobileTopUpSettlementRespOut out = settle();
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
    struct Case {
        short mode;
        short result;
        int products;
    };
    const Case cases[] = {{0, 0, 3}, {1, 0, 4}, {0, 0, 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE("mode " + std::to_string(c.mode));
        const auto out =
            answer_of(GetMobileTopUpConfiguration, MobileTopUpConfigurationDataIn{c.mode});
        EXPECT_EQ(out.DiagRequestOut, c.result);
        EXPECT_EQ(out.MobileTopUpProductNumberOut, c.products);
        for (short n = 1; n <= c.products; ++n) {
            const ProductDataRecordOut p = answer_of(GetProductData, n);
            EXPECT_EQ(p.DiagRequestOut, 0);
            const std::string amounts = text_of(p.AmountsInfoOut);
            EXPECT_EQ(amounts.find('-') != std::string::npos, p.VarAmountEntryOut == 1) << amounts;
            EXPECT_NE(text_of(p.CustomTextOut).find('\n'), std::string::npos);
        }
        if (c.result == 0) {
            EXPECT_EQ(answer_of(GetProductData, c.products + 1).DiagRequestOut, 10);
        }
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
