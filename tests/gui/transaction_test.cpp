// The transaction panel as the operator uses it: what the start button sends to
// the terminal, how each response is shown, the busy and no-type cases, and the
// last transaction fetched back.
#include "transactions.h"
#include "gui_harness.h"
#include "korvex.h"
#include "test_util.h"
#include "ui_components.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace {

using gui::kGreen, gui::kRed;

std::map<std::string, std::string> output_panel() {
    std::map<std::string, std::string> shown;
    for (GtkWidget* entry : gui::entries_named("txt_txn_output_"))
        shown[gui::id_of(entry)] = gui::text(entry);
    EXPECT_EQ(shown.size(), 60u);
    return shown;
}

// clang-format off
#define SHARED_TEXT_FIELDS(X) X(MessageNumberOut) X(EntryMethodOut) X(AcquirerMerchantIDOut) \
    X(DateTimeOut) X(CardSchemeNameOut) X(PANOut) X(StartDateOut) X(ExpiryDateOut) \
    X(AuthorisationCodeOut) X(AcquirerResponseCodeOut) X(MerchantNameOut) X(MerchantAddress1Out) \
    X(MerchantAddress2Out) X(MerchantAddress3Out) X(MerchantAddress4Out) X(TotalAmountOut) \
    X(AdditionalAmountOut) X(EMVCardExpDateOut) X(AppEffectiveDateOut) X(AIDOut) \
    X(AppPreferredNameOut) X(AppLabelOut) X(TerminalIdentifierOut) X(EMVTxnTypeOut) \
    X(AppCryptogramOut) X(RetrievalReferenceNumberOut) X(InvoiceNumberOut) X(BatchNumberOut) \
    X(AcquirerNameOut) X(CustomLine1Out) X(CustomLine2Out) X(CustomLine3Out) X(CustomLine4Out) \
    X(DCCAmountOut) X(ConversionRateOut) X(CommissionOut) X(TerminalCountryCodeOut) \
    X(FXmarkupOut) X(PANSequenceNumberOut) X(CashierIdOut) X(TableIdOut) X(CardholderNameOut) \
    X(AvailableBalanceOut) X(ApplicationIdOut) X(PreAuthRefNumOut) X(CommercialCodeDataOut) \
    X(DonationAmountOut) X(AVSResponseOut) X(PartialAmountOut)
// clang-format on

// Fills every shared text field to its whole width (no terminator anywhere) with a
// text that no other field has, and the coded fields with values whose texts
// differ; returns the texts put into the text fields.
template <class Out> std::vector<std::string> fill_distinct(Out& out) {
    std::vector<std::string> texts;
    auto fill = [&](auto& field) {
        const int index = static_cast<int>(texts.size());
        std::string text = {static_cast<char>('A' + index / 26),
                            static_cast<char>('a' + index % 26)};
        text.resize(sizeof field, static_cast<char>('0' + index % 10));
        std::memcpy(field, text.data(), sizeof field);
        texts.push_back(text);
    };
#define FILL(field) fill(out.field);
    SHARED_TEXT_FIELDS(FILL)
#undef FILL
    put(out.TransactionStatusOut, "14");
    put(out.TransactionCurrencyCodeOut, "978");
    put(out.CardCurrencyCodeOut, "826");
    put(out.TerminalCurrencyCodeOut, "840");
    out.TransactionCurrenyExponentOut = 2;
    if constexpr (requires { out.CardCurrencyExpOut; })
        out.CardCurrencyExpOut = -1;
    else
        out.CardCurrencyExponentOut = -1;
    out.FXExponentAppliedOut = 300;
    out.TerminalCurrencyExponentOut = -32768;
    out.IsDCCTxnOut = 1;
    out.IsTaxFreeRequiredOut = 256; // low byte 0
    out.IsExchangeRateUpdateRequiredOut = 2;
    put(out.HostTextOut, "HOST SAYS HELLO");
    return texts;
}

class Transactions : public ::testing::Test {
  protected:
    void SetUp() override {
        korvex_sim_reset();
        korvex_sim_set_delay_scale(0);
        gui::stop_answering_dialogs();
        gui::answered_dialogs();
        gui::clear_transaction_inputs();
        gui::set_active(cmb_txn_type, 0);
    }

    // Sends the panel with a scripted empty answer and returns the request record.
    Transaction_in sent_request() {
        show_transaction(Transaction_out{});
        return last_request<Transaction_in>("Transaction_Launch");
    }
    void show_transaction(const Transaction_out& out) {
        script("Transaction_Launch", out);
        ASSERT_TRUE(gui::press(btn_start_txn, "Transaction_Launch", Txnstate));
    }
    void show_last_transaction(const GetLastTxnData_out& out) {
        script("GetLastTxnData_Launch", out);
        ASSERT_TRUE(gui::press(btn_get_last_txn_data, "GetLastTxnData_Launch", TxnRecovery));
    }
};

