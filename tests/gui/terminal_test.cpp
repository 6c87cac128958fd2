// Terminal events in the real window: the event server's buttons, the event loop
// and its dispatch (over scripted answers of the terminal library), the signature
// check, the voice referral, partial authorisation and AVS windows, the password
// dialog and the DCC panel (whole sales with their questions: see JournalEntries);
// then terminal management: status, receipt printing, tracing, printing, busy flags.
#include "end_of_day.h"
#include "terminal_events.h"
#include "terminal_management.h"
#include "transactions.h"
#include "gui_harness.h"
#include "korvex.h"
#include "test_util.h"
#include "ui_components.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <initializer_list>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using gui::find_child, gui::kGreen, gui::kRed, gui::kYellow;

constexpr TerminalEventOut terminal_event(short code, short result = 0) {
    return {1, code, result};
}

// The one dialog answered since the last call.
gui::DialogAnswer the_dialog() {
    const std::vector<gui::DialogAnswer> dialogs = gui::answered_dialogs();
    EXPECT_EQ(dialogs.size(), 1u);
    return dialogs.empty() ? gui::DialogAnswer{} : dialogs.back();
}

class TerminalEvents : public ::testing::Test {
  protected:
    void SetUp() override {
        korvex_sim_reset();
        gui::stop_answering_dialogs();
        gui::answered_dialogs();
    }
    void TearDown() override {
        korvex_sim_reset(); // releases a held call
        gui::answer_dialogs(GTK_RESPONSE_OK);
        EXPECT_TRUE(gui::pump_until([] { return !WaitEventState && !StartStopEventServer; }))
            << "the event loop is still running";
        gui::stop_answering_dialogs();
        gui::answered_dialogs();
        gui::show_start_page(); // a password request takes the cashier to its entry
    }

    // Starts the event loop over these answers of the terminal; the last one must
    // end the loop. The result line is set to "-" once the start was shown, so that
    // what the loop shows can be told apart.
    void run_loop(std::initializer_list<TerminalEventOut> answers) {
        script("StartServer", terminal_event(0));
        for (const TerminalEventOut& answer : answers)
            script("WaitTerminalEvent", answer);
        korvex_sim_hold("WaitTerminalEvent", 1);
        gui::click(btn_start_ecr_event_server);
        ASSERT_TRUE(gui::pump_until(
            [] { return calls("WaitTerminalEvent") == 1 && !StartStopEventServer; }));
        EXPECT_EQ(gui::text(txt_request_output), "OK");
        gui::set_text(txt_request_output, "-");
        korvex_sim_hold("WaitTerminalEvent", 0);
        waits_ = answers.size();
    }
    void run_event(short code) { run_loop({terminal_event(code), terminal_event(0)}); }
    bool loop_ended() const { return calls("WaitTerminalEvent") == waits_ && !WaitEventState; }

    // The loop shows its event's result right after it started the handler thread;
    // holding the handler's library call until the loop has ended puts the
    // handler's own result last, as it is when the terminal takes its time.
    void run_event_with_handler_result_last(short code, const char* call) {
        korvex_sim_hold(call, 1);
        run_event(code);
        ASSERT_TRUE(gui::pump_until([&] { return loop_ended() && calls(call) == 1; }));
        korvex_sim_hold(call, 0);
    }

    std::size_t waits_ = 0;
};

TEST_F(TerminalEvents, StartAndStopButtonsShowTheServersAnswer) {
    // Beside the result line, whether the server runs (shown after the flag is set).
    GtkWidget* state = find_child(MainEcrWindow, "lbl_event_server");
    const auto shows = [&](const char* text) {
        return gtk_label_get_text(GTK_LABEL(state)) == std::string(text);
    };
    EXPECT_TRUE(gui::pump_until([&] { return shows("Event server: stopped"); }));
    // The result line is emptied at once, before the worker has an answer; the
    // busy flag meanwhile refuses the other button too.
    gui::set_text(txt_request_output, "previous");
    korvex_sim_hold("StartServer", 1);
    gui::click(btn_start_ecr_event_server);
    EXPECT_EQ(gui::text(txt_request_output), "");
    gui::click(btn_stop_ecr_event_server);
    gui::pump(100);
    EXPECT_EQ(calls("StopServer"), 0u);
    korvex_sim_hold("StartServer", 0);
    ASSERT_TRUE(gui::pump_until([] { return WaitEventState.load(); }));
    EXPECT_TRUE(gui::wait_for_text(txt_request_output, "OK"));
    EXPECT_TRUE(gui::pump_until([&] { return shows("Event server: running"); }));

    for (const auto& [button, shown] : std::vector<std::pair<GtkWidget*, const char*>>{
             {btn_start_ecr_event_server, "Server Already Started"},
             {btn_stop_ecr_event_server, "OK"},
             {btn_stop_ecr_event_server, "Server Already Stopped"}}) {
        SCOPED_TRACE(shown);
        gui::click(button);
        EXPECT_TRUE(gui::pump_until([&] {
            return !StartStopEventServer &&
                   gtk_entry_get_text(GTK_ENTRY(txt_request_output)) == std::string(shown);
        }));
    }
    EXPECT_TRUE(gui::pump_until([] { return !WaitEventState; })) << "the stop ends the loop";
    EXPECT_EQ(calls("StartServer"), 2u);
    EXPECT_TRUE(gui::pump_until([&] { return shows("Event server: stopped"); }));
}

