#include "junit.h"

#include "terminal_text.h"

#include <cstdio>
#include <fstream>

namespace {

std::string seconds_text(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", seconds);
    return text;
}

std::size_t failures_of(const SuiteResult& suite) {
    std::size_t n = 0;
    for (const StepResult& step : suite.steps)
        n += !step.passed();
    return n;
}

} // namespace

std::string xml_escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        case '\n': out += "&#10;"; break;
        case '\t': out += "&#9;"; break;
        case '\r': out += "&#13;"; break;
        default:
            // Other control characters are not allowed in XML 1.0 at all.
            if (byte < 0x20)
                out += '?';
            else
                out += c;
        }
    }
    return out;
}

void write_junit(std::ostream& out, const std::vector<SuiteResult>& suites) {
    std::size_t tests = 0, failures = 0;
    double seconds = 0;
    for (const SuiteResult& suite : suites) {
        tests += suite.steps.size();
        failures += failures_of(suite);
        seconds += suite.seconds;
    }
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<testsuites name=\"kelvra-run\" tests=\"" << tests << "\" failures=\"" << failures
        << "\" errors=\"0\" time=\"" << seconds_text(seconds) << "\">\n";
    for (const SuiteResult& suite : suites) {
        out << "  <testsuite name=\"" << xml_escape(suite.name) << "\" file=\""
            << xml_escape(suite.file) << "\" tests=\"" << suite.steps.size() << "\" failures=\""
            << failures_of(suite) << "\" errors=\"0\" time=\"" << seconds_text(suite.seconds)
            << "\">\n";
        for (const StepResult& step : suite.steps) {
            out << "    <testcase classname=\"" << xml_escape(suite.name) << "\" name=\""
                << xml_escape(step.name) << "\" file=\"" << xml_escape(step.file)
                << "\" line=\"" << step.line << "\" time=\"" << seconds_text(step.seconds)
                << "\">\n";
            for (const Failure& failure : step.failures)
                out << "      <failure message=\""
                    << xml_escape(terminal_text_utf8(failure.message)) << "\">"
                    << xml_escape("expected: " + terminal_text_utf8(failure.expected) +
                                  "\nactual: " + terminal_text_utf8(failure.actual))
                    << "</failure>\n";
            if (!step.receipt.empty()) {
                // The terminal's bytes as the console shows them: the report stays XML.
                std::string text;
                for (const std::string& line : step.receipt)
                    text += terminal_text_utf8(line) + "\n";
                out << "      <system-out>" << xml_escape(text) << "</system-out>\n";
            }
            out << "    </testcase>\n";
        }
        out << "  </testsuite>\n";
    }
    out << "</testsuites>\n";
}

bool write_junit_file(const std::string& path, const std::vector<SuiteResult>& suites,
                      std::string* error) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    write_junit(out, suites);
    out.close();
    if (!out) {
        *error = "cannot write the report " + path;
        return false;
    }
    return true;
}
