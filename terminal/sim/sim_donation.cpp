// Charity donation ("pennies") of the simulated terminal. Once a donation mode has
// been set, every approved SALE carries a donation: the amount rounded up to the
// next whole currency unit, or a fixed top-up amount. The mode and the totals of
// the donations not yet uploaded to the charity's host are small stored settings,
// so they survive a restart of the terminal.
#include "korvex.h"
#include "sim_core.h"
#include "sim_payment.h"
#include "sim_vas.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

namespace sim {
namespace {

// The donation scheme's configuration, in minor units where it is an amount.
constexpr long kTopUpAmount = 50;     // 0.50 added in top-up mode
constexpr long kMinTopUpAmount = 10;  // the range the scheme allows for it
constexpr long kMaxTopUpAmount = 90;
constexpr unsigned char kTopUpStep = 10;
constexpr long kMaxTxnVolume = 500;   // donations kept before the terminal uploads them
constexpr long kMaxTxnValue = 50000;  // or value kept (500.00) before it uploads them
constexpr const char* kMaxUploadInterval = "24"; // hours
constexpr const char* kDonationTimeout = "30";   // seconds the cardholder has to answer
constexpr const char* kUploadWindowStart = "0200";
constexpr const char* kUploadWindowEnd = "0400";

constexpr int kStepSetMode = 300;
constexpr int kStepConfiguration = 600;

constexpr const char* kModeKey = "donation_mode";
constexpr const char* kCountKey = "donation_count";
constexpr const char* kValueKey = "donation_value";
constexpr const char* kLastUploadKey = "donation_last_upload";

enum DonationMode : short { kRoundUp = 0, kTopUp = 1 };

// A stored count, value or mode; a damaged setting outside 0 to 999999999 reads as
// 0, so that adding to it cannot overflow.
long bounded_number(const std::string& text) {
    const long value = std::strtol(text.c_str(), nullptr, 10);
    return value >= 0 && value <= 999999999 ? value : 0;
}

long stored_number(const char* key) {
    return bounded_number(stored_setting(key, "0"));
}

std::string digits(long value, int width) {
    char text[24];
    std::snprintf(text, sizeof text, "%0*ld", width, value);
    return text;
}

std::string today() {
    const std::tm local = clock_local();
    char text[48];
    std::snprintf(text, sizeof text, "%04d%02d%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday);
    return text;
}

long unit_of_currency() {
    long unit = 1;
    for (int i = 0; i < kProfile.currency_exponent; ++i)
        unit *= 10;
    return unit;
}

// Adds one donation to the totals; when the scheme's volume or value is reached
// the terminal uploads them to the charity's host at once and starts again.
// One read-modify-write of the kept settings, so that another till on the
// terminal cannot count between the read and the write.
void count_donation(long donation) {
    const std::string date = today();
    update_settings([&](std::map<std::string, std::string>& settings) {
        long count = bounded_number(settings[kCountKey]) + 1;
        long value = bounded_number(settings[kValueKey]) + donation;
        if (count >= kMaxTxnVolume || value >= kMaxTxnValue) {
            count = 0;
            value = 0;
            settings[kLastUploadKey] = date;
        }
        settings[kCountKey] = std::to_string(count);
        settings[kValueKey] = std::to_string(value);
    });
}

} // namespace

std::string donation_for_sale(long amount_minor) {
    const std::string mode = stored_setting(kModeKey);
    if (mode.empty() || !application_enabled(App::Donation) || amount_minor <= 0)
        return "";
    long donation = kTopUpAmount;
    if (stored_number(kModeKey) == kRoundUp) {
        const long rest = amount_minor % unit_of_currency();
        donation = rest == 0 ? 0 : unit_of_currency() - rest;
    }
    if (donation == 0)
        return "";
    count_donation(donation);
    return digits(donation, 12);
}

} // namespace sim

extern "C" {

KORVEX_API void SetPenniesDonationMode(const PenniesDonationModeIn* in,
                                       PenniesDonationModeOut* out) {
    SIM_CALL("SetPenniesDonationMode", in, in ? sizeof *in : 0, out, out ? sizeof *out : 0);
    if (!out)
        return;
    *out = PenniesDonationModeOut{};
    sim::step_delay(sim::kStepSetMode);
    if (!in || (in->DonationModeIn != sim::kRoundUp && in->DonationModeIn != sim::kTopUp)) {
        out->DiagRequestOut = sim::kResultBadRequestFormat;
        return;
    }
    out->DiagRequestOut = sim::store_setting(sim::kModeKey, std::to_string(in->DonationModeIn))
                              ? sim::kResultOk
                              : sim::kResultUnableToConnect;
}

KORVEX_API void GetPenniesConfiguration(PenniesConfigDataOut* out) {
    SIM_CALL("GetPenniesConfiguration", nullptr, 0, out, out ? sizeof *out : 0);
    if (!out)
        return;
    *out = PenniesConfigDataOut{};
    sim::step_delay(sim::kStepConfiguration);
    long count = 0;
    long value = 0;
    {
        // One reading of the file, so that the count and the value belong together.
        auto settings = sim::stored_settings();
        count = sim::bounded_number(settings[sim::kCountKey]);
        value = sim::bounded_number(settings[sim::kValueKey]);
    }
    sim::put(out->TerminalIdentifierOut, sim::kProfile.terminal_id);
    sim::put(out->AcquirerMerchantIDOut, sim::kProfile.acquirer_merchant_id);
    out->DonationModeOut = static_cast<unsigned char>(sim::stored_number(sim::kModeKey));
    sim::put(out->TopUpAmountOut, std::to_string(sim::kTopUpAmount));
    sim::put(out->MaxTxnVolumeOut, std::to_string(sim::kMaxTxnVolume));
    sim::put(out->MaxTxnValueOut, std::to_string(sim::kMaxTxnValue));
    sim::put(out->MaxUploadIntervalOut, sim::kMaxUploadInterval);
    sim::put(out->DonationTimeoutOut, sim::kDonationTimeout);
    sim::put(out->UploadWindowStartOut, sim::kUploadWindowStart);
    sim::put(out->UploadWindowsEndOut, sim::kUploadWindowEnd);
    out->TxnUploadRequiredOut = count > 0 ? 1 : 0; // donations wait for their upload
    sim::put(out->TxnCountOut, sim::digits(count, 5));
    sim::put(out->TxnValueOut, sim::digits(value, 5));
    sim::put(out->LastUploadDateOut, sim::stored_setting(sim::kLastUploadKey));
    sim::put(out->MinTopUpAmountOut, std::to_string(sim::kMinTopUpAmount));
    sim::put(out->MaxTopUpAmountOut, std::to_string(sim::kMaxTopUpAmount));
    out->TopUpAmountIncrementStepOut = sim::kTopUpStep;
    out->DiagRequestOut = sim::kResultOk;
}

} // extern "C"
