// The simulated terminal's event server, driven as the till drives it: a sale runs
// on one thread while the test, as the till's event loop and cashier, fetches the
// events and answers them through the library's calls.
#include "korvex.h"
#include "korvex_sim.h"
#include "test_env.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <future>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;

template <std::size_t N> void set(char (&field)[N], const std::string& text) {
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), std::min(text.size(), N));
}

template <std::size_t N> std::string text(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

Transaction_out launch(const std::string& amount, const std::string& type = "00") {
    Transaction_in in{};
    set(in.MessageNumberIn, "5");
    set(in.TransactionTypeIn, type);
    set(in.Amount1In, amount);
    Transaction_out out{};
    Transaction_Launch(&in, &out);
    return out;
}

TerminalEventOut start_server() {
    TerminalEventOut out{};
    StartServer(&out);
    return out;
}

TerminalEventOut stop_server() {
    TerminalEventOut out{};
    StopServer(&out);
    return out;
}

// The till's event loop: the next event, or a failure (and a stop that wakes the
// wait) when none comes in time.
TerminalEventOut next_event(std::chrono::milliseconds timeout = 5s) {
    auto waiter = std::async(std::launch::async, [] {
        TerminalEventOut event{};
        WaitTerminalEvent(&event);
        return event;
    });
    if (waiter.wait_for(timeout) != std::future_status::ready) {
        ADD_FAILURE() << "no event within " << timeout.count() << " ms";
        stop_server();
    }
    return waiter.get();
}

// A sale on its own thread, as the till's transaction worker runs it.
class Sale {
  public:
    explicit Sale(std::string amount, std::string type = "00")
        : result_(std::async(std::launch::async, [=] { return launch(amount, type); })) {}
    Transaction_out result() {
        EXPECT_EQ(result_.wait_for(10s), std::future_status::ready) << "the sale did not end";
        return result_.get();
    }

  private:
    std::future<Transaction_out> result_;
};

short answer_signature(int status) {
    Sign_Status_in in{status};
    Sign_Status_out out{};
    SetSignStatus(&in, &out);
    return out.DiagRequestOut;
}

short answer_referral(short status, const std::string& code = "") {
    VoiceReferralStatus_in in{};
    set(in.AuthorisationCodeIn, code);
    in.AuthorisationStatusIn = status;
    VoiceReferralStatus_out out{};
    SetAuthorisation(&in, &out);
    return out.DiagRequestOut;
}

short answer_password(const std::string& password, short entry_status) {
    SetPasswordIn in{};
    set(in.PasswordIn, password);
    in.EntryStatusIn = entry_status;
    SetPasswordOut out{};
    SetPassword(&in, &out);
    return out.DiagRequestOut;
}

short answer_partial(short status) {
    PartialAuthOut out{};
    SetPartialAuthStatus(PartialAuthIn{status}, &out);
    return out.DiagRequestOut;
}

short answer_avs(short status) {
    AVSRejectionOut out{};
    SetAVSRejectionStatus(AVSRejectionIn{status}, &out);
    return out.DiagRequestOut;
}

short answer_fraud(short status) {
    SuspectedFraudInOut io{status, 0};
    SetSuspectedFraudStatus(&io);
    return io.DiagRequestOut;
}

// Waits until the terminal asks for a signature (its details can be fetched).
bool signature_question_open(std::chrono::milliseconds timeout = 5s) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    do {
        CheckSignReceiptInfo_out receipt{};
        CheckSignReq(&receipt);
        if (receipt.DiagRequestOut == 0)
            return true;
        std::this_thread::sleep_for(2ms);
    } while (std::chrono::steady_clock::now() < until);
    return false;
}

class SimEvents : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        state_dir_ = test_work_dir() + "/sim-events-" + info->name();
        std::filesystem::remove_all(state_dir_);
        setenv("KORVEX_SIM_STATE_DIR", state_dir_.c_str(), 1);
        korvex_sim_reset();
        korvex_sim_set_delay_scale(0);
        korvex_sim_reload_state();
    }
    void TearDown() override {
        stop_server(); // the server outlives a test otherwise
        setenv("KORVEX_SIM_STATE_DIR", (test_work_dir() + "/sim-state").c_str(), 1);
        korvex_sim_reload_state();
    }
    std::string state_dir_;
};

