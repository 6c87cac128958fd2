// Operations played as the runner plays them: inputs by name through set_input, the
// call through run_operation, the answer read by field name or by the rule that shows
// it. The shipped scenarios play the numbered records and the settlement's statuses.
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
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.op) + " " + c.inputs.back().second);
        const Played p = play(c.op, c.inputs);
        EXPECT_EQ(p.result, 0);
        EXPECT_EQ(p.field(c.field), c.text);
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

} // namespace
