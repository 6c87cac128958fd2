// The journal entries that the window's operations make: each operation of each
// page as the operator runs it, a sale with the cashier's signature and its
// receipts, card numbers, tracks and passwords kept out of every file, and a
// journal that takes no writes for a while.
#include "end_of_day.h"
#include "terminal_events.h"
#include "terminal_management.h"
#include "transactions.h"
#include "gui_harness.h"
#include "journal.h"
#include "journal_json.h"
#include "journal_store.h"
#include "korvex.h"
#include "sim_txn.h"
#include "ui_components.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <tuple>
#include <string>
#include <utility>
#include <vector>


namespace {

namespace fs = std::filesystem;

std::int64_t now_ms() {
    return g_get_real_time() / 1000;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string value_of(const std::vector<JournalField>& fields, const std::string& name) {
    for (const JournalField& f : fields)
        if (f.name == name)
            return f.value;
    return "(no field " + name + ")";
}

// No operation with a busy flag is still showing its answer (a click meanwhile
// would be refused).
bool console_idle() {
    for (const std::atomic<bool>* busy :
         {&Txnstate, &TxnRecovery, &StartStopEventServer, &SingleState, &TimerState,
          &TxnReceiptPrint, &CheckEligState, &GetPEDSerialNumState, &ReadTracksState,
          &PrintInfoState, &AppEnablement, &DoSettlementState, &GetSettlementDataState,
          &AdjustTipAmountState, &ExchangeRateUpdateState, &TaxFreeRefundState})
        if (*busy)
            return false;
    return true;
}

std::vector<std::string> record_types(const std::vector<JournalRecord>& records) {
    std::vector<std::string> types;
    for (const JournalRecord& r : records)
        types.push_back(r.record);
    return types;
}

// On a terminal state of each test's own: the operations change the terminal's
// clock, donation mode and batch.
class JournalEntries : public SimStateTest {
  protected:
    void SetUp() override {
        SimStateTest::SetUp();
        std::string error;
        store_ = JournalStore::open(journal_path(test_work_dir()), &error);
        ASSERT_TRUE(store_) << error;
        gui::answer_dialogs(GTK_RESPONSE_OK);
    }
    void TearDown() override {
        korvex_sim_reset();
        gui::stop_answering_dialogs();
        gui::answered_dialogs();
        gui::show_start_page(); // a password request takes the cashier to its entry
        SimStateTest::TearDown();
    }

    // Runs the main loop until the journal holds an entry of `operation` started at
    // or after `since_ms` and the console is idle again; returns the newest such entry.
    std::optional<JournalEntry> entry_of(const std::string& operation, std::int64_t since_ms,
                                         int timeout_ms = 10000) {
        const std::int64_t until = now_ms() + timeout_ms;
        std::optional<JournalEntry> found;
        while (!found && now_ms() < until) {
            gui::pump(10);
            journal_flush();
            store_->for_each({"", since_ms, {}}, [&](const JournalEntry& e) {
                if (e.operation == operation)
                    found = e;
                return !found;
            });
        }
        EXPECT_TRUE(gui::pump_until(console_idle));
        return found;
    }

    using Inputs = std::vector<std::pair<GtkWidget*, std::string>>;
    static std::function<void()> transaction(int row, Inputs inputs) {
        return [row, inputs] { gui::start_transaction(row, inputs); };
    }
    // After `before`, sets each input (an entry's text, a combo box's row, a spin
    // button's or check button's value) and presses `button`.
    static std::function<void()> pressed(GtkWidget* button, Inputs inputs = {},
                                         std::function<void()> before = [] {}) {
        return [=] {
            before();
            for (const auto& [widget, value] : inputs)
                if (GTK_IS_COMBO_BOX(widget))
                    gui::set_active(widget, std::stoi(value));
                else if (GTK_IS_SPIN_BUTTON(widget))
                    gui::set_spin(widget, std::stod(value));
                else if (GTK_IS_TOGGLE_BUTTON(widget))
                    gui::set_toggle(widget, value == "1");
                else
                    gui::set_text(widget, value);
            gui::click(button);
        };
    }

    std::unique_ptr<JournalStore> store_;
};

TEST_F(JournalEntries, EveryOperationOfTheWindowMakesItsEntry) {
    struct Operation {
        const char* name;
        std::function<void()> run;
        const char* request = ""; // the first request record's type, "" for none
        const char* field = "";   // one of its fields, as sent
        const char* value = "";
        std::vector<std::string> response = {}; // the response records, in call order
        struct {
            const char* amount = nullptr; // summaries, checked where given
            const char* status = nullptr;
            const char* invoice = nullptr;
        } summary = {};
        int result = 0;
        const char* result_text = "OK";
        // What the page shows of the answer meanwhile: entry, text and, where given, colour.
        std::vector<std::tuple<GtkWidget*, const char*, const char*>> shown = {};
    };
    const std::string certificate = test_work_dir() + "/journal-test.pem";
    std::ofstream(certificate) << "-----BEGIN CERTIFICATE-----\nMIIB\n-----END CERTIFICATE-----\n";
    // clang-format off
    const Operation operations[] = {
        // Every type of transaction runs one worker under its type's name: a sale
        // and a void that the terminal refuses stand for them all.
        {"SALE", transaction(0, {{txt_txn_input_amount1, "1250"}, {txt_txn_input_cashier_id, "C1"}}),
         "Transaction_in", "Amount1In", "000000001250", {"Transaction_out"}, {"1250", "Authorised"}, 0, "OK",
         {{txt_txn_output_txn_status, "Authorised", nullptr}, {txt_txn_output_total_amount, "000000001250", nullptr},
          {txt_txn_output_cashier_id, "C1", nullptr}}},
        // Twenty digits reach the terminal cut to the field's thirteen, which it
        // refuses: the list shows no amount rather than another number.
        {"SALE", transaction(0, {{txt_txn_input_amount1, "12345678901234567890"}}),
         "Transaction_in", "Amount1In", "1234567890123", {"Transaction_out"}, {""}, 3, "Bad Request Format"},
        {"Last transaction", pressed(btn_get_last_txn_data), "", "", "", {"GetLastTxnData_out"}, {"1250", "Authorised"}},
        {"VOID", transaction(2, {{txt_txn_input_invoice_num, "999999"}}),
         "Transaction_in", "InvoiceNumberIn", "999999", {"Transaction_out"}, {nullptr, "Invoice Not Found"}},
        {"Terminal status", pressed(btn_get_status, {{chb_periodic_get_terminal_status, "0"}}), "", "", "", {"Status_out"}},
        {"Set date and time", pressed(btn_set_terminal_date_time, {{sp_dt_hour, "13"}}),
         "TimeDate_in", "HourIn", "13", {"TimeDate_out"}},
        {"Set IP address", pressed(btn_set_ip_address, {{txt_new_ip_address, "192.0.2.10"}}),
         "SetTerminalIPAddress_InOut", "IPAddressIn", "192.0.2.10", {"SetTerminalIPAddress_InOut"}},
        {"Set certificate", pressed(btn_set_ssl_certificate, {{txt_ssl_certificate_path, certificate}}),
         "SetSSLCertificate_InOut", "PathIn", certificate.c_str(), {"SetSSLCertificate_InOut"}},
        // No password request waits: the terminal has nothing to take.
        {"Set password", pressed(btn_set_passw, {{txt_set_password, "1234"}, {cmb_setpw_entry_status, "1"}}),
         "SetPasswordIn", "EntryStatusIn", "0", {"SetPasswordOut"}, {}, 10, "No Received Data"},
        {"Receipt printing", pressed(rad_print_txn_receipt_enabled),
         "InitTxnReceiptPrint_InOut", "StatusIn", "1", {"InitTxnReceiptPrint_InOut"}},
        {"Message tracing", pressed(btn_set_logFile_folder_path, {{txt_new_folder_path, "/nonexistent/trace"}}),
         "SetTraceTlvMessagesEnabelement_InOut", "FolderPathInOut", "/nonexistent/trace",
         {"SetTraceTlvMessagesEnabelement_InOut"}, {}, 3, "Bad Request Format"},
        {"Event server start", pressed(btn_start_ecr_event_server), "", "", "", {"TerminalEventOut"}},
        {"Event server stop", pressed(btn_stop_ecr_event_server), "", "", "", {"TerminalEventOut"}},
        {"Eligibility check", pressed(btn_check_eligibilit, {{cmb_txn_type, "1"}}),
         "CheckEligibility_in", "TransactionTypeIn", "01", {"CheckEligibility_out"}},
        // The serial number is sent on its nine bytes.
        {"PED authentication", pressed(btn_ped_authentication, {{txt_ped_serial_number, "SIMPED001XYZ"}}),
         "PEDAuthentication_in", "pedSerialNbrIn", "SIMPED001", {"PEDAuthentication_out"}, {}, 0, "OK",
         {{txt_ped_authentication_status, "AUTH OK", gui::kGreen}}},
        {"Card reading", pressed(btn_read_mag_card_tracks), "", "", "", {"ReadTracks_out"}},
        {"Print information", pressed(btn_print_information, {}, [] { gui::set_buffer(buf_print_information, "JOURNAL TEST"); }),
         "PrintInformation_in", "PrintBufferIn", "JOURNAL TEST", {"PrintInformation_out"}},
        {"Application enablement", pressed(btn_check_application_enablement, {{cmb_application_identifier, "2"}}),
         "CheckApplicationEnablementIn", "ApplicationIdIn", "2", {"CheckApplicationEnablementOut"}},
        // The first detail record is fetched by the worker, within its operation.
        {"Settlement", pressed(btn_do_settlement, {{txt_settlement_msg_num, "7"}},
                               [] { script("DoSettlement", settlement_with_records(2)); }),
         "SettlementRequestIn", "MessageNumberIn", "7", {"SettlementResponseOut", "SettlementDataRecordOut"},
         {nullptr, "Authorised"}},
        // A row the operator picks later is an operation of its own.
        {"Settlement record", [] {
             script("GetTransactionDetailDataRecord", SettlementDataRecordOut{});
             gui::set_active(cmb_settlement_record_num, 1);
         }, "SettlementRequestIn", "TxnDetailDataRecordIndexIn", "2", {"SettlementDataRecordOut"}},
        {"Settlement data", pressed(btn_get_settlement_data, {{txt_get_settlement_msg_num, "8"}},
                                    [] { script("GetSettlementData", settlement_with_records(1)); }),
         "SettlementRequestIn", "MessageNumberIn", "8", {"SettlementResponseOut", "SettlementDataRecordOut"},
         {nullptr, "Authorised"}},
        {"Tip adjustment", pressed(btn_adjust_tip_amount, {{txt_ata_invoice_num, "000123"}, {txt_ata_total_amount, "2000"}},
                                   [] { script("AdjustTipAmount", AdjustTipAmountOut{}); }),
         "AdjustTipAmountIn", "InvoiceNumberIn", "000123", {"AdjustTipAmountOut"}, {"2000", nullptr, "000123"}},
        {"Exchange rate update", pressed(btn_exr_do_exr_update, {{cmb_exr_update_mth, "0"}}), "ExchangeRateUpdateIn",
         "UpdateMethodIn", "0", {"ExchangeRateUpdateOut", "CurrencyDetailsRecordOut"}, {nullptr, "Rates Sent Successfully"}},
        {"Tax-free refund", pressed(btn_tfr_inp_start_tax_free, {{txt_tfr_inp_form_nbr, "FORM42"}}, [] {
             TFRTransactionOut out{};
             put(out.TransactionStatusOut, "1");
             script("DoTaxFreeRefund", out);
         }), "TFRTransactionIn", "TaxFreeFormNumberIn", "FORM42", {"TFRTransactionOut"}, {nullptr, "Successful"}},
        // No mode chosen sends mode 0.
        {"Donation mode", pressed(btn_pe_set_donation_mode, {{cmb_pe_donation_mode, "-1"}}),
         "PenniesDonationModeIn", "DonationModeIn", "0", {"PenniesDonationModeOut"}},
        {"Donation mode", pressed(btn_pe_set_donation_mode, {{cmb_pe_donation_mode, "1"}}),
         "PenniesDonationModeIn", "DonationModeIn", "1", {"PenniesDonationModeOut"}},
        {"Donation configuration", pressed(btn_pe_get_pennies_config), "", "", "", {"PenniesConfigDataOut"}},
        {"Top-up configuration", pressed(btn_mt_cfg_get_config, {{cmb_mt_conf_mode, "1"}}, [] {
             MobileTopUpConfigurationDataOut out{};
             out.MobileTopUpProductNumberOut = 2;
             script("GetMobileTopUpConfiguration", out);
         }), "MobileTopUpConfigurationDataIn", "GetMobileTopUpConfigFlagIn", "1",
         {"MobileTopUpConfigurationDataOut", "ProductDataRecordOut"}},
        {"Voucher sale", pressed(btn_mt_txn_do_transaction, {{txt_mt_txn_vch_amt, "1500"}}, [] {
             MobileTopUpRespOut out{};
             out.VoucherNumberOut = 1;
             script("DoMobileTopUpTransaction", out);
         }), "MobileTopUpReqIn", "VoucherAmountIn", "1500", {"MobileTopUpRespOut", "VoucherRecordOut"}, {"1500"}},
        {"Top-up settlement", pressed(btn_mtu_set_req_do_set, {{txt_mtu_set_req_msg_nbr, "5"}}, [] {
             MobileTopUpSettlementRespOut out{};
             out.TransactionDetailDataRecordNumberOut = 1;
             script("DoMobileTopUpSettlement", out);
         }), "MobileTopUpSettlementRespIn", "MessageNumberIn", "5",
         {"MobileTopUpSettlementRespOut", "MTPSettlementDataRecordOut"}},
    };
    // clang-format on
    std::vector<std::pair<GtkWidget*, std::string>> typed; // given back at the end
    for (GtkWidget* entry : gui::entries_named(""))
        typed.emplace_back(entry, gui::text(entry));
    for (const Operation& op : operations) {
        SCOPED_TRACE(op.name);
        korvex_sim_reset();
        korvex_sim_set_delay_scale(0);
        const std::int64_t since = now_ms();
        op.run();
        const std::optional<JournalEntry> e = entry_of(op.name, since);
        ASSERT_TRUE(e) << "no entry";
        if (*op.request) {
            ASSERT_FALSE(e->request.empty());
            EXPECT_EQ(e->request.front().record, op.request);
            EXPECT_EQ(value_of(e->request.front().fields, op.field), op.value);
        } else {
            EXPECT_TRUE(e->request.empty());
        }
        EXPECT_EQ(record_types(e->response), op.response);
        EXPECT_EQ(e->result_code, op.result);
        EXPECT_EQ(e->result_text, op.result_text);
        for (const auto& [expected, kept] : {std::pair{op.summary.amount, e->amount},
                                             std::pair{op.summary.status, e->status},
                                             std::pair{op.summary.invoice, e->invoice}})
            if (expected) {
                EXPECT_EQ(kept, expected);
            }
        for (const auto& [entry, text, colour] : op.shown) {
            EXPECT_EQ(gui::text(entry), text) << gui::id_of(entry);
            if (colour) {
                EXPECT_EQ(gui::settled_color(entry, colour), colour) << gui::id_of(entry);
            }
        }
    }
    EXPECT_TRUE(gui::pump_until([] { return !WaitEventState && !StartStopEventServer; }));
    // As the window was found: the entries, the type, the clock's selectors, and the
    // tracing check button's next click (the refused folder left it a correction).
    for (const auto& [entry, text] : typed)
        gui::set_text(entry, text);
    gui::set_active(cmb_txn_type, 0);
    gui::Locked lock;
    set_time_from_system();
    IsTraceTlvFailed = false;
}

// A polled status is journaled when it differs from the one before; asked for once,
// every time.
TEST_F(JournalEntries, APolledStatusOnlyWhenItChanges) {
    const std::int64_t since = now_ms();
    const auto status_entries = [&] {
        journal_flush();
        return store_->count({"Terminal status", since, {}});
    };
    script("GetTerminalState", Status_out{2, 0}); // busy once, then idle
    gui::set_spin(spbtn_get_terminal_status_per_time, 1);
    gui::set_toggle(chb_periodic_get_terminal_status, true);
    gui::click(btn_get_status);
    ASSERT_TRUE(gui::pump_until([] { return calls("GetTerminalState") >= 4; }));
    gui::click(btn_get_status); // stops the polling
    gui::set_toggle(chb_periodic_get_terminal_status, false);
    EXPECT_EQ(status_entries(), 2) << "busy, then idle once";

    for (int single = 1; single <= 2; ++single) {
        const std::size_t before = calls("GetTerminalState");
        gui::click(btn_get_status);
        ASSERT_TRUE(
            gui::pump_until([&] { return calls("GetTerminalState") > before && !SingleState; }));
        EXPECT_EQ(status_entries(), 2 + single);
    }
}

// A sale the cashier signs off, end to end: the sale the window showed, when the
// cashier answered, and both receipt copies as the view showed them.
TEST_F(JournalEntries, ASignedSaleFromRequestToReceipt) {
    ASSERT_TRUE(gui::event_server(true));
    gui::click(btn_prn_clear);
    const std::int64_t since = now_ms();
    gui::start_transaction(0, {{txt_txn_input_amount1, "10011"}});
    ASSERT_TRUE(gui::wait_for_text(txt_Sign_Status, "Signature In Progress"));
    gui::click(rad_sign_ok);
    ASSERT_TRUE(gui::wait_for_text(txt_txn_output_txn_status, "Authorised"));
    // The customer copy ends with the line after this one.
    ASSERT_TRUE(gui::pump_until([] {
        const std::string view = gui::buffer_text_locked(buf_print_job);
        const std::string last = "PLEASE KEEP THIS RECEIPT\n";
        const std::size_t at = view.find(last);
        return at != std::string::npos && view.size() > at + last.size() && view.ends_with("\n");
    }));
    const std::optional<JournalEntry> e = entry_of("SALE", since);
    ASSERT_TRUE(e);

    EXPECT_EQ(e->invoice, gui::text(txt_txn_output_invoice_num)) << "the sale the window showed";

    ASSERT_EQ(e->questions.size(), 1u); // its record: see the cashier's answers
    const JournalQuestion& q = e->questions[0];
    EXPECT_LE(e->started_ms, q.at_ms);
    EXPECT_LE(q.at_ms, e->ended_ms);

    // Every library call of the sale, the cashier's among them, with its bytes.
    std::vector<std::string> calls;
    for (const JournalCall& c : e->calls)
        calls.push_back(c.name + " " + c.request_record + " " + c.response_record);
    EXPECT_EQ(calls, (std::vector<std::string>{
                         "Transaction_Launch Transaction_in Transaction_out",
                         "CheckSignReq  CheckSignReceiptInfo_out",
                         "SetSignStatus Sign_Status_in Sign_Status_out"}));
    ASSERT_EQ(e->calls.size(), 3u);
    EXPECT_EQ(call_record("Transaction_out", e->calls[0].response)->fields, e->response[0].fields);

    {
        gui::Locked lock;
        EXPECT_EQ(e->receipt, lines_of(gui::buffer_text_locked(buf_print_job)))
            << "the lines as the view shows them";
    }
    int copies = 0;
    for (const std::string& line : e->receipt)
        copies += line == "MERCHANT COPY" || line == "CUSTOMER COPY";
    EXPECT_EQ(copies, 2);

    EXPECT_TRUE(gui::event_server(false));
}

// Each question the terminal asks the cashier during a sale: the answer given in
// the window decides the sale, and goes into the sale's entry with what the
// terminal showed with it.
TEST_F(JournalEntries, EachCashierAnswerDecidesTheSaleAndGoesIntoItsEntry) {
    struct Question {
        const char* amount;
        std::function<void()> answer; // as the cashier gives it
        const char* question;
        const char* given;
        const char* shown_field; // one field of what the terminal showed
        const char* shown;
        const char* status;                 // the sale's status in the window afterwards
        std::function<void()> then = [] {}; // more of what the window shows
        std::size_t asked = 1;              // times the question was asked
        bool dialogs_wait = false;          // the row answers the dialogs itself
    };
    const auto in_window = [](const char* id, std::function<void(GtkWidget*)> answer) {
        return [id, answer] {
            GtkWidget* window = gui::wait_for_window(id);
            ASSERT_NE(window, nullptr) << id;
            answer(window);
        };
    };
    const auto signed_with = [](GtkWidget* button) {
        return [button] {
            ASSERT_TRUE(gui::wait_for_text(txt_Sign_Status, "Signature In Progress"));
            // The host approved before the cashier is asked: the receipt's data.
            EXPECT_EQ(gui::text(txt_txn_output_total_amount), "000000010011");
            EXPECT_EQ(gui::text(txt_txn_output_auth_code).size(), 6u);
            EXPECT_EQ(gui::text(txt_txn_output_invoice_num).size(), 6u);
            gui::click(button);
        };
    };
    const auto shows = [](GtkWidget* entry, const char* text) {
        return [entry, text] { EXPECT_EQ(gui::text(entry), text) << gui::id_of(entry); };
    };
    std::size_t asked_before = 0; // password requests and answers before the sale
    std::size_t given_before = 0;
    // clang-format off
    const Question questions[] = {
        {"10011", signed_with(rad_sign_ok), "Signature", "Accepted", "TotalAmountOut", "000000010011", "Authorised",
         shows(txt_request_output, "OK")},
        // The answer to the sale before does not answer this one.
        {"10011", signed_with(rad_sign_nok), "Signature", "Refused", "TotalAmountOut", "000000010011", "Not authorised"},
        {"10012", in_window("win_voice_ref", [](GtkWidget* window) {
             gui::click(gui::find_child(window, "accept_check"));
             gui::set_active(gui::find_child(window, "cb_ref_state"), 0);
             gui::set_text(gui::find_child(window, "txt_auth_code"), "PH0NE1");
             gui::click(gui::find_child(window, "btn_auth_ok"));
         }), "Voice referral", "Approved with code PH0NE1", "PhoneNumberOut", "0800 555 0199", "Authorised",
         shows(txt_txn_output_auth_code, "PH0NE1")},
        {"10012", in_window("win_voice_ref", [](GtkWidget* window) { gui::click(gui::find_child(window, "btn_auth_cancel")); }),
         "Voice referral", "Cancelled", "PhoneNumberOut", "0800 555 0199", nullptr},
        {"10014", in_window("partial_auth_dlg", [](GtkWidget* window) {
             EXPECT_EQ(gui::label_text(gui::find_child(window, "lb_hp_amt")), "000000005007");
             gui::click(gui::find_child(window, "btn_hp_acc"));
         }), "Partial approval", "Accepted", "PartialAmountOut", "000000005007", "Authorised", [] {
             EXPECT_EQ(gui::text(txt_txn_output_partial_auth_amount), "000000005007");
             EXPECT_EQ(gui::text(txt_txn_output_total_amount), "000000005007");
         }},
        {"10015", in_window("avs_rej_dlg", [](GtkWidget* window) { gui::close_window(window); }),
         "AVS rejection", "Declined", "AVSResponseOut", "N", "Cancelled"},
        // The console only shows the offer: the cardholder takes it on the terminal.
        // It is shown while the sale goes on and ends under its announcement.
        {"10013", [] {
             constexpr const char* kAnnounced = "A DCC quotation request is received";
             ASSERT_TRUE(gui::pump_until([&] { return gui::open_dialog_text() == kAnnounced; }));
             EXPECT_TRUE(Txnstate) << "announced before the sale ended";
             ASSERT_TRUE(gui::wait_for_text(txt_dcc_card_cur_code, "840"));
             ASSERT_TRUE(gui::pump_until([] { return !Txnstate; }));
             EXPECT_TRUE(gui::pump_until([&] { return gui::open_dialog_text() == kAnnounced; }, 0));
             EXPECT_EQ(gui::text(txt_txn_output_dcc_amount), gui::text(txt_dcc_dcc_amt));
             gui::answer_dialogs(GTK_RESPONSE_OK);
         }, "DCC quotation", "Shown", "CardCurrencyCodeOut", "840", "Authorised", shows(txt_txn_output_is_dcc_txn, "TRUE"),
         1, true},
        // Answered from the Terminal page once each request was shown; the terminal
        // asks again after a wrong password.
        {"10016", [&] {
             gui::set_active(cmb_setpw_entry_status, 0); // "Password entered"
             std::size_t attempt = 0;
             for (const char* password : {"0000", "1234"}) {
                 ++attempt;
                 ASSERT_TRUE(gui::pump_until(
                     [&] { return calls("GetPasswordParams") == asked_before + attempt; }));
                 gui::set_text(txt_set_password, password);
                 gui::click(btn_set_passw);
                 ASSERT_TRUE(gui::pump_until(
                     [&] { return calls("SetPassword") == given_before + attempt; }));
             }
         }, "Password", "Entered", "PasswordTypeOut", "1", "Authorised", [] {
             const auto sent = last_request<SetPasswordIn>("SetPassword");
             EXPECT_EQ(text_of(sent.PasswordIn), "1234");
             EXPECT_EQ(sent.EntryStatusIn, 1);
         }, 2},
        {"10017", [] { gui::answer_dialogs(GTK_RESPONSE_YES); }, "Suspected fraud", "Void", nullptr, nullptr, nullptr},
    };
    // clang-format on
    ASSERT_TRUE(gui::event_server(true));
    for (const Question& q : questions) {
        SCOPED_TRACE(std::string(q.question) + " " + q.given);
        // The sale outlasts the DCC offer shown, for a while under its announcement.
        korvex_sim_set_delay_scale(q.dialogs_wait ? 0.05 : 0.02);
        gui::set_text(txt_dcc_card_cur_code, "");
        if (q.dialogs_wait)
            gui::stop_answering_dialogs();
        else
            gui::answer_dialogs(GTK_RESPONSE_OK);
        gui::answered_dialogs();
        asked_before = calls("GetPasswordParams");
        given_before = calls("SetPassword");
        const std::int64_t since = now_ms();
        gui::start_transaction(0, {{txt_txn_input_amount1, q.amount}});
        q.answer();
        const std::optional<JournalEntry> e = entry_of("SALE", since);
        ASSERT_TRUE(e);
        ASSERT_EQ(e->questions.size(), q.asked);
        for (const JournalQuestion& asked : e->questions) {
            EXPECT_EQ(asked.question, q.question);
            EXPECT_EQ(asked.answer, q.given);
            if (q.shown_field) {
                EXPECT_EQ(value_of(asked.details, q.shown_field), q.shown);
            }
        }
        if (q.status) {
            EXPECT_EQ(gui::text(txt_txn_output_txn_status), q.status);
        }
        q.then();
    }
    gui::set_text(txt_set_password, "");
    gui::answer_dialogs(GTK_RESPONSE_OK);
    EXPECT_TRUE(gui::event_server(false));
}

// No file of the working folder holds a whole card number, track data or a
// password once they have crossed the library: the journal keeps the masked form.
TEST_F(JournalEntries, CardNumbersTracksAndPasswordsStayOutOfEveryFile) {
    const std::int64_t since = now_ms();
    Transaction_out sale{};
    put(sale.TransactionStatusOut, "00");
    put(sale.PANOut, "6799990000044564");
    put(sale.HostTextOut, "CARD 6799 9900 0004 4564 OK");
    script("Transaction_Launch", sale);
    gui::start_transaction(0, {{txt_txn_input_amount1, "1250"}});
    ASSERT_TRUE(entry_of("SALE", since));

    gui::click(btn_read_mag_card_tracks);
    ASSERT_TRUE(entry_of("Card reading", since));

    // Printed free text comes back as a receipt line.
    gui::set_buffer(buf_print_information, "CARD 6799 9900 0004 4564");
    gui::click(btn_print_information);
    ASSERT_TRUE(gui::pump_until([] {
        return gui::buffer_text_locked(buf_print_job).find("CARD 6799 9900 0004 4564") !=
               std::string::npos;
    }));
    ASSERT_TRUE(entry_of("Print information", since));

    gui::set_text(txt_set_password, "S3CRET99");
    gui::click(btn_set_passw);
    ASSERT_TRUE(entry_of("Set password", since));
    gui::set_text(txt_set_password, "");
    journal_flush();

    const std::vector<std::string> secrets = {"6799990000044564", "6799 9900 0004 4564",
                                              "^SIMPAY/TEST CARD^2812", "=28122010000000000?",
                                              "S3CRET99"};
    // The journal keeps its entries' bodies compressed: they are read back as well,
    // every call's bytes in hex.
    std::string kept;
    store_->for_each({"", since, {}}, [&](const JournalEntry& e) {
        kept += entry_json_line(e);
        return true;
    });
    for (const std::string& secret : secrets) {
        char hex[3];
        std::string secret_hex;
        for (const unsigned char c : secret)
            secret_hex += (std::snprintf(hex, sizeof hex, "%02x", c), hex);
        EXPECT_EQ(kept.find(secret), std::string::npos) << secret << " kept";
        EXPECT_EQ(kept.find(secret_hex), std::string::npos) << secret << " kept in a call's bytes";
        for (const fs::directory_entry& file : fs::recursive_directory_iterator(test_work_dir()))
            if (file.is_regular_file()) {
                EXPECT_EQ(read_file(file.path().string()).find(secret), std::string::npos)
                    << secret << " in " << file.path();
            }
    }
    EXPECT_NE(kept.find("6799 99** **** 4564"), std::string::npos) << "nothing written";
}

// While another program holds the journal's write lock, the window says the journal
// is not written and why; once the lock is gone the entry is written and the notice
// goes away.
TEST_F(JournalEntries, AJournalThatTakesNoWritesForAWhileIsNamedBesideTheResultLine) {
    GtkWidget* notice = gui::find_child(MainEcrWindow, "lbl_journal");
    ASSERT_TRUE(notice);
    const auto shown = [&] { return gui::shown_label(notice); };
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(journal_path(test_work_dir()).c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    const std::int64_t since = now_ms();
    gui::click(btn_get_last_txn_data);
    ASSERT_TRUE(gui::pump_until([] { return !TxnRecovery; }));
    journal_flush();
    EXPECT_TRUE(gui::pump_until([&] { return shown() == "Journal not written: database is locked"; }));
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_TRUE(entry_of("Last transaction", since));
    EXPECT_TRUE(gui::pump_until([&] { return shown().empty(); }));
}

// What a poppler tool says about `pdf` (empty when it cannot run).
std::string poppler(const char* tool, const std::string& pdf) {
    const bool text = g_str_equal(tool, "pdftotext"); // to standard output
    const gchar* argv[] = {tool, pdf.c_str(), text ? "-" : nullptr, nullptr};
    gchar* out = nullptr;
    const bool ran = g_spawn_sync(nullptr, const_cast<gchar**>(argv), nullptr, G_SPAWN_SEARCH_PATH,
                                  nullptr, nullptr, &out, nullptr, nullptr, nullptr);
    std::string said = ran && out ? out : "";
    g_free(out);
    return said;
}

// A sale's receipt written as PDF through the real buttons, from the receipt view and
// from its journal entry, on the roll and on A4: the paper's size, the sale's lines
// with their bold, and a card number the view shows in full written masked.
TEST_F(JournalEntries, ASalesReceiptExportedAsPdfFromBothPlaces) {
    gui::stop_answering_dialogs(); // the file choosers are answered here
    gui::click(btn_prn_clear);
    const std::int64_t since = now_ms();
    gui::start_transaction(0, {{txt_txn_input_amount1, "4500"}});
    ASSERT_TRUE(gui::pump_until([] {
        const std::string view = gui::buffer_text_locked(buf_print_job);
        return view.find("TOTAL €45.00") != std::string::npos &&
               view.ends_with("PLEASE KEEP THIS RECEIPT\n \n");
    }));
    ASSERT_TRUE(entry_of("SALE", since));
    {
        gui::Locked lock;
        GtkTextIter end;
        gtk_text_buffer_get_end_iter(buf_print_job, &end);
        gtk_text_buffer_insert_with_tags_by_name(buf_print_job, &end, "CARD 4111111111111111\n", -1,
                                                 "BOLD", nullptr);
    }
    gui::show_page(page_journal);
    struct Case {
        GtkWidget* button;
        int paper; // row of the paper choice: 0 the roll, 1 A4
        const char* size;
        bool full_card_shown;
    };
    const Case cases[] = {
        {btn_prn_export_pdf, 0, "226.772 x ", true},
        {btn_prn_export_pdf, 1, "595.276 x 841.89 pts", true},
        {btn_jrn_export_receipt_pdf, 0, "226.772 x ", false},
        {btn_jrn_export_receipt_pdf, 1, "595.276 x 841.89 pts", false},
    };
    gui::search_journal("SALE"); // not a later "Receipt" entry
    ASSERT_TRUE(gui::pump_until([] {
        GtkTreeIter first;
        if (!gtk_tree_model_get_iter_first(GTK_TREE_MODEL(ls_journal), &first))
            return false;
        GtkTreePath* path = gtk_tree_path_new_first();
        gtk_tree_view_set_cursor(GTK_TREE_VIEW(tv_jrn_list), path, nullptr, FALSE);
        gtk_tree_path_free(path);
        return true;
    }));
    for (const Case& c : cases) {
        const std::string path =
            test_work_dir() + "/receipt-" + std::to_string(&c - cases) + ".pdf";
        SCOPED_TRACE(path);
        gui::choose_file(c.button, test_work_dir(), fs::path(path).filename(), GTK_RESPONSE_ACCEPT,
                         [&](GtkWidget* dialog) {
                             GtkWidget* paper = gui::find_child(
                                 gtk_file_chooser_get_extra_widget(GTK_FILE_CHOOSER(dialog)),
                                 "cmb_receipt_paper");
                             ASSERT_TRUE(paper);
                             gui::set_active(paper, c.paper);
                             gui::Locked lock;
                             EXPECT_EQ(gtk_window_get_transient_for(GTK_WINDOW(dialog)),
                                       GTK_WINDOW(MainEcrWindow));
                         });
        ASSERT_TRUE(gui::pump_until([&] { return fs::exists(path); }));
        EXPECT_NE(poppler("pdfinfo", path).find(c.size), std::string::npos)
            << poppler("pdfinfo", path);
        // The merchant's name and the sale's type print bold, also from the journal.
        EXPECT_NE(poppler("pdffonts", path).find("Bold"), std::string::npos)
            << poppler("pdffonts", path);
        const std::string text = poppler("pdftotext", path);
        EXPECT_NE(text.find("TOTAL €45.00"), std::string::npos) << text;
        EXPECT_NE(text.find("679999******4564"), std::string::npos) << text;
        EXPECT_EQ(text.find("4111111111111111"), std::string::npos) << text;
        EXPECT_EQ(text.find("411111******1111") != std::string::npos, c.full_card_shown) << text;
    }
    gui::search_journal("");
    gui::show_start_page();
}

} // namespace
