// The operations of the end-of-day and value-added panels by their place in their
// area's table, so that a panel takes its tables without a lookup by name.
#pragma once

#include "operations.h"

enum class EndOfDayOp {
    Settlement,         // "Settlement"
    SettlementData,     // "Settlement data"
    SettlementRecord,   // "Settlement record", numbered
    TipAdjustment,      // "Tip adjustment"
    ExchangeRateUpdate, // "Exchange rate update"
    CurrencyRecord,     // "Currency record", numbered
    TaxFreeRefund,      // "Tax-free refund"
};
const Operation& end_of_day_operation(EndOfDayOp which);

enum class ValueAddedOp {
    DonationMode,            // "Donation mode"
    DonationConfiguration,   // "Donation configuration"
    TopUpConfiguration,      // "Top-up configuration"
    TopUpProduct,            // "Top-up product", numbered
    VoucherSale,             // "Voucher sale"
    VoucherRecord,           // "Voucher record", numbered
    TopUpSettlement,         // "Top-up settlement"
    TopUpSettlementRecord,   // "Top-up settlement record", numbered
};
const Operation& value_added_operation(ValueAddedOp which);