TEST_F(TerminalEvents, AnAnswerWithoutEventOrWithAFailureEndsTheLoopSilently) {
    gui::answer_dialogs(GTK_RESPONSE_OK);
    for (const TerminalEventOut& end :
         {terminal_event(0), terminal_event(0, 7), terminal_event(5, 3)}) {
        SCOPED_TRACE(end.EventIdentifierOut * 100 + end.DiagRequestOut);
        korvex_sim_reset();
        run_loop({end});
        ASSERT_TRUE(gui::pump_until([&] { return loop_ended(); }));
        gui::pump(100);
        EXPECT_EQ(gui::text(txt_request_output), "-") << "nothing is shown";
        EXPECT_TRUE(gui::answered_dialogs().empty());
    }
}

TEST_F(TerminalEvents, EveryEventCodeIsDispatched) {
    struct Dispatch {
        short code;
        const char* fetch;  // the call of the handler thread, or null
        std::string dialog; // the dialog text, or "" for none
        const char* window; // the window opened, or null
        const char* answer; // the answer call made once dialog or window is closed
        int response = GTK_RESPONSE_OK; // the cashier's answer to the dialog
        short sent = -1; // the suspected fraud status sent for it
        PasswordParamsOut params = {1, 3, 0, 0}; // what a password request asks for
        const char* shown = nullptr; // the handler's result line, shown after the loop's
    };
    const std::string password = "Password request entry is received\nPassword Type : ";
    const char* const fraud = "Void due to suspected fraud?";
    // clang-format off
    const Dispatch table[] = {
        {1, "CheckSignReq", "A signature Verification request is received\nTransaction Type = SALE", nullptr, "SetSignStatus"},
        {2, "CheckVoiceReferralReq", "", "win_voice_ref", "SetAuthorisation"},
        {3, "DCCQuotation", "A DCC quotation request is received", nullptr, nullptr},
        {4, nullptr, "An automatic EFT settlement request is received", nullptr, nullptr},
        {5, nullptr, "An automatic MTU settlement request is received", nullptr, nullptr},
        {6, "GetPasswordParams", password + "User Password.\nAttempt : 1/3", nullptr, nullptr},
        // The last type with a name, one without, and a request that cannot be read.
        {6, "GetPasswordParams", password + "VOID Password.\nAttempt : 2/3", nullptr, nullptr, GTK_RESPONSE_OK, -1, {2, 3, 3, 0}, "OK"},
        {6, "GetPasswordParams", password + "Unknown Password (7).\nAttempt : 200/255", nullptr, nullptr, GTK_RESPONSE_OK, -1, {200, 255, 7, 0}, "OK"},
        {6, "GetPasswordParams", "", nullptr, nullptr, GTK_RESPONSE_OK, -1, {1, 3, 1, 9}, "PED Not Authenticated"},
        // The simulated terminal asks nothing here: the fetches of 7 and 8 fail, and
        // their windows open all the same.
        {7, "GetPartialAuthData", "", "partial_auth_dlg", "SetPartialAuthStatus"},
        {8, "GetAVSRejectionData", "", "avs_rej_dlg", "SetAVSRejectionStatus"},
        // Only "Yes" voids (0); "No" and closing the dialog go on (1).
        {9, nullptr, fraud, nullptr, "SetSuspectedFraudStatus", GTK_RESPONSE_YES, 0},
        {9, nullptr, fraud, nullptr, "SetSuspectedFraudStatus", GTK_RESPONSE_NO, 1},
        {9, nullptr, fraud, nullptr, "SetSuspectedFraudStatus", GTK_RESPONSE_DELETE_EVENT, 1},
        {10, nullptr, "An automatic batch close event was received", nullptr, nullptr},
        {11, nullptr, "", nullptr, nullptr},
        {-1, nullptr, "", nullptr, nullptr},
        {-32768, nullptr, "", nullptr, nullptr},
    };
    // clang-format on
    const char* const handler_calls[] = {"CheckSignReq",           "CheckVoiceReferralReq",
                                         "DCCQuotation",           "GetPasswordParams",
                                         "GetPartialAuthData",     "GetAVSRejectionData",
                                         "SetSuspectedFraudStatus"};
    for (const Dispatch& d : table) {
        SCOPED_TRACE(std::to_string(d.code) + " answered " + std::to_string(d.response));
        korvex_sim_reset();
        script("CheckVoiceReferralReq", VoiceReferralInfos_out{});
        script("GetPasswordParams", d.params);
        IsSignatureSet = true; // the cashier answered already
        gui::answer_dialogs(d.response);
        if (d.shown)
            run_event_with_handler_result_last(d.code, d.fetch);
        else
            run_event(d.code);

        if (d.window) {
            GtkWidget* window = gui::wait_for_window(d.window);
            ASSERT_NE(window, nullptr) << d.window;
            gui::close_window(window);
            EXPECT_EQ(gui::wait_for_window(d.window, 0), nullptr);
        }
        ASSERT_TRUE(gui::pump_until([&] {
            return loop_ended() && (!d.answer || calls(d.answer) == 1) &&
                   (!d.fetch || calls(d.fetch) == 1) && !DCCQuotationState;
        }));
        gui::pump(50);
        for (const std::string call : handler_calls) {
            if (call != (d.fetch ? d.fetch : "") && call != (d.answer ? d.answer : "")) {
                EXPECT_EQ(calls(call.c_str()), 0u) << call;
            }
        }
        const std::vector<gui::DialogAnswer> dialogs = gui::answered_dialogs();
        ASSERT_EQ(dialogs.size(), d.dialog.empty() ? 0u : 1u);
        if (!d.dialog.empty()) {
            EXPECT_EQ(dialogs[0].text, d.dialog);
        }
        if (d.shown) {
            EXPECT_TRUE(gui::wait_for_text(txt_request_output, d.shown));
        }
        if (d.code == 6 && !d.dialog.empty()) {
            EXPECT_EQ(dialogs[0].title, "PASSWORD EVENT");
            // Where to answer, and the cashier taken there once the window closes.
            EXPECT_NE(dialogs[0].secondary.find("Terminal page"), std::string::npos);
            EXPECT_NE(dialogs[0].secondary.find("Send password"), std::string::npos);
            EXPECT_TRUE(gui::pump_until([] {
                return gtk_window_get_focus(GTK_WINDOW(MainEcrWindow)) == txt_set_password &&
                       gtk_widget_get_mapped(txt_set_password);
            }));
            gui::show_start_page();
        }
        if (d.sent >= 0) {
            EXPECT_EQ(dialogs[0].title, "SUSPECTED FRAUD");
            EXPECT_EQ(last_request<SuspectedFraudInOut>(d.answer).SuspectedFraudStatusIn, d.sent);
        }
        if (!d.fetch && !d.answer) { // only the loop itself shows something
            EXPECT_EQ(gui::text(txt_request_output), "OK");
        }
    }
}

