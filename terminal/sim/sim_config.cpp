// Terminal configuration calls of the simulated terminal: address and certificate.
#include "korvex.h"
#include "sim_core.h"

#include <arpa/inet.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>

namespace {
constexpr short kOk = 0;
constexpr short kBadRequestFormat = 3;

// Larger than any certificate chain: a huge file is judged on its first mebibyte.
constexpr std::size_t kCertificateReadLimit = 1 << 20;

// A certificate file the terminal can use: a readable regular file (not a pipe or a
// device that would block or never end), holding a PEM certificate.
bool holds_pem_certificate(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    std::string all(std::min(static_cast<std::size_t>(st.st_size), kCertificateReadLimit), '\0');
    file.read(all.data(), static_cast<std::streamsize>(all.size()));
    all.resize(static_cast<std::size_t>(file.gcount()));
    const auto begin = all.find("-----BEGIN CERTIFICATE-----");
    return begin != std::string::npos &&
           all.find("-----END CERTIFICATE-----", begin) != std::string::npos;
}
} // namespace

extern "C" {

KORVEX_API void SetIPAddress(SetTerminalIPAddress_InOut* io) {
    SIM_CALL("SetIPAddress", io, io ? sizeof *io : 0, io, io ? sizeof *io : 0);
    if (!io)
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
    SIM_CALL("SetPath", io, io ? sizeof *io : 0, io, io ? sizeof *io : 0);
    if (!io)
        return;
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
