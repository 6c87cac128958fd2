#include "from_journal.h"

#include "cashier.h"
#include "code_texts.h"
#include "golden.h"
#include "journal_json.h"
#include "operations.h"
#include "scenario.h"
#include "yaml_text.h"

#include <glib.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <unordered_map>
#include <utility>

namespace {

// Fields whose value the terminal gives anew each time: a replay cannot expect the
// value recorded, only its shape. The first group is what a later request may give
// back (a void takes its sale's invoice).
constexpr const char* kReferenceFields[] = {"InvoiceNumber", "AuthorisationCode", "PreAuthRefNum",
                                            "RetrievalReferenceNumber"};
constexpr const char* kChangingParts[] = {"Date", "Time", "Invoice", "AuthorisationCode",
                                          "AuthCode", "Batch", "Reference", "RefNum",
                                          "Cryptogram"};

// The field's name without its "In" or "Out".
std::string base_name(std::string_view name) {
    for (std::string_view end : {"Out", "In"})
        if (name.size() > end.size() && name.ends_with(end))
            return std::string(name.substr(0, name.size() - end.size()));
    return std::string(name);
}

bool changes_by_nature(std::string_view field) {
    return std::any_of(std::begin(kChangingParts), std::end(kChangingParts),
                       [&](const char* part) { return field.find(part) != std::string_view::npos; });
}

bool is_reference(const std::string& base) {
    return std::any_of(std::begin(kReferenceFields), std::end(kReferenceFields),
                       [&](const char* name) { return base == name; });
}

std::string regex_escaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (std::strchr(R"(\^$.|?*+()[]{}/)", c))
            out += '\\';
        out += c;
    }
    return out;
}

// "^[0-9]{6}$" for "112648": what a value that changes by nature must look like.
// A cryptogram is hexadecimal: one of digits only is so by chance (one in 2,000).
std::string shape_pattern(std::string_view field, const std::string& value) {
    const auto all = [&](int (*is)(int)) {
        return std::all_of(value.begin(), value.end(),
                           [&](char c) { return is(static_cast<unsigned char>(c)) != 0; });
    };
    const std::string count = "{" + std::to_string(value.size()) + "}$";
    if (field.find("Cryptogram") != std::string_view::npos && all(isxdigit))
        return "^[0-9A-Fa-f]" + count;
    if (all(isdigit))
        return "^[0-9]" + count;
    if (all(isalnum))
        return "^[0-9A-Za-z]" + count;
    return "^.+$";
}

// A text the journal keeps masked ("679999******4564"): each masked character
// matches any.
std::string masked_pattern(const std::string& value) {
    std::string out = "^";
    for (const char c : value)
        out += c == '*' ? std::string(".") : regex_escaped(std::string_view(&c, 1));
    return out + "$";
}

// The name a kept value goes by: "invoice1" for the invoice step 1 answered.
std::string keep_name(const std::string& base, int step) {
    const std::string short_name = base == "InvoiceNumber"       ? "invoice"
                                   : base == "AuthorisationCode" ? "auth_code"
                                   : base == "PreAuthRefNum"     ? "pre_auth_ref"
                                                                 : "reference";
    return short_name + std::to_string(step);
}

// The answer to a question as a scenario writes it (flow YAML), from the journal's
// text of it; empty when the journal does not say enough to answer again.
std::optional<std::string> answer_of(Question question, const std::string& answer) {
    switch (question) {
    case Question::Signature:
        return answer == "Refused" ? "refuse" : "accept";
    case Question::PartialApproval:
    case Question::Avs:
        return answer == "Declined" ? "decline" : "accept";
    case Question::DccQuotation:
        return "show";
    case Question::SuspectedFraud:
        return answer == "Void" ? "void" : "continue";
    case Question::Password:
        if (answer == "Cancelled")
            return "cancel";
        return std::nullopt; // the password is never recorded
    case Question::VoiceReferral: {
        const std::string approved = "Approved with code ";
        if (answer.starts_with(approved) && answer.size() > approved.size()) {
            std::string text = "{answer: authorise, code: ";
            append_yaml_quoted(text, answer.substr(approved.size()));
            return text + "}";
        }
        return answer.starts_with("Declined") ? "decline" : "none";
    }
    }
    return std::nullopt;
}

