#include "scenario.h"

#include "play.h"

#include "code_texts.h"

#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <set>

namespace {

constexpr Question kQuestions[] = {Question::Signature,       Question::VoiceReferral,
                                   Question::DccQuotation,    Question::Password,
                                   Question::PartialApproval, Question::Avs,
                                   Question::SuspectedFraud};

int line_of(const YAML::Node& node) { return node.Mark().line + 1; }

// What one file may expand to: YAML aliases let a few lines stand for millions of
// nodes, each of which the reader would visit (and a pattern compile). Far more
// than the longest campaign's file needs.
constexpr long kMaxExpandedNodes = 50000;

// Counts the nodes as the reader visits them (an alias once for each use), and
// stops as soon as the budget is spent.
bool expands_within(const YAML::Node& node, long& budget) {
    if (--budget < 0)
        return false;
    if (node.IsSequence()) {
        for (const YAML::Node& item : node)
            if (!expands_within(item, budget))
                return false;
    } else if (node.IsMap()) {
        for (const auto& item : node)
            if (!expands_within(item.first, budget) || !expands_within(item.second, budget))
                return false;
    }
    return true;
}

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string joined(std::initializer_list<const char*> names) {
    std::string out;
    for (const char* name : names)
        out += (out.empty() ? "" : ", ") + std::string(name);
    return out;
}

bool one_of(const std::string& key, std::initializer_list<const char*> names) {
    return std::any_of(names.begin(), names.end(), [&](const char* n) { return key == n; });
}

// Edit distance, for "did you mean".
std::size_t distance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t up = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = up;
        }
    }
    return row[b.size()];
}

