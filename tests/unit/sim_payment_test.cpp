// The simulated terminal's payment engine, through the library's own calls:
// every transaction type, transactions on earlier ones, the magic amounts, bad
// requests, and the batch across a restart.
#include "korvex.h"
#include "korvex_sim.h"
#include "print_child.h"
#include "test_env.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

template <std::size_t N> void set(char (&field)[N], const std::string& text) {
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), std::min(text.size(), N));
}

template <std::size_t N> std::string text(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

bool digits(const std::string& s, std::size_t length) {
    return s.size() == length && s.find_first_not_of("0123456789") == std::string::npos;
}

struct Request {
    std::string type;
    std::string amount1 = {};
    std::string amount2 = {};
    std::string invoice = {};
    std::string pre_auth_ref = {};
    std::string auth_code = {};
};

Transaction_out launch(const Request& r, const std::string& message_number = "1") {
    Transaction_in in{};
    set(in.MessageNumberIn, message_number);
    set(in.TransactionTypeIn, r.type);
    set(in.Amount1In, r.amount1);
    set(in.Amount2In, r.amount2);
    set(in.InvoiceNumberIn, r.invoice);
    set(in.PreAuthRefNumIn, r.pre_auth_ref);
    set(in.AuthorisationCodeIn, r.auth_code);
    set(in.CustomLine1In, "HAVE A NICE DAY");
    set(in.CashierIdIn, "C7");
    set(in.TableIdIn, "12");
    Transaction_out out{};
    Transaction_Launch(&in, &out);
    return out;
}

GetLastTxnData_out last_txn() {
    GetLastTxnData_out out{};
    GetLastTxnData_Launch(&out);
    return out;
}

class SimPayment : public ::testing::Test {
  protected:
    void SetUp() override {
        // Each test starts on a terminal that never saw a transaction.
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        state_dir_ = test_work_dir() + "/sim-payment-" + info->name();
        std::filesystem::remove_all(state_dir_);
        setenv("KORVEX_SIM_STATE_DIR", state_dir_.c_str(), 1);
        korvex_sim_reset();
        korvex_sim_set_delay_scale(0);
        korvex_sim_reload_state();
        // Receipts go nowhere unless a test listens for them: no till on this port.
        setenv("KORVEX_SIM_PRINT_PORT", "1", 1);
    }
    void TearDown() override {
        unsetenv("KORVEX_SIM_PRINT_PORT");
        setenv("KORVEX_SIM_STATE_DIR", (test_work_dir() + "/sim-state").c_str(), 1);
        korvex_sim_reload_state();
    }
    std::string state_dir_;
};

TEST_F(SimPayment, EveryTypeThatTakesACardIsApprovedWithAFullAnswer) {
    struct Case {
        Request request;
        const char* entry_method;
        const char* emv_type;
        bool chip;
    };
    const Case cases[] = {
        {{"00", "000000000150"}, "3", "00", true},
        {{"01", "2500"}, "3", "20", true},
        {{"04", "5000"}, "3", "01", true},
        {{"05", "6000", "2000"}, "3", "09", true},
        {{"06", "30000"}, "3", "00", true},
        {{"10", "4200", "", "", "", "AB12CD"}, "3", "00", true},
        {{"11", "1999"}, "5", "00", false},
        {{"12", "999"}, "5", "20", false},
    };
    std::vector<std::string> invoices;
    for (const Case& c : cases) {
        SCOPED_TRACE("type " + c.request.type);
        const Transaction_out out = launch(c.request, "42");
        ASSERT_EQ(out.DiagRequestOut, 0);
        EXPECT_EQ(text(out.TransactionStatusOut), "00");
        EXPECT_EQ(text(out.MessageNumberOut), "42");
        const std::string amount =
            std::string(12 - c.request.amount1.size(), '0') + c.request.amount1;
        EXPECT_EQ(text(out.TotalAmountOut), amount);
        EXPECT_TRUE(digits(text(out.InvoiceNumberOut), 6));
        EXPECT_TRUE(digits(text(out.RetrievalReferenceNumberOut), 12));
        EXPECT_TRUE(digits(text(out.DateTimeOut), 12));
        EXPECT_EQ(text(out.AuthorisationCodeOut).size(), 6u);
        EXPECT_EQ(text(out.AcquirerResponseCodeOut), "00");
        EXPECT_EQ(text(out.EntryMethodOut), c.entry_method);
        EXPECT_EQ(text(out.EMVTxnTypeOut), c.emv_type);
        EXPECT_NE(text(out.PANOut).find("******"), std::string::npos);
        EXPECT_FALSE(text(out.CardSchemeNameOut).empty());
        EXPECT_EQ(text(out.TransactionCurrencyCodeOut), "978");
        EXPECT_EQ(out.TransactionCurrenyExponentOut, 2);
        EXPECT_EQ(text(out.TerminalCurrencyCodeOut), "978");
        EXPECT_EQ(text(out.TerminalCountryCodeOut), "250");
        EXPECT_FALSE(text(out.MerchantNameOut).empty());
        EXPECT_FALSE(text(out.MerchantAddress1Out).empty());
        EXPECT_FALSE(text(out.TerminalIdentifierOut).empty());
        EXPECT_FALSE(text(out.AcquirerNameOut).empty());
        EXPECT_EQ(text(out.BatchNumberOut), "001");
        EXPECT_EQ(text(out.CustomLine1Out), "HAVE A NICE DAY");
        EXPECT_EQ(text(out.CashierIdOut), "C7");
        EXPECT_EQ(text(out.TableIdOut), "12");
        EXPECT_EQ(!text(out.AIDOut).empty(), c.chip);
        EXPECT_EQ(text(out.AppCryptogramOut).size(), c.chip ? 16u : 0u);
        EXPECT_EQ(!text(out.AppLabelOut).empty(), c.chip);
        invoices.push_back(text(out.InvoiceNumberOut));
    }
    for (std::size_t i = 1; i < invoices.size(); ++i)
        EXPECT_LT(invoices[i - 1], invoices[i]) << "invoice numbers must grow";
}

TEST_F(SimPayment, TypeSpecificAnswers) {
    const Transaction_out force = launch({"10", "4200", "", "", "", "AB12CD"});
    EXPECT_EQ(text(force.AuthorisationCodeOut), "AB12CD");

    const Transaction_out cash_back = launch({"05", "6000", "2000"});
    EXPECT_EQ(text(cash_back.AdditionalAmountOut), "000000002000");

    const Transaction_out verify = launch({"08"});
    EXPECT_EQ(verify.DiagRequestOut, 0);
    EXPECT_EQ(text(verify.TransactionStatusOut), "00");
    EXPECT_EQ(text(verify.TotalAmountOut), "");
    EXPECT_FALSE(text(verify.AvailableBalanceOut).empty());
}

TEST_F(SimPayment, VoidAndCancelFindTheTransactionByItsInvoice) {
    const Transaction_out sale = launch({"00", "1500"});
    const Transaction_out refund = launch({"01", "700"});
    const std::string sale_invoice = text(sale.InvoiceNumberOut);

    // The cashier may type the invoice without its leading zeros.
    const Transaction_out voided = launch({"02", "", "", std::to_string(std::stol(sale_invoice))});
    EXPECT_EQ(voided.DiagRequestOut, 0);
    EXPECT_EQ(text(voided.TransactionStatusOut), "00");
    EXPECT_EQ(text(voided.InvoiceNumberOut), sale_invoice);
    EXPECT_EQ(text(voided.TotalAmountOut), "000000001500");
    EXPECT_EQ(text(voided.PANOut), text(sale.PANOut));

    const Transaction_out cancelled = launch({"14", "", "", text(refund.InvoiceNumberOut)});
    EXPECT_EQ(text(cancelled.TransactionStatusOut), "00");
    EXPECT_EQ(text(cancelled.TotalAmountOut), "000000000700");

    struct Case {
        Request request;
        const char* status;
    };
    const Case refusals[] = {
        {{"02", "", "", sale_invoice}, "02"}, // already voided
        {{"14", "", "", sale_invoice}, "02"}, // a cancel of a voided sale
        {{"02", "", "", "999999"}, "12"},     // never issued
        {{"14", "", "", "424242"}, "12"},     {{"02", "", "", ""}, "12"}, // no invoice at all
    };
    for (const Case& c : refusals) {
        const Transaction_out out = launch(c.request);
        EXPECT_EQ(out.DiagRequestOut, 0) << c.request.type << " " << c.request.invoice;
        EXPECT_EQ(text(out.TransactionStatusOut), c.status)
            << c.request.type << " " << c.request.invoice;
    }
}

TEST_F(SimPayment, PreAuthorisationReferenceFlow) {
    const Transaction_out pre_auth = launch({"06", "10000"});
    const std::string reference = text(pre_auth.PreAuthRefNumOut);
    ASSERT_TRUE(digits(reference, 8)) << reference;

    // A pre-authorisation is not voided but reversed.
    EXPECT_EQ(text(launch({"02", "", "", text(pre_auth.InvoiceNumberOut)}).TransactionStatusOut),
              "02");

    const Transaction_out increment = launch({"15", "2500", "", "", reference});
    EXPECT_EQ(text(increment.TransactionStatusOut), "00");
    EXPECT_EQ(text(increment.PreAuthRefNumOut), reference);
    EXPECT_EQ(text(increment.TotalAmountOut), "000000002500");

    // Without an amount the completion takes what is held, increments included.
    const Transaction_out completion = launch({"07", "", "", "", reference});
    EXPECT_EQ(text(completion.TransactionStatusOut), "00");
    EXPECT_EQ(text(completion.TotalAmountOut), "000000012500");
    EXPECT_EQ(text(completion.PANOut), text(pre_auth.PANOut));

    // Completed: the reference is no longer open.
    EXPECT_EQ(text(launch({"07", "100", "", "", reference}).TransactionStatusOut), "01");
    EXPECT_EQ(text(launch({"13", "", "", "", reference}).TransactionStatusOut), "01");

    const std::string second = text(launch({"06", "800"}).PreAuthRefNumOut);
    const Transaction_out reversal = launch({"13", "", "", "", second});
    EXPECT_EQ(text(reversal.TransactionStatusOut), "00");
    EXPECT_EQ(text(reversal.TotalAmountOut), "000000000800");
    EXPECT_EQ(text(launch({"15", "100", "", "", second}).TransactionStatusOut), "01");
    EXPECT_EQ(text(launch({"07", "", "", "", "12345678"}).TransactionStatusOut), "01");
}

TEST_F(SimPayment, ReversalUndoesTheLastTransactionOnly) {
    EXPECT_EQ(text(launch({"09"}).TransactionStatusOut), "02"); // nothing yet

    const Transaction_out sale = launch({"00", "3300"});
    const Transaction_out reversal = launch({"09"});
    EXPECT_EQ(text(reversal.TransactionStatusOut), "00");
    EXPECT_EQ(text(reversal.InvoiceNumberOut), text(sale.InvoiceNumberOut));
    EXPECT_EQ(text(reversal.TotalAmountOut), "000000003300");

    EXPECT_EQ(text(launch({"09"}).TransactionStatusOut), "02"); // the last is the reversal
    EXPECT_EQ(text(launch({"02", "", "", text(sale.InvoiceNumberOut)}).TransactionStatusOut), "02");

    launch({"00", "10001"}); // declined: nothing to reverse
    EXPECT_EQ(text(launch({"09"}).TransactionStatusOut), "02");
}

TEST_F(SimPayment, DuplicataRepeatsTheLastTransaction) {
    EXPECT_EQ(text(launch({"03"}).TransactionStatusOut), "02");

    const Transaction_out sale = launch({"00", "2100"}, "5");
    const Transaction_out copy = launch({"03"}, "6");
    EXPECT_EQ(text(copy.MessageNumberOut), "6");
    EXPECT_EQ(text(copy.InvoiceNumberOut), text(sale.InvoiceNumberOut));
    EXPECT_EQ(text(copy.AuthorisationCodeOut), text(sale.AuthorisationCodeOut));
    EXPECT_EQ(text(copy.TotalAmountOut), "000000002100");
    // A copy is not a transaction: the last one stays the sale.
    EXPECT_EQ(text(last_txn().TransactionTypeOut), "00");
}

TEST_F(SimPayment, CashBackLimits) {
    struct Case {
        const char* total;
        const char* cash_back;
        const char* status;
    };
    const Case cases[] = {
        {"20000", "10000", "00"}, // at the limit
        {"20000", "10001", "13"}, // over it
        {"5000", "5000", "14"},   // nothing bought
        {"5000", "0", "14"},
    };
    for (const Case& c : cases) {
        const Transaction_out out = launch({"05", c.total, c.cash_back});
        EXPECT_EQ(out.DiagRequestOut, 0) << c.total << "/" << c.cash_back;
        EXPECT_EQ(text(out.TransactionStatusOut), c.status) << c.total << "/" << c.cash_back;
    }
}

TEST_F(SimPayment, AmountLimit) {
    EXPECT_EQ(text(launch({"00", "500000"}).TransactionStatusOut), "00");
    EXPECT_EQ(text(launch({"00", "500001"}).TransactionStatusOut), "09");
    EXPECT_EQ(text(launch({"11", "999999999999"}).TransactionStatusOut), "09");
}

TEST_F(SimPayment, MagicAmountsChooseTheOutcome) {
    struct Case {
        const char* amount;
        short result;
        const char* status;
        bool numbered; // reached the host: invoice and reference
    };
    const Case cases[] = {
        {"10001", 0, "01", true},
        {"10002", 0, "05", true},
        {"10003", 0, "11", true},
        {"10004", 0, "10", true},
        {"10005", 0, "03", true},
        {"10006", 0, "07", false},
        // The cashier scenarios, with no event server to ask the cashier through: the
        // terminal gives up ("Timeout Reached"); the DCC offer needs no answer.
        {"10007", 0, "01", false},
        {"10011", 0, "11", true},
        {"10012", 0, "11", true},
        {"10013", 0, "00", true},
        {"10014", 0, "11", true},
        {"10015", 0, "11", true},
        {"10016", 0, "11", false},
        {"10017", 0, "11", true},
        {"10021", 1, "", false},
        {"10022", 5, "", false},
        {"10023", 9, "", false},
        {"10000", 0, "00", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.amount);
        const Transaction_out out = launch({"00", c.amount});
        EXPECT_EQ(out.DiagRequestOut, c.result);
        EXPECT_EQ(text(out.TransactionStatusOut), c.status);
        EXPECT_EQ(digits(text(out.InvoiceNumberOut), 6), c.numbered);
        if (c.result != 0) {
            Transaction_out zero{};
            zero.DiagRequestOut = c.result;
            EXPECT_EQ(std::memcmp(&out, &zero, sizeof out), 0) << "a failed call answers nothing";
        }
        if (std::string(c.status) == "01") {
            EXPECT_FALSE(text(out.HostTextOut).empty());
        }
    }
}

TEST_F(SimPayment, BadRequestsAreRefusedWithResultThree) {
    launch({"00", "1234"});
    const std::string last_invoice = text(last_txn().InvoiceNumberOut);
    const Request cases[] = {
        {"16", "100"}, // unknown type
        {"AB", "100"},
        {"", "100"},
        {"7", "100"},  // one digit
        {"00", ""},    // sale without amount
        {"00", "12a"}, // not a number
        {"00", " 150"},
        {"00", "000000000000"}, // nothing to pay
        {"01", "-100"},
        {"05", "5000", ""}, // cash-back missing
        {"05", "5000", "1x"},
        {"10", "4200"}, // force without the authorisation code
        {"07", "100"},  // completion without reference
        {"15", "100"},
        {"13", ""},
        {"07", "12.50", "", "", "12345678"},
    };
    for (const Request& r : cases) {
        SCOPED_TRACE("type '" + r.type + "' amounts '" + r.amount1 + "' '" + r.amount2 + "'");
        const Transaction_out out = launch(r, "9");
        EXPECT_EQ(out.DiagRequestOut, 3);
        EXPECT_EQ(text(out.MessageNumberOut), "9");
        EXPECT_EQ(text(out.InvoiceNumberOut), "");
        EXPECT_FALSE(text(out.HostTextOut).empty()) << "the terminal says what is wrong";
    }
    EXPECT_EQ(text(last_txn().InvoiceNumberOut), last_invoice) << "refusals are not transactions";
}

TEST_F(SimPayment, LastTransactionCarriesTheRequestValues) {
    EXPECT_EQ(last_txn().DiagRequestOut, 10) << "no transaction yet";

    Transaction_in in{};
    set(in.MessageNumberIn, "77");
    set(in.TransactionTypeIn, "05");
    set(in.Amount1In, "000000006000");
    set(in.Amount2In, "000000001000");
    set(in.Amount3In, "3");
    set(in.Amount4In, "0000000000004"); // thirteen characters, no terminator
    set(in.Amount1LabelIn, "Total");
    set(in.Amount2LabelIn, "Cash\tback \\ part"); // kept through the state file as typed
    set(in.Amount4LabelIn, "Twenty characters!!!");
    set(in.CommercialCodeIn, "AB");
    in.SuspectedFraudIndicatorIn = 49;
    Transaction_out out{};
    Transaction_Launch(&in, &out);
    ASSERT_EQ(text(out.TransactionStatusOut), "00");

    for (int restart = 0; restart < 2; ++restart) {
        SCOPED_TRACE(restart ? "after a restart" : "before a restart");
        const GetLastTxnData_out last = last_txn();
        EXPECT_EQ(last.DiagRequestOut, 0);
        EXPECT_EQ(text(last.MessageNumberOut), "77");
        EXPECT_EQ(text(last.TransactionTypeOut), "05");
        EXPECT_EQ(text(last.Amount1Out), "000000006000");
        EXPECT_EQ(text(last.Amount2Out), "000000001000");
        EXPECT_EQ(text(last.Amount3Out), "3");
        EXPECT_EQ(text(last.Amount4Out), "0000000000004");
        EXPECT_EQ(text(last.Amount1LabelOut), "Total");
        EXPECT_EQ(text(last.Amount2LabelOut), "Cash\tback \\ part");
        EXPECT_EQ(text(last.Amount3LabelOut), "");
        EXPECT_EQ(text(last.Amount4LabelOut), "Twenty characters!!!");
        EXPECT_EQ(text(last.CommercialCodeOut), "AB");
        EXPECT_EQ(last.SuspectedFraudIndicatorOut, 49);
        EXPECT_EQ(text(last.TransactionStatusOut), "00");
        EXPECT_EQ(text(last.InvoiceNumberOut), text(out.InvoiceNumberOut));
        EXPECT_EQ(text(last.AuthorisationCodeOut), text(out.AuthorisationCodeOut));
        EXPECT_EQ(text(last.AdditionalAmountOut), "000000001000");
        EXPECT_EQ(text(last.AIDOut), text(out.AIDOut));
        EXPECT_EQ(last.CardCurrencyExponentOut, out.CardCurrencyExpOut);
        EXPECT_EQ(last.TransactionCurrenyExponentOut, 2);
        EXPECT_EQ(text(last.MerchantNameOut), text(out.MerchantNameOut));
        korvex_sim_reload_state();
    }
}

TEST_F(SimPayment, TheBatchSurvivesARestart) {
    const Transaction_out first = launch({"00", "1000"});
    const Transaction_out second = launch({"00", "2000"});
    korvex_sim_reload_state();

    const Transaction_out voided = launch({"02", "", "", text(first.InvoiceNumberOut)});
    EXPECT_EQ(text(voided.TransactionStatusOut), "00");
    EXPECT_EQ(text(voided.TotalAmountOut), "000000001000");
    korvex_sim_reload_state();

    EXPECT_EQ(text(launch({"02", "", "", text(first.InvoiceNumberOut)}).TransactionStatusOut), "02")
        << "the void must be remembered";
    const Transaction_out third = launch({"00", "3000"});
    EXPECT_GT(text(third.InvoiceNumberOut), text(second.InvoiceNumberOut))
        << "numbering goes on after a restart";

    // Saved by renaming a complete file: nothing half-written stays behind.
    for (const auto& entry : std::filesystem::directory_iterator(state_dir_))
        EXPECT_EQ(entry.path().filename(), "batch.state");
}

TEST_F(SimPayment, AnUnreadableStateFileStartsAnEmptyBatch) {
    launch({"00", "1000"});
    {
        std::ofstream broken(state_dir_ + "/batch.state", std::ios::trunc);
        broken << "garbage\x01\nlast\ttype=00\n";
    }
    korvex_sim_reload_state();
    EXPECT_EQ(last_txn().DiagRequestOut, 10);
    {
        std::ofstream partial(state_dir_ + "/batch.state", std::ios::trunc);
        partial << "korvex-sim batch 1\nnext_invoice=x\ntxn\tinvoice=000005\nlast\ttype=99\n";
    }
    korvex_sim_reload_state();
    EXPECT_EQ(last_txn().DiagRequestOut, 10) << "a record of an unknown type is dropped";
    EXPECT_EQ(text(launch({"00", "1000"}).InvoiceNumberOut), "000001");
}

TEST_F(SimPayment, EachNumberedTransactionPrintsBothCopiesOnTheTill) {
    print_test::PrintChild till(test_work_dir() + "/PrinterState-sim-payment");
    setenv("KORVEX_SIM_PRINT_PORT", std::to_string(till.port()).c_str(), 1);
    auto printed = [&] {
        std::string all;
        while (const auto line = till.next_line(300))
            all += *line;
        return all;
    };
    const Transaction_out sale = launch({"00", "1500"});
    std::string receipt = printed();
    EXPECT_NE(receipt.find("MERCHANT COPY"), std::string::npos) << receipt;
    EXPECT_NE(receipt.find("CUSTOMER COPY"), std::string::npos) << receipt;
    EXPECT_NE(receipt.find(text(sale.InvoiceNumberOut)), std::string::npos) << receipt;
    EXPECT_NE(receipt.find("15.00"), std::string::npos) << receipt;
    EXPECT_NE(receipt.find("APPROVED"), std::string::npos) << receipt;

    launch({"00", "10001"});
    receipt = printed();
    EXPECT_NE(receipt.find("DECLINED"), std::string::npos) << receipt;

    launch({"00", "12x"}); // refused before it began: nothing to print
    EXPECT_EQ(printed(), "");
}

TEST_F(SimPayment, ASecondTransactionMeanwhileIsRefused) {
    korvex_sim_set_delay_scale(0.05); // the first one runs for about a second
    Transaction_out first{};
    std::thread running([&] { first = launch({"00", "1000"}); });
    while (korvex_sim_request_count("Transaction_Launch") == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const Transaction_out second = launch({"00", "2000"});
    running.join();
    EXPECT_EQ(second.DiagRequestOut, 0);
    EXPECT_EQ(text(second.TransactionStatusOut), "02");
    EXPECT_EQ(text(second.HostTextOut), "TERMINAL BUSY");
    EXPECT_EQ(text(first.TransactionStatusOut), "00");
}

} // namespace
