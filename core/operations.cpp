#include "operations.h"

#include "code_texts.h"

#include <glib.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {


bool same_name(std::string_view a, std::string_view b) {
    return a.size() == b.size() && g_ascii_strncasecmp(a.data(), b.data(), a.size()) == 0;
}

bool ends_with(std::string_view text, std::string_view end) {
    return text.size() > end.size() && same_name(text.substr(text.size() - end.size()), end);
}

// The field's name, or that name without one of the endings.
bool names_field(std::string_view name, std::string_view field,
                 std::initializer_list<std::string_view> endings) {
    if (same_name(name, field))
        return true;
    for (std::string_view end : endings)
        if (ends_with(field, end) && same_name(name, field.substr(0, field.size() - end.size())))
            return true;
    return false;
}

} // namespace

// Never destroyed: a detached worker may look an operation up while the process
// exits.
std::span<const Operation> all_operations() {
    static const std::vector<Operation>* const all = [] {
        auto* ops = new std::vector<Operation>;
        for (auto area : {payment_operations(), management_operations(), end_of_day_operations(),
                          value_added_operations()})
            ops->insert(ops->end(), area.begin(), area.end());
        return ops;
    }();
    return *all;
}

const Operation* find_operation(std::string_view name) {
    const std::string wanted = fold_name(name);
    for (const Operation& op : all_operations())
        if (fold_name(op.name) == wanted)
            return &op;
    return nullptr;
}

const FieldInput* find_input(const Operation& op, std::string_view name) {
    for (const FieldInput& input : op.inputs)
        if ((input.widget && same_name(name, input.widget)) ||
            names_field(name, input.field->name, {"InOut", "In"}))
            return &input;
    return nullptr;
}

const FieldDesc* find_response_field(const Operation& op, std::string_view name) {
    for (const FieldDesc& field : op.response->fields)
        if (names_field(name, field.name, {"InOut", "Out"}))
            return &field;
    return nullptr;
}

const FieldOutput* find_output_by_widget(const Operation& op, std::string_view widget) {
    for (const FieldOutput& output : op.outputs)
        if (output.widget && widget == output.widget)
            return &output;
    return nullptr;
}

namespace {

bool is_status_rule(Rule rule) {
    return rule == Rule::TxnStatus || rule == Rule::MtTxnStatus || rule == Rule::MtuSettStatus ||
           rule == Rule::SettlementStatus || rule == Rule::TaxFreeStatus ||
           rule == Rule::ExchangeRateStatus;
}

} // namespace

const FieldOutput* status_output(const Operation& op) {
    for (const FieldOutput& output : op.outputs)
        if (is_status_rule(output.rule))
            return &output;
    return nullptr;
}

const char* status_name(Rule rule, const std::string& value) {
    switch (rule) {
    case Rule::TxnStatus:
        return DiagTxnStatus(value.c_str());
    case Rule::MtTxnStatus:
        return DiagMtTxnStatus(value.c_str(), value.size());
    case Rule::MtuSettStatus:
        return DiagMtuSettStatus(value.c_str(), value.size());
    case Rule::SettlementStatus:
        return code_name(CodeTable::SettlementStatus, std::atoi(value.c_str()));
    case Rule::TaxFreeStatus:
        return code_name(CodeTable::TaxFreeStatus, std::atoi(value.c_str()));
    case Rule::ExchangeRateStatus:
        return code_name(CodeTable::ExchangeRateStatus, std::atoi(value.c_str()));
    default:
        return nullptr;
    }
}

short run_operation(const Operation& op, const void* request, void* response, int record_number) {
    std::memset(response, 0, op.response->size);
    return op.call(OperationCall{request, response, record_number});
}
