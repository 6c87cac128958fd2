// The end of the day on the simulated terminal: settlement of the batch with the
// acquirer, its totals and transaction detail records, and tip adjustment before
// settlement. docs/simulated-terminal.md says how each transaction type counts.
#pragma once

#include "sim_batch.h"

#include <string>
#include <vector>

namespace sim {

// Whether the acquirer's host answers: not while KORVEX_SIM_HOST_DOWN is set to
// anything but "0" (testers use it to try settlement and rate updates offline).
bool host_reachable();

// The terminal clock as the records carry it: yymmddhhmmss.
std::string terminal_date_time();

// The totals of a batch, in minor units of the terminal currency.
struct BatchTotals {
    long debit_count = 0, debit_amount = 0;
    long credit_count = 0, credit_amount = 0;
    long cash_back_count = 0, cash_back_amount = 0;
    long sales_void_count = 0, sales_void_amount = 0;
    long refunds_void_count = 0, refunds_void_amount = 0;
    long gratuity_amount = 0;
};
BatchTotals totals_of(const std::vector<TxnRecord>& transactions);

} // namespace sim
