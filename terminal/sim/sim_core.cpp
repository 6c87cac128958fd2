#include "sim_core.h"

#include "korvex_sim.h"

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

Control& control() {
    static Control c;
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

Terminal& terminal() {
    static Terminal t;
    return t;
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
    // Every application is enabled until the terminal management calls can switch one off.
    return static_cast<int>(app) >= 0 && static_cast<int>(app) < kAppCount;
}

double delay_scale() {
    Control& c = control();
    std::lock_guard lock(c.mutex);
    if (c.scale < 0)
        c.scale = scale_from_environment();
    return c.scale;
}

void step_delay(int ms) {
    const double scaled = ms * delay_scale();
    if (scaled >= 1)
        std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long>(scaled * 1000)));
}

bool intercept(const char* call, const void* request, std::size_t request_size, void* response,
               std::size_t response_size) {
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
