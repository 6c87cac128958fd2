#include "journal_export.h"

#include "journal_json.h"

#include <fcntl.h>
#include <glib.h>
#include <nlohmann/json.hpp>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string_view>

namespace {

bool is_number(const std::string& text) {
    const std::size_t digits = text.starts_with('-') ? 1 : 0;
    return text.size() > digits && text.find_first_not_of("0123456789", digits) == std::string::npos;
}

// A field a spreadsheet would run as a formula ("=HYPERLINK(...)" in a host message or
// a receipt line) starts with a "'", which makes it text; a plain number ("-3", a
// result code) stays a number.
std::string csv_field(const std::string& field) {
    const bool formula = !field.empty() && std::string_view("=+-@\t\r").find(field[0]) !=
                                               std::string_view::npos && !is_number(field);
    const std::string text = formula ? "'" + field : field;
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string csv_line(std::initializer_list<std::string> fields) {
    std::string line;
    for (const std::string& f : fields) {
        if (&f != fields.begin())
            line += ',';
        line += csv_field(f);
    }
    return line + "\r\n";
}

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& l : lines)
        text += (text.empty() ? "" : "\n") + l;
    return text;
}

// The part of an entry's detail named `key`, as JSON text.
std::string json_part(const nlohmann::ordered_json& detail, const char* key) {
    return detail.at(key).dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

} // namespace

std::string csv_header() {
    return csv_line({"id", "started", "ended", "operation", "amount", "invoice", "status",
                     "result_code", "result_text", "host_text", "questions", "receipt", "request",
                     "response"});
}

std::string csv_row(const JournalEntry& e) {
    // Parsed once for its three parts.
    const auto detail = nlohmann::ordered_json::parse(entry_detail_json(e));
    return csv_line({std::to_string(e.id), journal_time_text(e.started_ms),
                     journal_time_text(e.ended_ms), e.operation, e.amount, e.invoice, e.status,
                     e.result_code ? std::to_string(*e.result_code) : "", e.result_text,
                     e.host_text, json_part(detail, "questions"), joined(e.receipt),
                     json_part(detail, "request"), json_part(detail, "response")});
}

long export_journal(JournalStore& store, const JournalQuery& query, const std::string& path,
                    ExportFormat format, std::string* error) {
    // Written page by page into a file of its own beside `path`, which replaces
    // `path` once complete: a whole journal never sits in memory, and a failed
    // export leaves neither a partial file nor a changed one.
    std::string temp = path + ".XXXXXX";
    const int fd = g_mkstemp_full(temp.data(), O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (error)
            *error = "cannot write " + path + ": " + g_strerror(errno);
        return -1;
    }
    FILE* out = fdopen(fd, "wb");
    if (!out) {
        const int reason = errno;
        ::close(fd);
        ::unlink(temp.c_str());
        if (error)
            *error = "cannot write " + path + ": " + g_strerror(reason);
        return -1;
    }
    int failure = 0; // the errno of the first step that failed
    auto failed = [&failure] { failure = errno ? errno : EIO; };
    auto put = [&](const std::string& text) {
        if (std::fwrite(text.data(), 1, text.size(), out) == text.size())
            return true;
        failed();
        return false;
    };
    long count = 0;
    if (format != ExportFormat::Csv || put(csv_header()))
        store.for_each(query, [&](const JournalEntry& e) {
            if (!put(format == ExportFormat::Csv ? csv_row(e) : entry_json_line(e) + "\n"))
                return false;
            ++count;
            return true;
        });
    if (!failure && (std::fflush(out) != 0 || ::fsync(fileno(out)) != 0))
        failed();
    if (std::fclose(out) != 0 && !failure)
        failed();
    if (!failure && ::rename(temp.c_str(), path.c_str()) != 0)
        failed();
    if (!failure)
        return count;
    ::unlink(temp.c_str());
    if (error)
        *error = "cannot write " + path + ": " + g_strerror(failure);
    return -1;
}
