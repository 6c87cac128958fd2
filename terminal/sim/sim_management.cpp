// Terminal management calls of the simulated terminal: its state, its clock,
// receipt printing, message tracing, and the card and terminal queries
// (eligibility, PED authenticity, magnetic card reading, free-text printing,
// application enablement). docs/simulated-terminal.md describes each answer.
#include "korvex.h"
#include "sim_core.h"
#include "sim_payment.h"
#include "sim_printer.h"
#include "sim_trace.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace sim {
namespace {

constexpr short kStatusAccepted = 0;
constexpr short kStatusRefused = 1;

// Step times at delay scale 1, in milliseconds.
constexpr int kStepSwipe = 2500; // the customer swipes, as long as a card insert
constexpr int kStepQuery = 200;  // the terminal looks its answer up

// The simulated PED's serial number (9 characters, the whole field).
constexpr char kPedSerialNumber[] = "SIMPED001";
static_assert(sizeof kPedSerialNumber - 1 == sizeof(PEDAuthentication_in::pedSerialNbrIn));
constexpr short kPedAuthentic = 0;
constexpr short kPedNotAuthentic = 1;

// ---------------------------------------------------------------------------
// Date and time

int two_digits(const char (&field)[3]) {
    if (!std::isdigit(static_cast<unsigned char>(field[0])) ||
        !std::isdigit(static_cast<unsigned char>(field[1])) || field[2] != '\0')
        return -1;
    return (field[0] - '0') * 10 + (field[1] - '0');
}

bool leap_year(int year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int days_in_month(int year, int month) {
    constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && leap_year(year) ? 29 : kDays[month - 1];
}

// The local time a request names, or nothing when a field is not two digits or
// not a real date and time.
std::optional<std::tm> requested_time(const TimeDate_in& in) {
    const int year = two_digits(in.YearIn), month = two_digits(in.MonthIn),
              day = two_digits(in.DayIn), hour = two_digits(in.HourIn),
              minute = two_digits(in.MinuteIn), second = two_digits(in.SecondIn);
    if (year < 0 || month < 1 || month > 12 || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
        second < 0 || second > 59)
        return std::nullopt;
    if (day < 1 || day > days_in_month(2000 + year, month))
        return std::nullopt;
    std::tm tm{};
    tm.tm_year = 2000 + year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    return tm;
}

void set_time_date(const TimeDate_in& in, TimeDate_out& out) {
    out = TimeDate_out{};
    out.DiagRequestOut = kResultOk;
    std::optional<std::tm> wanted = requested_time(in);
    if (!wanted) {
        out.StatusOut = kStatusRefused;
        return;
    }
    const std::time_t target = std::mktime(&*wanted);
    if (target == static_cast<std::time_t>(-1)) {
        out.StatusOut = kStatusRefused;
        return;
    }
    const long offset = static_cast<long>(target - std::time(nullptr));
    terminal().clock_offset = offset;
    keep_clock_offset(offset);
    out.StatusOut = kStatusAccepted;
}

// ---------------------------------------------------------------------------
// Eligibility

std::string digits12(long amount) {
    char text[32];
    std::snprintf(text, sizeof text, "%012ld", amount);
    return text;
}

void check_eligibility(const CheckEligibility_in& in, CheckEligibility_out& out) {
    out = CheckEligibility_out{};
    const std::optional<TypeTerms> terms = type_terms(text_of(in.TransactionTypeIn));
    if (!terms) {
        out.DiagRequestOut = kResultBadRequestFormat;
        return;
    }
    step_delay(kStepQuery);
    out.DiagRequestOut = kResultOk;
    put(out.CurrencyCodeOut, kProfile.currency_code);
    // Every type the engine knows is taken while the payment application is enabled.
    out.EligibilityResultOut = application_enabled(App::Payment) ? 1 : 0;
    put(out.CeilingLimitOut, digits12(terms->takes_amount ? kAmountLimit : 0));
    put(out.CashCeilingLimitOut, digits12(terms->cash_back ? kCashBackLimit : 0));
    out.CashBackEligibilityOut = terms->cash_back ? 1 : 0;
    out.IsCommercialCodeRequiredOut = terms->commercial_code_required ? 1 : 0;
}

// ---------------------------------------------------------------------------
// Magnetic card reading

// Read statuses of a track (the console's track status table).
enum TrackStatus : short {
    kTrackOk = 0,
    kTrackBadLrc = 3,
    kTrackNoData = 6,
    kTrackUserCancel = 7,
    kTrackNotAllowed = 9,
};

// The simulated magnetic card: the same account as the chip card, its PAN whole.
constexpr const char* kSwipePan = "6799990000044564";
constexpr const char* kSwipeName = "SIMPAY/TEST CARD";
constexpr const char* kSwipeExpiry = "2812";     // YYMM
constexpr const char* kSwipeServiceCode = "201"; // international, chip card, no restriction
constexpr const char* kSwipeDiscretionary = "0000000000";

std::string track1() {
    return std::string("%B") + kSwipePan + "^" + kSwipeName + "^" + kSwipeExpiry +
           kSwipeServiceCode + kSwipeDiscretionary + "?";
}

std::string track2() {
    return std::string(";") + kSwipePan + "=" + kSwipeExpiry + kSwipeServiceCode +
           kSwipeDiscretionary + "?";
}

// How the swipe goes, chosen by the tester (KORVEX_SIM_SWIPE): "bad-lrc" spoils
// track 2, "cancel" is a customer who cancels at the prompt; anything else reads.
enum class Swipe { Read, BadLrc, Cancel };
Swipe swipe_from_environment() {
    const char* value = std::getenv("KORVEX_SIM_SWIPE");
    const std::string swipe = value ? value : "";
    if (swipe == "bad-lrc")
        return Swipe::BadLrc;
    if (swipe == "cancel")
        return Swipe::Cancel;
    return Swipe::Read;
}

void set_track_statuses(ReadTracks_out& out, short one, short two, short three) {
    out.Track1StatusOut = one;
    out.Track2StatusOut = two;
    out.Track3StatusOut = three;
}

void read_tracks(ReadTracks_out& out) {
    out = ReadTracks_out{};
    out.DiagRequestOut = kResultOk;
    // A card read holds the terminal like a transaction; refused while one runs.
    const Occupied occupied;
    if (!occupied.taken()) {
        set_track_statuses(out, kTrackNotAllowed, kTrackNotAllowed, kTrackNotAllowed);
        return;
    }
    set_terminal_state(kStateCardInsert);
    step_delay(kStepSwipe);
    switch (swipe_from_environment()) {
    case Swipe::Cancel:
        set_track_statuses(out, kTrackUserCancel, kTrackUserCancel, kTrackUserCancel);
        break;
    case Swipe::BadLrc:
        put(out.Track1BufferOut, track1());
        set_track_statuses(out, kTrackOk, kTrackBadLrc, kTrackNoData);
        break;
    case Swipe::Read:
        put(out.Track1BufferOut, track1());
        put(out.Track2BufferOut, track2());
        set_track_statuses(out, kTrackOk, kTrackOk, kTrackNoData);
        break;
    }
}

// ---------------------------------------------------------------------------
// Free-text printing

// The lines of a text whose line breaks are written as backslash-n pairs (or, past
// the till's escaping limit, as line feeds). A break at the very end ends the
// last line and opens no new one.
std::vector<PrintLine> print_lines_of(const std::string& text) {
    std::vector<PrintLine> lines;
    std::string current;
    bool open = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool escaped_break = text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n';
        if (escaped_break || text[i] == '\n') {
            lines.push_back({PrintStyle::Normal, current});
            current.clear();
            open = false;
            i += escaped_break ? 1 : 0;
            continue;
        }
        current.push_back(text[i]);
        open = true;
    }
    if (open)
        lines.push_back({PrintStyle::Normal, current});
    return lines;
}

short print_status_of(PrintOutcome outcome) {
    switch (outcome) {
    case PrintOutcome::Printed:
        return 0;
    case PrintOutcome::PaperOut:
        return 1;
    case PrintOutcome::PrinterError:
        return 2;
    case PrintOutcome::NoPrinter:
        return 3;
    case PrintOutcome::BadReply:
        return 4;
    }
    return 4;
}

} // namespace
} // namespace sim

