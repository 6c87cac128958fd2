// The simulated terminal's value-added services: charity donation with the sale
// (sim_donation.cpp) and mobile top-up vouchers (sim_topup.cpp).
#pragma once

#include <string>

namespace sim {

// The donation that the cardholder adds to an approved SALE of `amount_minor`,
// as the 12 digits of DonationAmountOut; "" when there is none (donation not set
// up, the Donation application disabled, or nothing to round up). Counts the
// donation in the terminal's donation totals, which survive a restart.
std::string donation_for_sale(long amount_minor);

} // namespace sim