CheckSignReceiptInfo_out signature_receipt(const std::string& type) {
    CheckSignReceiptInfo_out receipt{};
    put(receipt.TransactionTypeOut, type);
    put(receipt.TotalAmountOut, "000000004200");
    put(receipt.TransactionCurrencyCodeOut, "978");
    put(receipt.PANOut, "679999******4564");
    put(receipt.HostTextOut, "SIGN PLEASE");
    receipt.IsDCCTxnOut = 1;
    return receipt;
}

TEST_F(TerminalEvents, ASignatureAnsweredBeforeTheRequestIsTakenWithoutBlinking) {
    gui::click(rad_sign_ok); // counts even when it is the active button already
    gui::click(rad_sign_ok);
    gui::set_text(txt_txn_output_msg_number, "7");
    script("CheckSignReq", signature_receipt("00"));
    script("SetSignStatus", Sign_Status_out{1});
    gui::answer_dialogs(GTK_RESPONSE_OK);
    run_event(1);
    bool blinked = false;
    const auto start = Clock::now();
    ASSERT_TRUE(gui::pump_until([&] {
        blinked |=
            gtk_entry_get_text(GTK_ENTRY(txt_Sign_Status)) == std::string("Signature In Progress");
        return calls("SetSignStatus") == 1;
    }));
    EXPECT_FALSE(blinked);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(900));
    EXPECT_EQ(last_request<Sign_Status_in>("SetSignStatus").SignatureStatusIn, 1);
    EXPECT_FALSE(IsSignatureSet) << "the answer was taken";

    EXPECT_EQ(the_dialog().title, "SIGNATURE EVENT"); // its text: see the dispatch
    // The receipt data in the transaction panel, by the panel's rules.
    EXPECT_EQ(gui::text(txt_txn_output_msg_number), "") << "emptied first";
    EXPECT_EQ(gui::text(txt_txn_output_total_amount), "000000004200");
    EXPECT_EQ(gui::text(txt_txn_output_txn_currency_code), "\u20ac");
    EXPECT_EQ(gui::text(txt_txn_output_pan), "679999******4564");
    EXPECT_EQ(gui::text(txt_txn_output_is_dcc_txn), "TRUE");
    EXPECT_EQ(gui::buffer_text(buf_host_msg), "SIGN PLEASE");
    EXPECT_TRUE(gui::wait_for_text(txt_request_output, "Unable To Connect"))
        << "the terminal's answer to the cashier's, shown last";
}

TEST_F(TerminalEvents, ALaterClickIsTakenWithinTwoSeconds) {
    gui::set_toggle(none_btn_sign, true);
    IsSignatureSet = false; // as every transaction starts
    script("CheckSignReq", signature_receipt("99"));
    script("SetSignStatus", Sign_Status_out{9});
    gui::answer_dialogs(GTK_RESPONSE_OK);
    run_event(1);
    ASSERT_TRUE(gui::wait_for_text(txt_Sign_Status, "Signature In Progress"));
    EXPECT_EQ(gui::text_color(txt_Sign_Status), "#0000ff");
    gui::pump(700); // somewhere in the blink
    EXPECT_EQ(calls("SetSignStatus"), 0u) << "it waits for the cashier";
    const auto clicked = Clock::now();
    gui::click(rad_sign_nok);
    ASSERT_TRUE(gui::pump_until([] { return calls("SetSignStatus") == 1; }, 5000));
    EXPECT_LE(Clock::now() - clicked, std::chrono::milliseconds(2300));
    EXPECT_EQ(last_request<Sign_Status_in>("SetSignStatus").SignatureStatusIn, 0);
    EXPECT_EQ(gui::text(txt_Sign_Status), "");
    EXPECT_EQ(the_dialog().text,
              "A signature Verification request is received\nTransaction Type = ");
    EXPECT_TRUE(gui::wait_for_text(txt_request_output, "PED Not Authenticated"));
}

