// kelvra-print-send: sends print jobs to a till's print server as a terminal does
// (one job per connection) and prints each reply. For testers of the print port.
//
//   kelvra-print-send [options] [TEXT...]     each TEXT is one receipt line
//   ... | kelvra-print-send [options]          each line of standard input is one
//
// Exit status: 0 every job got the 17-byte status reply, 1 some reply was missing
// or malformed, 2 bad usage or no connection.
#include "print_job_wire.h"

#include <getopt.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace {

void usage(std::FILE* out) {
    std::fputs(
        "usage: kelvra-print-send [options] [TEXT...]\n"
        "Sends each TEXT (or each line of standard input) as one print job, one\n"
        "connection per job, and prints the till's reply.\n"
        "  -H, --host HOST      till address (default 127.0.0.1)\n"
        "  -p, --port PORT      print port (default 5187)\n"
        "  -s, --style STYLE    default, bold, center, right, half, double-size, double-width\n"
        "  -n, --no-newline     do not end the line with a line feed\n"
        "  -r, --raw HEX        send these bytes as the whole message (no TEXT)\n"
        "  -l, --raw-line HEX   send these bytes as the print line of a well-formed job\n"
        "  -c, --count N        send every job N times (default 1)\n"
        "  -t, --timeout MS     wait this long for a reply (default 5000)\n"
        "  -q, --quiet          print only the summary\n"
        "Text is UTF-8; the euro and pound signs are sent as the printer's bytes 0x93\n"
        "and 0xA0. Status 0 = printed, 1 = out of paper, 2 = printer error.\n",
        out);
}

struct Style {
    const char* name;
    PrintStyle style;
};
constexpr Style kStyles[] = {
    {"default", PrintStyle::Normal},
    {"bold", PrintStyle::Bold},
    {"center", PrintStyle::Centered},
    {"right", PrintStyle::RightJustified},
    {"half", PrintStyle::HalfSize},
    {"double-size", PrintStyle::DoubleSize},
    {"double-width", PrintStyle::DoubleWidth},
};

bool parse_hex(const char* text, std::string* bytes) {
    bytes->clear();
    int high = -1;
    for (const char* p = text; *p; ++p) {
        if (*p == ' ' || *p == ':' || *p == ',')
            continue;
        int value;
        if (*p >= '0' && *p <= '9')
            value = *p - '0';
        else if (*p >= 'a' && *p <= 'f')
            value = *p - 'a' + 10;
        else if (*p >= 'A' && *p <= 'F')
            value = *p - 'A' + 10;
        else
            return false;
        if (high < 0) {
            high = value;
        } else {
            bytes->push_back(static_cast<char>(high << 4 | value));
            high = -1;
        }
    }
    return high < 0;
}

bool parse_int(const char* text, long low, long high, long* value) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (!*text || *end || v < low || v > high)
        return false;
    *value = v;
    return true;
}

std::string hex(const std::string& bytes) {
    std::string out;
    char cell[4];
    for (unsigned char b : bytes) {
        std::snprintf(cell, sizeof cell, "%s%02x", out.empty() ? "" : " ", b);
        out += cell;
    }
    return out;
}

const char* status_meaning(unsigned char status) {
    switch (status) {
    case 0:
        return "printed";
    case 1:
        return "out of paper";
    case 2:
        return "printer error";
    default:
        return "unknown status";
    }
}

} // namespace