TEST_F(Transactions, AmountsArePaddedToTwelveDigitsAndCutToTheirField) {
    struct Case {
        const char* typed;
        std::string sent; // all 13 bytes of the field
    };
    const Case cases[] = {
        {"150", std::string("000000000150") + '\0'},
        {"", std::string(13, '\0')},
        {"123456789012", std::string("123456789012") + '\0'},
        {"1234567890123", "1234567890123"},
        {"12345678901234567", "1234567890123"},
        {"12a", std::string("00000000012a") + '\0'}, // the terminal judges digits
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        for (GtkWidget* entry : {txt_txn_input_amount1, txt_txn_input_amount2,
                                 txt_txn_input_amount3, txt_txn_input_amount4})
            gui::set_text(entry, c.typed);
        const Transaction_in in = sent_request();
        for (const std::string& sent : {whole_field(in.Amount1In), whole_field(in.Amount2In),
                                        whole_field(in.Amount3In), whole_field(in.Amount4In)})
            EXPECT_EQ(sent, c.sent);
    }
}

TEST_F(Transactions, TextFieldsAreCopiedAsTypedAndCut) {
    gui::set_text(txt_txn_input_msg_num, "007");
    gui::set_text(txt_txn_input_amount1_label, "A label of 25 characters");
    gui::set_text(txt_txn_input_amount2_label, "Prix \xc3\xa0 payer");
    gui::set_text(txt_txn_input_invoice_num, "1234567890");
    gui::set_text(txt_txn_input_auth_code, "XYZ123");
    const Transaction_in in = sent_request();
    EXPECT_EQ(whole_field(in.MessageNumberIn), "007");
    EXPECT_EQ(whole_field(in.Amount1LabelIn), "A label of 25 charac");
    EXPECT_EQ(whole_field(in.Amount2LabelIn),
              std::string("Prix \xc3\xa0 payer") + std::string(7, '\0'));
    EXPECT_EQ(whole_field(in.InvoiceNumberIn), "1234567");
    EXPECT_EQ(whole_field(in.AuthorisationCodeIn), std::string("XYZ123\0", 7));
    // The request record goes out zero-filled: padding bytes included.
    const auto* raw = reinterpret_cast<const unsigned char*>(&in);
    EXPECT_EQ(raw[205], 0);
    EXPECT_EQ(raw[215], 0);
}

TEST_F(Transactions, TheTypeRowAndTheSuspectedFraudInputAreSentAsCodes) {
    for (int row = 0; row < 16; ++row) {
        gui::set_active(cmb_txn_type, row);
        const std::string code = {static_cast<char>('0' + row / 10),
                                  static_cast<char>('0' + row % 10), '\0'};
        EXPECT_EQ(whole_field(sent_request().TransactionTypeIn), code) << "row " << row;
    }
    // Only the first character of the suspected fraud input counts.
    for (const auto& [typed, sent] :
         std::vector<std::pair<const char*, short>>{{"1", 49}, {"10", 49}, {"", 0}, {"Y", 89}}) {
        gui::set_text(txt_txn_input_suspected_fraud, typed);
        EXPECT_EQ(sent_request().SuspectedFraudIndicatorIn, sent) << "'" << typed << "'";
    }
}

// A press while the call runs: see WorkerButtons.

TEST_F(Transactions, WithoutATypeTheOperatorIsToldAndNothingIsSent) {
    gui::set_active(cmb_txn_type, -1);
    gui::set_text(txt_txn_output_txn_status, "old status");
    gui::set_text(txt_request_output, "old result");
    gui::set_toggle(rad_sign_ok, true);
    gui::answer_dialogs(GTK_RESPONSE_OK);
    gui::click(btn_start_txn);
    gui::stop_answering_dialogs();

    const std::vector<gui::DialogAnswer> dialogs = gui::answered_dialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].text, "You must choose a transaction type.");
    EXPECT_EQ(calls("Transaction_Launch"), 0u);
    EXPECT_FALSE(Txnstate);
    EXPECT_EQ(gui::text(txt_txn_output_txn_status), "");
    EXPECT_EQ(gui::text(txt_request_output), "");
    EXPECT_TRUE(gui::toggled(none_btn_sign)) << "no signature answer is preselected";
}