TEST_F(SimEvents, StartAndStopAnswerTheServersState) {
    TerminalEventOut idle{};
    WaitTerminalEvent(&idle);
    EXPECT_EQ(idle.DiagRequestOut, 20) << "Event Server Is Down";
    EXPECT_EQ(idle.EventIdentifierOut, 0);

    TerminalEventOut started = start_server();
    EXPECT_EQ(started.DiagRequestOut, 0);
    EXPECT_EQ(started.ServerStateOut, 1);
    EXPECT_EQ(start_server().DiagRequestOut, 12) << "Server Already Started";

    const TerminalEventOut stopped = stop_server();
    EXPECT_EQ(stopped.DiagRequestOut, 0);
    EXPECT_EQ(stopped.ServerStateOut, 0);
    EXPECT_EQ(stop_server().DiagRequestOut, 14) << "Server Already Stopped";
}

TEST_F(SimEvents, StopWakesTheWaitingLoopWithNoEvent) {
    ASSERT_EQ(start_server().DiagRequestOut, 0);
    auto waiter = std::async(std::launch::async, [] {
        TerminalEventOut event{};
        event.EventIdentifierOut = 77; // passed again uncleared by the till's loop
        WaitTerminalEvent(&event);
        return event;
    });
    EXPECT_EQ(waiter.wait_for(200ms), std::future_status::timeout) << "nothing happened yet";
    EXPECT_EQ(stop_server().DiagRequestOut, 0);
    ASSERT_EQ(waiter.wait_for(2s), std::future_status::ready);
    const TerminalEventOut event = waiter.get();
    EXPECT_EQ(event.EventIdentifierOut, 0);
    EXPECT_EQ(event.DiagRequestOut, 0);
}

