#include "journal_export.h"

#include "journal_json.h"

#include <glib.h>
#include <nlohmann/json.hpp>

namespace {

std::string csv_field(const std::string& text) {
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

// The part of an entry's JSON line named `key`, as JSON text.
std::string json_part(const std::string& detail, const char* key) {
    return nlohmann::ordered_json::parse(detail).at(key).dump();
}

} // namespace

std::string csv_header() {
    return csv_line({"id", "started", "ended", "operation", "amount", "invoice", "status",
                     "result_code", "result_text", "host_text", "questions", "receipt", "request",
                     "response"});
}

std::string csv_row(const JournalEntry& e) {
    const std::string detail = entry_detail_json(e);
    return csv_line({std::to_string(e.id), journal_time_text(e.started_ms),
                     journal_time_text(e.ended_ms), e.operation, e.amount, e.invoice, e.status,
                     e.result_code ? std::to_string(*e.result_code) : "", e.result_text,
                     e.host_text, json_part(detail, "questions"), joined(e.receipt),
                     json_part(detail, "request"), json_part(detail, "response")});
}

long export_journal(JournalStore& store, const JournalQuery& query, const std::string& path,
                    ExportFormat format, std::string* error) {
    std::string contents = format == ExportFormat::Csv ? csv_header() : "";
    long count = 0;
    store.for_each(query, [&](const JournalEntry& e) {
        contents += format == ExportFormat::Csv ? csv_row(e) : entry_json_line(e) + "\n";
        ++count;
        return true;
    });
    GError* failure = nullptr;
    if (!g_file_set_contents_full(path.c_str(), contents.data(),
                                  static_cast<gssize>(contents.size()),
                                  G_FILE_SET_CONTENTS_CONSISTENT, 0600, &failure)) {
        if (error)
            *error = failure->message;
        g_error_free(failure);
        return -1;
    }
    return count;
}
