// The transaction panel as the operator uses it: what the start button sends to
// the terminal, how each response is shown, the busy and no-type cases, and the
// last transaction fetched back.
#include "ecr_Routines.h"
#include "gui_harness.h"
#include "korvex.h"
#include "korvex_sim.h"
#include "test_env.h"
#include "ui_components.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr const char* kRed = "#ff0000";
constexpr const char* kGreen = "#008000";

template <std::size_t N> void put(char (&field)[N], const std::string& text) {
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), std::min(text.size(), N));
}

template <std::size_t N> std::string bytes(const char (&field)[N]) {
    return std::string(field, N);
}

// The 60 entries of the transaction output panel.
std::vector<GtkWidget*> output_entries() {
    return {txt_txn_output_msg_number,
            txt_txn_output_txn_status,
            txt_txn_output_total_amount,
            txt_txn_output_additional_amount,
            txt_txn_output_available_balance,
            txt_txn_output_cashier_id,
            txt_txn_output_table_id,
            txt_txn_output_txn_currency_code,
            txt_txn_output_txn_currency_exp,
            txt_txn_output_date_time,
            txt_txn_output_acq_merchant_id,
            txt_txn_output_acq_merchant_name,
            txt_txn_output_auth_code,
            txt_txn_output_acq_response_code,
            txt_txn_output_retreival_ref_num,
            txt_txn_output_emv_txn_type,
            txt_txn_output_invoice_num,
            txt_txn_output_batch_num,
            txt_txn_output_pre_auth_ref_num,
            txt_txn_output_tax_free_requirement,
            txt_txn_output_exchange_rate_update_requirement,
            txt_txn_output_is_dcc_txn,
            txt_txn_output_dcc_amount,
            txt_txn_output_conversion_rate,
            txt_txn_output_fx_exp_applied,
            txt_txn_output_commission,
            txt_txn_output_terminal_country_code,
            txt_txn_output_terminal_currency_code,
            txt_txn_output_terminal_currency_exp,
            txt_txn_output_fx_markup,
            txt_txn_output_custom_line1,
            txt_txn_output_custom_line2,
            txt_txn_output_custom_line3,
            txt_txn_output_custom_line4,
            txt_txn_output_merchant_name,
            txt_txn_output_merchant_address1,
            txt_txn_output_merchant_address2,
            txt_txn_output_merchant_address3,
            txt_txn_output_merchant_address4,
            txt_txn_output_terminal_id,
            txt_txn_output_application_id,
            txt_txn_output_commercial_code_data,
            txt_txn_output_cardholder_name,
            txt_txn_output_card_scheme_name,
            txt_txn_output_card_currency_code,
            txt_txn_output_card_currency_exp,
            txt_txn_output_app_label,
            txt_txn_output_app_preferred_name,
            txt_txn_output_aid,
            txt_txn_output_app_effective_date,
            txt_txn_output_pan,
            txt_txn_output_app_cryptogram,
            txt_txn_output_pan_seq_num,
            txt_txn_output_start_date,
            txt_txn_output_expiry_date,
            txt_txn_output_emv_card_exp_date,
            txt_txn_output_entry_method,
            txt_txn_output_donation_amount,
            txt_txn_output_avs_response,
            txt_txn_output_partial_auth_amount};
}

// The entry's text colour once a colour change has finished its transition.
std::string settled_colour(GtkWidget* widget, const std::string& expected) {
    std::string colour = gui::text_color(widget);
    for (int i = 0; i < 100 && colour != expected; ++i) {
        gui::pump(20);
        colour = gui::text_color(widget);
    }
    return colour;
}

const char* id_of(GtkWidget* widget) {
    return gtk_buildable_get_name(GTK_BUILDABLE(widget));
}

std::map<std::string, std::string> output_panel() {
    std::map<std::string, std::string> shown;
    for (GtkWidget* entry : output_entries())
        shown[id_of(entry)] = gui::text(entry);
    return shown;
}