class TerminalEventsReferralWindow : public TerminalEvents {
  protected:
    GtkWidget* open_window() {
        VoiceReferralInfos_out referral{};
        put(referral.PhoneNumberOut, "0800 555 0199");
        put(referral.MerchantIdOut, "000000012345678");
        put(referral.HostMessageOut, "CALL AUTH CENTRE");
        script("CheckVoiceReferralReq", referral);
        run_event(2);
        gui::pump_until([&] { return loop_ended(); });
        return gui::wait_for_window("win_voice_ref");
    }
    // The status and the seven code bytes sent once the window has closed.
    void expect_sent(short status, const std::string& code, std::size_t sends = 1) {
        EXPECT_EQ(gui::wait_for_window("win_voice_ref", 0), nullptr);
        ASSERT_EQ(calls("SetAuthorisation"), sends);
        const auto sent = last_request<VoiceReferralStatus_in>("SetAuthorisation");
        EXPECT_EQ(sent.AuthorisationStatusIn, status);
        EXPECT_EQ(std::string(sent.AuthorisationCodeIn, 7), code);
    }
};

TEST_F(TerminalEventsReferralWindow, ItemLogicAndTheOutcomeSent) {
    GtkWidget* window = open_window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(gui::label_text(find_child(window, "lb_Phone")), "0800 555 0199");
    EXPECT_EQ(gui::label_text(find_child(window, "lb_MerchId")), "000000012345678");
    EXPECT_EQ(gui::label_text(find_child(window, "lb_hostMsg")), "CALL AUTH CENTRE");
    GtkWidget* selector = find_child(window, "cb_ref_state");
    GtkWidget* code = find_child(window, "txt_auth_code");
    GtkWidget* ok = find_child(window, "btn_auth_ok");
    EXPECT_FALSE(gui::sensitive(selector));
    EXPECT_FALSE(gui::sensitive(code));
    EXPECT_FALSE(gui::sensitive(ok));

    gui::click(find_child(window, "accept_check"));
    EXPECT_TRUE(gui::sensitive(selector));
    EXPECT_FALSE(gui::sensitive(ok));
    gui::set_active(selector, 0);
    EXPECT_TRUE(gui::sensitive(code));
    EXPECT_TRUE(gui::sensitive(ok));
    gui::set_text(code, "AB12CD");
    gui::set_active(selector, 1);
    EXPECT_TRUE(gui::sensitive(code)) << "the code entry stays editable after item 0";
    gui::click(find_child(window, "accept_check")); // unticked: the selector closes, OK stays
    EXPECT_FALSE(gui::sensitive(selector));
    EXPECT_TRUE(gui::sensitive(ok));
    gui::click(ok);
    expect_sent(1, std::string(7, '\0')); // item 1, the one still selected
}

TEST_F(TerminalEventsReferralWindow, EachItemSendsItsOutcomeAndClosingEqualsCancel) {
    struct Case {
        int item;
        const char* typed;
        const char* button; // null: closed by the title bar
        short status;
        std::string code;                // the 7 bytes sent (last)
        std::vector<short> results = {0}; // the terminal's answers to the sends
        const char* shown = "OK";
    };
    const Case cases[] = {
        {0, "AB12CD", "btn_auth_ok", 2, std::string("AB12CD\0", 7)},
        {0, "ABCDEFGHI", "btn_auth_ok", 2, "ABCDEFG"}, // the entry keeps 7: no terminator
        {2, "", "btn_auth_ok", 0, std::string(7, '\0')},
        {0, "AB12CD", "btn_auth_cancel", 0, std::string(7, '\0')},
        {0, "AB12CD", nullptr, 0, std::string(7, '\0')},
        // A bad request format is sent once more, declined, and not again.
        {0, "X", "btn_auth_ok", 1, std::string(7, '\0'), {3, 1}, "Unable To Connect"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.item) + " " + (c.button ? c.button : "closed"));
        korvex_sim_reset();
        for (const short result : c.results)
            script("SetAuthorisation", VoiceReferralStatus_out{result});
        GtkWidget* window = open_window();
        ASSERT_NE(window, nullptr);
        gui::click(find_child(window, "accept_check"));
        gui::set_active(find_child(window, "cb_ref_state"), c.item);
        gui::set_text(find_child(window, "txt_auth_code"), c.typed);
        if (c.button)
            gui::click(find_child(window, c.button));
        else
            gui::close_window(window);
        expect_sent(c.status, c.code, c.results.size());
        EXPECT_EQ(gui::text(txt_request_output), c.shown);
    }
}

TEST_F(TerminalEventsReferralWindow, DetailsThatCannotBeFetchedOpenNoWindow) {
    VoiceReferralInfos_out failed{};
    failed.DiagRequestOut = 1;
    script("CheckVoiceReferralReq", failed);
    run_event_with_handler_result_last(2, "CheckVoiceReferralReq");
    EXPECT_TRUE(gui::wait_for_text(txt_request_output, "Unable To Connect"));
    gui::pump(100);
    EXPECT_EQ(gui::wait_for_window("win_voice_ref", 0), nullptr);
    EXPECT_EQ(calls("SetAuthorisation"), 0u);
}

