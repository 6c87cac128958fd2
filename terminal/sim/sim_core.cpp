#include "sim_core.h"

#include "korvex_sim.h"
#include "sim_trace.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <set>
#include <thread>
#include <vector>

namespace sim {
namespace {

using Bytes = std::vector<unsigned char>;

// Test control: scripted answers, recorded requests, held calls.
struct Control {
    std::mutex mutex;
    std::condition_variable released;
    std::map<std::string, std::deque<Bytes>> scripts;
    std::map<std::string, Bytes> last_request;
    std::map<std::string, std::size_t> counts;
    std::set<std::string> held;
    double scale = -1; // < 0: not yet read from the environment
};

// True while the calling thread is inside a CallScope: intercept() called alone
// (by a call without a scope) writes its trace entry itself, without the response.
thread_local bool in_call_scope = false;

// The terminal's state is never destroyed: when the till's process ends while a
// call still waits on it (the cashier's question, a held call), a destructor would
// block on the waiting condition variable or pull the state from under the call.
Control& control() {
    static Control& c = *new Control;
    return c;
}

double scale_from_environment() {
    const char* value = std::getenv("KORVEX_SIM_DELAY");
    if (!value || !*value)
        return 1.0;
    char* end = nullptr;
    const double scale = std::strtod(value, &end);
    return (end != value && scale >= 0) ? scale : 1.0;
}

} // namespace

// Keys of the kept settings (terminal.conf).
constexpr const char* kClockOffsetKey = "clock_offset";
constexpr const char* kPrintReceiptsKey = "print_receipts";

// SetTimeDate takes the years 2000 to 2099 only: a kept offset beyond a century comes
// from a damaged file, and would overflow the clock; the system's clock is used then.
constexpr long kClockOffsetLimit = 100L * 366 * 24 * 3600;

void reload_kept_settings(Terminal& t) {
    const long offset = std::strtol(stored_setting(kClockOffsetKey, "0").c_str(), nullptr, 10);
    t.clock_offset = offset >= -kClockOffsetLimit && offset <= kClockOffsetLimit ? offset : 0;
    t.print_receipts = stored_setting(kPrintReceiptsKey, "1") != "0";
}

namespace {
constexpr const char* kSettingsFile = "terminal.conf";

// Which terminal.conf the kept settings were read from: every write replaces the
// file, so a new inode (or time) means another process (or this one) changed them.
struct SettingsStamp {
    std::mutex mutex;
    bool read = false;
    ino_t inode = 0;
    std::int64_t modified_ns = 0;
};

bool settings_changed(SettingsStamp& stamp) {
    struct stat st {};
    const bool exists = stat((state_dir() + "/" + kSettingsFile).c_str(), &st) == 0;
    const ino_t inode = exists ? st.st_ino : 0;
    const std::int64_t modified =
        exists ? std::int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec : 0;
    std::lock_guard lock(stamp.mutex);
    if (stamp.read && inode == stamp.inode && modified == stamp.modified_ns)
        return false;
    stamp.read = true;
    stamp.inode = inode;
    stamp.modified_ns = modified;
    return true;
}

SettingsStamp& settings_stamp() {
    static SettingsStamp& stamp = *new SettingsStamp; // never destroyed, see control()
    return stamp;
}
} // namespace

Terminal& terminal() {
    static Terminal& t = *new Terminal; // never destroyed, see control()
    static std::once_flag loaded;
    std::call_once(loaded, [] {
        if (settings_changed(settings_stamp()))
            reload_kept_settings(t);
    });
    return t;
}

void refresh_kept_settings() {
    // Read afresh when the file changed: another till on this terminal may have
    // switched receipt printing or set the clock. Both are atomics, so this needs no
    // terminal mutex.
    Terminal& t = terminal();
    if (settings_changed(settings_stamp()))
        reload_kept_settings(t);
}

bool keep_clock_offset(long offset) {
    return store_setting(kClockOffsetKey, std::to_string(offset));
}

bool keep_print_receipts(bool on) {
    return store_setting(kPrintReceiptsKey, on ? "1" : "0");
}

std::time_t clock_now() {
    return std::time(nullptr) + terminal().clock_offset.load();
}

std::tm clock_local() {
    const std::time_t now = clock_now();
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

bool application_enabled(App app) {
    const int number = static_cast<int>(app);
    if (number < 0 || number >= kAppCount)
        return false;
    const char* disabled = std::getenv("KORVEX_SIM_DISABLED_APPS");
    if (!disabled)
        return true;
    // A list of numbers separated by anything that is not a digit: "1,3", "1 3".
    for (const char* p = disabled; *p;) {
        if (*p < '0' || *p > '9') {
            ++p;
            continue;
        }
        char* end = nullptr;
        if (std::strtol(p, &end, 10) == number)
            return false;
        p = end;
    }
    return true;
}

double delay_scale() {
    Control& c = control();
    std::lock_guard lock(c.mutex);
    if (c.scale < 0)
        c.scale = scale_from_environment();
    return c.scale;
}

void step_delay(int ms) {
    // A scale too large for the sleep's type ("inf" in KORVEX_SIM_DELAY) waits a day.
    constexpr double kLongestStepMs = 24.0 * 3600 * 1000;
    const double scaled = std::min(ms * delay_scale(), kLongestStepMs);
    if (scaled >= 1)
        std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long>(scaled * 1000)));
}

