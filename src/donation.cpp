// Pennies donation: the donation mode sent to the terminal and the terminal's
// donation configuration. Neither operation has a busy flag: every click starts a
// worker of its own. Each answer is shown whatever its result code says: fields
// the terminal left unwritten stay empty (or 0), the record was cleared before the
// call.
#include "operation_recipe.h"
#include "value_added.h"

pthread_t PeSetDonationMode;
pthread_t PeGetPenniesConf;

namespace {

// The first row rounds up, the second tops up; no selection rounds up.
const OperationRecipe<PenniesDonationModeIn, PenniesDonationModeOut> kDonationMode{
    .operation = "Donation mode",
    .worker = PeSetDonationModeFct,
    .thread = &PeSetDonationMode,
    .busy = nullptr,
};

const OperationRecipe<NoRequest, PenniesConfigDataOut> kDonationConfiguration{
    .operation = "Donation configuration",
    .worker = PeGetPenniesConfFct,
    .thread = &PeGetPenniesConf,
    .busy = nullptr,
};

} // namespace

void btn_pe_set_donation_mode_clicked(GtkWidget*, gpointer) {
    press(kDonationMode);
}

void* PeSetDonationModeFct(void*) {
    return run(kDonationMode);
}

void btn_pe_get_pennies_config_clicked(GtkWidget*, gpointer) {
    press(kDonationConfiguration);
}

void* PeGetPenniesConfFct(void*) {
    return run(kDonationConfiguration);
}