// The text fields that the transaction records share, by name.
#define SHARED_TEXT_FIELDS(X)                                                                      \
    X(MessageNumberOut)                                                                            \
    X(EntryMethodOut) X(AcquirerMerchantIDOut) X(DateTimeOut) X(CardSchemeNameOut) X(PANOut)       \
        X(StartDateOut) X(ExpiryDateOut) X(AuthorisationCodeOut) X(AcquirerResponseCodeOut) X(     \
            MerchantNameOut) X(MerchantAddress1Out) X(MerchantAddress2Out) X(MerchantAddress3Out)  \
            X(MerchantAddress4Out) X(TotalAmountOut) X(AdditionalAmountOut) X(EMVCardExpDateOut)   \
                X(AppEffectiveDateOut) X(AIDOut) X(AppPreferredNameOut) X(AppLabelOut)             \
                    X(TerminalIdentifierOut) X(EMVTxnTypeOut) X(AppCryptogramOut)                  \
                        X(RetrievalReferenceNumberOut) X(InvoiceNumberOut) X(BatchNumberOut)       \
                            X(AcquirerNameOut) X(CustomLine1Out) X(CustomLine2Out)                 \
                                X(CustomLine3Out) X(CustomLine4Out) X(DCCAmountOut)                \
                                    X(ConversionRateOut) X(CommissionOut)                          \
                                        X(TerminalCountryCodeOut) X(FXmarkupOut)                   \
                                            X(PANSequenceNumberOut) X(CashierIdOut) X(TableIdOut)  \
                                                X(CardholderNameOut) X(AvailableBalanceOut)        \
                                                    X(ApplicationIdOut) X(PreAuthRefNumOut)        \
                                                        X(CommercialCodeDataOut)                   \
                                                            X(DonationAmountOut) X(AVSResponseOut) \
                                                                X(PartialAmountOut)

