// The simulated terminal's exchange rates for dynamic currency conversion: one
// table that both the exchange rate update and the DCC offer of a sale read, so a
// quotation can be checked against the rates the terminal reports.
#pragma once

#include <string>

namespace sim {

// One foreign currency: how many of its units one unit of the terminal currency
// (the euro) buys, as rate digits and the number of decimals in them.
struct CurrencyRate {
    const char* code;  // ISO 4217 numeric
    const char* name;  // as the DCC offer shows it
    const char* rate;  // digits, e.g. "11234" with exponent 4 is 1.1234
    short exponent;    // decimals of `rate`
    short minor_units; // ISO 4217 minor-unit digits of the currency
};

// The table, in the order of the currency records (record 1 is the first).
const CurrencyRate* currency_rates();
int currency_rate_count();
// The row of a currency code ("840"), or null.
const CurrencyRate* rate_of(const std::string& code);

// An amount in minor units of the terminal currency (2 decimals) converted at
// `rate` into minor units of that currency, rounded half up.
long convert_amount(long terminal_minor, const CurrencyRate& rate);

} // namespace sim
