// Golden receipts: a step's receipt lines kept in a file, with what changes by
// nature (dates, times, invoice numbers, authorisation codes) replaced by a
// placeholder before the lines are written or compared.
#pragma once

#include <optional>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

struct IgnoreRule {
    std::string name; // "date", "time", "invoice", "auth_code", or the pattern's text
    std::regex pattern;
    std::string replacement; // ECMAScript format ($1 ...)
    // False when the pattern cannot match the line (a cheap test before the
    // expression); null: always tried.
    bool (*may_match)(std::string_view line) = nullptr;
};

// The named rule, or nullopt for an unknown name.
std::optional<IgnoreRule> named_ignore_rule(std::string_view name);
// A rule of the scenario's own; throws std::regex_error for a bad pattern.
IgnoreRule pattern_ignore_rule(const std::string& pattern, const std::string& as);

// The line as a golden file keeps it: card numbers masked, the rules applied in order.
std::string golden_line(std::string_view line, const std::vector<IgnoreRule>& rules);

// The file of step `number` (1-based) named `step_name`: "NN-slug.txt"; in `dir`.
std::string golden_name(int number, std::string_view step_name);
std::string golden_path(const std::string& dir, int number, std::string_view step_name);

// Writes the lines (already through golden_line) to `path`, creating its folder.
// False with *error set when it cannot.
bool write_golden(const std::string& path, const std::vector<std::string>& lines,
                  std::string* error);
// Writes a golden file's whole text (each line ended by '\n') to `path` in a folder
// that exists: replaced whole when `replace` (a failed write leaves the file that
// was there), else written straight (a file in a folder just made, which nothing
// else holds yet).
bool write_golden_text(const std::string& path, std::string_view text, bool replace,
                       std::string* error);

// What a comparison found.
struct GoldenDifference {
    std::string message; // empty when the lines equal the file
    std::string expected, actual;
};
// Compares the lines (already through golden_line) with the file at `path`.
GoldenDifference compare_golden(const std::string& path, const std::vector<std::string>& lines);