// Fills every shared text field to its whole width (no terminator anywhere) with a
// text that no other field has, and the coded fields with values whose texts
// differ; returns the texts put into the text fields.
template <class Out> std::vector<std::string> fill_distinct(Out& out) {
    std::vector<std::string> texts;
    int index = 0;
    auto fill = [&](auto& field) {
        std::string text = {static_cast<char>('A' + index / 26),
                            static_cast<char>('a' + index % 26)};
        text.resize(sizeof field, static_cast<char>('0' + index % 10));
        std::memcpy(field, text.data(), sizeof field);
        texts.push_back(text);
        ++index;
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

bool operator_sees_no_work() {
    return !Txnstate && !TxnRecovery;
}

class Transactions : public ::testing::Test {
  protected:
    void SetUp() override {
        korvex_sim_reset();
        korvex_sim_set_delay_scale(0);
        gui::stop_answering_dialogs();
        gui::answered_dialogs();
        for (GtkWidget* entry :
             {txt_txn_input_msg_num, txt_txn_input_amount1, txt_txn_input_amount2,
              txt_txn_input_amount3, txt_txn_input_amount4, txt_txn_input_custom_line1,
              txt_txn_input_invoice_num, txt_txn_input_cashier_id, txt_txn_input_table_id,
              txt_txn_input_commercial_code, txt_txn_input_pre_auth_ref_num,
              txt_txn_input_suspected_fraud, txt_txn_input_auth_code})
            gui::set_text(entry, "");
        gui::set_active(cmb_txn_type, 0);
    }

    // Presses the start button and waits until the worker has shown the answer.
    void start_transaction() {
        const std::size_t before = korvex_sim_request_count("Transaction_Launch");
        gui::click(btn_start_txn);
        ASSERT_TRUE(gui::pump_until(
            [&] { return !Txnstate && korvex_sim_request_count("Transaction_Launch") > before; }));
    }

    void fetch_last_transaction() {
        const std::size_t before = korvex_sim_request_count("GetLastTxnData_Launch");
        gui::click(btn_get_last_txn_data);
        ASSERT_TRUE(gui::pump_until([&] {
            return !TxnRecovery && korvex_sim_request_count("GetLastTxnData_Launch") > before;
        }));
    }

    // Sends the panel with a scripted empty answer and returns the request record.
    Transaction_in sent_request() {
        Transaction_out answer{};
        korvex_sim_script("Transaction_Launch", &answer, sizeof answer);
        start_transaction();
        Transaction_in in{};
        EXPECT_EQ(korvex_sim_last_request("Transaction_Launch", &in, sizeof in), sizeof in);
        return in;
    }

    void show_transaction(const Transaction_out& out) {
        korvex_sim_script("Transaction_Launch", &out, sizeof out);
        start_transaction();
    }

    void show_last_transaction(const GetLastTxnData_out& out) {
        korvex_sim_script("GetLastTxnData_Launch", &out, sizeof out);
        fetch_last_transaction();
    }
};

// ---------------------------------------------------------------------------
// Request encoding

TEST_F(Transactions, AmountsArePaddedToTwelveDigitsAndCutToTheirField) {
    struct Case {
        const char* typed;
        std::string sent; // all 13 bytes of the field
    };
    const Case cases[] = {
        {"150", std::string("000000000150") + '\0'},
        {"", std::string(13, '\0')},
        {"1", std::string("000000000001") + '\0'},
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
        EXPECT_EQ(bytes(in.Amount1In), c.sent);
        EXPECT_EQ(bytes(in.Amount2In), c.sent);
        EXPECT_EQ(bytes(in.Amount3In), c.sent);
        EXPECT_EQ(bytes(in.Amount4In), c.sent);
    }
}

TEST_F(Transactions, TextFieldsAreCopiedAsTypedAndCut) {
    gui::set_text(txt_txn_input_msg_num, "7");
    gui::set_text(txt_txn_input_amount1_label, "A label of 25 characters");
    gui::set_text(txt_txn_input_amount2_label, "Prix \xc3\xa0 payer");
    gui::set_text(txt_txn_input_custom_line1, " spaced ");
    gui::set_text(txt_txn_input_invoice_num, "1234567890");
    gui::set_text(txt_txn_input_cashier_id, "C1");
    gui::set_text(txt_txn_input_table_id, "T9");
    gui::set_text(txt_txn_input_commercial_code, "AB");
    gui::set_text(txt_txn_input_pre_auth_ref_num, "87654321");
    gui::set_text(txt_txn_input_auth_code, "XYZ123");
    Transaction_in in = sent_request();
    EXPECT_EQ(bytes(in.MessageNumberIn), std::string("7\0\0", 3));
    EXPECT_EQ(bytes(in.Amount1LabelIn), "A label of 25 charac");
    EXPECT_EQ(bytes(in.Amount2LabelIn), std::string("Prix \xc3\xa0 payer") + std::string(7, '\0'));
    EXPECT_EQ(bytes(in.CustomLine1In).substr(0, 9), std::string(" spaced \0", 9));
    EXPECT_EQ(bytes(in.InvoiceNumberIn), "1234567");
    EXPECT_EQ(bytes(in.CashierIdIn), std::string("C1\0\0\0", 5));
    EXPECT_EQ(bytes(in.TableIdIn), std::string("T9\0", 3));
    EXPECT_EQ(bytes(in.CommercialCodeIn), std::string("AB\0", 3));
    EXPECT_EQ(bytes(in.PreAuthRefNumIn), std::string("87654321\0", 9));
    EXPECT_EQ(bytes(in.AuthorisationCodeIn), std::string("XYZ123\0", 7));

    gui::set_text(txt_txn_input_msg_num, "007");
    in = sent_request();
    EXPECT_EQ(bytes(in.MessageNumberIn), "007");

    // The request record goes out zero-filled: padding bytes included.
    const auto* raw = reinterpret_cast<const unsigned char*>(&in);
    EXPECT_EQ(raw[205], 0);
    EXPECT_EQ(raw[215], 0);
}

TEST_F(Transactions, EachRowOfTheTypeBoxSendsItsCode) {
    for (int row = 0; row < 16; ++row) {
        gui::set_active(cmb_txn_type, row);
        const Transaction_in in = sent_request();
        char expected[3];
        std::snprintf(expected, sizeof expected, "%02d", row);
        EXPECT_EQ(bytes(in.TransactionTypeIn), std::string(expected, 3)) << "row " << row;
    }
}

TEST_F(Transactions, OnlyTheFirstCharacterOfTheSuspectedFraudInputCounts) {
    struct Case {
        const char* typed;
        short sent;
    };
    for (const Case& c : {Case{"1", 49}, Case{"10", 49}, Case{"", 0}, Case{"Y", 89}}) {
        gui::set_text(txt_txn_input_suspected_fraud, c.typed);
        EXPECT_EQ(sent_request().SuspectedFraudIndicatorIn, c.sent) << "'" << c.typed << "'";
    }
}

// ---------------------------------------------------------------------------
// The start button

TEST_F(Transactions, TheStartButtonDoesNothingWhileATransactionRuns) {
    korvex_sim_hold("Transaction_Launch", 1);
    gui::click(btn_start_txn);
    ASSERT_TRUE(
        gui::pump_until([] { return korvex_sim_request_count("Transaction_Launch") == 1; }));
    gui::set_text(txt_txn_output_msg_number, "still here");
    gui::set_text(txt_request_output, "untouched");
    gui::click(btn_start_txn);
    gui::pump(100);
    EXPECT_EQ(gui::text(txt_txn_output_msg_number), "still here");
    EXPECT_EQ(gui::text(txt_request_output), "untouched");
    EXPECT_EQ(korvex_sim_request_count("Transaction_Launch"), 1u);

    Transaction_out answer{};
    put(answer.MessageNumberOut, "1");
    korvex_sim_script("Transaction_Launch", &answer, sizeof answer);
    korvex_sim_hold("Transaction_Launch", 0);
    ASSERT_TRUE(gui::pump_until([] { return !Txnstate; }));
    EXPECT_EQ(gui::text(txt_txn_output_msg_number), "1");
    EXPECT_EQ(korvex_sim_request_count("Transaction_Launch"), 1u);
}

TEST_F(Transactions, WithoutATypeTheOperatorIsToldAndNothingIsSent) {
    gui::set_active(cmb_txn_type, -1);
    gui::set_text(txt_txn_output_txn_status, "old status");
    gui::set_text(txt_request_output, "old result");
    {
        gui::Locked lock;
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(rad_sign_ok), TRUE);
    }
    gui::answer_dialogs(GTK_RESPONSE_OK);
    gui::click(btn_start_txn);
    gui::stop_answering_dialogs();

    const std::vector<gui::DialogAnswer> dialogs = gui::answered_dialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].text, "You must choose a transaction type.");
    EXPECT_EQ(korvex_sim_request_count("Transaction_Launch"), 0u);
    EXPECT_FALSE(Txnstate);
    EXPECT_EQ(gui::text(txt_txn_output_txn_status), "");
    EXPECT_EQ(gui::text(txt_request_output), "");
    EXPECT_TRUE(gui::toggled(none_btn_sign)) << "no signature answer is preselected";
}

