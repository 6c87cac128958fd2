#include "golden.h"

#include "card_masking.h"

#include <glib.h>
#include <glib/gstdio.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

bool has_any_of(std::string_view line, const char* characters) {
    return line.find_first_of(characters) != std::string_view::npos;
}

bool has_word(std::string_view line, std::string_view word) { // any case
    return std::search(line.begin(), line.end(), word.begin(), word.end(), [](char a, char b) {
               return std::toupper(static_cast<unsigned char>(a)) == b;
           }) != line.end();
}

struct NamedRule {
    const char* name;
    const char* pattern;
    const char* replacement;
    bool (*may_match)(std::string_view line); // what the pattern cannot match without
};

// The simulated terminal prints "2026-12-06 14:03:59", "INVOICE      000123" and
// "AUTH CODE    123456"; other terminals print "06/12/2026", "INV NO: 123", "APPR CODE 1A2B".
constexpr NamedRule kNamedRules[] = {
    {"date", R"(\b(?:\d{1,2}[/.]\d{1,2}[/.](?:\d{4}|\d{2})|\d{4}-\d{2}-\d{2})\b)", "<date>",
     [](std::string_view line) { return has_any_of(line, "/.-"); }},
    {"time", R"(\b\d{1,2}:\d{2}(?::\d{2})?\b)", "<time>",
     [](std::string_view line) { return has_any_of(line, ":"); }},
    {"invoice", R"(^(.*\b(?:INVOICE|INV)\b(?:\s*(?:NO|NUM|NUMBER|NR)\b)?[^A-Za-z0-9]*)[A-Za-z0-9]+(\s*)$)",
     "$1<invoice>$2", [](std::string_view line) { return has_word(line, "INV"); }},
    {"auth_code",
     R"(^(.*\b(?:AUTH(?:ORI[SZ]ATION)?|APPR(?:OVAL)?)\s*CODE\b[^A-Za-z0-9]*)[A-Za-z0-9]+(\s*)$)",
     "$1<auth_code>$2", [](std::string_view line) { return has_word(line, "CODE"); }},
};

std::string slug(std::string_view name) {
    std::string out;
    for (const char c : name) {
        if (std::isalnum(static_cast<unsigned char>(c)))
            out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        else if (!out.empty() && out.back() != '-')
            out += '-';
    }
    while (!out.empty() && out.back() == '-')
        out.pop_back();
    return out.empty() ? "step" : out;
}

} // namespace

std::optional<IgnoreRule> named_ignore_rule(std::string_view name) {
    for (const NamedRule& rule : kNamedRules)
        if (name == rule.name)
            return IgnoreRule{rule.name, std::regex(rule.pattern, std::regex::icase),
                              rule.replacement, rule.may_match};
    return std::nullopt;
}

IgnoreRule pattern_ignore_rule(const std::string& pattern, const std::string& as) {
    // The placeholder is literal text: '$' is doubled so that it is not a group.
    std::string replacement;
    for (const char c : as)
        replacement += c == '$' ? std::string("$$") : std::string(1, c);
    return IgnoreRule{pattern, std::regex(pattern), replacement};
}

std::string golden_line(std::string_view line, const std::vector<IgnoreRule>& rules) {
    std::string text = mask_secret(line);
    for (const IgnoreRule& rule : rules)
        if (!rule.may_match || rule.may_match(text))
            text = std::regex_replace(text, rule.pattern, rule.replacement);
    return text;
}

std::string golden_name(int number, std::string_view step_name) {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "%02d-", number);
    return prefix + slug(step_name) + ".txt";
}

std::string golden_path(const std::string& dir, int number, std::string_view step_name) {
    return (std::filesystem::path(dir) / golden_name(number, step_name)).string();
}

bool write_golden(const std::string& path, const std::vector<std::string>& lines,
                  std::string* error) {
    const auto folder = std::filesystem::path(path).parent_path();
    if (!folder.empty())
        g_mkdir_with_parents(folder.c_str(), 0700);
    std::string text;
    for (const std::string& line : lines)
        text += line + '\n';
    return write_golden_text(path, text, true, error);
}

bool write_golden_text(const std::string& path, std::string_view text, bool replace,
                       std::string* error) {
    // Kept like everything the runner keeps: owner-only.
    GError* failure = nullptr;
    if (replace) {
        if (g_file_set_contents_full(path.c_str(), text.data(), static_cast<gssize>(text.size()),
                                     G_FILE_SET_CONTENTS_CONSISTENT, 0600, &failure))
            return true;
        *error = "cannot write " + path + (failure ? std::string(": ") + failure->message : "");
        g_clear_error(&failure);
        return false;
    }
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    int failed = fd < 0 ? errno : 0;
    for (std::size_t done = 0; !failed && done < text.size();) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (n == 0 || errno != EINTR)
            failed = n == 0 ? EIO : errno;
    }
    if (fd >= 0 && close(fd) != 0 && !failed)
        failed = errno;
    if (!failed)
        return true;
    *error = "cannot write " + path + ": " + g_strerror(failed);
    return false;
}

GoldenDifference compare_golden(const std::string& path, const std::vector<std::string>& lines) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {"no golden receipt " + path + " (run with --record-golden to write it)", "", ""};
    std::vector<std::string> expected;
    for (std::string line; std::getline(in, line);)
        expected.push_back(line);
    const std::size_t n = std::max(expected.size(), lines.size());
    for (std::size_t i = 0; i < n; ++i) {
        const std::string want = i < expected.size() ? expected[i] : "(end of receipt)";
        const std::string got = i < lines.size() ? lines[i] : "(end of receipt)";
        if (i >= expected.size() || i >= lines.size() || want != got)
            return {"receipt line " + std::to_string(i + 1) + " differs from " + path, want, got};
    }
    return {};
}
