// The value-added services in the window: what the donation, top-up configuration,
// voucher sale and top-up settlement panels send, how they show the answers
// (character set of the host message, the two status tables, custom texts), their
// record selectors, and workers of one operation running at once.
#include "gui_harness.h"
#include "korvex.h"
#include "test_util.h"
#include "ui_components.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class ValueAdded : public ::testing::Test {
  protected:
    void SetUp() override {
        korvex_sim_reset();
        korvex_sim_set_delay_scale(0);
    }

    // Sells with a scripted answer and waits until the worker has shown it.
    static void sale_answered(const MobileTopUpRespOut& answer) {
        script("DoMobileTopUpTransaction", answer);
        gui::click(btn_mt_txn_do_transaction);
        ASSERT_TRUE(gui::wait_for_text(txt_mt_txn_resp_vch_nbr,
                                       std::to_string(answer.VoucherNumberOut)));
    }
    static void settlement_answered(const MobileTopUpSettlementRespOut& answer) {
        script("DoMobileTopUpSettlement", answer);
        gui::click(btn_mtu_set_req_do_set);
        ASSERT_TRUE(gui::wait_for_text(
            txt_mtu_set_resp_txn_detl_data_rec_nbr,
            std::to_string(answer.TransactionDetailDataRecordNumberOut)));
    }
};

// The conversion itself is the toolkit's; here, that the window reads the whole
// field with it.
TEST_F(ValueAdded, TheHostMessageIsReadAsIso8859_2) {
    // Bytes invalid as UTF-8 on their own, and other letters in ISO-8859-1.
    MobileTopUpRespOut answer{};
    put(answer.HostOptionalMessageOut, "Do\xB3" "adowanie przyj\xEA" "te");
    sale_answered(answer);
    EXPECT_EQ(gui::text(txt_mt_txn_resp_host_opt_msg), "Doładowanie przyjęte");
    // A message that fills its whole field (no terminator) is read to its end.
    MobileTopUpRespOut full{};
    std::memset(full.HostOptionalMessageOut, '\xB3', sizeof full.HostOptionalMessageOut);
    sale_answered(full);
    std::string expected;
    for (std::size_t i = 0; i < sizeof full.HostOptionalMessageOut; ++i)
        expected += "ł";
    EXPECT_TRUE(gui::text(txt_mt_txn_resp_host_opt_msg) == expected) << "257 letters ł";
}

TEST_F(ValueAdded, TheSaleSendsItsInputsCutAndTheCountsLowByte) {
    // 2^64 + 44: too long for any integer type, yet its low byte is 44.
    const std::pair<const char*, unsigned char> cases[] = {
        {"300", 44}, {"2", 2}, {"256", 0}, {"abc", 0}, {"", 0}, {"5x", 5}, {"-1", 255},
        {"18446744073709551660", 44}};
    gui::set_text(txt_mt_txn_msg_nbr, "1234");
    gui::set_text(txt_mt_txn_vch_amt, "1234567");
    gui::set_text(txt_mt_txn_prd_id, "100199");
    gui::set_text(txt_mt_txn_csh_id, "C1");
    gui::set_text(txt_mt_txn_gsm_pwd, "123456");
    for (const auto& [typed, count] : cases) {
        SCOPED_TRACE(typed);
        gui::set_text(txt_mt_txn_vch_nbr, typed);
        sale_answered(MobileTopUpRespOut{});
        const auto sent = last_request<MobileTopUpReqIn>("DoMobileTopUpTransaction");
        EXPECT_EQ(sent.VoucherNumbersIn, count);
        EXPECT_EQ(std::string(sent.MessageNumberIn, 3), "123");
        EXPECT_EQ(std::string(sent.VoucherAmountIn, 6), "123456");
        EXPECT_EQ(std::string(sent.ProductIdIn, 5), "10019");
        EXPECT_EQ(std::string(sent.CashierIdIn, 5), std::string("C1\0\0\0", 5));
        EXPECT_EQ(std::string(sent.GSMPasswordIn, 5), "12345");
    }
}

TEST_F(ValueAdded, SaleAndSettlementReadTheirStatusesFromDifferentTables) {
    struct Case {
        const char *status, *sale, *settlement;
    };
    // Codes where the two tables differ, past both ends, and the empty status.
    const Case cases[] = {{"2", "Unable To Authorise", "Unable To Connect"},
                          {"5", "Connection Failure", "Unknown"},
                          {"7", "Unknown", "Unknown"},
                          {"-1", "Unknown", "Unknown"},
                          {"", "", ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("status '") + c.status + "'");
        MobileTopUpRespOut sale{};
        put(sale.TransactionStatusOut, c.status);
        sale_answered(sale);
        EXPECT_EQ(gui::text(txt_mt_txn_resp_txn_status), c.sale);
        MobileTopUpSettlementRespOut settlement{};
        put(settlement.TransactionStatusOut, c.status);
        settlement_answered(settlement);
        EXPECT_EQ(gui::text(txt_mtu_set_resp_txn_resp), c.settlement);
    }
}

