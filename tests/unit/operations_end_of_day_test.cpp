// The end-of-day and value-added operations played as the runner plays them: inputs
// by name through set_input, the call through run_operation, the answer read by
// field name or by the widget that shows it.
#include "field_rules.h"
#include "fields.h"
#include "operations.h"
#include "sim_txn.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace {

using Inputs = std::vector<std::pair<std::string, std::string>>;

// One played operation and its answer.
struct Played {
    const Operation* op = nullptr;
    short result = -1;
    std::vector<std::max_align_t> response;

    const void* record() const { return response.data(); }
    // A response field's own text (digits fields as sent, numbers in decimal).
    std::string field(const char* name) const {
        const FieldDesc* f = find_response_field(*op, name);
        if (!f) {
            ADD_FAILURE() << op->name << " has no field " << name;
            return {};
        }
        const Rule rule = f->kind == FieldKind::Int16   ? Rule::Signed16
                          : f->kind == FieldKind::UInt8 ? Rule::Unsigned8
                                                        : Rule::Text;
        return shown_text(record(), *f, rule).value_or("");
    }
    // What the console shows in `widget`.
    std::string shown(const char* widget) const {
        const FieldOutput* out = find_output_by_widget(*op, widget);
        if (!out) {
            ADD_FAILURE() << op->name << " shows nothing in " << widget;
            return {};
        }
        return shown_text(record(), *out->field, out->rule).value_or("<left as it is>");
    }
};

std::vector<std::max_align_t> zeroed(std::size_t size) {
    return std::vector<std::max_align_t>((size + sizeof(std::max_align_t) - 1) /
                                         sizeof(std::max_align_t));
}

Played play(const char* name, const Inputs& inputs = {}, int record_number = 0) {
    Played p;
    p.op = find_operation(name);
    if (!p.op) {
        ADD_FAILURE() << "no operation " << name;
        return p;
    }
    auto request = zeroed(p.op->request ? p.op->request->size : 0);
    if (p.op->prepare)
        p.op->prepare(request.data());
    for (const auto& [input, text] : inputs) {
        const FieldInput* in = find_input(*p.op, input);
        std::string error;
        if (!in || !set_input(request.data(), *in->field, in->rule, text, in->choices, &error))
            ADD_FAILURE() << name << ": input " << input << " = " << text << " " << error;
    }
    p.response = zeroed(p.op->response->size);
    p.result = run_operation(*p.op, p.op->request ? request.data() : nullptr, p.response.data(),
                             record_number);
    return p;
}

using EndOfDayOperations = SimNoTillTest;

TEST_F(EndOfDayOperations, ANumberedFetchAnswersTheRecordOfThatNumber) {
    approved({"00", "1000"});
    approved({"00", "2500"});
    ASSERT_EQ(play("Settlement data").result, 0);
    ASSERT_EQ(play("Exchange rate update").result, 0);
    ASSERT_EQ(play("Top-up configuration").result, 0);
    const Played sale =
        play("Voucher sale", {{"ProductId", "1001"}, {"VoucherAmount", "500"},
                              {"VoucherNumbers", "2"}, {"GSMPassword", "1234"}});
    ASSERT_EQ(sale.field("VoucherNumber"), "2");
    const auto* vouchers = reinterpret_cast<const VoucherRecordOut*>(
        static_cast<const char*>(sale.record()) + offsetof(MobileTopUpRespOut, VoucherRecordsOut));
    struct Case {
        const char* op;
        int record;
        short result;
        const char* field;
        std::string text;
    };
    const Case cases[] = {
        {"Settlement record", 1, 0, "TotalAmount", "000000001000"},
        {"Settlement record", 2, 0, "TotalAmount", "000000002500"},
        {"Settlement record", 3, 3, "TotalAmount", ""},
        {"Currency record", 2, 0, "CurrencyCode", "826"},
        {"Currency record", 7, 0, "CurrencyCode", "036"},
        {"Currency record", 8, 3, "CurrencyCode", ""},
        {"Top-up product", 3, 0, "ProductId", "1003"},
        {"Top-up product", 4, 10, "ProductId", ""},
        {"Voucher record", 1, 0, "VoucherSerialNumber", text_of(vouchers[0].VoucherSerialNumberOut)},
        {"Voucher record", 2, 0, "VoucherSerialNumber", text_of(vouchers[1].VoucherSerialNumberOut)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.op) + " " + std::to_string(c.record));
        const Played p = play(c.op, {}, c.record);
        EXPECT_EQ(p.result, c.result);
        EXPECT_EQ(p.field(c.field), c.text);
    }
    // The settlement's detail record travels inside the request.
    play("Settlement record", {}, 2);
    EXPECT_EQ(last_request<SettlementRequestIn>("GetTransactionDetailDataRecord")
                  .TxnDetailDataRecordIndexIn,
              2);
}

