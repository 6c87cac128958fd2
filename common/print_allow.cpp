#include "print_allow.h"

#include <arpa/inet.h>

#include <cstdlib>
#include <cstring>

namespace {

bool parse_network(const std::string& entry, PrintAllowRule::Network* out) {
    const std::size_t slash = entry.find('/');
    const std::string host = entry.substr(0, slash);
    in_addr address{};
    if (inet_pton(AF_INET, host.c_str(), &address) != 1)
        return false;
    int bits = 32;
    if (slash != std::string::npos) {
        const std::string prefix = entry.substr(slash + 1);
        char* end = nullptr;
        const long value = std::strtol(prefix.c_str(), &end, 10);
        if (prefix.empty() || *end != '\0' || value < 0 || value > 32)
            return false;
        bits = static_cast<int>(value);
    }
    out->mask = bits == 0 ? 0 : ~std::uint32_t{0} << (32 - bits);
    out->address = ntohl(address.s_addr) & out->mask;
    return true;
}

} // namespace

PrintAllowRule parse_print_allow(const char* text, std::string* error) {
    PrintAllowRule rule;
    if (error)
        error->clear();
    const std::string all = text ? text : "";
    std::size_t start = 0;
    while (start < all.size()) {
        const std::size_t end = std::min(all.find_first_of(", \t", start), all.size());
        const std::string entry = all.substr(start, end - start);
        start = end + 1;
        if (entry.empty())
            continue;
        PrintAllowRule::Network network{};
        if (entry == "any")
            rule.any = true;
        else if (rule.count < PrintAllowRule::kMaxNetworks && parse_network(entry, &network))
            rule.networks[rule.count++] = network;
        else if (error)
            *error += (error->empty() ? "" : ", ") + entry;
    }
    return rule;
}

bool print_peer_allowed(const PrintAllowRule& rule, std::uint32_t peer, std::uint32_t terminal) {
    if (rule.any || (peer >> 24) == 127 || (terminal != 0 && peer == terminal))
        return true;
    for (int i = 0; i < rule.count; ++i)
        if ((peer & rule.networks[i].mask) == rule.networks[i].address)
            return true;
    return false;
}

std::uint32_t print_terminal_address(const char* text) {
    in_addr address{};
    return text && inet_pton(AF_INET, text, &address) == 1 ? ntohl(address.s_addr) : 0;
}
