// Exchange_Rate_Update_Launch and GetCurrencyDetails of the simulated terminal.
// The rates are those of the DCC service that the terminal's profile names; the
// DCC offer of a sale (sim_events.cpp) converts with the same rows.
#include "sim_rates.h"

#include "korvex.h"
#include "sim_core.h"
#include "sim_payment.h"
#include "sim_settlement.h"

#include <cstdlib>
#include <iterator>

namespace sim {
namespace {

// Euro reference rates with the service's mark-up of 3.50 % included.
constexpr CurrencyRate kRates[] = {
    {"840", "US DOLLAR", "11234", 4, 2},         {"826", "POUND STERLING", "8567", 4, 2},
    {"756", "SWISS FRANC", "9412", 4, 2},        {"392", "YEN", "16235", 2, 0},
    {"124", "CANADIAN DOLLAR", "15208", 4, 2},   {"752", "SWEDISH KRONA", "114820", 4, 2},
    {"036", "AUSTRALIAN DOLLAR", "16587", 4, 2},
};
constexpr int kTerminalMinorUnits = 2; // the euro

constexpr const char* kProfileId = "DCCPRF01";
// When the rates were last loaded (terminal clock, yymmddhhmmss): the setting
// survives a restart, as the terminal's rate table does.
constexpr const char* kUpdatedSetting = "exchange_rates_updated";

constexpr short kStatusNotDccEnabled = 0;
constexpr short kStatusRatesSent = 1;
constexpr short kStatusUnableToConnect = 2;
constexpr short kStatusCancelled = 3;

constexpr short kMethodDownload = 0;
constexpr short kMethodStored = 1;

constexpr int kStepStart = 300;
constexpr int kStepSending = 500;
constexpr int kStepReceiving = 1500;

long power_of_ten(int n) {
    long p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

void fill_merchant(ExchangeRateUpdateOut& out) {
    put(out.MerchantNameOut, kProfile.merchant_name);
    put(out.MerchantAddress1Out, kProfile.merchant_address[0]);
    put(out.MerchantAddress2Out, kProfile.merchant_address[1]);
    put(out.MerchantAddress3Out, kProfile.merchant_address[2]);
    put(out.MerchantAddress4Out, kProfile.merchant_address[3]);
    put(out.ProfileIDOut, kProfileId);
}

void fill_currency(const CurrencyRate& rate, CurrencyDetailsRecordOut& out) {
    out = CurrencyDetailsRecordOut{};
    put(out.CurrencyCodeOut, rate.code);
    out.ConversionExponentOut = rate.exponent;
    put(out.ConversionRateOut, rate.rate);
    out.DiagRequestOut = kResultOk;
}

void fill_table(ExchangeRateUpdateOut& out) {
    out.NumberOfAvailableCurrenciesOut = static_cast<short>(std::size(kRates));
    for (std::size_t i = 0; i < std::size(kRates); ++i)
        fill_currency(kRates[i], out.CurrencyDetailsRecordsOut[i]);
}

void update(short method, ExchangeRateUpdateOut& out) {
    out.DiagRequestOut = kResultOk;
    fill_merchant(out);
    if (!application_enabled(App::Dcc)) {
        out.OperationStatusOut = kStatusNotDccEnabled;
        put(out.AuthorisationResponseOut, "DCC NOT ENABLED");
        return;
    }
    const std::string stored = stored_setting(kUpdatedSetting);
    // The stored rates need no host; a terminal that holds none downloads them.
    if (method == kMethodStored && !stored.empty()) {
        step_delay(kStepStart);
        out.OperationStatusOut = kStatusRatesSent;
        put(out.AuthorisationResponseOut, "STORED RATES");
        put(out.DateTimeOut, stored);
        fill_table(out);
        return;
    }
    Occupied occupied;
    if (!occupied.taken()) {
        out.OperationStatusOut = kStatusCancelled;
        put(out.AuthorisationResponseOut, "TERMINAL BUSY");
        put(out.DateTimeOut, stored);
        return;
    }
    step_delay(kStepStart);
    set_terminal_state(kStateSending);
    step_delay(kStepSending);
    if (!host_reachable()) {
        out.OperationStatusOut = kStatusUnableToConnect;
        put(out.AuthorisationResponseOut, "HOST UNREACHABLE");
        put(out.DateTimeOut, stored);
        return;
    }
    set_terminal_state(kStateReceiving);
    step_delay(kStepReceiving);
    const std::string now = terminal_date_time();
    store_setting(kUpdatedSetting, now);
    out.OperationStatusOut = kStatusRatesSent;
    put(out.AuthorisationResponseOut, "RATES UPDATED");
    put(out.DateTimeOut, now);
    fill_table(out);
}

} // namespace

const CurrencyRate* currency_rates() {
    return kRates;
}
int currency_rate_count() {
    return static_cast<int>(std::size(kRates));
}

const CurrencyRate* rate_of(const std::string& code) {
    for (const CurrencyRate& r : kRates)
        if (code == r.code)
            return &r;
    return nullptr;
}

long convert_amount(long terminal_minor, const CurrencyRate& rate) {
    // amount * rate / 10^exponent, moved from the euro's minor units to the
    // currency's; computed in 128 bits so that no amount overflows.
    __int128 numerator = static_cast<__int128>(terminal_minor) * std::atol(rate.rate) *
                         power_of_ten(rate.minor_units);
    const __int128 denominator =
        static_cast<__int128>(power_of_ten(rate.exponent)) * power_of_ten(kTerminalMinorUnits);
    return static_cast<long>((numerator + denominator / 2) / denominator);
}

} // namespace sim

extern "C" {

KORVEX_API void Exchange_Rate_Update_Launch(ExchangeRateUpdateIn in, ExchangeRateUpdateOut* out) {
    SIM_CALL("Exchange_Rate_Update_Launch", &in, sizeof in, out, out ? sizeof *out : 0);
    if (!out)
        return;
    *out = ExchangeRateUpdateOut{};
    if (in.UpdateMethodIn != sim::kMethodDownload && in.UpdateMethodIn != sim::kMethodStored) {
        out->DiagRequestOut = sim::kResultBadRequestFormat;
        return;
    }
    sim::update(in.UpdateMethodIn, *out);
}

KORVEX_API void GetCurrencyDetails(short record_number, CurrencyDetailsRecordOut* out) {
    SIM_CALL("GetCurrencyDetails", &record_number, sizeof record_number, out, out ? sizeof *out : 0);
    if (!out)
        return;
    *out = CurrencyDetailsRecordOut{};
    if (sim::stored_setting(sim::kUpdatedSetting).empty()) {
        out->DiagRequestOut = sim::kResultNoReceivedData; // no rates loaded yet
        return;
    }
    if (record_number < 1 || record_number > sim::currency_rate_count()) {
        out->DiagRequestOut = sim::kResultBadRequestFormat;
        return;
    }
    sim::fill_currency(sim::currency_rates()[record_number - 1], *out);
}

} // extern "C"