std::string normalised(std::string_view name) {
    std::string out;
    for (const char c : name)
        if (c != ' ' && c != '-' && c != '_')
            out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string closest_operation(std::string_view name) {
    const std::string wanted = normalised(name);
    const char* best = nullptr;
    std::size_t best_distance = 0;
    for (const Operation& op : all_operations()) {
        const std::size_t d = distance(wanted, normalised(op.name));
        if (!best || d < best_distance) {
            best = op.name;
            best_distance = d;
        }
    }
    return best && best_distance <= std::max<std::size_t>(3, wanted.size() / 3) ? best : "";
}

bool positive_integer(const std::string& text, int* value) {
    if (text.empty() || text.size() > 9 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    *value = std::stoi(text);
    return *value > 0;
}

class Reader {
  public:
    Reader(std::string file, std::vector<ScenarioError>& errors)
        : file_(std::move(file)), errors_(errors) {}

    Scenario read();

  private:
    void error(const YAML::Node& node, std::string message) {
        errors_.push_back({file_, line_of(node), std::move(message)});
    }
    void error(int line, std::string message) {
        errors_.push_back({file_, line, std::move(message)});
    }
    bool scalar(const YAML::Node& node, const char* what, std::string* text) {
        if (!node.IsScalar()) {
            error(node, std::string(what) + " must be a single value");
            return false;
        }
        *text = node.Scalar();
        return true;
    }
    bool map(const YAML::Node& node, const char* what) {
        if (node.IsMap())
            return true;
        error(node, std::string(what) + " must be a map of names to values");
        return false;
    }
    void check_kept(const YAML::Node& node, const std::string& text);
    std::optional<Expected> expected(const YAML::Node& node, const char* what);
    void read_answers(const YAML::Node& node, Answers& answers);
    void read_ignore(const YAML::Node& node, Scenario& scenario);
    void read_step(const YAML::Node& node, Step& step);
    void read_inputs(const YAML::Node& node, Step& step);
    void read_expect(const YAML::Node& node, Step& step);
    void read_keep(const YAML::Node& node, Step& step);
    // A response field or a widget of the step's operation.
    bool response_name(const YAML::Node& node, const Step& step, const std::string& name,
                       const FieldDesc** field, const FieldOutput** output);

    std::string file_;
    std::vector<ScenarioError>& errors_;
    // Each pattern is compiled once, however often the file names it.
    std::map<std::string, std::regex> patterns_;
    std::set<std::string> kept_;
};

void Reader::check_kept(const YAML::Node& node, const std::string& text) {
    for (const std::string& name : kept_names(text))
        if (!kept_.count(name) && !is_clock_value(name))
            error(node, "${" + name + "} is not kept by an earlier step");
}

std::optional<Expected> Reader::expected(const YAML::Node& node, const char* what) {
    Expected value;
    value.line = line_of(node);
    YAML::Node source = node;
    if (node.IsMap()) {
        for (const auto& item : node)
            if (item.first.Scalar() != "pattern")
                error(item.first, "unknown key '" + item.first.Scalar() + "' in " + what +
                                      " (a text, or {pattern: REGEX})");
        source.reset(node["pattern"]); // not "=": that would overwrite the node itself
        if (!source) {
            error(node, std::string(what) + ": {pattern: REGEX} without its pattern");
            return std::nullopt;
        }
        value.is_pattern = true;
    }
    if (!scalar(source, what, &value.text))
        return std::nullopt;
    check_kept(source, value.text);
    if (value.is_pattern && kept_names(value.text).empty()) {
        try {
            auto known = patterns_.find(value.text);
            if (known == patterns_.end())
                known =
                    patterns_.emplace(value.text, std::regex(value.text, std::regex::ECMAScript))
                        .first;
            value.pattern = known->second;
        } catch (const std::regex_error& e) {
            error(source, "bad pattern '" + value.text + "': " + e.what());
            return std::nullopt;
        }
    }
    return value;
}

void Reader::read_answers(const YAML::Node& node, Answers& answers) {
    if (!map(node, "answers"))
        return;
    for (const auto& item : node) {
        const std::string key = item.first.Scalar();
        const std::optional<Question> question = question_from_key(key);
        if (!question) {
            error(item.first, "unknown question '" + key +
                                  "' (signature, voice_referral, partial_approval, avs, "
                                  "password, dcc, suspected_fraud)");
            continue;
        }
        const YAML::Node& value = item.second;
        Answer answer = default_answer(*question);
        std::string text;
        auto choose = [&](std::initializer_list<const char*> names, const char* yes) {
            if (!scalar(value, key.c_str(), &text))
                return false;
            if (!one_of(text, names)) {
                error(value, "unknown answer '" + text + "' to " + key + " (" + joined(names) + ")");
                return false;
            }
            answer.yes = text == yes;
            return true;
        };
        bool ok = true;
        switch (*question) {
        case Question::Signature:
            ok = choose({"accept", "refuse"}, "accept");
            break;
        case Question::PartialApproval:
        case Question::Avs:
            ok = choose({"accept", "decline"}, "accept");
            break;
        case Question::DccQuotation:
            ok = choose({"show"}, "show");
            break;
        case Question::SuspectedFraud:
            ok = choose({"continue", "void"}, "continue");
            break;
        case Question::Password:
            if ((ok = scalar(value, key.c_str(), &text))) {
                if (text.empty()) {
                    error(value, "an empty password: give the password (quoted) or cancel");
                    ok = false;
                } else {
                    answer.password = text == "cancel" ? std::nullopt : std::optional(text);
                }
            }
            break;
        case Question::VoiceReferral: {
            YAML::Node choice = value;
            if (value.IsMap()) {
                for (const auto& part : value)
                    if (!one_of(part.first.Scalar(), {"answer", "code"}))
                        error(part.first, "unknown key '" + part.first.Scalar() +
                                              "' in voice_referral (answer, code)");
                choice.reset(value["answer"]);
                if (!choice) {
                    error(value, "voice_referral without its answer");
                    ok = false;
                    break;
                }
            }
            if (!(ok = scalar(choice, key.c_str(), &text)))
                break;
            if (text == "authorise") {
                answer.referral = Referral::Authorised;
                if (!value.IsMap() || !value["code"] || !value["code"].IsScalar() ||
                    value["code"].Scalar().empty()) {
                    error(value, "a voice referral authorised needs its code: "
                                 "{answer: authorise, code: \"123456\"}");
                    ok = false;
                } else {
                    answer.code = value["code"].Scalar();
                }
            } else if (text == "decline") {
                answer.referral = Referral::Declined;
            } else if (text == "none") {
                answer.referral = Referral::NoAuthorisation;
            } else {
                error(choice, "unknown answer '" + text +
                                  "' to voice_referral ({answer: authorise, code: ...}, "
                                  "decline, none)");
                ok = false;
            }
            break;
        }
        }
        if (ok)
            answers[*question] = answer;
    }
}

void Reader::read_ignore(const YAML::Node& node, Scenario& scenario) {
    if (!node.IsSequence()) {
        error(node, "ignore must be a list of rules (date, time, invoice, auth_code, "
                    "{pattern: REGEX, as: TEXT})");
        return;
    }
    for (const YAML::Node& rule : node) {
        if (rule.IsScalar()) {
            if (auto named = named_ignore_rule(rule.Scalar()))
                scenario.ignore.push_back(std::move(*named));
            else
                error(rule, "unknown ignore rule '" + rule.Scalar() +
                                "' (date, time, invoice, auth_code, {pattern: REGEX, as: TEXT})");
            continue;
        }
        if (!rule.IsMap() || !rule["pattern"] || !rule["pattern"].IsScalar()) {
            error(rule, "an ignore rule is a name or {pattern: REGEX, as: TEXT}");
            continue;
        }
        for (const auto& part : rule)
            if (!one_of(part.first.Scalar(), {"pattern", "as"}))
                error(part.first, "unknown key '" + part.first.Scalar() +
                                      "' in an ignore rule (pattern, as)");
        const std::string as = rule["as"] && rule["as"].IsScalar() ? rule["as"].Scalar()
                                                                   : "<ignored>";
        try {
            scenario.ignore.push_back(pattern_ignore_rule(rule["pattern"].Scalar(), as));
        } catch (const std::regex_error& e) {
            error(rule["pattern"], "bad pattern '" + rule["pattern"].Scalar() + "': " + e.what());
        }
    }
}

bool Reader::response_name(const YAML::Node& node, const Step& step, const std::string& name,
                           const FieldDesc** field, const FieldOutput** output) {
    if ((*field = find_response_field(*step.op, name)))
        return true;
    if ((*output = find_output_by_widget(*step.op, name)))
        return true;
    error(node, "unknown field '" + name + "' in the answer of " + step.op->name);
    return false;
}

void Reader::read_inputs(const YAML::Node& node, Step& step) {
    if (!map(node, "inputs"))
        return;
    // A scratch request on which each literal value is tried.
    std::vector<std::max_align_t> scratch;
    if (step.op->request)
        scratch.resize(step.op->request->size / sizeof(std::max_align_t) + 1);
    for (const auto& item : node) {
        const std::string key = item.first.Scalar();
        InputValue value{line_of(item.first), nullptr, {}};
        if (!scalar(item.second, key.c_str(), &value.text))
            continue;
        check_kept(item.second, value.text);
        if (lower(key) == "record" && !find_input(*step.op, key)) {
            int number = 0;
            if (!step.op->numbered)
                error(item.first, std::string("record given to ") + step.op->name +
                                      ", which fetches no record by its number");
            else if (kept_names(value.text).empty() && !positive_integer(value.text, &number))
                error(item.second, "record must be a positive number, not '" + value.text + "'");
            else
                step.record = value;
            continue;
        }
        value.input = find_input(*step.op, key);
        if (!value.input) {
            std::string names;
            for (const FieldInput& input : step.op->inputs) {
                std::string_view name = input.field->name;
                if (name.size() > 2 && name.substr(name.size() - 2) == "In")
                    name.remove_suffix(2);
                names += (names.empty() ? "" : ", ") + std::string(name);
            }
            if (step.op->numbered)
                names += (names.empty() ? "" : ", ") + std::string("record");
            error(item.first, "unknown input '" + key + "' for " + step.op->name + " (" +
                                  (names.empty() ? "it takes none" : names) + ")");
            continue;
        }
        if (kept_names(value.text).empty()) {
            // Byte by byte: a zero max_align_t copied in leaves its padding as it was.
            std::memset(scratch.data(), 0, scratch.size() * sizeof(std::max_align_t));
            if (step.op->prepare)
                step.op->prepare(scratch.data());
            std::string why;
            if (!set_input(scratch.data(), *value.input->field, value.input->rule, value.text,
                           value.input->choices, &why)) {
                error(item.second, "input '" + key + "': " + why);
                continue;
            }
        }
        step.inputs.push_back(std::move(value));
    }
}

void Reader::read_expect(const YAML::Node& node, Step& step) {
    if (!map(node, "expect"))
        return;
    for (const auto& item : node) {
        const std::string key = item.first.Scalar();
        const YAML::Node& value = item.second;
        if (key == "result") {
            std::string text;
            if (!scalar(value, "result", &text))
                continue;
            int number = 0;
            if (text == "0" || positive_integer(text, &number) ||
                (text.size() > 1 && text[0] == '-' && positive_integer(text.substr(1), &number))) {
                step.result = static_cast<short>(std::stoi(text));
                continue;
            }
            for (int code = 0; code < 256 && !step.result; ++code)
                if (lower(result_code_text(static_cast<short>(code))) == lower(text) &&
                    lower(text) != "unknown")
                    step.result = static_cast<short>(code);
            if (!step.result)
                error(value, "unknown result '" + text + "' (a code number or its text: OK, ...)");
        } else if (key == "status") {
            step.status_output = status_output(*step.op);
            if (!step.status_output) {
                error(item.first, std::string(step.op->name) + " shows no status");
                continue;
            }
            step.status = expected(value, "status");
        } else if (key == "fields") {
            if (!map(value, "fields"))
                continue;
            for (const auto& field : value) {
                FieldCheck check;
                check.line = line_of(field.first);
                check.name = field.first.Scalar();
                if (!response_name(field.first, step, check.name, &check.field, &check.output))
                    continue;
                if (auto e = expected(field.second, check.name.c_str())) {
                    check.value = std::move(*e);
                    step.fields.push_back(std::move(check));
                }
            }
        } else if (key == "asked") {
            if (!value.IsSequence()) {
                error(value, "asked must be a list of questions ([] for none)");
                continue;
            }
            step.asked.emplace();
            for (const YAML::Node& q : value) {
                const auto question = q.IsScalar() ? question_from_key(q.Scalar()) : std::nullopt;
                if (!question)
                    error(q, "unknown question '" + (q.IsScalar() ? q.Scalar() : "") +
                                 "' (signature, voice_referral, partial_approval, avs, "
                                 "password, dcc, suspected_fraud)");
                else
                    step.asked->push_back(*question);
            }
        } else if (key == "receipt") {
            if (value.IsScalar() && (value.Scalar() == "golden" || value.Scalar() == "none")) {
                step.receipt = value.Scalar() == "golden" ? ReceiptCheck::Golden : ReceiptCheck::None;
            } else if (value.IsMap() && value.size() == 1 && value["golden"]) {
                // Another step's file: steps that print the same receipt share one.
                step.receipt = ReceiptCheck::Golden;
                const std::string shown = value["golden"].IsScalar() ? value["golden"].Scalar() : "";
                const std::filesystem::path file = std::filesystem::path(shown).lexically_normal();
                if (shown.empty() || file.is_absolute() || *file.begin() == ".." ||
                    file.filename().empty())
                    error(value["golden"], "receipt: golden must name a file inside the golden "
                                           "folder, not '" + shown + "'");
                else
                    step.golden_file = file.string();
            } else if (value.IsSequence()) {
                step.receipt = ReceiptCheck::Patterns;
                for (const YAML::Node& p : value) {
                    // A plain text is a pattern too.
                    YAML::Node source = p;
                    if (!p.IsMap()) {
                        source.reset(YAML::Node(YAML::NodeType::Map));
                        source["pattern"] = p;
                    }
                    if (auto e = expected(source, "receipt")) {
                        e->line = line_of(p);
                        step.receipt_patterns.push_back(std::move(*e));
                    }
                }
            } else {
                error(value, "receipt must be golden, {golden: FILE}, none or a list of patterns");
            }
        } else {
            error(item.first, "unknown expectation '" + key +
                                  "' (result, status, fields, asked, receipt)");
        }
    }
}

void Reader::read_keep(const YAML::Node& node, Step& step) {
    if (!map(node, "keep"))
        return;
    for (const auto& item : node) {
        Keep keep;
        keep.line = line_of(item.first);
        keep.name = item.first.Scalar();
        std::string field;
        if (!scalar(item.second, keep.name.c_str(), &field) ||
            !response_name(item.second, step, field, &keep.field, &keep.output))
            continue;
        step.keep.push_back(std::move(keep));
    }
}

void Reader::read_step(const YAML::Node& node, Step& step) {
    step.line = line_of(node);
    if (!node.IsMap()) {
        error(node, "a step must be a map with at least 'op'");
        return;
    }
    for (const auto& item : node)
        if (!one_of(item.first.Scalar(),
                    {"op", "name", "inputs", "answers", "expect", "keep", "repeat"}))
            error(item.first, "unknown step key '" + item.first.Scalar() +
                                  "' (op, name, inputs, answers, expect, keep, repeat)");
    const YAML::Node op = node["op"];
    std::string op_name;
    if (!op) {
        error(node, "a step needs an 'op'");
        return;
    }
    if (!scalar(op, "op", &op_name))
        return;
    step.op = find_operation(op_name);
    if (!step.op) {
        const std::string closest = closest_operation(op_name);
        error(op, "unknown operation '" + op_name + "'" +
                      (closest.empty() ? "" : " (did you mean '" + closest + "'?)") +
                      "; kelvra-run --list names them all");
        return;
    }
    step.name = step.op->name;
    if (node["name"])
        scalar(node["name"], "name", &step.name);
    if (node["repeat"]) {
        std::string text;
        if (scalar(node["repeat"], "repeat", &text) && !positive_integer(text, &step.repeat))
            error(node["repeat"], "repeat must be a positive integer, not '" + text + "'");
    }
    if (node["inputs"])
        read_inputs(node["inputs"], step);
    if (step.op->numbered && !step.record)
        error(op, std::string(step.op->name) +
                      " fetches one record by its number: give it as 'record: N' in the inputs");
    if (node["answers"])
        read_answers(node["answers"], step.answers);
    if (node["expect"])
        read_expect(node["expect"], step);
    if (node["keep"]) {
        read_keep(node["keep"], step);
        for (const Keep& keep : step.keep)
            kept_.insert(keep.name);
    }
}

Scenario Reader::read() {
    Scenario scenario;
    scenario.file = file_;
    scenario.name = std::filesystem::path(file_).stem().string();
    YAML::Node root;
    try {
        root = YAML::LoadFile(file_);
    } catch (const YAML::BadFile&) {
        error(0, "cannot read the file");
        return scenario;
    } catch (const YAML::ParserException& e) {
        error(e.mark.line + 1, "YAML syntax: " + e.msg);
        return scenario;
    }
    if (!root.IsMap()) {
        error(root.IsNull() ? 1 : line_of(root), "a scenario is a map with its steps");
        return scenario;
    }
    // A file without aliases holds fewer values than bytes: a long one written from
    // a day's journal (40 values a step) is read whole; only aliases expand beyond.
    std::error_code failed;
    const std::uintmax_t bytes = std::filesystem::file_size(file_, failed);
    const long bound = failed || bytes <= static_cast<std::uintmax_t>(kMaxExpandedNodes)
                           ? kMaxExpandedNodes
                           : static_cast<long>(std::min<std::uintmax_t>(bytes, 1L << 30));
    if (long budget = bound; !expands_within(root, budget)) {
        error(1, "the file expands to more than " + std::to_string(bound) +
                     " values (YAML aliases?); split it into several scenarios");
        return scenario;
    }
    for (const auto& item : root)
        if (!one_of(item.first.Scalar(), {"name", "policy", "ignore", "golden", "steps"}))
            error(item.first, "unknown key '" + item.first.Scalar() +
                                  "' (name, policy, ignore, golden, steps)");
    if (root["name"])
        scalar(root["name"], "name", &scenario.name);
    if (root["policy"])
        read_answers(root["policy"], scenario.policy);
    if (root["ignore"])
        read_ignore(root["ignore"], scenario);
    if (root["golden"]) {
        std::string dir;
        // Inside the scenario's folder: --record-golden writes there and nowhere else.
        const bool read = scalar(root["golden"], "golden", &dir);
        const std::filesystem::path normal = std::filesystem::path(dir).lexically_normal();
        if (read && (normal.is_absolute() || (!normal.empty() && *normal.begin() == "..")))
            error(root["golden"],
                  "golden must name a folder inside the scenario's folder, not '" + dir + "'");
        else if (read)
            scenario.golden =
                (std::filesystem::path(file_).parent_path() / dir).lexically_normal().string();
    }
    const YAML::Node steps = root["steps"];
    if (!steps || !steps.IsSequence() || steps.size() == 0) {
        error(steps ? line_of(steps) : 1, "a scenario needs 'steps', a list of steps");
        return scenario;
    }
    int number = 0;
    for (const YAML::Node& node : steps) {
        Step step;
        step.number = ++number;
        read_step(node, step);
        if (step.receipt == ReceiptCheck::Unchecked && !scenario.golden.empty())
            step.receipt = ReceiptCheck::Golden;
        if (step.receipt == ReceiptCheck::Golden && scenario.golden.empty())
            error(step.line, "receipt: golden needs the scenario's 'golden' folder");
        if (step.op)
            scenario.steps.push_back(std::move(step));
    }
    return scenario;
}

} // namespace

Answer default_answer(Question question) {
    Answer answer;
    if (question == Question::Password)
        answer.password = std::nullopt;
    return answer; // accept, continue, show; no voice authorisation; password cancelled
}

std::vector<std::string> kept_names(const std::string& text) {
    std::vector<std::string> names;
    for (std::size_t at = text.find("${"); at != std::string::npos; at = text.find("${", at + 2)) {
        const std::size_t end = text.find('}', at + 2);
        if (end == std::string::npos)
            break;
        names.push_back(text.substr(at + 2, end - at - 2));
    }
    return names;
}

Scenario parse_scenario_file(const std::string& path, std::vector<ScenarioError>& errors) {
    return Reader(path, errors).read();
}
