// Terminal configuration calls of the simulated terminal: address and certificate.
#include "korvex.h"
#include "sim_core.h"

#include <arpa/inet.h>

namespace {
constexpr short kOk = 0;
constexpr short kBadRequestFormat = 3;
} // namespace

extern "C" {

KORVEX_API void SetIPAddress(SetTerminalIPAddress_InOut* io) {
    if (sim::intercept("SetIPAddress", io, sizeof *io, io, sizeof *io))
        return;
    const std::string address = sim::text_of(io->IPAddressIn);
    in_addr parsed{};
    sim::Terminal& t = sim::terminal();
    std::lock_guard lock(t.mutex);
    if (address.empty()) {
        io->DiagRequestOut = kOk; // keeps the address the terminal already has
    } else if (inet_pton(AF_INET, address.c_str(), &parsed) == 1) {
        t.ip_address = address;
        io->DiagRequestOut = kOk;
    } else {
        io->DiagRequestOut = kBadRequestFormat;
    }
}

KORVEX_API void SetPath(SetSSLCertificate_InOut* io) {
    if (sim::intercept("SetPath", io, sizeof *io, io, sizeof *io))
        return;
    sim::Terminal& t = sim::terminal();
    std::lock_guard lock(t.mutex);
    t.certificate_path = sim::text_of(io->PathIn);
    io->DiagRequestOut = kOk;
}

} // extern "C"