std::optional<Question> question_named(const std::string& name) {
    for (const Question q : {Question::Signature, Question::VoiceReferral, Question::DccQuotation,
                             Question::Password, Question::PartialApproval, Question::Avs,
                             Question::SuspectedFraud})
        if (name == question_name(q))
            return q;
    return std::nullopt;
}

// The request's fields as an untouched request holds them (before any input).
std::map<std::string, std::string> untouched_request(const Operation& op) {
    std::map<std::string, std::string> values;
    if (!op.request)
        return values;
    std::vector<std::max_align_t> bytes(op.request->size / sizeof(std::max_align_t) + 1);
    std::memset(bytes.data(), 0, bytes.size() * sizeof(std::max_align_t));
    if (op.prepare)
        op.prepare(bytes.data());
    for (const JournalField& f : journal_record(*op.request, bytes.data()).fields)
        values[f.name] = f.value;
    return values;
}

std::string local_time_text(std::int64_t ms) {
    // The C library's, which reads the time zone once (GLib's reads it at each call).
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm local{};
    char text[32];
    if (!localtime_r(&seconds, &local) ||
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local) == 0)
        return "";
    return text;
}

// One step in the making.
struct Draft {
    const JournalEntry* entry;
    const Operation* op;
    std::vector<std::string> notes;
    std::vector<std::pair<std::string, std::string>> inputs; // name, value (may be ${kept})
    std::optional<int> record;
    std::vector<std::pair<std::string, std::string>> keep; // kept name, field
    std::map<std::string, std::string> kept_fields;        // response field base -> kept name
};

// What a scenario needs of an operation's fields, by the journal's field names.
struct OperationFields {
    bool untouched_made = false;
    std::map<std::string, std::string> untouched;
    std::unordered_map<std::string, const FieldInput*> inputs;
    std::unordered_map<std::string, const FieldDesc*> response;
};

} // namespace

