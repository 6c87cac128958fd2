// Who may send receipt lines to a till's print server. The server listens on every
// interface (a real terminal connects over the network), but takes connections only
// from loopback, from the terminal's configured address and from what
// KELVRA_PRINT_ALLOW adds: addresses or networks ("192.168.1.20", "10.0.0.0/8"),
// separated by commas or spaces, or "any". Parsed before a fork; the check itself is
// plain code over a fixed table, usable in a forked child.
#pragma once

#include <cstdint>
#include <string>

struct PrintAllowRule {
    static constexpr int kMaxNetworks = 16;
    bool any = false;
    int count = 0;
    struct Network {
        std::uint32_t address; // host byte order
        std::uint32_t mask;
    } networks[kMaxNetworks] = {};
};

// Parses a KELVRA_PRINT_ALLOW value (null or empty: nothing added). Entries that do
// not parse are skipped and named in *error (empty when all parsed).
PrintAllowRule parse_print_allow(const char* text, std::string* error = nullptr);

// Whether a peer (IPv4, host byte order) may print: loopback, the terminal's
// address (0: none configured) or the rule's networks.
bool print_peer_allowed(const PrintAllowRule& rule, std::uint32_t peer, std::uint32_t terminal);

// The terminal's configured address in host byte order; 0 when it is not an IPv4
// address (empty, a name).
std::uint32_t print_terminal_address(const char* text);
