// Shared machinery of the simulated terminal: step timing, the test scripts and
// the record of requests. Each group of calls lives in a file of its own.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>

namespace sim {

// The terminal's own settings and state; every call takes `mutex` to touch them.
struct Terminal {
    std::mutex mutex;
    std::string ip_address = "127.0.0.1";
    std::string certificate_path;
    // Where the terminal is in a transaction, as GetTerminalState reports it
    // (sim::TerminalState in sim_payment.h); set by the payment engine.
    short state = 1;
    bool transaction_running = false; // a second transaction meanwhile is refused
    // Receipts of each transaction go to the till's print server (sim_printer.h).
    bool print_receipts = true;
};
Terminal& terminal();

// Waits `ms` milliseconds scaled by the delay setting (KORVEX_SIM_DELAY, 1 by
// default, 0 in tests).
void step_delay(int ms);
double delay_scale();

// Records the request of `call` for the tests, waits while the call is held, and
// answers from a test script when one is queued: then the response record is
// overwritten with the scripted bytes and the function returns true.
// For in/out records request and response are the same record.
bool intercept(const char* call, const void* request, std::size_t request_size, void* response,
               std::size_t response_size);

// Text of a fixed-width request field (up to its first NUL or its whole width).
std::string text_of(const char* field, std::size_t width);
template <std::size_t N> std::string text_of(const char (&field)[N]) { return text_of(field, N); }

// NUL-filled copy of `text` into a fixed-width response field, cut at its width.
void put(char* field, std::size_t width, const std::string& text);
template <std::size_t N> void put(char (&field)[N], const std::string& text) { put(field, N, text); }

} // namespace sim
