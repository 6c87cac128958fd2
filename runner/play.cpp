#include "play.h"

#include "activity.h"
#include "card_masking.h"
#include "code_texts.h"
#include "journal.h"
#include "junit.h"
#include "progress.h"
#include "receipt_server.h"
#include "terminal_text.h"

#include <algorithm>
#include <atomic>
#include <ctime>
#include <filesystem>
#include <functional>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using Kept = std::map<std::string, std::string>;

// The runner's cashier: answers every question from the event server by the
// answers of the step that runs, records which were asked.
class CashierDesk {
  public:
    // Starts the event server and the thread that waits for its events.
    void start(std::ostream& err) {
        TerminalEventOut server{};
        StartServer(&server);
        if (server.DiagRequestOut != 0 && server.DiagRequestOut != 12)
            err << "kelvra-run: the event server did not start ("
                << result_code_text(server.DiagRequestOut)
                << "): the terminal's questions will go unanswered\n";
        thread_ = std::thread([this] { loop(); });
    }
    void stop() {
        stopping_ = true;
        TerminalEventOut server{};
        StopServer(&server);
        if (thread_.joinable())
            thread_.join();
    }
    void begin(const Answers* step, const Answers* policy) {
        std::lock_guard lock(mutex_);
        step_ = step;
        policy_ = policy;
        asked_.clear();
    }
    std::set<Question> end() {
        std::lock_guard lock(mutex_);
        step_ = policy_ = nullptr;
        return std::exchange(asked_, {});
    }