extern "C" {

KORVEX_API void GetTerminalState(Status_out* out) {
    SIM_CALL("GetTerminalState", nullptr, 0, out, out ? sizeof *out : 0);
    if (!out)
        return;
    out->StateOut = sim::terminal().state.load();
    out->DiagRequestOut = sim::kResultOk;
}

KORVEX_API void SetTimeDate(const TimeDate_in* in, TimeDate_out* out) {
    SIM_CALL("SetTimeDate", in, in ? sizeof *in : 0, out, out ? sizeof *out : 0);
    if (!out)
        return;
    if (!in) {
        *out = TimeDate_out{sim::kResultBadRequestFormat, sim::kStatusRefused};
        return;
    }
    sim::set_time_date(*in, *out);
}

KORVEX_API void SetTxnReceiptPrintStatus(InitTxnReceiptPrint_InOut* io) {
    SIM_CALL("SetTxnReceiptPrintStatus", io, io ? sizeof *io : 0, io, io ? sizeof *io : 0);
    if (!io)
        return;
    if (io->StatusIn != 0 && io->StatusIn != 1) {
        io->DiagRequestOut = sim::kResultBadRequestFormat;
        return;
    }
    const bool on = io->StatusIn == 1;
    {
        sim::Terminal& t = sim::terminal();
        std::lock_guard lock(t.mutex);
        t.print_receipts = on;
    }
    sim::keep_print_receipts(on);
    io->DiagRequestOut = sim::kResultOk;
}

KORVEX_API void SetTraceTlvMessagesEnabelement(SetTraceTlvMessagesEnabelement_InOut* io) {
    SIM_CALL("SetTraceTlvMessagesEnabelement", io, io ? sizeof *io : 0, io, io ? sizeof *io : 0);
    if (!io)
        return;
    std::string folder = sim::text_of(io->FolderPathInOut);
    bool on = io->TraceEnabelementINOut != 0;
    io->DiagRequestOut = sim::set_tracing(folder, on);
    // The field keeps its terminator: a longer folder is written back cut.
    sim::put(io->FolderPathInOut, folder.substr(0, sizeof io->FolderPathInOut - 1));
    io->TraceEnabelementINOut = on ? 1 : 0;
}

KORVEX_API void CheckEligibilityLaunch(const CheckEligibility_in* in, CheckEligibility_out* out) {
    SIM_CALL("CheckEligibilityLaunch", in, in ? sizeof *in : 0, out, out ? sizeof *out : 0);
    if (!out)
        return;
    if (!in) {
        *out = CheckEligibility_out{};
        out->DiagRequestOut = sim::kResultBadRequestFormat;
        return;
    }
    sim::check_eligibility(*in, *out);
}

KORVEX_API void CheckPEDAuthenticity(const PEDAuthentication_in* in, PEDAuthentication_out* out) {
    SIM_CALL("CheckPEDAuthenticity", in, in ? sizeof *in : 0, out, out ? sizeof *out : 0);
    if (!out)
        return;
    *out = PEDAuthentication_out{};
    if (!in) {
        out->DiagRequestOut = sim::kResultBadRequestFormat;
        return;
    }
    sim::step_delay(sim::kStepQuery);
    // The whole field is compared: a 9-character serial fills it, with or without
    // the terminator that would follow it.
    const bool authentic =
        std::memcmp(in->pedSerialNbrIn, sim::kPedSerialNumber, sizeof in->pedSerialNbrIn) == 0;
    out->StateOut = authentic ? sim::kPedAuthentic : sim::kPedNotAuthentic;
    out->DiagRequestOut = sim::kResultOk;
}

KORVEX_API void ReadSwipeCardTracks(ReadTracks_out* out) {
    SIM_CALL("ReadSwipeCardTracks", nullptr, 0, out, out ? sizeof *out : 0);
    if (out)
        sim::read_tracks(*out);
}

KORVEX_API void PrintInformationsLaunch(const PrintInformation_in* in, PrintInformation_out* out) {
    SIM_CALL("PrintInformationsLaunch", in, in ? sizeof *in : 0, out, out ? sizeof *out : 0);
    if (!out)
        return;
    *out = PrintInformation_out{};
    if (!in) {
        out->DiagRequestOut = sim::kResultBadRequestFormat;
        return;
    }
    const std::vector<sim::PrintLine> lines = sim::print_lines_of(sim::text_of(in->PrintBufferIn));
    out->DiagRequestOut = sim::kResultOk;
    out->StatusOut = lines.empty() ? 0 : sim::print_status_of(sim::print_document(lines).outcome);
}

KORVEX_API void CheckAppEnablement(const CheckApplicationEnablementIn* in,
                                   CheckApplicationEnablementOut* out) {
    SIM_CALL("CheckAppEnablement", in, in ? sizeof *in : 0, out, out ? sizeof *out : 0);
    if (!out)
        return;
    *out = CheckApplicationEnablementOut{};
    if (!in || in->ApplicationIdIn < 0 || in->ApplicationIdIn >= sim::kAppCount) {
        out->DiagRequestOut = sim::kResultBadRequestFormat;
        return;
    }
    sim::step_delay(sim::kStepQuery);
    out->EnablementResultOut = sim::application_enabled(static_cast<sim::App>(in->ApplicationIdIn));
    out->DiagRequestOut = sim::kResultOk;
}

} // extern "C"