// The terminal gave up on the first question and asked again: each window shows
// its own details and answers for itself, exactly once, whichever is answered
// first; accepted by its button, refused by its own button or by closing it.
TEST_F(TerminalEvents, TwoWindowsOfOneKindEachAnswerForThemselves) {
    auto open_windows = [](const char* id) {
        gui::Locked lock;
        return gui::windows_named(id);
    };
    struct Kind {
        short event;
        const char* window;
        const char* label; // shows the detail that tells the two windows apart
        const char* answer_call;
        const char* accept;  // the accepting button (the referral's with item 1, declined)
        const char* decline; // the refusing button, null: only closing refuses
        short accepted, declined; // the statuses each sends
    };
    const Kind kinds[] = {
        {7, "partial_auth_dlg", "lb_hp_amt", "SetPartialAuthStatus", "btn_hp_acc", "btn_hp_dec", 0, 1},
        {8, "avs_rej_dlg", "lb_avs_resp", "SetAVSRejectionStatus", "btn_avs_acc", "btn_avs_dec", 0, 1},
        {2, "win_voice_ref", "lb_Phone", "SetAuthorisation", "btn_auth_ok", nullptr, 1, 0},
    };
    for (const Kind& kind : kinds) {
        // The status sent by the latest answer (the referral's is not its record's start).
        auto sent = [&] {
            if (kind.event == 2)
                return last_request<VoiceReferralStatus_in>(kind.answer_call).AuthorisationStatusIn;
            short status = -1;
            korvex_sim_last_request(kind.answer_call, &status, sizeof status);
            return status;
        };
        for (const int first : {0, 1}) { // which of the two windows is answered first
            SCOPED_TRACE(std::string(kind.window) + " answering " + (first ? "B" : "A") + " first");
            korvex_sim_reset();
            for (const char* tell : {"A", "B"}) {
                PartialAuthOut partial{};
                put(partial.AcquirerMerchantIDOut, "000000012345678");
                put(partial.PartialAmountOut, tell);
                script("GetPartialAuthData", partial);
                AVSRejectionOut avs{};
                put(avs.AVSResponseOut, tell);
                script("GetAVSRejectionData", avs);
                VoiceReferralInfos_out referral{};
                put(referral.PhoneNumberOut, tell);
                script("CheckVoiceReferralReq", referral);
            }
            run_loop({terminal_event(kind.event), terminal_event(kind.event), terminal_event(0)});
            ASSERT_TRUE(gui::pump_until(
                [&] { return loop_ended() && gui::windows_named(kind.window).size() == 2; }));
            std::map<std::string, GtkWidget*> by_label;
            for (GtkWidget* window : open_windows(kind.window))
                by_label[gui::label_text(find_child(window, kind.label))] = window;
            ASSERT_EQ(by_label.size(), 2u);
            const std::string order[2] = {first ? "B" : "A", first ? "A" : "B"};
            if (kind.event == 7) {
                EXPECT_EQ(gui::label_text(find_child(by_label["A"], "lb_hp_mid")),
                          "000000012345678");
            }

            if (kind.event == 2) {
                gui::click(find_child(by_label[order[0]], "accept_check"));
                gui::set_active(find_child(by_label[order[0]], "cb_ref_state"), 1);
            }
            gui::click(find_child(by_label[order[0]], kind.accept));
            ASSERT_EQ(calls(kind.answer_call), 1u);
            EXPECT_EQ(sent(), kind.accepted);
            const std::vector<GtkWidget*> left = open_windows(kind.window);
            ASSERT_EQ(left.size(), 1u) << "the answered window closes, the other stays";
            EXPECT_EQ(gui::label_text(find_child(left[0], kind.label)), order[1]);

            if (first && kind.decline)
                gui::click(find_child(left[0], kind.decline));
            else
                gui::close_window(left[0]);
            EXPECT_EQ(calls(kind.answer_call), 2u);
            EXPECT_EQ(sent(), kind.declined);
            EXPECT_TRUE(open_windows(kind.window).empty());
        }
    }
}

TEST_F(TerminalEvents, DccPanelShowsTheQuotationAsItStands) {
    const std::set<std::string> exponents = {"txt_dcc_term_cur_exp", "txt_dcc_card_cur_exp",
                                             "txt_dcc_fx_exp_applied"};
    const std::vector<GtkWidget*> panel = gui::entries_named("txt_dcc_");
    ASSERT_EQ(panel.size(), 25u);
    for (GtkWidget* entry : panel)
        gui::set_text(entry, "old");

    // A zeroed record: the library wrote nothing.
    script("DCCQuotation", DCCQuotationDataOut{});
    gui::answer_dialogs(GTK_RESPONSE_OK);
    run_event(3);
    ASSERT_TRUE(gui::pump_until(
        [&] { return loop_ended() && calls("DCCQuotation") == 1 && !DCCQuotationState; }));
    for (GtkWidget* entry : panel)
        EXPECT_EQ(gui::text(entry), exponents.count(gui::id_of(entry)) ? "0" : "")
            << gui::id_of(entry);

    // A quotation with a failing result code: shown all the same, the codes as digits.
    korvex_sim_reset();
    DCCQuotationDataOut quotation{};
    put(quotation.MerchantNameOut, "KELVRA TEST SHOP");
    put(quotation.ReferenceRateProviderOut, std::string(256, 'R')); // no terminator
    quotation.CardCurrencyExpOut = -1;
    quotation.DiagRequestOut = 5;
    script("DCCQuotation", quotation);
    gui::stop_answering_dialogs();
    gui::answered_dialogs();
    run_event(3);
    // The handler shows the quotation while the loop's announcement is still open.
    ASSERT_TRUE(gui::pump_until([&] {
        return calls("DCCQuotation") == 1 && !DCCQuotationState &&
               gui::open_dialog_text() == "A DCC quotation request is received" &&
               gtk_entry_get_text(GTK_ENTRY(txt_request_output)) ==
                   std::string("Reception Timeout");
    }));
    EXPECT_EQ(gui::text(txt_dcc_merchant_name), "KELVRA TEST SHOP");
    EXPECT_EQ(gui::text(txt_dcc_ref_rate_provider), std::string(256, 'R'));
    EXPECT_EQ(gui::text(txt_dcc_cur_conv_provider), "") << "not run into by the field before";
    EXPECT_EQ(gui::text(txt_dcc_card_cur_exp), "-1");
    EXPECT_EQ(gui::text_color(txt_request_output), "#ff0000");
    gui::answer_dialogs(GTK_RESPONSE_OK);
    ASSERT_TRUE(gui::pump_until([&] { return loop_ended(); }));
    EXPECT_EQ(the_dialog().text, "A DCC quotation request is received");
}

