#include "operations.h"

#include "activity.h"
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

const char* library_call_name(void (*function)()) {
    struct Named {
        void (*function)();
        const char* name;
    };
#define KELVRA_CALL(f) Named { reinterpret_cast<void (*)()>(&f), #f }
    static const Named kCalls[] = {
        KELVRA_CALL(AdjustTipAmount),
        KELVRA_CALL(CheckAppEnablement),
        KELVRA_CALL(CheckEligibilityLaunch),
        KELVRA_CALL(CheckPEDAuthenticity),
        KELVRA_CALL(CheckSignReq),
        KELVRA_CALL(CheckVoiceReferralReq),
        KELVRA_CALL(DCCQuotation),
        KELVRA_CALL(DoMobileTopUpSettlement),
        KELVRA_CALL(DoMobileTopUpTransaction),
        KELVRA_CALL(DoSettlement),
        KELVRA_CALL(DoTaxFreeRefund),
        KELVRA_CALL(Exchange_Rate_Update_Launch),
        KELVRA_CALL(GetAVSRejectionData),
        KELVRA_CALL(GetCurrencyDetails),
        KELVRA_CALL(GetLastTxnData_Launch),
        KELVRA_CALL(GetMobileTopUpConfiguration),
        KELVRA_CALL(GetPartialAuthData),
        KELVRA_CALL(GetPasswordParams),
        KELVRA_CALL(GetPenniesConfiguration),
        KELVRA_CALL(GetProductData),
        KELVRA_CALL(GetSettlementData),
        KELVRA_CALL(GetSettlementProductData),
        KELVRA_CALL(GetTerminalState),
        KELVRA_CALL(GetTransactionDetailDataRecord),
        KELVRA_CALL(GetVoucherRecord),
        KELVRA_CALL(PrintInformationsLaunch),
        KELVRA_CALL(ReadSwipeCardTracks),
        KELVRA_CALL(SetAVSRejectionStatus),
        KELVRA_CALL(SetAuthorisation),
        KELVRA_CALL(SetIPAddress),
        KELVRA_CALL(SetPartialAuthStatus),
        KELVRA_CALL(SetPassword),
        KELVRA_CALL(SetPath),
        KELVRA_CALL(SetPenniesDonationMode),
        KELVRA_CALL(SetSignStatus),
        KELVRA_CALL(SetSuspectedFraudStatus),
        KELVRA_CALL(SetTimeDate),
        KELVRA_CALL(SetTraceTlvMessagesEnabelement),
        KELVRA_CALL(SetTxnReceiptPrintStatus),
        KELVRA_CALL(StartServer),
        KELVRA_CALL(StopServer),
        KELVRA_CALL(Transaction_Launch),
        KELVRA_CALL(WaitTerminalEvent),
    };
#undef KELVRA_CALL
    for (const Named& call : kCalls)
        if (call.function == function)
            return call.name;
    return "";
}

std::int64_t call_clock_ms() { return g_get_real_time() / 1000; }

namespace {

JournalCall made_call(const char* name, std::int64_t started_ms, const RecordDesc* request_desc,
                      const void* request, const RecordDesc& response_desc, const void* response) {
    JournalCall made;
    made.name = name;
    made.started_ms = started_ms;
    made.ended_ms = call_clock_ms();
    if (request_desc && request) {
        made.request_record = request_desc->name;
        made.request = masked_record_bytes(*request_desc, request);
    }
    made.response_record = response_desc.name;
    made.response = masked_record_bytes(response_desc, response);
    return made;
}

bool is_status_rule(Rule rule) {
    return rule == Rule::TxnStatus || rule == Rule::MtTxnStatus || rule == Rule::MtuSettStatus ||
           rule == Rule::SettlementStatus || rule == Rule::TaxFreeStatus ||
           rule == Rule::ExchangeRateStatus;
}

} // namespace

void record_library_call(void (*function)(), std::int64_t started_ms,
                         const RecordDesc* request_desc, const void* request,
                         const RecordDesc& response_desc, const void* response) {
    record_library_call(
        made_call(library_call_name(function), started_ms, request_desc, request, response_desc,
                  response));
}

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
    OperationCall call{request, response, record_number, nullptr, {}};
    const std::int64_t started_ms = call_clock_ms();
    const short code = op.call(call);
    const char* name = call.made ? library_call_name(call.made) : "";
    // The request as passed: the call's own copy when it made one.
    const void* passed = op.request && call.passed_request.size() == op.request->size
                             ? call.passed_request.data()
                             : request;
    record_library_call(made_call(*name ? name : op.name, started_ms, op.request, passed,
                                  *op.response, response));
    return code;
}
