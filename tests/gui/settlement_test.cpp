// The end-of-day panels in the window against exact scripted answers.
#include "end_of_day.h"
#include "gui_harness.h"
#include "korvex.h"
#include "sim_txn.h"
#include "ui_components.h"

#include <gtest/gtest.h>

#include <memory>
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

} // namespace