bool idle(const std::atomic<bool>& busy) {
    return gui::pump_until([&] { return !busy; });
}

class TerminalManagement : public ::testing::Test {
  protected:
    void SetUp() override { korvex_sim_reset(); }
    void TearDown() override { korvex_sim_reset(); }
};

// Status queries run the worker, the polling thread and the window together: these
// also run under ThreadSanitizer.
class TerminalStatus : public TerminalManagement {
  protected:
    void SetUp() override {
        TerminalManagement::SetUp();
        gui::set_toggle(chb_periodic_get_terminal_status, false);
    }
    void TearDown() override {
        if (periodicFlag) { // stops a loop a failed test left running
            gui::set_toggle(chb_periodic_get_terminal_status, true);
            gui::click(btn_get_status);
        }
        TerminalManagement::TearDown();
    }
    std::string label() {
        gui::Locked lock;
        return gtk_button_get_label(GTK_BUTTON(btn_get_status));
    }
};

TEST_F(TerminalStatus, TheSingleQueryNamesTheStatesOfItsTable) {
    struct Case {
        Status_out answer;
        const char *text, *colour;
    };
    // Not the polling's names; the colours by state; past both ends; a failure.
    for (const Case& c : std::vector<Case>{{{0, 0}, "Unknown", kYellow},
                                           {{1, 0}, "Idle", kGreen},
                                           {{5, 0}, "Authorizing", kRed},
                                           {{8, 0}, "Error", kRed},
                                           {{-1, 0}, "Error", kRed},
                                           {{1, 9}, "", nullptr}}) {
        SCOPED_TRACE(c.text);
        script("GetTerminalState", c.answer);
        ASSERT_TRUE(gui::press(btn_get_status, "GetTerminalState", SingleState));
        EXPECT_EQ(gui::text(txt_get_terminal_status), c.text);
        if (c.colour) {
            EXPECT_EQ(gui::settled_color(txt_get_terminal_status, c.colour), c.colour);
        }
    }
    EXPECT_EQ(gui::text(txt_request_output), "PED Not Authenticated");
}

TEST_F(TerminalStatus, PollingNamesTheStatesOfItsOwnTableAndGoesOnAfterFailures) {
    for (const Status_out answer : {Status_out{8, 0}, {19, 0}, {20, 0}, {1, 9}, {1, 0}})
        script("GetTerminalState", answer);
    gui::set_spin(spbtn_get_terminal_status_per_time, 1);
    gui::set_toggle(chb_periodic_get_terminal_status, true);
    gui::click(btn_get_status);
    EXPECT_EQ(label(), "Stop Periodic Status");
    for (const auto& [text, colour] : std::vector<std::pair<const char*, const char*>>{
             {"GRATUITY_ENTRY", kRed}, {"PRINTING_CUSTOMER_COPY", kRed}, {"ERROR", kRed}}) {
        ASSERT_TRUE(gui::wait_for_text(txt_get_terminal_status, text, 3000)) << text;
        EXPECT_EQ(gui::settled_color(txt_get_terminal_status, colour), colour);
    }
    ASSERT_TRUE(gui::wait_for_text(txt_request_output, "PED Not Authenticated", 3000));
    EXPECT_EQ(gui::text(txt_get_terminal_status), "");
    EXPECT_TRUE(gui::wait_for_text(txt_get_terminal_status, "IDLE", 3000)) << "polling goes on";
    gui::click(btn_get_status);
    EXPECT_EQ(label(), "Get Status");
}

TEST_F(TerminalStatus, AStopFollowedAtOnceByAStartLeavesOneLoop) {
    gui::set_spin(spbtn_get_terminal_status_per_time, 1);
    gui::set_toggle(chb_periodic_get_terminal_status, true);
    gui::click(btn_get_status);
    ASSERT_TRUE(gui::pump_until([] { return calls("GetTerminalState") == 1; }));
    gui::click(btn_get_status); // stop, while the first loop sleeps
    gui::click(btn_get_status); // and start again
    const auto started = std::chrono::steady_clock::now();
    gui::pump(2500);
    // The new loop asks at once and after 1 and 2 seconds; the first one, had it
    // gone on, would have asked twice more.
    const std::size_t asked = calls("GetTerminalState");
    EXPECT_GE(asked, 3u);
    EXPECT_LE(asked, 4u);
    gui::click(btn_get_status);
    EXPECT_EQ(label(), "Get Status");
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
}

