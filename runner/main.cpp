// kelvra-run: plays scenario files against the terminal library, without a window.
#include "from_journal.h"
#include "kelvra_version.h"
#include "play.h"

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <unistd.h>

namespace {

constexpr const char* kUsage = R"(Usage: kelvra-run [OPTION]... SCENARIO...
Plays the scenario files against the terminal library, answers the terminal's
questions by each scenario's policy, checks every step and its receipt, and
writes a JUnit report.

  --junit FILE       the report (default kelvra-run-report.xml)
  --record-golden    write the golden receipts instead of comparing them
  --print-port N     serve the print port N (default 5187)
  --journal FILE     the journal (default journal.db in the current folder)
  --no-journal       keep no journal
  --json             one JSON object per step (JSON lines) instead of the
                     progress lines
  --from-journal JOURNAL --output FILE.yaml [--since WHEN] [--until WHEN]
                     [--search TEXT]
                     write a scenario that replays the journal's entries
                     (WHEN: YYYY-MM-DD or YYYY-MM-DDTHH:MM, local time; both
                     ends included), its receipts in FILE-golden; play nothing
  --list             print every operation with its inputs and outputs
  --help             this text
  --version          the version (the console's and the package's)

The simulated terminal's speed is KORVEX_SIM_DELAY (0: at once).
Exit status: 0 every step held, 1 a step failed, 2 a scenario file is wrong
(nothing is played then) or the runner cannot start.
)";

bool port_number(const char* text, int* port) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (!*text || *end || value < 1 || value > 65535)
        return false;
    *port = static_cast<int>(value);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    RunOptions options;
    std::vector<std::string> files;
    std::string from_journal, output;
    JournalQuery query;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const char* option) -> const char* {
            if (i + 1 >= argc) {
                std::cerr << "kelvra-run: " << option << " needs a value\n";
                std::exit(2);
            }
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        } else if (arg == "--version") {
            std::cout << "kelvra-run " KELVRA_VERSION "\n";
            return 0;
        } else if (arg == "--list") {
            list_operations(std::cout);
            return 0;
        } else if (arg == "--junit") {
            options.junit = value("--junit");
        } else if (arg == "--record-golden") {
            options.record_golden = true;
        } else if (arg == "--print-port") {
            if (!port_number(value("--print-port"), &options.print_port)) {
                std::cerr << "kelvra-run: --print-port needs a port number (1 to 65535)\n";
                return 2;
            }
            // The simulated terminal prints where this variable says.
            setenv("KORVEX_SIM_PRINT_PORT", std::to_string(options.print_port).c_str(), 1);
        } else if (arg == "--journal") {
            options.journal = value("--journal");
        } else if (arg == "--no-journal") {
            options.journal.clear();
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--from-journal") {
            from_journal = value("--from-journal");
        } else if (arg == "--output") {
            output = value("--output");
        } else if (arg == "--search") {
            query.text = value("--search");
        } else if (arg == "--since" || arg == "--until") {
            const std::string when = value(arg.c_str());
            auto& bound = arg == "--since" ? query.from_ms : query.to_ms;
            if (!(bound = journal_time_bound(when, arg == "--until"))) {
                std::cerr << "kelvra-run: " << arg << " needs YYYY-MM-DD or YYYY-MM-DDTHH:MM, not '"
                          << when << "'\n";
                return 2;
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::cerr << "kelvra-run: unknown option " << arg << " (--help lists them)\n";
            return 2;
        } else {
            files.push_back(arg);
        }
    }
    if (!from_journal.empty() || !output.empty()) {
        if (from_journal.empty() || output.empty() || !files.empty()) {
            std::cerr << "kelvra-run: --from-journal JOURNAL --output FILE.yaml go together, "
                         "without scenario files\n";
            return 2;
        }
        std::string error;
        const int steps = save_journal_scenario(from_journal, query, {}, output, &error);
        if (steps < 0) {
            std::cerr << "kelvra-run: " << error << '\n';
            return 2;
        }
        std::cout << output << ": " << steps << (steps == 1 ? " step" : " steps") << '\n';
        return 0;
    }
    if (files.empty()) {
        std::cerr << "kelvra-run: no scenario file given (--help tells more)\n";
        return 2;
    }
    options.progress_bar = isatty(STDOUT_FILENO);
    return run_campaign(files, options, std::cout, std::cerr);
}