bool intercept(const char* call, const void* request, std::size_t request_size, void* response,
               std::size_t response_size) {
    if (!in_call_scope) {
        if (const std::string folder = trace_folder(); !folder.empty())
            write_trace_entry(folder, call,
                              request ? std::string(static_cast<const char*>(request), request_size)
                                      : std::string(),
                              std::nullopt);
    }
    Control& c = control();
    std::unique_lock lock(c.mutex);
    const auto* bytes = static_cast<const unsigned char*>(request);
    c.last_request[call] = request ? Bytes(bytes, bytes + request_size) : Bytes();
    ++c.counts[call];
    c.released.wait(lock, [&] { return !c.held.count(call); });
    auto script = c.scripts.find(call);
    if (script == c.scripts.end() || script->second.empty() || !response)
        return false;
    Bytes answer = std::move(script->second.front());
    script->second.pop_front();
    std::memset(response, 0, response_size);
    std::memcpy(response, answer.data(), std::min(answer.size(), response_size));
    return true;
}

CallScope::CallScope(const char* call, const void* request, std::size_t request_size,
                     void* response, std::size_t response_size)
    : call_(call), response_(response), response_size_(response_size),
      trace_folder_(trace_folder()) {
    refresh_kept_settings(); // once a call: cheap enough (one stat), and always current
    if (!trace_folder_.empty() && request)
        request_.assign(static_cast<const char*>(request), request_size);
    in_call_scope = true;
    scripted_ = intercept(call, request, request_size, response, response_size);
    in_call_scope = false;
}

CallScope::~CallScope() {
    if (!trace_folder_.empty())
        write_trace_entry(
            trace_folder_, call_, request_,
            std::string(static_cast<const char*>(response_), response_ ? response_size_ : 0));
}

std::string state_dir() {
    if (const char* dir = std::getenv("KORVEX_SIM_STATE_DIR"); dir && *dir)
        return dir;
    if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg && *xdg == '/')
        return std::string(xdg) + "/korvex-sim";
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        const passwd* pw = getpwuid(getuid());
        home = pw ? pw->pw_dir : "/tmp";
    }
    return std::string(home) + "/.local/state/korvex-sim";
}