TEST_F(TerminalManagement, TheDateAndTimeAreSentAsTwoDigitFields) {
    {
        gui::Locked lock;
        gtk_calendar_select_month(GTK_CALENDAR(cal_terminal_date), 11, 2026); // December
        gtk_calendar_select_day(GTK_CALENDAR(cal_terminal_date), 4);
    }
    gui::set_spin(sp_dt_hour, 9);
    gui::set_spin(sp_dt_min, 5);
    gui::set_spin(sp_dt_sec, 0);
    for (const auto& [status, shown, colour] :
         std::vector<std::tuple<short, const char*, const char*>>{{0, "Success", kGreen},
                                                                  {1, "Fail", kRed}}) {
        script("SetTimeDate", TimeDate_out{0, status}); // the terminal's clock stays
        ASSERT_TRUE(gui::press(btn_set_terminal_date_time, "SetTimeDate", TimerState));
        EXPECT_EQ(gui::text(txt_set_terminal_date_time_status), shown);
        EXPECT_EQ(gui::settled_color(txt_set_terminal_date_time_status, colour), colour);
    }
    const auto in = last_request<TimeDate_in>("SetTimeDate");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&in), sizeof in),
              std::string("26\00012\00004\00009\00005\00000\0", 18));
    gui::Locked lock;
    set_time_from_system();
}

TEST_F(TerminalManagement, OneChangeOfTheReceiptPrintButtonsSendsOneRequest) {
    std::size_t expected_calls = 0;
    for (const auto& [button, sent] :
         {std::pair<GtkWidget*, short>{rad_print_txn_receipt_disabled, 0},
          {rad_print_txn_receipt_enabled, 1},
          {rad_print_txn_receipt_enabled, 1}}) { // already active
        gui::click(button);
        ASSERT_TRUE(idle(TxnReceiptPrint));
        EXPECT_EQ(calls("SetTxnReceiptPrintStatus"), ++expected_calls);
        EXPECT_EQ(last_request<InitTxnReceiptPrint_InOut>("SetTxnReceiptPrintStatus").StatusIn, sent);
        EXPECT_EQ(gui::text(txt_request_output), "OK");
    }
}

TEST_F(TerminalManagement, TheTracingCheckButtonIsCorrectedAfterAFailureWithoutARequest) {
    const std::string folder = test_work_dir() + "/trace-gui";
    std::filesystem::create_directories(folder);
    ASSERT_FALSE(IsTraceTlvEnabled);
    gui::set_text(txt_new_folder_path, folder);
    SetTraceTlvMessagesEnabelement_InOut failed{};
    put(failed.FolderPathInOut, "/refused");
    failed.DiagRequestOut = 3; // and tracing off
    script("SetTraceTlvMessagesEnabelement", failed);

    gui::click(checkbtn_trace_tlv_enablement);
    EXPECT_EQ(calls("SetTraceTlvMessagesEnabelement"), 1u);
    EXPECT_FALSE(gui::toggled(checkbtn_trace_tlv_enablement)) << "shows the library's state";
    EXPECT_FALSE(IsTraceTlvFailed) << "the correction's click was taken as such";
    EXPECT_EQ(gui::text(txt_request_output), "Bad Request Format");
    EXPECT_EQ(gui::settled_color(txt_request_output, kRed), kRed);
    EXPECT_EQ(gui::text(txt_new_folder_path), "/refused");

    // The next click asks again to switch on, with the folder written back; the
    // terminal itself refuses that folder too.
    gui::click(checkbtn_trace_tlv_enablement);
    EXPECT_EQ(calls("SetTraceTlvMessagesEnabelement"), 2u);
    auto sent =
        last_request<SetTraceTlvMessagesEnabelement_InOut>("SetTraceTlvMessagesEnabelement");
    EXPECT_EQ(sent.TraceEnabelementINOut, 1);
    EXPECT_EQ(text_of(sent.FolderPathInOut), "/refused");
    EXPECT_FALSE(gui::toggled(checkbtn_trace_tlv_enablement));

    // A folder the terminal takes: on, and off again.
    gui::set_text(txt_new_folder_path, folder);
    for (const bool on : {true, false}) {
        gui::click(checkbtn_trace_tlv_enablement);
        EXPECT_EQ(gui::toggled(checkbtn_trace_tlv_enablement), on);
        EXPECT_EQ(IsTraceTlvEnabled, on);
        EXPECT_EQ(gui::text(txt_request_output), "OK");
    }
    EXPECT_EQ(calls("SetTraceTlvMessagesEnabelement"), 4u);
    gui::set_text(txt_new_folder_path, ""); // as the window started
}