TEST_F(Transactions, AZeroedAnswerOfAFailedCallShowsEmptyFieldsZerosAndFalse) {
    Transaction_out out{};
    out.DiagRequestOut = 1;
    show_transaction(out);
    EXPECT_EQ(gui::text(txt_request_output), "Unable To Connect");
    EXPECT_EQ(gui::settled_color(txt_request_output, kRed), kRed);
    const std::map<std::string, std::string> numbers = {
        {"txt_txn_output_txn_currency_exp", "0"}, {"txt_txn_output_card_currency_exp", "0"},
        {"txt_txn_output_terminal_currency_exp", "0"}, {"txt_txn_output_fx_exp_applied", "0"},
        {"txt_txn_output_is_dcc_txn", "FALSE"}, {"txt_txn_output_tax_free_requirement", "FALSE"},
        {"txt_txn_output_exchange_rate_update_requirement", "FALSE"}};
    for (const auto& [id, shown] : output_panel()) {
        const auto special = numbers.find(id);
        EXPECT_EQ(shown, special == numbers.end() ? "" : special->second) << id;
    }
    EXPECT_EQ(gui::buffer_text(buf_host_msg), "");
}

TEST_F(Transactions, EveryFieldReachesItsOwnEntryAtItsWholeWidth) {
    Transaction_out out{};
    std::vector<std::string> expected = fill_distinct(out);
    gui::set_buffer(buf_host_msg, "EARLIER"); // replaced, not added to
    show_transaction(out);
    EXPECT_EQ(gui::text(txt_request_output), "OK");
    EXPECT_EQ(gui::settled_color(txt_request_output, kGreen), kGreen);

    std::map<std::string, std::string> shown = output_panel();
    const std::pair<const char*, const char*> coded[] = { // entries txt_txn_output_*
        {"txn_status", "CashBack Not Allowed"}, {"txn_currency_code", "\u20ac"},
        {"card_currency_code", "\u00a3"}, {"terminal_currency_code", "$"},
        {"txn_currency_exp", "2"}, {"card_currency_exp", "-1"}, {"fx_exp_applied", "300"},
        {"terminal_currency_exp", "-32768"}, {"is_dcc_txn", "TRUE"},
        {"tax_free_requirement", "FALSE"}, {"exchange_rate_update_requirement", "UNKNOWN"}};
    for (const auto& [name, text] : coded)
        EXPECT_EQ(shown[std::string("txt_txn_output_") + name], text) << name;
    EXPECT_EQ(gui::buffer_text(buf_host_msg), "HOST SAYS HELLO");

    // Each text field is shown whole, once, in an entry of its own.
    std::vector<std::string> texts;
    for (const auto& [id, text] : shown)
        if (std::find(expected.begin(), expected.end(), text) != expected.end())
            texts.push_back(text);
    std::sort(texts.begin(), texts.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(texts, expected);

    // The last transaction's record holds the same fields elsewhere: shown with the
    // same values, the panel must look the same.
    GetLastTxnData_out last{};
    fill_distinct(last);
    show_last_transaction(last);
    EXPECT_EQ(output_panel(), shown);
    EXPECT_EQ(gui::buffer_text(buf_host_msg), "HOST SAYS HELLO");
}

TEST_F(Transactions, LastTransactionRequestSideAndTypeName) {
    GetLastTxnData_out out{};
    put(out.TransactionTypeOut, "15");
    put(out.Amount1Out, "000000006000");
    std::memcpy(out.Amount2Out, "1234567890123", 13);
    std::memcpy(out.Amount4LabelOut, "Twenty characters!!!", 20);
    put(out.CommercialCodeOut, "AB");
    out.SuspectedFraudIndicatorOut = 49;
    out.CardCurrencyExponentOut = 3;
    show_last_transaction(out);
    for (const auto& [entry, shown] : std::vector<std::pair<GtkWidget*, const char*>>{
             {txt_gltd_txn_type, "PRE-AUTH INCREMENT"}, {txt_gltd_amount1, "000000006000"},
             {txt_gltd_amount2, "1234567890123"}, {txt_gltd_amount3, ""},
             {txt_gltd_amount4_label, "Twenty characters!!!"}, {txt_gltd_commercial_code, "AB"},
             {txt_gltd_suspected_fraud, "49"}, {txt_txn_output_card_currency_exp, "3"}})
        EXPECT_EQ(gui::text(entry), shown) << gui::id_of(entry);

    put(out.TransactionTypeOut, ""); // not read as 0, a sale
    out.SuspectedFraudIndicatorOut = -1;
    out.DiagRequestOut = 10;
    show_last_transaction(out);
    EXPECT_EQ(gui::text(txt_gltd_txn_type), "");
    EXPECT_EQ(gui::text(txt_gltd_suspected_fraud), "-1");
    EXPECT_EQ(gui::text(txt_request_output), "No Received Data");
}

} // namespace