int main(int argc, char** argv) {
    std::string host = "127.0.0.1";
    long port = kPrintPort;
    long count = 1;
    long timeout_ms = 5000;
    PrintStyle style = PrintStyle::Normal;
    bool newline = true;
    bool quiet = false;
    std::string raw_message;
    std::string raw_line;
    bool have_raw_message = false;
    bool have_raw_line = false;

    const option options[] = {
        {"host", required_argument, nullptr, 'H'},
        {"port", required_argument, nullptr, 'p'},
        {"style", required_argument, nullptr, 's'},
        {"no-newline", no_argument, nullptr, 'n'},
        {"raw", required_argument, nullptr, 'r'},
        {"raw-line", required_argument, nullptr, 'l'},
        {"count", required_argument, nullptr, 'c'},
        {"timeout", required_argument, nullptr, 't'},
        {"quiet", no_argument, nullptr, 'q'},
        {"help", no_argument, nullptr, 'h'},
        {nullptr, 0, nullptr, 0},
    };
    int opt;
    while ((opt = getopt_long(argc, argv, "H:p:s:nr:l:c:t:qh", options, nullptr)) != -1) {
        switch (opt) {
        case 'H':
            host = optarg;
            break;
        case 'p':
            if (!parse_int(optarg, 1, 65535, &port)) {
                std::fprintf(stderr, "kelvra-print-send: bad port '%s' (1 to 65535)\n", optarg);
                return 2;
            }
            break;
        case 's': {
            bool known = false;
            for (const Style& s : kStyles)
                if (std::strcmp(s.name, optarg) == 0) {
                    style = s.style;
                    known = true;
                }
            if (!known) {
                std::fprintf(stderr, "kelvra-print-send: unknown style '%s'\n", optarg);
                return 2;
            }
            break;
        }
        case 'n':
            newline = false;
            break;
        case 'r':
            if (!parse_hex(optarg, &raw_message)) {
                std::fprintf(stderr,
                             "kelvra-print-send: --raw needs hex bytes, e.g. 0d000000...\n");
                return 2;
            }
            have_raw_message = true;
            break;
        case 'l':
            if (!parse_hex(optarg, &raw_line)) {
                std::fprintf(stderr,
                             "kelvra-print-send: --raw-line needs hex bytes, e.g. 1b54410a\n");
                return 2;
            }
            have_raw_line = true;
            break;
        case 'c':
            if (!parse_int(optarg, 1, 1000000, &count)) {
                std::fprintf(stderr, "kelvra-print-send: bad count '%s'\n", optarg);
                return 2;
            }
            break;
        case 't':
            if (!parse_int(optarg, 1, 3600000, &timeout_ms)) {
                std::fprintf(stderr, "kelvra-print-send: bad timeout '%s' (milliseconds)\n",
                             optarg);
                return 2;
            }
            break;
        case 'q':
            quiet = true;
            break;
        case 'h':
            usage(stdout);
            return 0;
        default:
            usage(stderr);
            return 2;
        }
    }

    std::vector<std::string> jobs;
    if (have_raw_message || have_raw_line) {
        if (optind < argc || (have_raw_message && have_raw_line)) {
            std::fputs(
                "kelvra-print-send: --raw and --raw-line take no TEXT and exclude each other\n",
                stderr);
            return 2;
        }
        jobs.push_back(have_raw_message ? raw_message : encode_print_job(raw_line));
    } else {
        std::vector<std::string> texts(argv + optind, argv + argc);
        if (texts.empty())
            for (std::string line; std::getline(std::cin, line);)
                texts.push_back(line);
        for (const std::string& text : texts) {
            bool cut = false;
            jobs.push_back(encode_print_line(style, text, newline, &cut));
            if (cut)
                std::fprintf(
                    stderr,
                    "kelvra-print-send: line cut to %zu bytes (the till reads 127 bytes a job)\n",
                    kPrintLineMax);
        }
    }

    long answered = 0;
    long failed = 0;
    for (long round = 0; round < count; ++round) {
        for (const std::string& job : jobs) {
            std::string reply;
            std::string error;
            if (!send_print_job(host.c_str(), static_cast<int>(port), job, &reply, &error,
                                static_cast<int>(timeout_ms))) {
                std::fprintf(stderr, "kelvra-print-send: %s\n", error.c_str());
                return 2;
            }
            unsigned char status = 0;
            const bool ok = parse_print_reply(reinterpret_cast<const unsigned char*>(reply.data()),
                                              reply.size(), &status);
            if (ok) {
                ++answered;
                if (!quiet)
                    std::printf("reply: %s  status %u (%s)\n", hex(reply).c_str(), status,
                                status_meaning(status));
            } else {
                ++failed;
                std::printf("reply: %s  not a status reply%s%s\n", hex(reply).c_str(),
                            error.empty() ? "" : ": ", error.c_str());
            }
        }
    }
    if (quiet || answered + failed > 1)
        std::printf("%ld jobs answered, %ld without a status reply\n", answered, failed);
    return failed ? 1 : 0;
}