TEST_F(TerminalManagement, PrintInformationEscapesLineFeedsUpToItsLimit) {
    struct Case {
        std::string typed, sent;
        short status;
        const char* shown;
    };
    const std::string x245(245, 'x'), z252(252, 'z'), y100(100, 'y');
    for (const Case& c : std::vector<Case>{
             {"A\nB", "A\\nB", 0, " PRINT OK "},
             {x245 + "\n\n\n\n\n", x245 + "\\n\\n\\n\\n\n", 1, " PRINT NOK "},
             {z252 + "\n", z252 + "\\n", 0, " PRINT OK "},  // 253 bytes: escaped
             {z252 + "z\n", z252 + "z\n", 0, " PRINT OK "}, // 254 bytes: sent as is
             {y100 + "\n" + std::string(199, 'y'), y100 + "\n" + std::string(154, 'y'), 0,
              " PRINT OK "}}) { // 300 bytes: the first 255
        SCOPED_TRACE(c.typed.size());
        gui::set_buffer(buf_print_information, c.typed);
        script("PrintInformationsLaunch", PrintInformation_out{0, c.status});
        gui::click(btn_print_information);
        ASSERT_TRUE(idle(PrintInfoState));
        const auto in = last_request<PrintInformation_in>("PrintInformationsLaunch");
        EXPECT_EQ(text_of(in.PrintBufferIn), c.sent);
        EXPECT_EQ(gui::text(txt_print_information_status), c.shown);
    }
}

// The eligibility answer's flags: 0, 1 or anything else; the limits and the rest
// only for an eligible type.
TEST_F(TerminalManagement, EligibilityFlagsAsTheTerminalGaveThem) {
    const struct {
        signed char result, cash_back, code;
        const char *result_shown, *cash_back_shown, *code_shown;
    } cases[] = {{1, 5, 1, "ELIGIBLE", "UNKNOWN", "TRUE"},
                 {1, 0, 0, "ELIGIBLE", "NOT ELIGIBLE", "FALSE"},
                 {-1, 1, 1, "UNKNOWN", "", ""}};
    gui::set_active(cmb_txn_type, 0);
    for (const auto& c : cases) {
        CheckEligibility_out out{};
        out.EligibilityResultOut = c.result;
        out.CashBackEligibilityOut = c.cash_back;
        out.IsCommercialCodeRequiredOut = c.code;
        script("CheckEligibilityLaunch", out);
        ASSERT_TRUE(gui::press(btn_check_eligibilit, "CheckEligibilityLaunch", CheckEligState));
        EXPECT_EQ(gui::text(txt_check_elig_elig_result), c.result_shown);
        EXPECT_EQ(gui::text(txt_check_elig_cash_back_elig), c.cash_back_shown);
        EXPECT_EQ(gui::text(txt_check_elig_comm_code_requirement), c.code_shown);
    }
}

// Every button whose operation has a busy flag: a double press (the second press
// before the worker has run) and a press while the call runs start one worker, and
// the refused press clears nothing.
TEST(WorkerButtons, ADoublePressMakesOneCall) {
    struct Case {
        GtkWidget** button;
        const char* call;
        const std::atomic<bool>& busy;
    };
    const Case cases[] = {
        {&btn_start_txn, "Transaction_Launch", Txnstate},
        {&btn_get_last_txn_data, "GetLastTxnData_Launch", TxnRecovery},
        {&btn_get_status, "GetTerminalState", SingleState},
        {&btn_set_terminal_date_time, "SetTimeDate", TimerState},
        {&btn_check_eligibilit, "CheckEligibilityLaunch", CheckEligState},
        {&btn_ped_authentication, "CheckPEDAuthenticity", GetPEDSerialNumState},
        {&btn_read_mag_card_tracks, "ReadSwipeCardTracks", ReadTracksState},
        {&btn_print_information, "PrintInformationsLaunch", PrintInfoState},
        {&btn_check_application_enablement, "CheckAppEnablement", AppEnablement},
        {&btn_do_settlement, "DoSettlement", DoSettlementState},
        {&btn_get_settlement_data, "GetSettlementData", GetSettlementDataState},
        {&btn_adjust_tip_amount, "AdjustTipAmount", AdjustTipAmountState},
        {&btn_exr_do_exr_update, "Exchange_Rate_Update_Launch", ExchangeRateUpdateState},
        {&btn_tfr_inp_start_tax_free, "DoTaxFreeRefund", TaxFreeRefundState},
    };
    gui::set_active(cmb_txn_type, 0);
    gui::set_toggle(chb_periodic_get_terminal_status, false);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        korvex_sim_reset();
        korvex_sim_set_delay_scale(0);
        // Answers of nothing where the terminal would otherwise sell, settle, move
        // its clock or print.
        script("Transaction_Launch", Transaction_out{});
        script("SetTimeDate", TimeDate_out{});
        script("PrintInformationsLaunch", PrintInformation_out{});
        script("DoSettlement", SettlementResponseOut{});
        script("GetSettlementData", SettlementResponseOut{});
        script("AdjustTipAmount", AdjustTipAmountOut{});
        script("Exchange_Rate_Update_Launch", ExchangeRateUpdateOut{});
        script("DoTaxFreeRefund", TFRTransactionOut{});
        korvex_sim_hold(c.call, 1);
        gui::click(*c.button);
        gui::click(*c.button);
        ASSERT_TRUE(gui::pump_until([&] { return calls(c.call) >= 1; }));
        // The refused press leaves what the window shows alone.
        gui::set_text(txt_txn_output_msg_number, "still here");
        gui::set_text(txt_request_output, "untouched");
        gui::click(*c.button);
        gui::pump(50);
        EXPECT_EQ(gui::text(txt_txn_output_msg_number), "still here");
        EXPECT_EQ(gui::text(txt_request_output), "untouched");
        korvex_sim_hold(c.call, 0);
        ASSERT_TRUE(idle(c.busy));
        gui::pump(50); // a second worker, if one ran, has made its call by now
        EXPECT_EQ(calls(c.call), 1u);
    }
    korvex_sim_reset();
}

} // namespace