TEST_F(ValueAdded, EachProductReplacesTheCustomTextOfTheOneBefore) {
    MobileTopUpConfigurationDataOut configuration{};
    configuration.MobileTopUpProductNumberOut = 3;
    configuration.BarcodeHeightOut = 65535;
    script("GetMobileTopUpConfiguration", configuration);
    const char* texts[] = {"FIRST PRODUCT\nline two", "THIRD PRODUCT"};
    for (const char* text : texts) {
        ProductDataRecordOut product{};
        put(product.CustomTextOut, text);
        script("GetProductData", product);
    }
    gui::click(btn_mt_cfg_get_config);
    ASSERT_TRUE(gui::pump_until([] { return calls("GetProductData") == 1; }));
    ASSERT_TRUE(gui::wait_for_text(txt_mt_cfg_barcode_height, "65535"));
    EXPECT_EQ(gui::rows_of(ls_mt_rec).size(), 3u);
    EXPECT_EQ(last_request<short>("GetProductData"), 1);
    EXPECT_EQ(gui::buffer_text(buf_mt_cfg_custom_text), texts[0]);

    gui::set_active(cmb_mt_cfg_rec_nbr, 2);
    EXPECT_EQ(last_request<short>("GetProductData"), 3);
    EXPECT_EQ(gui::buffer_text(buf_mt_cfg_custom_text), texts[1]);

    script("GetMobileTopUpConfiguration", MobileTopUpConfigurationDataOut{});
    gui::click(btn_mt_cfg_get_config);
    ASSERT_TRUE(gui::wait_for_text(txt_mt_cfg_mob_topup_prd_nbr, "0"));
    EXPECT_EQ(gui::rows_of(ls_mt_rec).size(), 0u);
    EXPECT_EQ(gui::buffer_text(buf_mt_cfg_custom_text), "");
    EXPECT_EQ(calls("GetProductData"), 2u);
}

TEST_F(ValueAdded, VouchersAndDetailRecordsAreFetchedOneBySelection) {
    MobileTopUpRespOut sale{};
    sale.VoucherNumberOut = 2;
    VoucherRecordOut first{};
    put(first.VoucherSerialNumberOut, "SERIAL-1");
    script("GetVoucherRecord", first);
    sale_answered(sale);
    EXPECT_EQ(gui::rows_of(ls_mtu_prd).size(), 2u);
    EXPECT_EQ(gui::active_row(cmb_mt_txn_resp_rec_nbr), 0);
    EXPECT_EQ(gui::text(txt_mt_txn_resp_vch_ser_nbr), "SERIAL-1");
    gui::set_active(cmb_mt_txn_resp_rec_nbr, 1);
    EXPECT_EQ(last_request<short>("GetVoucherRecord"), 2);

    settlement_answered(MobileTopUpSettlementRespOut{});
    EXPECT_EQ(gui::rows_of(ls_mtu_set_resp_rec).size(), 0u);
    EXPECT_EQ(calls("GetSettlementProductData"), 0u);
    EXPECT_EQ(gui::text(txt_mtu_set_resp_prd_prd_id), "");
}

TEST_F(ValueAdded, TheDonationConfigurationShowsItsCodedFields) {
    for (const auto& [mode, shown] :
         {std::pair<unsigned char, const char*>{1, "Top Up"}, {2, "Unknown"}}) {
        PenniesConfigDataOut config{};
        config.DonationModeOut = mode;
        config.TopUpAmountIncrementStepOut = 5;
        config.TxnUploadRequiredOut = 1;
        script("GetPenniesConfiguration", config);
        gui::click(btn_pe_get_pennies_config);
        ASSERT_TRUE(gui::wait_for_text(txt_pe_don_mode, shown));
        EXPECT_EQ(gui::text(txt_pe_top_up_amt_inc_step), "5");
        EXPECT_EQ(gui::text(txt_pe_txn_up_req), "1");
    }
}

class ValueAddedWorkers : public ValueAdded {};

// Two workers of each operation run at once: both calls are made while neither has
// answered, and each worker's first record is fetched on its own thread inside its
// locked section (a selector that took the lock itself would hang here).
TEST_F(ValueAddedWorkers, TwoWorkersOfOneOperationRunAtOnce) {
    struct Operation {
        GtkWidget** button;
        const char *call, *record_call;
    };
    const Operation operations[] = {
        {&btn_mt_cfg_get_config, "GetMobileTopUpConfiguration", "GetProductData"},
        {&btn_mt_txn_do_transaction, "DoMobileTopUpTransaction", "GetVoucherRecord"},
        {&btn_mtu_set_req_do_set, "DoMobileTopUpSettlement", "GetSettlementProductData"},
        {&btn_pe_get_pennies_config, "GetPenniesConfiguration", nullptr},
    };
    MobileTopUpConfigurationDataOut configuration{};
    configuration.MobileTopUpProductNumberOut = 2;
    MobileTopUpRespOut sale{};
    sale.VoucherNumberOut = 3;
    MobileTopUpSettlementRespOut settlement{};
    settlement.TransactionDetailDataRecordNumberOut = 4;
    for (int i = 0; i < 2; ++i) {
        script("GetMobileTopUpConfiguration", configuration);
        script("DoMobileTopUpTransaction", sale);
        script("DoMobileTopUpSettlement", settlement);
    }
    for (const Operation& op : operations)
        korvex_sim_hold(op.call, 1);
    for (const Operation& op : operations) {
        gui::click(*op.button);
        gui::click(*op.button);
    }
    for (const Operation& op : operations)
        EXPECT_TRUE(gui::pump_until([&] { return calls(op.call) == 2; })) << op.call;
    for (const Operation& op : operations)
        korvex_sim_hold(op.call, 0);
    for (const Operation& op : operations) {
        if (op.record_call) {
            EXPECT_TRUE(gui::pump_until([&] { return calls(op.record_call) == 2; }))
                << op.record_call;
        }
    }
    EXPECT_TRUE(gui::wait_for_text(txt_pe_term_identifier, "SIM00001"));
    // The rows are those of one answer, not both lists one after the other.
    EXPECT_EQ(gui::rows_of(ls_mt_rec).size(), 2u);
    EXPECT_EQ(gui::rows_of(ls_mtu_prd).size(), 3u);
    EXPECT_EQ(gui::rows_of(ls_mtu_set_resp_rec).size(), 4u);
    EXPECT_EQ(gui::active_row(cmb_mtu_set_resp_rec_nbr), 0);
}

} // namespace
