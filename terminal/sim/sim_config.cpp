// Terminal configuration calls of the simulated terminal: address and certificate.
#include "korvex.h"
#include "sim_core.h"

#include <arpa/inet.h>

#include <fstream>
#include <sstream>

namespace {
constexpr short kOk = 0;
constexpr short kBadRequestFormat = 3;

// A certificate file the terminal can use: readable, holding a PEM certificate.
bool holds_pem_certificate(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    std::ostringstream text;
    text << file.rdbuf();
    const std::string all = text.str();
    const auto begin = all.find("-----BEGIN CERTIFICATE-----");
    return begin != std::string::npos &&
           all.find("-----END CERTIFICATE-----", begin) != std::string::npos;
}
} // namespace

extern "C" {

KORVEX_API void SetIPAddress(SetTerminalIPAddress_InOut* io) {
    SIM_CALL("SetIPAddress", io, sizeof *io, io, sizeof *io);
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
    SIM_CALL("SetPath", io, sizeof *io, io, sizeof *io);
    // An empty path leaves the terminal without a certificate of the till's.
    const std::string path = sim::text_of(io->PathIn);
    if (!path.empty() && !holds_pem_certificate(path)) {
        io->DiagRequestOut = kBadRequestFormat;
        return;
    }
    sim::Terminal& t = sim::terminal();
    std::lock_guard lock(t.mutex);
    t.certificate_path = path;
    io->DiagRequestOut = kOk;
}

} // extern "C"