// Each cashier scenario, answered each way, and the outcome the answer implies.
TEST_F(SimEvents, TheCashiersAnswerDecidesTheOutcome) {
    struct Case {
        const char* name;
        const char* amount;
        short event;
        std::function<void()> answer; // runs after the event was fetched
        const char* status;
        std::function<void(const Transaction_out&)> check;
    };
    auto nothing = [](const Transaction_out&) {};
    const Case cases[] = {
        {"signature accepted", "10011", 1,
         [] {
             CheckSignReceiptInfo_out receipt{};
             CheckSignReq(&receipt);
             EXPECT_EQ(receipt.DiagRequestOut, 0);
             EXPECT_EQ(text(receipt.TotalAmountOut), "000000010011");
             EXPECT_EQ(text(receipt.TransactionTypeOut), "00");
             EXPECT_NE(text(receipt.PANOut).find("****"), std::string::npos);
             EXPECT_EQ(answer_signature(5), 3) << "neither accepted nor refused";
             EXPECT_EQ(answer_signature(1), 0);
         },
         "00", nothing},
        {"signature refused", "10011", 1, [] { EXPECT_EQ(answer_signature(0), 0); }, "01",
         [](const Transaction_out& out) { EXPECT_EQ(text(out.HostTextOut), "SIGN REFUSED"); }},
        {"referral authorised by phone", "10012", 2,
         [] {
             VoiceReferralInfos_out referral{};
             CheckVoiceReferralReq(&referral);
             EXPECT_EQ(referral.DiagRequestOut, 0);
             EXPECT_FALSE(text(referral.PhoneNumberOut).empty());
             EXPECT_EQ(text(referral.MerchantIdOut), "000000012345678");
             EXPECT_EQ(answer_referral(2, "AB12CD"), 0);
         },
         "00",
         [](const Transaction_out& out) { EXPECT_EQ(text(out.AuthorisationCodeOut), "AB12CD"); }},
        {"referral authorised without a code, then declined", "10012", 2,
         [] {
             EXPECT_EQ(answer_referral(2), 3) << "an authorisation needs its code";
             EXPECT_EQ(answer_referral(2, "AB 12"), 3);
             EXPECT_EQ(answer_referral(1), 0);
         },
         "01", nothing},
        {"referral without authorisation", "10012", 2, [] { EXPECT_EQ(answer_referral(0), 0); },
         "03", nothing},
        {"partial approval accepted", "10014", 7,
         [] {
             PartialAuthOut partial{};
             GetPartialAuthData(&partial);
             EXPECT_EQ(partial.DiagRequestOut, 0);
             EXPECT_EQ(text(partial.PartialAmountOut), "000000005007");
             EXPECT_EQ(text(partial.AcquirerMerchantIDOut), "000000012345678");
             EXPECT_EQ(answer_partial(0), 0);
         },
         "00",
         [](const Transaction_out& out) {
             EXPECT_EQ(text(out.PartialAmountOut), "000000005007");
             EXPECT_EQ(text(out.TotalAmountOut), "000000005007");
         }},
        {"partial approval declined", "10014", 7, [] { EXPECT_EQ(answer_partial(1), 0); }, "07",
         nothing},
        {"AVS rejection accepted", "10015", 8,
         [] {
             AVSRejectionOut avs{};
             GetAVSRejectionData(&avs);
             EXPECT_EQ(avs.DiagRequestOut, 0);
             EXPECT_EQ(text(avs.AVSResponseOut), "N");
             EXPECT_EQ(answer_avs(0), 0);
         },
         "00", [](const Transaction_out& out) { EXPECT_EQ(text(out.AVSResponseOut), "N"); }},
        {"AVS rejection declined", "10015", 8, [] { EXPECT_EQ(answer_avs(1), 0); }, "07", nothing},
        {"password given", "10016", 6,
         [] {
             PasswordParamsOut params{};
             GetPasswordParams(&params);
             EXPECT_EQ(params.DiagRequestOut, 0);
             EXPECT_EQ(params.AttemptNumberOut, 1);
             EXPECT_EQ(params.MaximumAttemptOut, 3);
             EXPECT_EQ(params.PasswordTypeOut, 1) << "a sale asks the supervisor";
             EXPECT_EQ(answer_password("1234", 1), 0);
         },
         "00", nothing},
        {"password entry cancelled", "10016", 6, [] { EXPECT_EQ(answer_password("", 0), 0); }, "07",
         nothing},
        {"wrong password three times", "10016", 6,
         [] {
             for (int attempt = 1; attempt <= 3; ++attempt) {
                 if (attempt > 1) {
                     EXPECT_EQ(next_event().EventIdentifierOut, 6) << "asked again";
                 }
                 PasswordParamsOut params{};
                 GetPasswordParams(&params);
                 EXPECT_EQ(params.AttemptNumberOut, attempt);
                 EXPECT_EQ(answer_password("9999", 1), 0);
             }
         },
         "08", nothing},
        {"suspected fraud confirmed", "10017", 9, [] { EXPECT_EQ(answer_fraud(0), 0); }, "06",
         nothing},
        {"suspected fraud dismissed", "10017", 9, [] { EXPECT_EQ(answer_fraud(1), 0); }, "00",
         nothing},
        {"DCC offer", "10013", 3,
         [] {
             DCCQuotationDataOut quotation{};
             DCCQuotation(&quotation);
             EXPECT_EQ(quotation.DiagRequestOut, 0);
             EXPECT_EQ(text(quotation.CardCurrencyCodeOut), "840");
             EXPECT_EQ(text(quotation.LocalCurrencyAmountValueOut), "000000010013");
             EXPECT_EQ(text(quotation.DCCAmountOut), "000000011249"); // 100.13 at 1.1234
         },
         "00",
         [](const Transaction_out& out) {
             EXPECT_EQ(out.IsDCCTxnOut, 1);
             EXPECT_EQ(text(out.DCCAmountOut), "000000011249");
             EXPECT_EQ(text(out.CardCurrencyCodeOut), "840");
         }},
    };
    ASSERT_EQ(start_server().DiagRequestOut, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Sale sale(c.amount);
        const TerminalEventOut event = next_event();
        EXPECT_EQ(event.DiagRequestOut, 0);
        ASSERT_EQ(event.EventIdentifierOut, c.event);
        c.answer();
        const Transaction_out out = sale.result();
        EXPECT_EQ(out.DiagRequestOut, 0);
        EXPECT_EQ(text(out.TransactionStatusOut), c.status);
        c.check(out);
    }
}

TEST_F(SimEvents, WithoutAnEventServerAQuestionEndsInTimeout) {
    for (const char* amount : {"10011", "10012", "10014", "10015", "10016", "10017"}) {
        SCOPED_TRACE(amount);
        const Transaction_out out = launch(amount);
        EXPECT_EQ(out.DiagRequestOut, 0);
        EXPECT_EQ(text(out.TransactionStatusOut), "11");
        EXPECT_EQ(text(out.HostTextOut), "CASHIER TIMEOUT");
    }
    EXPECT_EQ(text(launch("10013").TransactionStatusOut), "00") << "DCC needs no answer";

    // The wait is the documented ten seconds, scaled like every step of the terminal:
    // measured against a plain sale, which walks the same steps.
    korvex_sim_set_delay_scale(0.03);
    auto timed = [](const char* amount) {
        const auto start = std::chrono::steady_clock::now();
        const Transaction_out out = launch(amount);
        return std::make_pair(text(out.TransactionStatusOut),
                              std::chrono::steady_clock::now() - start);
    };
    const auto [plain_status, plain] = timed("10000");
    const auto [status, waited] = timed("10011");
    EXPECT_EQ(plain_status, "00");
    EXPECT_EQ(status, "11");
    EXPECT_GE(waited - plain, 250ms);
    EXPECT_LT(waited - plain, 2000ms);
}

