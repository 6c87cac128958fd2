#include "journal_json.h"

#include <glib.h>
#include <nlohmann/json.hpp>

using Json = nlohmann::ordered_json;

namespace {

Json fields_json(const std::vector<JournalField>& fields) {
    Json object = Json::object();
    for (const JournalField& f : fields)
        object[f.name] = f.value;
    return object;
}

std::vector<JournalField> fields_of(const Json& object) {
    std::vector<JournalField> fields;
    for (const auto& [name, value] : object.items())
        fields.push_back({name, value.get<std::string>()});
    return fields;
}

Json records_json(const std::vector<JournalRecord>& records) {
    Json list = Json::array();
    for (const JournalRecord& r : records)
        list.push_back({{"record", r.record}, {"fields", fields_json(r.fields)}});
    return list;
}

std::vector<JournalRecord> records_of(const Json& list) {
    std::vector<JournalRecord> records;
    for (const Json& r : list)
        records.push_back({r.at("record").get<std::string>(), fields_of(r.at("fields"))});
    return records;
}

std::string hex(const std::string& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (unsigned char b : bytes) {
        text += kDigits[b >> 4];
        text += kDigits[b & 15];
    }
    return text;
}

std::string bytes_of_hex(const std::string& text) {
    if (text.size() % 2)
        throw Json::other_error::create(501, "odd hex", nullptr);
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = g_ascii_xdigit_value(text[i]), low = g_ascii_xdigit_value(text[i + 1]);
        if (high < 0 || low < 0)
            throw Json::other_error::create(501, "not hex", nullptr);
        bytes += static_cast<char>(high << 4 | low);
    }
    return bytes;
}

// Each call with its records' bytes in hexadecimal, two digits a byte.
Json calls_json(const std::vector<JournalCall>& calls) {
    Json list = Json::array();
    for (const JournalCall& c : calls)
        list.push_back({{"call", c.name},
                        {"started", journal_time_text(c.started_ms)},
                        {"ended", journal_time_text(c.ended_ms)},
                        {"started_ms", c.started_ms},
                        {"ended_ms", c.ended_ms},
                        {"request_record", c.request_record},
                        {"request_hex", hex(c.request)},
                        {"response_record", c.response_record},
                        {"response_hex", hex(c.response)}});
    return list;
}

std::vector<JournalCall> calls_of(const Json& list) {
    std::vector<JournalCall> calls;
    for (const Json& c : list)
        calls.push_back({c.at("call").get<std::string>(), c.at("started_ms").get<std::int64_t>(),
                         c.at("ended_ms").get<std::int64_t>(),
                         c.at("request_record").get<std::string>(),
                         bytes_of_hex(c.at("request_hex").get<std::string>()),
                         c.at("response_record").get<std::string>(),
                         bytes_of_hex(c.at("response_hex").get<std::string>())});
    return calls;
}

Json detail_json(const JournalEntry& e) {
    Json questions = Json::array();
    for (const JournalQuestion& q : e.questions)
        questions.push_back({{"at", journal_time_text(q.at_ms)},
                             {"at_ms", q.at_ms},
                             {"question", q.question},
                             {"answer", q.answer},
                             {"details", fields_json(q.details)}});
    Json detail = {{"request", records_json(e.request)},
                   {"response", records_json(e.response)},
                   {"questions", questions},
                   {"receipt", e.receipt},
                   {"calls", calls_json(e.calls)}};
    if (!e.receipt_styles.empty())
        detail["receipt_styles"] = e.receipt_styles;
    return detail;
}

void read_detail(const Json& d, JournalEntry& e) {
    e.request = records_of(d.at("request"));
    e.response = records_of(d.at("response"));
    e.questions.clear();
    for (const Json& q : d.at("questions"))
        e.questions.push_back({q.at("at_ms").get<std::int64_t>(), q.at("question").get<std::string>(),
                               q.at("answer").get<std::string>(), fields_of(q.at("details"))});
    e.receipt = d.at("receipt").get<std::vector<std::string>>();
    // Entries of older consoles have no styles: their receipts print plain.
    e.receipt_styles.clear();
    if (d.contains("receipt_styles") && d.at("receipt_styles").size() == e.receipt.size())
        e.receipt_styles = d.at("receipt_styles").get<std::vector<int>>();
    e.calls = d.contains("calls") ? calls_of(d.at("calls")) : std::vector<JournalCall>{};
}

// Invalid UTF-8 never reaches the journal (journal_record makes it valid), but a
// dump must not throw on a stray byte either: replace it.
std::string dump(const Json& json) { return json.dump(-1, ' ', false, Json::error_handler_t::replace); }

} // namespace

std::string entry_detail_json(const JournalEntry& entry) { return dump(detail_json(entry)); }

bool read_entry_detail_json(const std::string& json, JournalEntry& entry) {
    try {
        read_detail(Json::parse(json), entry);
        return true;
    } catch (const Json::exception&) {
        return false;
    }
}

std::string entry_json_line(const JournalEntry& e) {
    Json line = {{"id", e.id},
                 {"started", journal_time_text(e.started_ms)},
                 {"ended", journal_time_text(e.ended_ms)},
                 {"started_ms", e.started_ms},
                 {"ended_ms", e.ended_ms},
                 {"operation", e.operation},
                 {"amount", e.amount},
                 {"invoice", e.invoice},
                 {"status", e.status},
                 {"result_code", e.result_code ? Json(*e.result_code) : Json(nullptr)},
                 {"result_text", e.result_text},
                 {"host_text", e.host_text}};
    line.update(detail_json(e));
    return dump(line);
}

std::optional<JournalEntry> entry_from_json_line(const std::string& text) {
    try {
        const Json j = Json::parse(text);
        JournalEntry e;
        e.id = j.at("id").get<std::int64_t>();
        e.started_ms = j.at("started_ms").get<std::int64_t>();
        e.ended_ms = j.at("ended_ms").get<std::int64_t>();
        e.operation = j.at("operation").get<std::string>();
        e.amount = j.at("amount").get<std::string>();
        e.invoice = j.at("invoice").get<std::string>();
        e.status = j.at("status").get<std::string>();
        if (!j.at("result_code").is_null())
            e.result_code = j.at("result_code").get<int>();
        e.result_text = j.at("result_text").get<std::string>();
        e.host_text = j.at("host_text").get<std::string>();
        read_detail(j, e);
        return e;
    } catch (const Json::exception&) {
        return std::nullopt;
    }
}

std::string journal_time_text(std::int64_t ms) {
    GDateTime* utc = g_date_time_new_from_unix_utc(ms / 1000);
    if (!utc)
        return "";
    GDateTime* local = g_date_time_to_local(utc);
    gchar* base = g_date_time_format(local, "%Y-%m-%dT%H:%M:%S");
    gchar* zone = g_date_time_format(local, "%:z");
    char millis[8];
    g_snprintf(millis, sizeof millis, ".%03d", static_cast<int>(ms % 1000));
    std::string text = std::string(base) + millis + zone;
    g_free(zone);
    g_free(base);
    g_date_time_unref(local);
    g_date_time_unref(utc);
    return text;
}