// ---------------------------------------------------------------------------
// Display of the response

TEST_F(Transactions, AZeroedAnswerOfAFailedCallShowsEmptyFieldsZerosAndFalse) {
    Transaction_out out{};
    out.DiagRequestOut = 1;
    show_transaction(out);
    EXPECT_EQ(gui::text(txt_request_output), "Unable To Connect");
    EXPECT_EQ(settled_colour(txt_request_output, kRed), kRed);
    const std::map<std::string, std::string> numbers = {
        {"txt_txn_output_txn_currency_exp", "0"},
        {"txt_txn_output_card_currency_exp", "0"},
        {"txt_txn_output_terminal_currency_exp", "0"},
        {"txt_txn_output_fx_exp_applied", "0"},
        {"txt_txn_output_is_dcc_txn", "FALSE"},
        {"txt_txn_output_tax_free_requirement", "FALSE"},
        {"txt_txn_output_exchange_rate_update_requirement", "FALSE"},
    };
    for (const auto& [id, shown] : output_panel()) {
        const auto special = numbers.find(id);
        EXPECT_EQ(shown, special == numbers.end() ? "" : special->second) << id;
    }
    EXPECT_EQ(gui::buffer_text(buf_host_msg), "");
}

TEST_F(Transactions, EveryFieldReachesItsOwnEntryAtItsWholeWidth) {
    Transaction_out out{};
    std::vector<std::string> expected = fill_distinct(out);
    show_transaction(out);
    EXPECT_EQ(gui::text(txt_request_output), "OK");
    EXPECT_EQ(settled_colour(txt_request_output, kGreen), kGreen);

    std::map<std::string, std::string> shown = output_panel();
    EXPECT_EQ(shown["txt_txn_output_txn_status"], "CashBack Not Allowed");
    EXPECT_EQ(shown["txt_txn_output_txn_currency_code"], "\xe2\x82\xac");
    EXPECT_EQ(shown["txt_txn_output_card_currency_code"], "\xc2\xa3");
    EXPECT_EQ(shown["txt_txn_output_terminal_currency_code"], "$");
    EXPECT_EQ(shown["txt_txn_output_txn_currency_exp"], "2");
    EXPECT_EQ(shown["txt_txn_output_card_currency_exp"], "-1");
    EXPECT_EQ(shown["txt_txn_output_fx_exp_applied"], "300");
    EXPECT_EQ(shown["txt_txn_output_terminal_currency_exp"], "-32768");
    EXPECT_EQ(shown["txt_txn_output_is_dcc_txn"], "TRUE");
    EXPECT_EQ(shown["txt_txn_output_tax_free_requirement"], "FALSE");
    EXPECT_EQ(shown["txt_txn_output_exchange_rate_update_requirement"], "UNKNOWN");
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

TEST_F(Transactions, CodedFieldsAreShownByName) {
    struct Case {
        const char* status;
        const char* status_name;
        const char* currency;
        const char* symbol;
        short exponent;
        short flag;
        const char* flag_text;
    };
    const Case cases[] = {
        {"00", "Authorised", "978", "\xe2\x82\xac", 2, 1, "TRUE"},
        {"14", "CashBack Not Allowed", "826", "\xc2\xa3", -1, 0, "FALSE"},
        {"15", "Unknown", "999", "", 0, 2, "UNKNOWN"},
        {"99", "Unknown", "", "", 3, 256, "FALSE"},
        {"", "", "840", "$", -32768, -1, "UNKNOWN"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        Transaction_out out{};
        put(out.TransactionStatusOut, c.status);
        put(out.TransactionCurrencyCodeOut, c.currency);
        out.TransactionCurrenyExponentOut = c.exponent;
        out.IsDCCTxnOut = c.flag;
        put(out.TotalAmountOut, "000000000150");
        show_transaction(out);
        EXPECT_EQ(gui::text(txt_txn_output_txn_status), c.status_name);
        EXPECT_EQ(gui::text(txt_txn_output_txn_currency_code), c.symbol);
        EXPECT_EQ(gui::text(txt_txn_output_txn_currency_exp), std::to_string(c.exponent));
        EXPECT_EQ(gui::text(txt_txn_output_is_dcc_txn), c.flag_text);
        EXPECT_EQ(gui::text(txt_txn_output_total_amount), "000000000150");
    }
}

TEST_F(Transactions, AFieldWithoutTerminatorStopsAtItsWidth) {
    Transaction_out out{};
    std::memcpy(out.AcquirerResponseCodeOut, "05", 2);
    put(out.MerchantNameOut, "SHOP BEHIND");
    show_transaction(out);
    EXPECT_EQ(gui::text(txt_txn_output_acq_response_code), "05");
    EXPECT_EQ(gui::text(txt_txn_output_merchant_name), "SHOP BEHIND");
}

TEST_F(Transactions, TheHostMessageViewHoldsOnlyTheLatestTransaction) {
    Transaction_out first{};
    put(first.HostTextOut, "FIRST");
    show_transaction(first);
    Transaction_out second{};
    put(second.HostTextOut, "SECOND");
    show_transaction(second);
    EXPECT_EQ(gui::buffer_text(buf_host_msg), "SECOND");
}

TEST_F(Transactions, PedNotAuthenticatedIsShownAndFreesTheButton) {
    Transaction_out out{};
    out.DiagRequestOut = 9;
    put(out.MessageNumberOut, "3");
    show_transaction(out);
    EXPECT_EQ(gui::text(txt_request_output), "PED Not Authenticated");
    EXPECT_EQ(settled_colour(txt_request_output, kRed), kRed);
    EXPECT_EQ(gui::text(txt_txn_output_msg_number), "3");
    EXPECT_FALSE(Txnstate);
    show_transaction(Transaction_out{});
    EXPECT_EQ(gui::text(txt_request_output), "OK");
}

// ---------------------------------------------------------------------------
// Last transaction

TEST_F(Transactions, LastTransactionTypeNames) {
    struct Case {
        const char* type;
        const char* name;
    };
    for (const Case& c : {Case{"07", "COMPLETION"}, Case{"15", "PRE-AUTH INCREMENT"},
                          Case{"00", "SALE"}, Case{"16", ""}, Case{"", ""}}) {
        gui::set_text(txt_gltd_txn_type, "from before");
        GetLastTxnData_out out{};
        put(out.TransactionTypeOut, c.type);
        show_last_transaction(out);
        EXPECT_EQ(gui::text(txt_gltd_txn_type), c.name) << "'" << c.type << "'";
    }
}

TEST_F(Transactions, LastTransactionRequestSide) {
    GetLastTxnData_out out{};
    put(out.Amount1Out, "000000006000");
    std::memcpy(out.Amount2Out, "1234567890123", 13);
    put(out.Amount3Out, "3");
    put(out.Amount1LabelOut, "Total");
    std::memcpy(out.Amount4LabelOut, "Twenty characters!!!", 20);
    put(out.CommercialCodeOut, "AB");
    out.SuspectedFraudIndicatorOut = 49;
    out.TransactionCurrenyExponentOut = 2;
    out.CardCurrencyExponentOut = 0;
    show_last_transaction(out);
    EXPECT_EQ(gui::text(txt_gltd_amount1), "000000006000");
    EXPECT_EQ(gui::text(txt_gltd_amount2), "1234567890123");
    EXPECT_EQ(gui::text(txt_gltd_amount3), "3");
    EXPECT_EQ(gui::text(txt_gltd_amount4), "");
    EXPECT_EQ(gui::text(txt_gltd_amount1_label), "Total");
    EXPECT_EQ(gui::text(txt_gltd_amount4_label), "Twenty characters!!!");
    EXPECT_EQ(gui::text(txt_gltd_commercial_code), "AB");
    EXPECT_EQ(gui::text(txt_gltd_suspected_fraud), "49");
    EXPECT_EQ(gui::text(txt_txn_output_txn_currency_exp), "2");
    EXPECT_EQ(gui::text(txt_txn_output_card_currency_exp), "0");

    out.SuspectedFraudIndicatorOut = -1;
    out.DiagRequestOut = 10;
    show_last_transaction(out);
    EXPECT_EQ(gui::text(txt_gltd_suspected_fraud), "-1");
    EXPECT_EQ(gui::text(txt_request_output), "No Received Data");
    EXPECT_EQ(settled_colour(txt_request_output, kRed), kRed);
}

TEST_F(Transactions, ASecondFetchWhileOneRunsChangesNothing) {
    korvex_sim_hold("GetLastTxnData_Launch", 1);
    gui::click(btn_get_last_txn_data);
    ASSERT_TRUE(
        gui::pump_until([] { return korvex_sim_request_count("GetLastTxnData_Launch") == 1; }));
    gui::set_text(txt_gltd_amount1, "kept");
    gui::click(btn_get_last_txn_data);
    gui::pump(100);
    EXPECT_EQ(gui::text(txt_gltd_amount1), "kept");
    GetLastTxnData_out out{};
    put(out.Amount1Out, "5");
    korvex_sim_script("GetLastTxnData_Launch", &out, sizeof out);
    korvex_sim_hold("GetLastTxnData_Launch", 0);
    ASSERT_TRUE(gui::pump_until(operator_sees_no_work));
    EXPECT_EQ(gui::text(txt_gltd_amount1), "5");
    EXPECT_EQ(korvex_sim_request_count("GetLastTxnData_Launch"), 1u);
}

// ---------------------------------------------------------------------------
// With the simulated terminal's own engine

TEST_F(Transactions, SaleVoidAndTheLastTransactionAfterARestart) {
    const std::string state = test_work_dir() + "/sim-state-transactions";
    std::filesystem::remove_all(state);
    setenv("KORVEX_SIM_STATE_DIR", state.c_str(), 1);
    korvex_sim_reload_state();

    gui::set_text(txt_txn_input_msg_num, "1");
    gui::set_text(txt_txn_input_amount1, "1500");
    gui::set_text(txt_txn_input_cashier_id, "C1");
    gui::set_active(cmb_txn_type, 0); // SALE
    start_transaction();
    EXPECT_EQ(gui::text(txt_request_output), "OK");
    EXPECT_EQ(gui::text(txt_txn_output_txn_status), "Authorised");
    EXPECT_EQ(gui::text(txt_txn_output_total_amount), "000000001500");
    EXPECT_EQ(gui::text(txt_txn_output_txn_currency_code), "\xe2\x82\xac");
    EXPECT_EQ(gui::text(txt_txn_output_cashier_id), "C1");
    EXPECT_EQ(gui::buffer_text(buf_host_msg), "APPROVED");
    const std::string invoice = gui::text(txt_txn_output_invoice_num);
    ASSERT_EQ(invoice.size(), 6u);
    std::size_t filled = 0;
    for (const auto& [id, text] : output_panel())
        filled += !text.empty();
    EXPECT_GE(filled, 45u) << "a chip sale answers most fields";

    gui::set_text(txt_txn_input_msg_num, "2");
    gui::set_text(txt_txn_input_amount1, "");
    gui::set_text(txt_txn_input_invoice_num, invoice);
    gui::set_active(cmb_txn_type, 2); // VOID
    start_transaction();
    EXPECT_EQ(gui::text(txt_txn_output_txn_status), "Authorised");
    EXPECT_EQ(gui::text(txt_txn_output_invoice_num), invoice);
    const std::map<std::string, std::string> void_panel = output_panel();

    korvex_sim_reload_state(); // the terminal restarts
    fetch_last_transaction();
    EXPECT_EQ(gui::text(txt_request_output), "OK");
    EXPECT_EQ(gui::text(txt_gltd_txn_type), "VOID");
    EXPECT_EQ(output_panel(), void_panel);

    start_transaction(); // the same void again
    EXPECT_EQ(gui::text(txt_txn_output_txn_status), "Not processed");

    setenv("KORVEX_SIM_STATE_DIR", (test_work_dir() + "/sim-state").c_str(), 1);
    korvex_sim_reload_state();
}

} // namespace