  private:
    // A step may stop the event server ("Event server stop") and a later one start
    // it again: while it is down the loop asks again every few milliseconds.
    void loop() {
        while (!stopping_) {
            TerminalEventOut event{};
            WaitTerminalEvent(&event);
            if (event.DiagRequestOut == 0 && event.EventIdentifierOut != 0)
                answer(event.EventIdentifierOut);
            else if (!stopping_)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    void answer(short code) {
        const std::optional<Question> question = question_of_event(code);
        if (!question)
            return; // an announcement asks nothing
        Answer a = default_answer(*question);
        {
            std::lock_guard lock(mutex_);
            asked_.insert(*question);
            for (const Answers* answers : {policy_, step_})
                if (answers)
                    if (auto it = answers->find(*question); it != answers->end())
                        a = it->second;
        }
        const ShownQuestion shown = fetch_question(*question);
        switch (*question) {
        case Question::Signature: answer_signature(a.yes, shown.record); break;
        case Question::VoiceReferral: answer_voice_referral(a.referral, a.code, shown.record); break;
        case Question::DccQuotation: record_dcc_offer(shown.record); break;
        case Question::Password: answer_password(a.password, shown.record); break;
        case Question::PartialApproval: answer_partial_approval(a.yes, shown.record); break;
        case Question::Avs: answer_avs(a.yes, shown.record); break;
        case Question::SuspectedFraud: answer_suspected_fraud(!a.yes); break;
        }
    }

    std::thread thread_;
    std::atomic<bool> stopping_ = false;
    std::mutex mutex_;
    const Answers* step_ = nullptr;
    const Answers* policy_ = nullptr;
    std::set<Question> asked_;
};

// A record's bytes, aligned for any field, all zero. (Copying a zero max_align_t
// into them would leave its padding bytes, inside the record's fields, as they were.)
struct RecordBuffer {
    explicit RecordBuffer(std::size_t size)
        : words((size + sizeof(std::max_align_t) - 1) / sizeof(std::max_align_t) + 1) {
        zero();
    }
    void* data() { return words.data(); }
    void zero() { std::memset(words.data(), 0, words.size() * sizeof(std::max_align_t)); }
    std::vector<std::max_align_t> words;
};

std::string asked_text(const std::set<Question>& questions) {
    std::string text = "[";
    for (const Question q : questions)
        text += (text.size() > 1 ? ", " : "") + std::string(question_key(q));
    return text + "]";
}

std::string code_text(short code) {
    return std::to_string(code) + " (" + result_code_text(code) + ")";
}

// What the runner prints, writes or keeps of a text: UTF-8 as the console shows it,
// card numbers, tracks and voucher codes masked as the journal keeps them.
std::string reported(const std::string& text) {
    return mask_secret(terminal_text_utf8(text));
}

// What the runner prints, writes or keeps of a field's value: a secret field never
// shows its value ("[track data]", "[password]"), a card number or a voucher code is
// masked as the journal keeps it, any other text as reported() gives it.
std::string reported(const FieldDesc& field, const std::string& value) {
    switch (field.kind) {
    case FieldKind::Secret:
        return mask_secret(value, std::string_view(field.name).find("Track") != std::string_view::npos
                                      ? SecretKind::TrackData
                                      : SecretKind::Password);
    case FieldKind::Pan:
        return mask_secret(terminal_text_utf8(value), SecretKind::CardNumber);
    case FieldKind::VoucherCode:
        return mask_secret(terminal_text_utf8(value), SecretKind::VoucherCode);
    default:
        return reported(value);
    }
}

struct Engine {
    const RunOptions& options;
    ReceiptServer& receipts;
    CashierDesk& desk;
    // With --record-golden: each file written, by what it holds and the first step.
    std::map<std::string, std::pair<std::size_t, int>> recorded{};

    // Compares the real value; a failure shows the value, and a text expected of it,
    // as `field` is reported (a pattern is the scenario's own text).
    void check(StepResult& result, const std::string& what, const Expected& want,
               const std::string& actual, const Kept& kept, const FieldDesc* field = nullptr) {
        std::string shown, problem;
        if (!expected_holds(want, actual, kept, &shown, &problem))
            result.failures.push_back({problem.empty() ? what : what + ": " + problem,
                                       field && !want.is_pattern ? reported(*field, shown) : shown,
                                       field ? reported(*field, actual) : actual});
    }

    void check_receipt(StepResult& result, const Scenario& scenario, const Step& step,
                       const Kept& kept) {
        const std::vector<std::string>& lines = result.receipt;
        switch (step.receipt) {
        case ReceiptCheck::Unchecked:
            return;
        case ReceiptCheck::None:
            if (!lines.empty())
                result.failures.push_back({"receipt: nothing should be printed", "no receipt line",
                                           std::to_string(lines.size()) +
                                               " lines, the first: " + lines.front()});
            return;
        case ReceiptCheck::Patterns:
            for (const Expected& want : step.receipt_patterns) {
                bool found = false;
                std::string shown, problem;
                for (const std::string& line : lines)
                    if ((found = expected_holds(want, line, kept, &shown, &problem)))
                        break;
                if (lines.empty())
                    expected_holds(want, "", kept, &shown, &problem);
                if (!found)
                    result.failures.push_back(
                        {"receipt: no line matches" + (problem.empty() ? "" : ": " + problem),
                         shown, std::to_string(lines.size()) + " lines printed"});
            }
            return;
        case ReceiptCheck::Golden: {
            std::vector<std::string> golden;
            golden.reserve(lines.size());
            for (const std::string& line : lines)
                golden.push_back(golden_line(line, scenario.ignore));
            const std::string path =
                step.golden_file.empty()
                    ? golden_path(scenario.golden, step.number, step.name)
                    : (std::filesystem::path(scenario.golden) / step.golden_file).string();
            if (options.record_golden) {
                // Steps that share a file must print the same receipt: the last one
                // written would otherwise fail the others on the next run.
                std::size_t hash = 0;
                for (const std::string& line : golden)
                    hash = hash * 31 + std::hash<std::string>{}(line);
                const auto [first, added] = recorded.try_emplace(path, hash, step.number);
                if (!added && first->second.first != hash) {
                    result.failures.push_back(
                        {"receipt: differs from the one step " +
                             std::to_string(first->second.second) + " recorded in the same file",
                         path, "not written"});
                    return;
                }
                std::string error;
                if (!write_golden(path, golden, &error))
                    result.failures.push_back({"receipt: " + error, path, "not written"});
                return;
            }
            const GoldenDifference difference = compare_golden(path, golden);
            if (!difference.message.empty())
                result.failures.push_back(
                    {"receipt: " + difference.message, difference.expected, difference.actual});
            return;
        }
        }
    }

    // The voucher codes of the step's answer, whose receipts print them whole.
    std::vector<std::string> voucher_codes{};

    // Nothing leaves a step in full: what is printed and written of it is masked.
    StepResult finished(StepResult result, Clock::time_point started) {
        mask_voucher_codes(result.receipt, {JournalRecord{"", {}, std::exchange(voucher_codes, {})}});
        for (std::string& line : result.receipt)
            line = mask_secret(line);
        for (Failure& failure : result.failures) {
            failure.message = reported(failure.message);
            failure.expected = reported(failure.expected);
            failure.actual = reported(failure.actual);
        }
        result.seconds = std::chrono::duration<double>(Clock::now() - started).count();
        return result;
    }

    StepResult play(const Scenario& scenario, const Step& step, int repetition, Kept& kept) {
        StepResult result;
        result.name = step.repeat > 1 ? step.name + " #" + std::to_string(repetition) : step.name;
        result.operation = step.op->name;
        result.file = scenario.file;
        result.line = step.line;
        const auto started = Clock::now();
        const Operation& op = *step.op;

        // The request, as the console builds it.
        RecordBuffer request(op.request ? op.request->size : 0);
        if (op.request && op.prepare)
            op.prepare(request.data());
        for (const InputValue& input : step.inputs) {
            std::string text, missing, why;
            if (!substitute(input.text, kept, &text, &missing))
                result.failures.push_back({std::string("input ") + input.input->field->name +
                                               ": ${" + missing + "} was not kept",
                                           input.text, "nothing kept"});
            else if (!set_input(request.data(), *input.input->field, input.input->rule, text,
                                input.input->choices, &why))
                result.failures.push_back(
                    {std::string("input ") + input.input->field->name + " refused: " + why, "",
                     reported(*input.input->field, text)});
        }
        int record_number = 0;
        if (step.record) {
            std::string text, missing;
            if (!substitute(step.record->text, kept, &text, &missing) ||
                (record_number = std::atoi(text.c_str())) <= 0)
                result.failures.push_back({"record: not a record number", step.record->text, text});
        }
        if (!result.failures.empty())
            return finished(std::move(result), started); // nothing sent

        RecordBuffer response(op.response->size);
        receipts.clear();
        desk.begin(&step.answers, &scenario.policy);
        short code = 0;
        JournalRecord answer;
        {
            OperationActivity activity(op.name);
            if (op.request)
                activity.request(journal_record(*op.request, request.data()));
            code = run_operation(op, op.request ? request.data() : nullptr, response.data(),
                                 record_number);
            answer = journal_record(*op.response, response.data());
            activity.response(answer);
            if (!op.result)
                activity.result(code);
        }
        const std::set<Question> asked = desk.end();
        // Checked as the journal keeps them (in UTF-8); reported masked, at the end
        // of the step.
        result.receipt = receipts.take();
        voucher_codes = answer.voucher_codes;

        if (step.result && code != *step.result)
            result.failures.push_back({"result", code_text(*step.result), code_text(code)});
        if (step.status)
            check(result, "status", *step.status,
                  shown_text(response.data(), *step.status_output->field, step.status_output->rule)
                      .value_or(""),
                  kept);
        for (const FieldCheck& field : step.fields) {
            const std::string actual =
                field.field
                    ? record_field_value(*field.field, response.data(), false).value_or("")
                    : shown_text(response.data(), *field.output->field, field.output->rule)
                          .value_or("");
            check(result, "field " + field.name, field.value, actual, kept,
                  field.field ? field.field : field.output->field);
        }
        if (step.asked) {
            const std::set<Question> want(step.asked->begin(), step.asked->end());
            if (want != asked)
                result.failures.push_back({"asked", asked_text(want), asked_text(asked)});
        }
        check_receipt(result, scenario, step, kept);
        // A kept value goes on into later inputs, receipts and reports: kept masked.
        for (const Keep& keep : step.keep)
            kept[keep.name] = reported(
                keep.field ? *keep.field : *keep.output->field,
                keep.field ? record_field_value(*keep.field, response.data(), false).value_or("")
                           : shown_text(response.data(), *keep.output->field, keep.output->rule)
                                 .value_or(""));
        return finished(std::move(result), started);
    }
};

void report_journal_failure(const std::string& reason) {
    std::cerr << "kelvra-run: the journal is not kept: " << reason << '\n';
}

void report_journal_writes(const std::string& reason) {
    if (reason.empty())
        std::cerr << "kelvra-run: the journal is written again\n";
    else
        std::cerr << "kelvra-run: journal not written: " << reason << '\n';
}

} // namespace

bool is_clock_value(std::string_view name) { return name.starts_with("now:"); }

std::string clock_value(std::string_view name) {
    const std::string format(name.substr(4));
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[128];
    const std::size_t size = std::strftime(text, sizeof text, format.c_str(), &local);
    return std::string(text, size);
}

bool substitute(const std::string& text, const Kept& kept, std::string* out,
                std::string* missing) {
    out->clear();
    std::size_t from = 0;
    for (std::size_t at = text.find("${"); at != std::string::npos; at = text.find("${", from)) {
        const std::size_t end = text.find('}', at + 2);
        if (end == std::string::npos)
            break;
        out->append(text, from, at - from);
        const std::string name = text.substr(at + 2, end - at - 2);
        if (is_clock_value(name)) {
            *out += clock_value(name);
            from = end + 1;
            continue;
        }
        const auto it = kept.find(name);
        if (it == kept.end()) {
            *missing = name;
            return false;
        }
        *out += it->second;
        from = end + 1;
    }
    out->append(text, from, std::string::npos);
    return true;
}

bool expected_holds(const Expected& want, const std::string& actual, const Kept& kept,
                    std::string* shown, std::string* problem) {
    std::string text, missing;
    if (!substitute(want.text, kept, &text, &missing)) {
        *problem = "${" + missing + "} was not kept";
        *shown = want.text;
        return false;
    }
    *shown = want.is_pattern ? "pattern " + text : text;
    if (!want.is_pattern)
        return actual == text;
    try {
        const std::regex pattern = kept_names(want.text).empty() ? want.pattern : std::regex(text);
        return std::regex_search(actual, pattern);
    } catch (const std::regex_error& e) {
        *problem = "bad pattern " + text + ": " + e.what();
        return false;
    }
}

int run_campaign(const std::vector<std::string>& files, const RunOptions& options,
                 std::ostream& out, std::ostream& err, CampaignResult* result) {
    CampaignResult local;
    CampaignResult& campaign = result ? *result : local;
    campaign = {};

    std::vector<Scenario> scenarios;
    for (const std::string& file : files)
        scenarios.push_back(parse_scenario_file(file, campaign.errors));
    if (!campaign.errors.empty()) {
        for (const ScenarioError& error : campaign.errors)
            err << error.text() << '\n';
        err << "kelvra-run: " << campaign.errors.size()
            << (campaign.errors.size() == 1 ? " error" : " errors") << "; nothing was played\n";
        return 2;
    }

    ReceiptServer receipts;
    std::string error;
    if (!receipts.start(options.print_port, &error)) {
        err << "kelvra-run: " << error << '\n';
        return 2;
    }
    if (!options.journal.empty()) {
        set_journal_failure_listener(report_journal_failure);
        set_journal_write_listener(report_journal_writes);
        journal_start(options.journal);
    }
    CashierDesk desk;
    desk.start(err);

    int total = 0;
    for (const Scenario& scenario : scenarios)
        for (const Step& step : scenario.steps)
            total += step.repeat;
    Progress progress(out, total, options.progress_bar && total > 20, options.json);
    Engine engine{options, receipts, desk};
    const auto started = Clock::now();
    for (const Scenario& scenario : scenarios) {
        SuiteResult suite;
        suite.name = scenario.name;
        suite.file = scenario.file;
        const auto suite_started = Clock::now();
        Kept kept;
        for (const Step& step : scenario.steps)
            for (int repetition = 1; repetition <= step.repeat; ++repetition) {
                suite.steps.push_back(engine.play(scenario, step, repetition, kept));
                progress.step(suite.steps.back());
            }
        suite.seconds = std::chrono::duration<double>(Clock::now() - suite_started).count();
        campaign.suites.push_back(std::move(suite));
    }
    desk.stop();
    receipts.stop();
    if (!options.journal.empty())
        journal_stop();
    progress.finish(std::chrono::duration<double>(Clock::now() - started).count());
    campaign.played = progress.passed() + progress.failed();
    campaign.failed = progress.failed();

    if (!options.junit.empty() && !write_junit_file(options.junit, campaign.suites, &error)) {
        err << "kelvra-run: " << error << '\n';
        return 2;
    }
    return campaign.failed ? 1 : 0;
}

void list_operations(std::ostream& out) {
    // One field a line: the record's field name, then the console's widget id.
    auto row = [&](const char* field, const char* widget, const char* note) {
        std::string name = field;
        name.resize(std::max<std::size_t>(name.size() + 2, 34), ' ');
        out << "    " << name << (widget ? widget : "-") << note << '\n';
    };
    for (const Operation& op : all_operations()) {
        out << op.name << '\n';
        out << "  inputs:" << (op.inputs.empty() && !op.numbered ? " none" : "") << '\n';
        for (const FieldInput& input : op.inputs)
            row(input.field->name, input.widget, "");
        if (op.numbered)
            row("record", nullptr, "  (the record's number, from 1)");
        out << "  outputs:" << (op.outputs.empty() ? " none" : "") << '\n';
        const FieldOutput* status = status_output(op);
        for (const FieldOutput& output : op.outputs)
            row(output.field->name, output.widget, &output == status ? "  (status)" : "");
    }
}