JournalScenario scenario_from_entries(std::vector<JournalEntry> entries, const std::string& name,
                                      const std::string& golden) {
    std::stable_sort(entries.begin(), entries.end(), [](const JournalEntry& a, const JournalEntry& b) {
        return a.started_ms != b.started_ms ? a.started_ms < b.started_ms : a.id < b.id;
    });
    JournalScenario scenario;
    std::vector<Draft> drafts;
    std::vector<std::string> left_out;
    for (const JournalEntry& entry : entries) {
        const Operation* op = find_operation(entry.operation);
        // The runner keeps its own event server for the whole scenario.
        const bool event_server = op && std::string_view(op->name).starts_with("Event server");
        if (!op || event_server) {
            left_out.push_back("journal entry " + std::to_string(entry.id) + " (" +
                               entry.operation + "): " +
                               (op ? "the runner answers the terminal's questions itself"
                                   : "no operation of that name"));
            continue;
        }
        drafts.push_back({&entry, op, {}, {}, {}, {}, {}});
    }

    // Inputs, and the values earlier steps must keep for them. A journal of a busy
    // day has thousands of entries of a few operations: what depends only on the
    // operation and a field's name is found once.
    std::unordered_map<const Operation*, OperationFields> by_operation;
    // Field base and value ('\0' between) -> the latest draft that answered it.
    std::unordered_map<std::string, std::size_t> answered;
    for (std::size_t i = 0; i < drafts.size(); ++i) {
        if (i > 0 && !drafts[i - 1].entry->response.empty())
            for (const char* base : kReferenceFields)
                answered[base + std::string(1, '\0') +
                         std::string(field_value(drafts[i - 1].entry->response.front(),
                                                 std::string(base) + "Out"))] = i - 1;
        Draft& d = drafts[i];
        const Operation& op = *d.op;
        const JournalEntry& e = *d.entry;
        if (!op.request || e.request.empty())
            continue;
        OperationFields& known = by_operation[&op];
        if (!known.untouched_made) {
            known.untouched = untouched_request(op);
            known.untouched_made = true;
        }
        const std::map<std::string, std::string>& untouched = known.untouched;
        for (const JournalField& f : e.request.front().fields) {
            if (op.numbered && !d.record && f.name.find("Index") != std::string::npos) {
                if (const int n = std::atoi(f.value.c_str()); n > 0)
                    d.record = n;
            }
            auto [found, added] = known.inputs.try_emplace(f.name);
            if (added)
                found->second = find_input(op, f.name);
            const FieldInput* input = found->second;
            const auto same = untouched.find(f.name);
            if (!input || (same != untouched.end() && same->second == f.value))
                continue;
            const std::string base = base_name(f.name);
            if (input->field->kind == FieldKind::Pan || f.value.find('*') != std::string::npos) {
                d.notes.push_back(base + " is masked in the journal: give it here if the terminal "
                                         "needs it typed");
                continue;
            }
            std::string value = f.value;
            if (input->rule == InputRule::Amount && value.find_first_not_of('0') != std::string::npos)
                value.erase(0, value.find_first_not_of('0')); // as typed: "4500"
            if (is_reference(base)) {
                // The latest earlier answer that gave this value in the same field.
                if (const auto earlier = answered.find(base + std::string(1, '\0') + f.value);
                    earlier != answered.end()) {
                    const std::size_t j = earlier->second;
                    std::string& kept = drafts[j].kept_fields[base];
                    if (kept.empty()) {
                        kept = keep_name(base, static_cast<int>(j) + 1);
                        drafts[j].keep.push_back({kept, base});
                    }
                    value = "${" + kept + "}";
                }
            }
            d.inputs.push_back({base, value});
        }
        if (op.numbered && !d.record) {
            d.record = 1;
            d.notes.push_back("the record's number is not in the journal: check it");
        }
    }

    std::vector<IgnoreRule> rules;
    for (const char* rule : {"date", "time", "invoice", "auth_code"})
        rules.push_back(*named_ignore_rule(rule));
    rules.push_back(pattern_ignore_rule("BATCH [0-9]{3}", "BATCH <batch>"));
    // Most lines come back receipt after receipt (the shop, the labels, the copies'
    // headings): each distinct line goes through the rules once.
    std::unordered_map<std::string, std::string> golden_lines;
    std::unordered_map<std::string, std::string> golden_files; // the receipt's text, its file
    const bool any_receipt = std::any_of(drafts.begin(), drafts.end(),
                                         [](const Draft& d) { return !d.entry->receipt.empty(); });

    // Written by hand, not by an emitter (whose checks of every key and value took
    // most of the time): what the journal recorded is always double-quoted, so that
    // no reader takes "000000001250" for a number or "no" for false; the words the
    // writer chooses itself (keys, operation names, answers, result texts) are plain
    // when that is safe.
    std::string& y = scenario.yaml;
    y.reserve(drafts.size() * 2048); // a sale's step is about 2 kB
    y += "# Written from the journal: " + std::to_string(drafts.size()) +
         " operations, oldest first.\nname: ";
    append_yaml_quoted(y, name);
    y += '\n';
    if (any_receipt) {
        y += "ignore: [date, time, invoice, auth_code, {pattern: \"BATCH [0-9]{3}\", as: "
             "\"BATCH <batch>\"}]\ngolden: ";
        append_yaml_quoted(y, golden);
        y += '\n';
        scenario.golden = golden;
    }
    y += "steps:\n";
    // Field base and value ('\0' between) -> the name the latest step kept it by.
    std::unordered_map<std::string, std::string> kept;
    int number = 0;
    for (Draft& d : drafts) {
        const Operation& op = *d.op;
        const JournalEntry& e = *d.entry;
        ++number;
        y += "  # " + std::to_string(number) + ": journal entry " + std::to_string(e.id) + ", " +
             local_time_text(e.started_ms) + "\n";
        for (const std::string& note : d.notes)
            y += "  # " + note + "\n";
        y += "  - op: ";
        append_yaml_text(y, op.name);
        y += '\n';
        if (!d.inputs.empty() || d.record) {
            const char* separator = "    inputs: {";
            for (const auto& [field, value] : d.inputs) {
                y += std::exchange(separator, ", ");
                append_yaml_text(y, field);
                y += ": ";
                append_yaml_quoted(y, value);
            }
            if (d.record)
                y += std::exchange(separator, ", ") + std::string("record: ") +
                     std::to_string(*d.record);
            y += "}\n";
        }

        // The cashier's answers and the questions asked.
        std::vector<std::pair<std::string, std::string>> answers; // key, answer
        std::vector<std::string> asked;
        for (const JournalQuestion& q : e.questions) {
            const std::optional<Question> question = question_named(q.question);
            if (!question)
                continue;
            const std::string key = question_key(*question);
            if (std::find(asked.begin(), asked.end(), key) == asked.end())
                asked.push_back(key);
            if (auto answer = answer_of(*question, q.answer)) {
                // A question asked again keeps its latest answer, in its first place.
                const auto same = std::find_if(answers.begin(), answers.end(),
                                               [&](const auto& a) { return a.first == key; });
                if (same != answers.end())
                    same->second = std::move(*answer);
                else
                    answers.emplace_back(key, std::move(*answer));
            }
        }
        if (!answers.empty()) {
            const char* separator = "    answers: {";
            for (const auto& [key, answer] : answers)
                y += std::exchange(separator, ", ") + key + ": " + answer;
            y += "}\n";
        }

        y += "    expect:\n";
        const std::size_t expect_at = y.size();
        if (any_receipt) {
            // A receipt equal to an earlier one (after the ignore rules: the same type
            // and amount) is compared with that one's file.
            std::string text;
            for (const std::string& line : e.receipt) {
                auto [known, added] = golden_lines.try_emplace(line);
                if (added)
                    known->second = golden_line(line, rules);
                text += known->second;
                text += '\n';
            }
            auto [file, added] = golden_files.try_emplace(std::move(text));
            if (added) {
                file->second = golden_name(number, op.name);
                scenario.receipts.push_back({file->second, file->first});
            } else {
                y += "      receipt: {golden: ";
                append_yaml_quoted(y, file->second);
                y += "}\n";
            }
        }
        if (e.result_code) {
            const char* text = result_code_text(static_cast<short>(*e.result_code));
            y += "      result: ";
            if (std::string_view(text) == "Unknown")
                y += std::to_string(*e.result_code);
            else
                append_yaml_text(y, text);
            y += '\n';
        }
        const FieldOutput* status = status_output(op);
        if (status && !e.status.empty()) {
            y += "      status: ";
            append_yaml_quoted(y, e.status);
            y += '\n';
        }
        if (e.questions.empty() || !asked.empty()) {
            y += "      asked: [";
            for (const std::string& key : asked)
                y += (&key == asked.data() ? "" : ", ") + key;
            y += "]\n";
        }
        const bool answered = !e.response.empty() && e.response.front().record == op.response->name;
        if (answered) {
            y += "      fields:";
            const std::size_t fields_at = y.size();
            for (const JournalField& f : e.response.front().fields) {
                auto [found, added] = by_operation[&op].response.try_emplace(f.name);
                if (added)
                    found->second = find_response_field(op, f.name);
                const FieldDesc* field = found->second;
                if (!field || f.value.empty() || field == op.result ||
                    (status && field == status->field))
                    continue;
                const std::string base = base_name(f.name);
                y += "\n        ";
                append_yaml_text(y, base);
                y += ": ";
                if (const auto same = kept.find(base + std::string(1, '\0') + f.value);
                    same != kept.end()) {
                    append_yaml_quoted(y, "${" + same->second + "}");
                } else if (field->kind == FieldKind::Pan) {
                    append_yaml_quoted(y, f.value); // compared masked, as kept
                } else if (changes_by_nature(f.name)) {
                    y += "{pattern: ";
                    append_yaml_quoted(y, shape_pattern(f.name, f.value));
                    y += '}';
                } else if (field->kind == FieldKind::VoucherCode ||
                           f.value.find('*') != std::string::npos) {
                    y += "{pattern: ";
                    append_yaml_quoted(y, masked_pattern(f.value));
                    y += '}';
                } else {
                    append_yaml_quoted(y, f.value);
                }
            }
            y += y.size() == fields_at ? " {}\n" : "\n";
        }
        if (y.size() == expect_at)
            y.replace(expect_at - 1, 1, " {}\n");
        if (!d.keep.empty()) {
            const char* separator = "    keep: {";
            for (const auto& [kept_name, base] : d.keep) {
                y += std::exchange(separator, ", ") + kept_name + ": ";
                append_yaml_text(y, base);
                kept[base + std::string(1, '\0') +
                     std::string(field_value(e.response.front(), base + "Out"))] = kept_name;
            }
            y += "}\n";
        }
    }
    for (const std::string& note : left_out)
        scenario.yaml += "# left out: " + note + "\n";
    scenario.steps = number;
    return scenario;
}

