// The operation tables and the field functions every record goes through: widgets,
// scenario names, texts to request fields, fields to shown texts; operations as played.
#include "field_rules.h"
#include "fields.h"
#include "operations.h"
#include "sim_txn.h"
#include "ui_components.h"

#include <cstddef>
#include <set>
#include <utility>

namespace {

TEST(Operations, EveryWidgetOfEveryTableIsAWidgetOfTheWindow) {
    for (const Operation& op : all_operations()) {
        SCOPED_TRACE(op.name);
        for (const FieldInput& input : op.inputs)
            EXPECT_TRUE(!input.widget || widget_handle(input.widget)) << input.widget;
        for (const FieldOutput& output : op.outputs)
            EXPECT_TRUE(!output.widget || widget_handle(output.widget)) << output.widget;
    }
    EXPECT_EQ(widget_handle("txt_no_such_entry"), nullptr);
}

TEST(Operations, NamesAreFoundWhateverTheirCaseBlanksAndDashes) {
    using Written = std::pair<const char*, const char*>; // as written, the name found or null
    for (const auto& [written, name] : std::initializer_list<Written>{
             {"sale", "SALE"},
             {"pre-auth reversal", "PRE-AUTH REVERSAL"},
             {"PRE_AUTH REVERSAL", "PRE-AUTH REVERSAL"},
             {"preauth", "PRE-AUTH"},
             {"Pre Auth Increment", "PRE-AUTH INCREMENT"},
             {"last_transaction", "Last transaction"},
             {"TERMINAL-STATUS", "Terminal status"},
             {"set password", "Set password"},
             {"pre-auth reversals", nullptr},
             {"", nullptr},
         }) {
        const Operation* op = find_operation(written);
        EXPECT_STREQ(op ? op->name : nullptr, name) << written;
    }
    // Folded alike, two operations could not both be named.
    std::set<const Operation*> found;
    for (const Operation& op : all_operations())
        found.insert(find_operation(op.name));
    EXPECT_EQ(found.size(), all_operations().size());
}

TEST(Operations, InputsAndResponseFieldsAreFoundByWidgetOrFieldName) {
    const Operation& sale = *find_operation("SALE");
    const struct {
        bool input; // else a response field
        const char* name;
        const char* field; // null: none
    } cases[] = {
        {true, "txt_txn_input_amount1", "Amount1In"},
        {true, "Amount2In", "Amount2In"},
        {true, "amount3", "Amount3In"},
        {true, "suspectedfraudindicator", "SuspectedFraudIndicatorIn"},
        {true, "TransactionType", nullptr}, // fixed by the operation
        {true, "Amount", nullptr},
        {false, "TotalAmount", "TotalAmountOut"},
        {false, "diagrequestout", "DiagRequestOut"},
        {false, "TotalAmountIn", nullptr},
    };
    for (const auto& c : cases) {
        const FieldInput* input = c.input ? find_input(sale, c.name) : nullptr;
        const FieldDesc* field =
            c.input ? (input ? input->field : nullptr) : find_response_field(sale, c.name);
        EXPECT_STREQ(field ? field->name : nullptr, c.field) << c.name;
    }
}

// A 16-byte record of one field, filled with 0x55 so that what set_input leaves
// alone shows.
struct Bytes {
    unsigned char b[16];
    Bytes() { std::memset(b, 0x55, sizeof b); }
    std::string text(std::size_t n) const {
        return std::string(reinterpret_cast<const char*>(b), n);
    }
    long number(std::size_t width) const {
        std::int16_t s16;
        std::int32_t s32;
        std::memcpy(&s16, b, 2);
        std::memcpy(&s32, b, 4);
        return width == 1 ? static_cast<signed char>(b[0]) : width == 2 ? s16 : s32;
    }
};

TEST(FieldRules, InputTextsBecomeFieldsOrAreRefused) {
    const char* const* apps = find_operation("Application enablement")->inputs[0].choices;
    struct Case {
        FieldKind kind;
        std::size_t width;
        InputRule rule;
        const char* text;
        bool taken;
        const char* want_text; // the field's bytes for a text field
        long want_number;      // else its value
    };
    using K = FieldKind;
    using R = InputRule;
    const Case cases[] = {
        {K::Text, 13, R::Amount, "1250", true, "000000001250\0", 0},
        {K::Text, 13, R::Amount, "", true, "\0\0\0\0\0\0\0\0\0\0\0\0\0", 0},
        {K::Text, 13, R::Amount, "1234567890123456", true, "1234567890123", 0},
        {K::Text, 4, R::Text, "ABCDEF", true, "ABCD", 0},
        {K::Text, 4, R::TerminatedText, "ABCDEF", true, "ABC\0", 0},
        {K::Int16, 2, R::FirstChar, "Y?", true, nullptr, 'Y'},
        {K::Int16, 2, R::FirstChar, "\xE9", true, nullptr, 0xE9},
        {K::Int16, 2, R::FirstChar, "", true, nullptr, 0},
        {K::Int16, 2, R::Number, "-32768", true, nullptr, -32768},
        {K::Int16, 2, R::Number, "32768", false, nullptr, 0},
        {K::UInt8, 1, R::Number, "256", false, nullptr, 0},
        {K::UInt8, 1, R::Number, "-1", false, nullptr, 0},
        {K::Int8, 1, R::Number, "-128", true, nullptr, -128},
        {K::Int32, 4, R::Number, "+70000", true, nullptr, 70000},
        {K::Int32, 4, R::Number, "12x", false, nullptr, 0},
        {K::Int32, 4, R::Number, "", true, nullptr, 0},
        {K::Text, 4, R::Number, "1", false, nullptr, 0},
        {K::Int16, 2, R::Choice, "mobile_topup", true, nullptr, 3},
        {K::Int16, 2, R::Choice, "Charity Donation", true, nullptr, 2},
        {K::Int16, 2, R::Choice, "7", true, nullptr, 7},
        {K::Int16, 2, R::Choice, "lottery", false, nullptr, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " by rule " + std::to_string(static_cast<int>(c.rule)));
        const FieldDesc field{"Field", 0, c.width, c.kind};
        Bytes record;
        std::string error;
        ASSERT_EQ(set_input(record.b, field, c.rule, c.text, apps, &error), c.taken) << error;
        if (!c.taken) {
            EXPECT_FALSE(error.empty());
            EXPECT_EQ(record.b[0], 0x55) << "a refused text leaves the field";
            continue;
        }
        if (c.want_text) {
            EXPECT_EQ(record.text(c.width), std::string(c.want_text, c.width));
        } else {
            EXPECT_EQ(record.number(c.width), c.want_number);
        }
        EXPECT_EQ(record.b[c.width], 0x55) << "nothing beyond the field";
    }
}

TEST(FieldRules, ShownTextsOfTheRulesWhereAFieldIsLeftOrReadOnlyInPart) {
    struct Case {
        Rule rule;
        std::size_t width;
        const char* bytes; // the field's bytes (width of them)
        const char* shown; // null: the widget is left as it is
    };
    const Case cases[] = {
        {Rule::Text, 4, "ABCD", "ABCD"}, // no terminator: the whole width
        {Rule::TxnTypeName, 3, "\0\0\0", nullptr},
        {Rule::TxnTypeName, 3, "13\0", "PRE-AUTH REVERSAL"},
        {Rule::TxnTypeOfValue, 3, "\0\0\0", "SALE"},
        {Rule::EntryMethodName, 2, "\0\0", nullptr},
        {Rule::SettlementStatus, 2, "\0\0", nullptr},
        {Rule::ExchangeRateStatus, 2, "\x63\x00", nullptr}, // 99: no name
        {Rule::BankType, 2, "\x01\x00", "Bank Funded"},
        {Rule::Bool16, 2, "\x01\x01", "TRUE"}, // the low byte only
        {Rule::Bool16, 2, "\x00\x01", "FALSE"},
        {Rule::Unsigned16, 2, "\xFF\xFF", "65535"},
        {Rule::Signed16, 2, "\xFF\xFF", "-1"},
        {Rule::CurrencySymbol, 3, "\0\0\0", ""},
        {Rule::TxnStatus, 2, "00", "Authorised"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(static_cast<int>(c.rule)) + " " +
                     std::string(c.bytes, c.width));
        const FieldDesc field{"Field", 1, c.width, FieldKind::Text};
        char record[8];
        std::memset(record, '9', sizeof record); // digits around the field must not count
        std::memcpy(record + 1, c.bytes, c.width);
        EXPECT_EQ(shown_text(record, field, c.rule).value_or("(left as it is)"),
                  c.shown ? c.shown : "(left as it is)");
    }
}

TEST(Operations, ARunEmptiesTheResponseBeforeTheCallAndReturnsItsCode) {
    Operation op = *find_operation("Terminal status");
    op.call = [](const OperationCall& call) -> short {
        return static_cast<const Status_out*>(call.response)->StateOut == 0 ? 7 : -1;
    };
    Status_out out;
    std::memset(&out, 0x7F, sizeof out);
    EXPECT_EQ(run_operation(op, nullptr, &out), 7);
    EXPECT_EQ(out.DiagRequestOut, 0);
}

// Operations played as the runner plays them: inputs by name through set_input, the
// call through run_operation, the answer read by field name or by the rule that shows
// it. The shipped scenarios play the numbered records and the settlement's statuses.
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
