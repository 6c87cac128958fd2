// Shared machinery of the simulated terminal: step timing, the test scripts and
// the record of requests. Each group of calls lives in a file of its own.
#pragma once

#include <atomic>
#include <cstddef>
#include <ctime>
#include <functional>
#include <map>
#include <mutex>
#include <string>

namespace sim {

// The terminal's own settings and state; every call takes `mutex` to touch them.
struct Terminal {
    std::mutex mutex;
    std::string ip_address = "127.0.0.1";
    std::string certificate_path;
    // Where the terminal is in a transaction, as GetTerminalState reports it
    // (sim::TerminalState in sim_payment.h); set by the payment engine. Atomic:
    // GetTerminalState answers without waiting for the mutex.
    std::atomic<short> state{1};
    bool transaction_running = false; // a second transaction meanwhile is refused
    // Receipts of each transaction go to the till's print server (sim_printer.h).
    // Kept across restarts (SetTxnReceiptPrintStatus).
    std::atomic<bool> print_receipts{true};
    // The terminal's clock runs this many seconds ahead of the system's (SetTimeDate
    // moves it, and it is kept across restarts); read without the mutex, so atomic.
    std::atomic<long> clock_offset{0};
};
// The terminal; its kept settings (clock offset, receipt printing) are loaded on
// first use.
Terminal& terminal();
// Reads the kept settings again when terminal.conf changed (another process on the
// state folder may have set them). Each library call does it as it starts.
void refresh_kept_settings();
// Loads the kept settings again from the state folder.
void reload_kept_settings(Terminal& t);
// Keep a setting for the next start; false (and a report) when it cannot be written.
bool keep_clock_offset(long offset);
bool keep_print_receipts(bool on);

// The terminal's clock: every date and time the terminal reports comes from here.
std::time_t clock_now();
// clock_now() broken down in local time.
std::tm clock_local();

// The terminal's applications, by the number CheckAppEnablement takes.
enum class App : short {
    Payment = 0,     // card payments (EMV, magnetic stripe, contactless)
    Dcc = 1,         // dynamic currency conversion and its exchange rates
    Donation = 2,    // charity donation rounded up at the sale
    MobileTopUp = 3, // mobile top-up vouchers
    TaxFree = 4,     // tax-free refund forms
};
inline constexpr int kAppCount = 5;
// Whether an application is enabled on this terminal: every one, unless a tester
// lists its number in KORVEX_SIM_DISABLED_APPS (e.g. "1,3"), read at each call.
bool application_enabled(App app);

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

// One library call from its start to its answer: intercept() at the start and,
// while message tracing is on (sim_trace.h), the call's trace entry with its
// request and its final response when the scope ends. Every exported call opens
// one as its first statement, through SIM_CALL.
class CallScope {
  public:
    CallScope(const char* call, const void* request, std::size_t request_size, void* response,
              std::size_t response_size);
    ~CallScope();
    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;
    bool scripted() const { return scripted_; }

  private:
    const char* call_;
    std::string request_; // copied at the start: in/out records are overwritten
    const void* response_;
    std::size_t response_size_;
    std::string trace_folder_; // empty: not traced
    bool scripted_ = false;
};

// Opens the call's scope and returns at once when a test script answered it.
#define SIM_CALL(call, request, request_size, response, response_size)                             \
    const ::sim::CallScope sim_call_scope_(call, request, request_size, response, response_size);  \
    if (sim_call_scope_.scripted())                                                                \
    return

// The folder of the simulator's state files: $KORVEX_SIM_STATE_DIR, else
// $XDG_STATE_HOME/korvex-sim, else ~/.local/state/korvex-sim.
std::string state_dir();
// Creates a folder and its parents (owner-only); true when it exists afterwards.
bool make_dirs(const std::string& path);
// Writes a file through a temporary file renamed over it, after an fsync: a crash
// leaves the old or the new contents. False when it could not.
bool write_file_atomically(const std::string& path, const std::string& text);
// Says on standard error that something the tester relies on was lost, with errno.
void report(const std::string& what);

// Small settings that survive a restart of the terminal (clock offset, receipt
// printing, donation mode, ...): one "key=value" line each in terminal.conf of the
// state folder, read afresh at each call. Thread-safe; need no terminal mutex.
std::string stored_setting(const std::string& key, const std::string& fallback = "");
bool store_setting(const std::string& key, const std::string& value);
// All kept settings, from one reading of the file.
std::map<std::string, std::string> stored_settings();
// One read-modify-write of several settings, guarded against another process on the
// same state folder (StateLock) as well as other threads.
bool update_settings(const std::function<void(std::map<std::string, std::string>&)>& change);

// An exclusive lock on the state folder's `name`.lock, held for the object's life:
// read-modify-writes of one state file by two processes (two tills on one
// terminal) follow each other instead of losing one's change. Not recursive.
class StateLock {
  public:
    explicit StateLock(const char* name);
    ~StateLock();
    StateLock(const StateLock&) = delete;
    StateLock& operator=(const StateLock&) = delete;

  private:
    int fd_ = -1;
};

// Text of a fixed-width request field (up to its first NUL or its whole width).
std::string text_of(const char* field, std::size_t width);
template <std::size_t N> std::string text_of(const char (&field)[N]) { return text_of(field, N); }

// NUL-filled copy of `text` into a fixed-width response field, cut at its width.
void put(char* field, std::size_t width, const std::string& text);
template <std::size_t N> void put(char (&field)[N], const std::string& text) { put(field, N, text); }

} // namespace sim
