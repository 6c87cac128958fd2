// The terminal management operations: status, configuration and the card and
// terminal queries, with the console's entries and the fields its panels show.
// Fields the console shows in its own way (coded states in colour) have rows
// without a widget, so that a scenario can still read them by name.
#include "operation_calls.h"
#include "operations.h"

#include "fields.h"

#include <cstring>

namespace {

using operation_calls::by_pointer;
using operation_calls::response_only;

// The library call of a record that is both request and response: the request is
// copied into the response, which the call then reads and answers in.
template <class Record, void (*Call)(Record*)> short in_out(const OperationCall& call) {
    auto* io = static_cast<Record*>(call.response);
    if (call.request)
        std::memcpy(io, call.request, sizeof(Record));
    call.making(Call);
    Call(io);
    return io->DiagRequestOut;
}

short print_information(const OperationCall& call) {
    PrintInformation_in in = *static_cast<const PrintInformation_in*>(call.request);
    escape_print_line_feeds(in); // a request escaped already stays as it is
    auto* out = static_cast<PrintInformation_out*>(call.response);
    call.making(PrintInformationsLaunch, in);
    PrintInformationsLaunch(&in, out);
    return out->DiagRequestOut;
}

template <class Record> constexpr const FieldDesc* result_of() {
    return &field_of<Record>("DiagRequestOut");
}

// ---------------------------------------------------------------------------
// Status

const FieldOutput kStatusOutputs[] = {KELVRA_OUTPUT(Status_out, StateOut, Signed16, nullptr)};

// ---------------------------------------------------------------------------
// Configuration

// The date and time come from the calendar and the spin buttons, which the console
// reads itself; a scenario gives the two-digit texts.
const FieldInput kDateTimeInputs[] = {
    KELVRA_INPUT(TimeDate_in, YearIn, Text, nullptr),
    KELVRA_INPUT(TimeDate_in, MonthIn, Text, nullptr),
    KELVRA_INPUT(TimeDate_in, DayIn, Text, nullptr),
    KELVRA_INPUT(TimeDate_in, HourIn, Text, nullptr),
    KELVRA_INPUT(TimeDate_in, MinuteIn, Text, nullptr),
    KELVRA_INPUT(TimeDate_in, SecondIn, Text, nullptr),
};
const FieldOutput kDateTimeOutputs[] = {KELVRA_OUTPUT(TimeDate_out, StatusOut, Signed16, nullptr)};

const FieldInput kAddressInputs[] = {
    KELVRA_INPUT(SetTerminalIPAddress_InOut, IPAddressIn, TerminatedText, "txt_new_ip_address")};

const FieldInput kCertificateInputs[] = {
    KELVRA_INPUT(SetSSLCertificate_InOut, PathIn, TerminatedText, "txt_ssl_certificate_path")};

// EntryStatusIn: 0 the entry was cancelled, 1 the password was entered. The
// console's list shows them the other way round and maps its rows itself.
const char* const kEntryStatusChoices[] = {"cancelled", "entered", nullptr};
const FieldInput kPasswordInputs[] = {
    KELVRA_INPUT(SetPasswordIn, PasswordIn, Text, "txt_set_password"),
    KELVRA_CHOICE(SetPasswordIn, EntryStatusIn, kEntryStatusChoices, nullptr),
};

// The console takes the state from its radio buttons and its own flag.
const char* const kOnOffChoices[] = {"disabled", "enabled", nullptr};
const FieldInput kReceiptPrintingInputs[] = {
    KELVRA_CHOICE(InitTxnReceiptPrint_InOut, StatusIn, kOnOffChoices, nullptr)};

const FieldInput kTracingInputs[] = {
    KELVRA_INPUT(SetTraceTlvMessagesEnabelement_InOut, FolderPathInOut, TerminatedText,
                 "txt_new_folder_path"),
    KELVRA_CHOICE(SetTraceTlvMessagesEnabelement_InOut, TraceEnabelementINOut, kOnOffChoices,
                  nullptr),
};
// The folder the library writes back, shown as valid text whatever its bytes.
const FieldOutput kTracingOutputs[] = {
    KELVRA_OUTPUT(SetTraceTlvMessagesEnabelement_InOut, FolderPathInOut, Text,
                  "txt_new_folder_path"),
    KELVRA_OUTPUT(SetTraceTlvMessagesEnabelement_InOut, TraceEnabelementINOut, Unsigned8, nullptr),
};

// ---------------------------------------------------------------------------
// Queries

// The type's two-digit code ("00" for a SALE); the console takes it from its type list.
const FieldInput kEligibilityInputs[] = {
    KELVRA_INPUT(CheckEligibility_in, TransactionTypeIn, Text, nullptr)};
// The limits of an eligible type; the console shows the rows with widgets only for
// an eligible type, and the results as texts of its own.
const FieldOutput kEligibilityOutputs[] = {
    KELVRA_OUTPUT(CheckEligibility_out, CurrencyCodeOut, CurrencySymbol,
                  "txt_check_elig_check_elig_curr_symbol"),
    KELVRA_OUTPUT(CheckEligibility_out, CeilingLimitOut, Text, "txt_check_elig_ceiling_limit"),
    KELVRA_OUTPUT(CheckEligibility_out, CashCeilingLimitOut, Text,
                  "txt_check_elig_cash_ceiling_limit"),
    KELVRA_OUTPUT(CheckEligibility_out, EligibilityResultOut, Unsigned8, nullptr),
    KELVRA_OUTPUT(CheckEligibility_out, CashBackEligibilityOut, Unsigned8, nullptr),
    KELVRA_OUTPUT(CheckEligibility_out, IsCommercialCodeRequiredOut, Unsigned8, nullptr),
};

const FieldInput kPedInputs[] = {
    KELVRA_INPUT(PEDAuthentication_in, pedSerialNbrIn, Text, "txt_ped_serial_number")};
const FieldOutput kPedOutputs[] = {
    KELVRA_OUTPUT(PEDAuthentication_out, StateOut, Signed16, nullptr)};

const FieldOutput kTrackOutputs[] = {
    KELVRA_OUTPUT(ReadTracks_out, Track1BufferOut, Text, "txt_read_track1_data"),
    KELVRA_OUTPUT(ReadTracks_out, Track2BufferOut, Text, "txt_read_track2_data"),
    KELVRA_OUTPUT(ReadTracks_out, Track3BufferOut, Text, "txt_read_track3_data"),
    KELVRA_OUTPUT(ReadTracks_out, Track1StatusOut, Signed16, nullptr),
    KELVRA_OUTPUT(ReadTracks_out, Track2StatusOut, Signed16, nullptr),
    KELVRA_OUTPUT(ReadTracks_out, Track3StatusOut, Signed16, nullptr),
};

// The console reads the text view itself (escaping its line feeds before the
// journal records it).
const FieldInput kPrintInputs[] = {
    KELVRA_INPUT(PrintInformation_in, PrintBufferIn, TerminatedText, nullptr)};
const FieldOutput kPrintOutputs[] = {
    KELVRA_OUTPUT(PrintInformation_out, StatusOut, Signed16, nullptr)};

// ApplicationIdIn by the rows of cmb_application_identifier.
const char* const kApplicationChoices[] = {"Payment",       "DCC",      "Charity donation",
                                           "Mobile top-up", "Tax-free", nullptr};
const FieldInput kApplicationInputs[] = {KELVRA_CHOICE(CheckApplicationEnablementIn,
                                                       ApplicationIdIn, kApplicationChoices,
                                                       "cmb_application_identifier")};
const FieldOutput kApplicationOutputs[] = {
    KELVRA_OUTPUT(CheckApplicationEnablementOut, EnablementResultOut, Signed16, nullptr)};

template <class Record> constexpr const RecordDesc* desc = &record_description<Record>;

const Operation kManagementOperations[] = {
    {"Terminal status",
     nullptr,
     desc<Status_out>,
     {},
     kStatusOutputs,
     result_of<Status_out>(),
     nullptr,
     response_only<Status_out, GetTerminalState>,
     false},
    {"Set date and time", desc<TimeDate_in>, desc<TimeDate_out>, kDateTimeInputs, kDateTimeOutputs,
     result_of<TimeDate_out>(), nullptr, by_pointer<TimeDate_in, TimeDate_out, SetTimeDate>,
     false},
    {"Set IP address",
     desc<SetTerminalIPAddress_InOut>,
     desc<SetTerminalIPAddress_InOut>,
     kAddressInputs,
     {},
     result_of<SetTerminalIPAddress_InOut>(),
     nullptr,
     in_out<SetTerminalIPAddress_InOut, SetIPAddress>,
     false},
    {"Set certificate",
     desc<SetSSLCertificate_InOut>,
     desc<SetSSLCertificate_InOut>,
     kCertificateInputs,
     {},
     result_of<SetSSLCertificate_InOut>(),
     nullptr,
     in_out<SetSSLCertificate_InOut, SetPath>,
     false},
    {"Set password",
     desc<SetPasswordIn>,
     desc<SetPasswordOut>,
     kPasswordInputs,
     {},
     result_of<SetPasswordOut>(),
     nullptr,
     by_pointer<SetPasswordIn, SetPasswordOut, SetPassword>,
     false},
    {"Receipt printing",
     desc<InitTxnReceiptPrint_InOut>,
     desc<InitTxnReceiptPrint_InOut>,
     kReceiptPrintingInputs,
     {},
     result_of<InitTxnReceiptPrint_InOut>(),
     nullptr,
     in_out<InitTxnReceiptPrint_InOut, SetTxnReceiptPrintStatus>,
     false},
    {"Message tracing", desc<SetTraceTlvMessagesEnabelement_InOut>,
     desc<SetTraceTlvMessagesEnabelement_InOut>, kTracingInputs, kTracingOutputs,
     result_of<SetTraceTlvMessagesEnabelement_InOut>(), nullptr,
     in_out<SetTraceTlvMessagesEnabelement_InOut, SetTraceTlvMessagesEnabelement>, false},
    {"Eligibility check", desc<CheckEligibility_in>, desc<CheckEligibility_out>, kEligibilityInputs,
     kEligibilityOutputs, result_of<CheckEligibility_out>(), nullptr,
     by_pointer<CheckEligibility_in, CheckEligibility_out, CheckEligibilityLaunch>, false},
    {"PED authentication", desc<PEDAuthentication_in>, desc<PEDAuthentication_out>, kPedInputs,
     kPedOutputs, result_of<PEDAuthentication_out>(), nullptr,
     by_pointer<PEDAuthentication_in, PEDAuthentication_out, CheckPEDAuthenticity>, false},
    {"Card reading",
     nullptr,
     desc<ReadTracks_out>,
     {},
     kTrackOutputs,
     result_of<ReadTracks_out>(),
     nullptr,
     response_only<ReadTracks_out, ReadSwipeCardTracks>,
     false},
    {"Print information", desc<PrintInformation_in>, desc<PrintInformation_out>, kPrintInputs,
     kPrintOutputs, result_of<PrintInformation_out>(), nullptr, print_information, false},
    {"Application enablement", desc<CheckApplicationEnablementIn>,
     desc<CheckApplicationEnablementOut>, kApplicationInputs, kApplicationOutputs,
     result_of<CheckApplicationEnablementOut>(), nullptr,
     by_pointer<CheckApplicationEnablementIn, CheckApplicationEnablementOut, CheckAppEnablement>,
     false},
    {"Event server start",
     nullptr,
     desc<TerminalEventOut>,
     {},
     {},
     result_of<TerminalEventOut>(),
     nullptr,
     response_only<TerminalEventOut, StartServer>,
     false},
    {"Event server stop",
     nullptr,
     desc<TerminalEventOut>,
     {},
     {},
     result_of<TerminalEventOut>(),
     nullptr,
     response_only<TerminalEventOut, StopServer>,
     false},
};

} // namespace

std::span<const Operation> management_operations() {
    return kManagementOperations;
}

// The library takes line feeds as backslash-n pairs. Each one is escaped while the
// text is at most 253 bytes long, so that the escaped text, one byte longer, still
// ends in a NUL within the 256-byte field; once longer, the rest goes unchanged.
void escape_print_line_feeds(PrintInformation_in& request) {
    constexpr std::size_t kEscapeLimit = 253;
    static_assert(kEscapeLimit + 2 < sizeof request.PrintBufferIn);
    char* text = request.PrintBufferIn;
    std::size_t length = strnlen(text, sizeof request.PrintBufferIn - 1);
    for (std::size_t i = 0; i < length; ++i) {
        if (text[i] != '\n')
            continue;
        if (length > kEscapeLimit)
            break;
        std::memmove(text + i + 2, text + i + 1, length - i); // the rest and its NUL
        text[i] = '\\';
        text[i + 1] = 'n';
        ++length;
        ++i;
    }
}
