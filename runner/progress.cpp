#include "progress.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>

std::string step_line(int number, int total, const StepResult& result) {
    const int width = static_cast<int>(std::to_string(total).size());
    char counter[48];
    std::snprintf(counter, sizeof counter, "[%*d/%d]", width, number, total);
    char time[32];
    std::snprintf(time, sizeof time, "%.1f ms", result.seconds * 1000);
    return std::string(counter) + " " + std::filesystem::path(result.file).filename().string() +
           ":" + std::to_string(result.line) + " " + result.name + "  " +
           (result.passed() ? "ok" : "FAIL") + "  " + time;
}

std::string step_json(int number, int total, const StepResult& result) {
    nlohmann::ordered_json failures = nlohmann::ordered_json::array();
    for (const Failure& failure : result.failures)
        failures.push_back(
            {{"message", failure.message}, {"expected", failure.expected}, {"actual", failure.actual}});
    const nlohmann::ordered_json step = {
        {"step", number},           {"total", total},
        {"file", result.file},      {"line", result.line},
        {"name", result.name},      {"operation", result.operation},
        {"passed", result.passed()}, {"seconds", result.seconds},
        {"failures", failures},     {"receipt", result.receipt},
    };
    // A terminal's stray bytes must not stop the line: they become U+FFFD.
    return step.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

void Progress::clear_bar() {
    if (bar_ && done_ > 0)
        out_ << "\r\033[K";
}

void Progress::draw_bar() {
    if (!bar_)
        return;
    constexpr int kWidth = 40;
    const int filled = total_ > 0 ? done_ * kWidth / total_ : kWidth;
    out_ << '[' << std::string(static_cast<std::size_t>(filled), '#')
         << std::string(static_cast<std::size_t>(kWidth - filled), '.') << "] " << done_ << '/'
         << total_ << "  " << failed_ << " failed" << std::flush;
}

void Progress::step(const StepResult& result) {
    clear_bar();
    ++done_;
    (result.passed() ? passed_ : failed_)++;
    if (json_) {
        out_ << step_json(done_, total_, result) << '\n' << std::flush;
        return;
    }
    out_ << step_line(done_, total_, result) << '\n';
    for (const Failure& failure : result.failures)
        out_ << "    " << failure.message << "\n      expected: " << failure.expected
             << "\n      actual:   " << failure.actual << '\n';
    draw_bar();
}

void Progress::finish(double seconds) {
    if (json_) {
        out_ << std::flush;
        return;
    }
    clear_bar();
    char time[32];
    std::snprintf(time, sizeof time, "%.2f s", seconds);
    out_ << done_ << " steps: " << passed_ << " passed, " << failed_ << " failed in " << time
         << '\n'
         << std::flush;
}