bool write_journal_scenario(const JournalScenario& scenario, const std::string& path,
                            std::string* error) {
    if (!scenario.golden.empty()) {
        const std::string dir =
            (std::filesystem::path(path).parent_path() / scenario.golden).string() + "/";
        // A folder made now holds nobody's files: each is written straight, without
        // the temporary file, rename and sync that keep a file that was there. A
        // scenario left half-written by a crash is written again, nothing is lost.
        const bool made = !g_file_test(dir.c_str(), G_FILE_TEST_EXISTS);
        if (g_mkdir_with_parents(dir.c_str(), 0700) != 0) {
            *error = "cannot make " + dir + ": " + g_strerror(errno);
            return false;
        }
        std::string file_path = dir;
        for (const auto& [file, text] : scenario.receipts) {
            file_path.replace(dir.size(), std::string::npos, file);
            if (!write_golden_text(file_path, text, !made, error))
                return false;
        }
    }
    std::ofstream file(path, std::ios::trunc);
    file << scenario.yaml;
    file.close();
    if (!file) {
        *error = "cannot write " + path;
        return false;
    }
    return true;
}

int save_journal_scenario(const std::string& journal, const JournalQuery& query,
                          const std::vector<std::int64_t>& ids, const std::string& path,
                          std::string* error) {
    std::unique_ptr<JournalStore> store = JournalStore::open(journal, error);
    if (!store)
        return -1;
    std::vector<JournalEntry> entries;
    if (!ids.empty()) {
        for (const std::int64_t id : ids)
            if (auto entry = store->entry(id))
                entries.push_back(std::move(*entry));
    } else {
        entries = store->all(query);
    }
    if (entries.empty()) {
        *error = "no journal entry to write";
        return -1;
    }
    const std::filesystem::path file(path);
    const JournalScenario scenario = scenario_from_entries(
        std::move(entries), file.stem().string(), file.stem().string() + "-golden");
    return write_journal_scenario(scenario, path, error) ? scenario.steps : -1;
}

std::optional<std::int64_t> journal_time_bound(const std::string& text, bool end) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    char tail = 0;
    const bool with_time = text.size() == 16;
    if (text.size() != 10 && !with_time)
        return std::nullopt;
    const int read = with_time ? std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d%c", &year, &month,
                                             &day, &hour, &minute, &tail)
                               : std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &year, &month, &day, &tail);
    if (read != (with_time ? 5 : 3) || text[4] != '-' || text[7] != '-' || year < 1 ||
        !g_date_valid_dmy(static_cast<GDateDay>(day), static_cast<GDateMonth>(month),
                          static_cast<GDateYear>(year)) ||
        hour > 23 || minute > 59 || hour < 0 || minute < 0)
        return std::nullopt;
    GDateTime* start = g_date_time_new_local(year, month, day, hour, minute, 0);
    if (!start)
        return std::nullopt;
    GDateTime* bound = end ? (with_time ? g_date_time_add_minutes(start, 1)
                                        : g_date_time_add_days(start, 1))
                           : g_date_time_ref(start);
    const std::int64_t ms = g_date_time_to_unix(bound) * 1000;
    g_date_time_unref(bound);
    g_date_time_unref(start);
    return ms;
}