TEST_F(SimEvents, AServerStartedDuringTheWaitIsAskedAfterAll) {
    korvex_sim_set_delay_scale(0.1); // one second without a server
    Sale sale("10011");
    ASSERT_TRUE(signature_question_open()) << "asked while no server runs";
    ASSERT_EQ(start_server().DiagRequestOut, 0);
    EXPECT_EQ(next_event().EventIdentifierOut, 1);
    EXPECT_EQ(answer_signature(1), 0);
    EXPECT_EQ(text(sale.result().TransactionStatusOut), "00");
}

TEST_F(SimEvents, AQuestionFetchedBeforeAStopCanStillBeAnswered) {
    ASSERT_EQ(start_server().DiagRequestOut, 0);
    Sale sale("10011");
    ASSERT_EQ(next_event().EventIdentifierOut, 1);
    EXPECT_EQ(stop_server().DiagRequestOut, 0);
    EXPECT_EQ(answer_signature(0), 0) << "the cashier's dialog is still open";
    EXPECT_EQ(text(sale.result().TransactionStatusOut), "01");
}

TEST_F(SimEvents, AQuestionNotFetchedBeforeAStopTimesOutAndIsNotDeliveredLater) {
    ASSERT_EQ(start_server().DiagRequestOut, 0);
    Sale sale("10011");
    ASSERT_TRUE(signature_question_open()) << "the question waits in the queue";
    EXPECT_EQ(stop_server().DiagRequestOut, 0);
    EXPECT_EQ(text(sale.result().TransactionStatusOut), "11");

    ASSERT_EQ(start_server().DiagRequestOut, 0);
    auto waiter = std::async(std::launch::async, [] {
        TerminalEventOut event{};
        WaitTerminalEvent(&event);
        return event;
    });
    EXPECT_EQ(waiter.wait_for(300ms), std::future_status::timeout) << "a stale question came";
    stop_server();
    EXPECT_EQ(waiter.get().EventIdentifierOut, 0);
}

TEST_F(SimEvents, AnswersAndFetchesWithoutAQuestionAreRefused) {
    ASSERT_EQ(start_server().DiagRequestOut, 0);
    EXPECT_EQ(answer_signature(1), 10);
    EXPECT_EQ(answer_referral(1), 10);
    EXPECT_EQ(answer_password("1234", 1), 10);
    EXPECT_EQ(answer_partial(0), 10);
    EXPECT_EQ(answer_avs(0), 10);
    EXPECT_EQ(answer_fraud(0), 10);

    CheckSignReceiptInfo_out receipt;
    std::memset(&receipt, 0x55, sizeof receipt);
    CheckSignReq(&receipt);
    EXPECT_EQ(receipt.DiagRequestOut, 10);
    EXPECT_EQ(text(receipt.PANOut), "") << "nothing of an earlier question is left";
    VoiceReferralInfos_out referral{};
    CheckVoiceReferralReq(&referral);
    EXPECT_EQ(referral.DiagRequestOut, 10);
    PasswordParamsOut params{};
    GetPasswordParams(&params);
    EXPECT_EQ(params.DiagRequestOut, 10);
    PartialAuthOut partial{};
    GetPartialAuthData(&partial);
    EXPECT_EQ(partial.DiagRequestOut, 10);
    AVSRejectionOut avs{};
    GetAVSRejectionData(&avs);
    EXPECT_EQ(avs.DiagRequestOut, 10);
}

TEST_F(SimEvents, ApprovedAnnouncingAmountsRaiseTheirAnnouncement) {
    launch("10031"); // before the start: announces nothing
    ASSERT_EQ(start_server().DiagRequestOut, 0);
    struct Case {
        const char* amount;
        short event;
    };
    for (const Case& c : {Case{"10031", 4}, Case{"10032", 5}, Case{"10033", 10}}) {
        SCOPED_TRACE(c.amount);
        EXPECT_EQ(text(launch(c.amount).TransactionStatusOut), "00");
        const TerminalEventOut event = next_event();
        EXPECT_EQ(event.EventIdentifierOut, c.event);
        EXPECT_EQ(event.DiagRequestOut, 0);
    }
    // An ordinary sale raises nothing: the loop waits on until the stop.
    launch("10000");
    auto waiter = std::async(std::launch::async, [] {
        TerminalEventOut event{};
        WaitTerminalEvent(&event);
        return event;
    });
    EXPECT_EQ(waiter.wait_for(400ms), std::future_status::timeout);
    stop_server();
    EXPECT_EQ(waiter.get().EventIdentifierOut, 0);
}

} // namespace
