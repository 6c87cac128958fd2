// The end-of-day and value-added panels in the window against exact scripted answers.
#include "end_of_day.h"
#include "gui_harness.h"
#include "korvex.h"
#include "sim_txn.h"
#include "test_util.h"
#include "ui_components.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

short requested_record() {
    return last_request<SettlementRequestIn>("GetTransactionDetailDataRecord")
        .TxnDetailDataRecordIndexIn;
}

class EndOfDay : public ::testing::Test {
  protected:
    void SetUp() override {
        korvex_sim_reset();
        korvex_sim_set_delay_scale(0);
    }
    // The window is shared by every test of the process: the inputs go back to how
    // start-up left them.
    void TearDown() override {
        for (const char* prefix : {"txt_ata_", "txt_tfr_inp_"})
            for (GtkWidget* entry : gui::entries_named(prefix))
                gui::set_text(entry, "");
        for (GtkWidget* combo :
             {cmb_get_settlement_data_record_type, cmb_exr_update_mth, cmb_tfr_inp_pay_mth})
            gui::set_active(combo, 0);
    }
    template <class Out>
    static void answered(GtkWidget* button, const char* call, const Out& out,
                         const std::atomic<bool>& busy) {
        script(call, out);
        ASSERT_TRUE(gui::press(button, call, busy));
    }
    static void settle(const SettlementResponseOut& out) {
        answered(btn_do_settlement, "DoSettlement", out, DoSettlementState);
    }
    static void settlement_data(const SettlementResponseOut& out) {
        answered(btn_get_settlement_data, "GetSettlementData", out, GetSettlementDataState);
    }
    static void update_rates(const ExchangeRateUpdateOut& out) {
        answered(btn_exr_do_exr_update, "Exchange_Rate_Update_Launch", out,
                 ExchangeRateUpdateState);
    }
    static AdjustTipAmountIn adjust_tip(short result) {
        answered(btn_adjust_tip_amount, "AdjustTipAmount", AdjustTipAmountOut{result, 0},
                 AdjustTipAmountState);
        return last_request<AdjustTipAmountIn>("AdjustTipAmount");
    }
    static void tax_free(const TFRTransactionOut& out) {
        answered(btn_tfr_inp_start_tax_free, "DoTaxFreeRefund", out, TaxFreeRefundState);
    }
};