TEST_F(EndOfDayOperations, AChoiceSendsTheValueOfTheNamedRow) {
    approved({"00", "1000"});
    struct Case {
        const char* op;
        Inputs inputs;
        const char* field;
        const char* text;
    };
    const Case cases[] = {
        {"Settlement data", {{"cmb_get_settlement_data_record_type", "Last settled batch"}},
         "SettleResponse", "NO SETTLEMENT YET"},
        {"Settlement data",
         {{"cmb_get_settlement_data_record_type", "Open batch (not settled yet)"}},
         "SettleResponse", "OPEN BATCH"},
        {"Exchange rate update", {{"UpdateMethod", "Download from the host now"}},
         "AuthorisationResponse", "RATES UPDATED"},
        {"Exchange rate update", {{"UpdateMethod", "Rates stored at the last download"}},
         "AuthorisationResponse", "STORED RATES"},
        {"Tax-free refund", {{"SaleCashAmount", "24000"}, {"PaymentMethod", "Refund in cash"}},
         "FormType", "2"},
        {"Tax-free refund", {{"SaleCashAmount", "24000"}, {"PaymentMethod", "Refund to the card"}},
         "FormType", "1"},
        {"Top-up configuration", {{"cmb_mt_conf_mode", "As stored on the terminal"}}, "ProfileID",
         "MTP00001"},
        {"Top-up configuration", {{"cmb_mt_conf_mode", "Download from the host first"}},
         "ProfileID", "MTP00002"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.op) + " " + c.inputs.back().second);
        const Played p = play(c.op, c.inputs);
        EXPECT_EQ(p.result, 0);
        EXPECT_EQ(p.field(c.field), c.text);
    }
    for (const char* mode : {"Add the fixed top-up amount", "Round up to the next whole unit"}) {
        ASSERT_EQ(play("Donation mode", {{"DonationMode", mode}}).result, 0);
        EXPECT_EQ(play("Donation configuration").shown("txt_pe_don_mode"),
                  mode[0] == 'A' ? "Top Up" : "Round Up");
    }
}

// A PWCB is eligible with cash back: the answer's next byte is not part of it.
TEST_F(EndOfDayOperations, AnEligibilityAnswerIsShownFromItsOwnByte) {
    const Played p = play("Eligibility check", {{"TransactionType", "05"}});
    ASSERT_EQ(p.result, 0);
    int shown = 0;
    for (const FieldOutput& out : p.op->outputs)
        if (std::string_view(out.field->name).ends_with("EligibilityOut") ||
            std::string_view(out.field->name) == "EligibilityResultOut") {
            EXPECT_EQ(shown_text(p.record(), *out.field, out.rule), "1") << out.field->name;
            ++shown;
        }
    EXPECT_EQ(shown, 2);
}

TEST_F(EndOfDayOperations, TheSettlementShowsItsStatusInWords) {
    struct Case {
        const char* sale;    // approved before the settlement, or null
        const char* message; // 999: the host cannot be reached
        const char* shown;
    };
    const Case cases[] = {
        {nullptr, "1", "No Transaction"},
        {"1000", "999", "Unable To Connect"},
        {nullptr, "2", "Authorised"}, // the batch that the host could not take
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        if (c.sale)
            approved({"00", c.sale});
        const Played p = play("Settlement", {{"txt_settlement_msg_num", c.message}});
        EXPECT_EQ(p.field("MessageNumber"), c.message);
        EXPECT_EQ(p.shown("txt_sett_output_settlement_status"), c.shown);
    }
}

} // namespace
