// Terminal management in the window: status, receipt printing, tracing, printing, busy flags.
#include "end_of_day.h"
#include "terminal_management.h"
#include "transactions.h"
#include "gui_harness.h"
#include "korvex.h"
#include "test_util.h"
#include "ui_components.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <tuple>
#include <vector>

namespace {

using gui::kGreen, gui::kRed, gui::kYellow;

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