bool make_dirs(const std::string& path) {
    std::string partial;
    std::size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        partial = path.substr(0, pos);
        if (partial.empty())
            continue;
        if (mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A lost state file is something a tester must hear about; the library has no other
// channel than the standard error stream for it.
void report(const std::string& what) {
    std::fprintf(stderr, "korvex-sim: %s: %s\n", what.c_str(), std::strerror(errno));
}

bool write_file_atomically(const std::string& path, const std::string& text) {
    const std::string temporary = path + ".tmp." + std::to_string(getpid());
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        written += static_cast<std::size_t>(n);
    }
    const bool complete = written == text.size() && fsync(fd) == 0;
    close(fd);
    if (!complete || rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

StateLock::StateLock(const char* name) {
    const std::string dir = state_dir();
    if (make_dirs(dir))
        fd_ = open((dir + "/" + name + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    // Without the lock file the change is still made, only not guarded against another process.
    while (fd_ >= 0 && flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
    }
}

StateLock::~StateLock() {
    if (fd_ >= 0)
        close(fd_); // releases the lock
}

namespace {
std::mutex settings_mutex;

std::map<std::string, std::string> read_settings() {
    std::map<std::string, std::string> settings;
    std::ifstream in(state_dir() + "/" + kSettingsFile);
    std::string line;
    while (std::getline(in, line)) {
        const auto eq = line.find('=');
        if (eq != std::string::npos)
            settings[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return settings;
}
} // namespace

std::string stored_setting(const std::string& key, const std::string& fallback) {
    std::lock_guard lock(settings_mutex);
    const auto settings = read_settings();
    const auto it = settings.find(key);
    return it == settings.end() ? fallback : it->second;
}

std::map<std::string, std::string> stored_settings() {
    std::lock_guard lock(settings_mutex);
    return read_settings();
}

bool store_setting(const std::string& key, const std::string& value) {
    return update_settings(
        [&](std::map<std::string, std::string>& settings) { settings[key] = value; });
}

bool update_settings(const std::function<void(std::map<std::string, std::string>&)>& change) {
    std::lock_guard lock(settings_mutex);
    const StateLock across_processes("terminal.conf");
    auto settings = read_settings();
    change(settings);
    std::string text;
    for (const auto& [k, v] : settings)
        text += k + "=" + v + "\n";
    const std::string dir = state_dir();
    if (!make_dirs(dir) || !write_file_atomically(dir + "/" + kSettingsFile, text)) {
        report("cannot save the terminal's settings in " + dir);
        return false;
    }
    return true;
}

std::string text_of(const char* field, std::size_t width) {
    return std::string(field, strnlen(field, width));
}

void put(char* field, std::size_t width, const std::string& text) {
    std::memset(field, 0, width);
    std::memcpy(field, text.data(), std::min(text.size(), width));
}

} // namespace sim

using sim::control;

extern "C" {

KORVEX_API void korvex_sim_reset(void) {
    sim::Control& c = control();
    {
        std::lock_guard lock(c.mutex);
        c.scripts.clear();
        c.last_request.clear();
        c.counts.clear();
        c.held.clear();
        c.scale = -1;
    }
    c.released.notify_all();
}

KORVEX_API void korvex_sim_script(const char* call, const void* response, size_t size) {
    sim::Control& c = control();
    std::lock_guard lock(c.mutex);
    const auto* bytes = static_cast<const unsigned char*>(response);
    c.scripts[call].emplace_back(bytes, bytes + size);
}

KORVEX_API size_t korvex_sim_request_count(const char* call) {
    sim::Control& c = control();
    std::lock_guard lock(c.mutex);
    auto it = c.counts.find(call);
    return it == c.counts.end() ? 0 : it->second;
}

KORVEX_API size_t korvex_sim_last_request(const char* call, void* out, size_t size) {
    sim::Control& c = control();
    std::lock_guard lock(c.mutex);
    auto it = c.last_request.find(call);
    if (it == c.last_request.end())
        return 0;
    std::memcpy(out, it->second.data(), std::min(size, it->second.size()));
    return it->second.size();
}

KORVEX_API void korvex_sim_hold(const char* call, int hold) {
    sim::Control& c = control();
    {
        std::lock_guard lock(c.mutex);
        if (hold)
            c.held.insert(call);
        else
            c.held.erase(call);
    }
    c.released.notify_all();
}

KORVEX_API void korvex_sim_set_delay_scale(double scale) {
    sim::Control& c = control();
    std::lock_guard lock(c.mutex);
    c.scale = scale < 0 ? 0 : scale;
}

} // extern "C"