TEST_F(EndOfDay, TheChosenRowFetchesItsOwnRecordNumber) {
    SettlementDataRecordOut first{};
    put(first.InvoiceNumberOut, "000001");
    script("GetTransactionDetailDataRecord", first);
    settle(settlement_with_records(3));
    EXPECT_EQ(gui::rows_of(ls_setm_rec), (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(gui::active_row(cmb_settlement_record_num), 0);
    EXPECT_EQ(requested_record(), 1) << "the worker fetches record 1 itself";
    EXPECT_EQ(gui::text(txt_sett_output_invoice_number), "000001");
    EXPECT_EQ(gui::text(txt_request_output), "OK") << "the settlement's own code goes last";

    for (int row : {2, 1}) {
        gui::set_active(cmb_settlement_record_num, row);
        EXPECT_EQ(requested_record(), row + 1) << "row \"" << row + 1 << "\"";
    }
    EXPECT_EQ(gui::text(txt_sett_output_debit_count), "") << "the totals are not touched";
}

TEST_F(EndOfDay, ClearingTheSelectorFetchesNothing) {
    settle(settlement_with_records(2));
    gui::set_active(cmb_settlement_record_num, 1);
    const std::size_t fetched = calls("GetTransactionDetailDataRecord");
    for (GtkWidget* button : {btn_do_settlement, btn_get_settlement_data}) {
        const char* call = button == btn_do_settlement ? "DoSettlement" : "GetSettlementData";
        const std::size_t before = calls(call);
        korvex_sim_hold(call, 1);
        gui::click(button);
        ASSERT_TRUE(gui::pump_until([&] { return calls(call) > before; }));
        EXPECT_TRUE(gui::rows_of(ls_setm_rec).empty());
        EXPECT_EQ(calls("GetTransactionDetailDataRecord"), fetched);
        script(call, SettlementResponseOut{});
        korvex_sim_hold(call, 0);
        ASSERT_TRUE(gui::pump_until([] { return !DoSettlementState && !GetSettlementDataState; }));
        EXPECT_EQ(calls("GetTransactionDetailDataRecord"), fetched) << "a count of 0 adds no row";
    }
}

TEST_F(EndOfDay, ASecondPressReplacesTheRowsOfBothSelectors) {
    settle(settlement_with_records(4));
    gui::set_active(cmb_get_settlement_data_record_type, 1);
    settlement_data(settlement_with_records(2));
    EXPECT_EQ(gui::rows_of(ls_setm_rec), (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(last_request<SettlementRequestIn>("GetSettlementData").SettlementRecordTypeIn, 1);
    gui::set_active(cmb_get_settlement_data_record_type, -1);
    settlement_data(settlement_with_records(1));
    EXPECT_EQ(last_request<SettlementRequestIn>("GetSettlementData").SettlementRecordTypeIn, 0);

    ExchangeRateUpdateOut update{};
    update.OperationStatusOut = 1;
    update.NumberOfAvailableCurrenciesOut = 3;
    update_rates(update);
    gui::set_active(cmb_exr_rec_nbr, 2);
    EXPECT_EQ(last_request<short>("GetCurrencyDetails"), 3);
    CurrencyDetailsRecordOut currency{};
    put(currency.CurrencyCodeOut, "826");
    currency.ConversionExponentOut = 4;
    put(currency.ConversionRateOut, "8567");
    script("GetCurrencyDetails", currency);
    update.NumberOfAvailableCurrenciesOut = 2;
    gui::set_active(cmb_exr_update_mth, 1);
    update_rates(update);
    EXPECT_EQ(last_request<ExchangeRateUpdateIn>("Exchange_Rate_Update_Launch").UpdateMethodIn, 1);
    EXPECT_EQ(gui::rows_of(ls_exr_rec), (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(last_request<short>("GetCurrencyDetails"), 1);
    EXPECT_EQ(gui::text(txt_exr_cur_code), "826") << "the digits, not the pound sign";
    EXPECT_EQ(gui::text(txt_exr_conv_exp), "4");
    EXPECT_EQ(gui::text(txt_exr_conv_rate), "8567");
    EXPECT_EQ(gui::text(txt_exr_avail_curs), "2");
}

TEST_F(EndOfDay, TipsArePaddedTheTotalIsNot) {
    gui::set_text(txt_ata_invoice_num, "12345678");
    gui::set_text(txt_ata_total_amount, "150");
    gui::set_text(txt_ata_old_tip_amount, "150");
    gui::set_text(txt_ata_new_tip_amount, "");
    gui::set_text(txt_ata_cashier_id, "C1");
    AdjustTipAmountIn in = adjust_tip(1);
    EXPECT_EQ(whole_field(in.InvoiceNumberIn), "1234567");
    EXPECT_EQ(whole_field(in.TotalAmountIn), std::string("150") + std::string(10, '\0'));
    EXPECT_EQ(whole_field(in.OldTipAmountIn), std::string("000000000150") + '\0');
    EXPECT_EQ(whole_field(in.NewTipAmountIn), std::string(13, '\0'));
    EXPECT_EQ(gui::text(txt_ata_update_status), "Update Succeeded");
    EXPECT_EQ(gui::text_color(txt_ata_update_status), "#008000");

    gui::set_text(txt_ata_old_tip_amount, "123456789012");
    gui::set_text(txt_ata_new_tip_amount, "1234567890123456");
    in = adjust_tip(2);
    EXPECT_EQ(whole_field(in.OldTipAmountIn), std::string("123456789012") + '\0');
    EXPECT_EQ(whole_field(in.NewTipAmountIn), "1234567890123");
    EXPECT_EQ(gui::text(txt_ata_update_status), "Unknown");
    EXPECT_EQ(gui::text_color(txt_ata_update_status), "#ff0000");
    adjust_tip(0);
    EXPECT_EQ(gui::text(txt_ata_update_status), "Update Failed");
}

TEST_F(EndOfDay, CodedFieldsAtTheirEdges) {
    for (const auto& [status, shown] : std::vector<std::pair<const char*, const char*>>{
             {"", ""}, {"2", "Unable To Connect"}, {"4", "No Transaction"}, {"5", "Unknown"}}) {
        SettlementResponseOut out{};
        put(out.SettlementStatusOut, status);
        out.IsGratuityEnabledOut = 2;
        out.IsShiftProcessEnabledOut = 0x0101; // the low byte counts
        settlement_data(out);
        EXPECT_EQ(gui::text(txt_sett_output_settlement_status), shown) << "'" << status << "'";
        EXPECT_EQ(gui::text(txt_sett_output_is_gratuity_enabled), "UNKNOWN");
        EXPECT_EQ(gui::text(txt_sett_output_is_shift_proc_enabled), "TRUE");
    }

    const struct {
        const char* currency;
        short bank;
        const char* entry;
        const char *currency_shown, *bank_shown, *entry_shown;
        const char *type, *type_shown; // an empty type is the value 0
    } records[] = {{"978", 0, "", "\xe2\x82\xac", "Non Bank Funded", "", "14", "CANCEL"},
                   {"756", 1, "3", "CHF", "Bank Funded", "Inserted", "", "SALE"},
                   {"999", 5, "9", "", "Unknown", "Unknown", "16", ""}};
    for (const auto& r : records) {
        SettlementDataRecordOut record{};
        put(record.TransactionCurrencyCodeOut, r.currency);
        record.BankTypeOut = r.bank;
        put(record.EntryMethodOut, r.entry);
        put(record.TransactionTypeOut, r.type);
        record.IsDCCTxnEligibleOut = 0x0101; // the low bytes count
        record.IsDCCTxnAcceptedOut = 0x0100;
        script("GetTransactionDetailDataRecord", record);
        settle(settlement_with_records(1));
        EXPECT_EQ(gui::text(txt_sett_output_txn_currency_code), r.currency_shown) << r.currency;
        EXPECT_EQ(gui::text(txt_sett_output_bank_type), r.bank_shown);
        EXPECT_EQ(gui::text(txt_sett_output_entry_method), r.entry_shown);
        EXPECT_EQ(gui::text(txt_sett_output_txn_type), r.type_shown) << "'" << r.type << "'";
        EXPECT_EQ(gui::text(txt_sett_output_is_dcc_txn_eligible), "TRUE");
        EXPECT_EQ(gui::text(txt_sett_output_is_dcc_txn_accepted), "FALSE");
    }

    for (const auto& [status, shown] :
         std::vector<std::pair<short, const char*>>{{0, "Merchant Not DCC Enabled"}, {4, ""}}) {
        ExchangeRateUpdateOut out{};
        out.OperationStatusOut = status;
        update_rates(out);
        EXPECT_EQ(gui::text(txt_exr_op_status), shown);
        EXPECT_TRUE(gui::rows_of(ls_exr_rec).empty());
    }

    for (const auto& [status, shown] : std::vector<std::pair<const char*, const char*>>{
             {"1", "Successful"}, {"0", "Failed"}, {"5", "Unknown"}, {"", ""}}) {
        auto out = std::make_unique<TFRTransactionOut>();
        put(out->TransactionStatusOut, status);
        put(out->CurrencyCodeOut, status[0] ? "826" : "");
        tax_free(*out);
        EXPECT_EQ(gui::text(txt_tfr_out_txn_status), shown) << "'" << status << "'";
        EXPECT_EQ(gui::text(txt_tfr_out_cur_code), status[0] ? "\xc2\xa3" : "");
    }
}

TEST_F(EndOfDay, TaxFreeRequestAndTheWholeForm) {
    gui::set_text(txt_tfr_inp_msg_nbr, "1234");
    gui::set_text(txt_tfr_inp_form_nbr, "1234567");
    gui::set_text(txt_tfr_inp_sae_csh_amt, "24000");
    gui::set_active(cmb_tfr_inp_pay_mth, -1);
    auto out = std::make_unique<TFRTransactionOut>();
    put(out->TaxRefundAmountOut, "00003400");
    put(out->CashStringOut, std::string(400, 'x'));
    put(out->OffUseStatement1Out, "for official use");
    tax_free(*out);
    const TFRTransactionIn in = last_request<TFRTransactionIn>("DoTaxFreeRefund");
    EXPECT_EQ(whole_field(in.MessageNumberIn), "123");
    EXPECT_EQ(whole_field(in.TaxFreeFormNumberIn), "123456");
    EXPECT_EQ(in.PaymentMethodIn, 0);
    EXPECT_EQ(whole_field(in.SaleCashAmountIn), std::string("24000") + std::string(4, '\0'));
    EXPECT_EQ(gui::text(txt_tfr_out_tax_ref_amt), "00003400");
    EXPECT_EQ(gui::text(txt_tfr_out_cash_string), std::string(400, 'x'));
    for (GtkWidget* entry : gui::entries_named("txt_tfr_out_"))
        EXPECT_NE(gui::text(entry), "for official use") << gui::id_of(entry);
    gui::set_active(cmb_tfr_inp_pay_mth, 1);
    tax_free(TFRTransactionOut{});
    EXPECT_EQ(last_request<TFRTransactionIn>("DoTaxFreeRefund").PaymentMethodIn, 1);
    EXPECT_EQ(gui::text(txt_tfr_out_cash_string), "") << "every entry is emptied first";
}

// The value-added services in the window: what the donation, top-up configuration,
// voucher sale and top-up settlement panels send, how they show the answers
// (character set of the host message, the two status tables, custom texts), their
// record selectors, and workers of one operation running at once.
// On a fresh terminal, as the end-of-day tests.
class ValueAdded : public EndOfDay {
  protected:
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
