// A scenario file read and checked: every step's operation, inputs, answers and
// expectations resolved against the operations' tables before anything is played,
// each with the line of the file it came from.
#pragma once

#include "cashier.h"
#include "golden.h"
#include "operations.h"

#include <map>
#include <optional>
#include <regex>
#include <string>
#include <vector>

// A text that may name kept values ("${invoice}"), or a pattern.
struct Expected {
    int line = 0;
    std::string text; // the text, or the pattern's source
    bool is_pattern = false;
    std::regex pattern;
};

struct InputValue {
    int line = 0;
    const FieldInput* input;
    std::string text; // may name kept values
};

// One answer to one of the cashier's questions.
struct Answer {
    bool yes = true;                                // accept / continue / show
    Referral referral = Referral::NoAuthorisation;  // voice referral
    std::string code;                               // voice referral's code
    std::optional<std::string> password;            // nullopt: cancel
};
using Answers = std::map<Question, Answer>;

// The default answers, when neither the step nor the scenario gives one.
Answer default_answer(Question question);

enum class ReceiptCheck { Unchecked, Golden, None, Patterns };

struct FieldCheck {
    int line = 0;
    std::string name;
    const FieldDesc* field = nullptr;    // a record field, compared by its own text
    const FieldOutput* output = nullptr; // or a widget, compared as it is shown
    Expected value;
};

struct Keep {
    int line = 0;
    std::string name;
    const FieldDesc* field = nullptr;
    const FieldOutput* output = nullptr;
};

struct Step {
    int line = 0;
    int number = 0; // 1-based, in the file
    std::string name;
    const Operation* op = nullptr;
    std::vector<InputValue> inputs;
    std::optional<InputValue> record; // for a numbered operation (input == null)
    Answers answers;                  // this step's own
    std::optional<short> result;
    std::optional<Expected> status;
    const FieldOutput* status_output = nullptr;
    std::vector<FieldCheck> fields;
    std::optional<std::vector<Question>> asked;
    ReceiptCheck receipt = ReceiptCheck::Unchecked;
    std::string golden_file; // in the scenario's golden folder; empty: "NN-name.txt"
    std::vector<Expected> receipt_patterns;
    std::vector<Keep> keep;
    int repeat = 1;
};

struct Scenario {
    std::string file;
    std::string name;
    Answers policy;
    std::vector<IgnoreRule> ignore;
    std::string golden; // folder, resolved against the file's folder; empty: none
    std::vector<Step> steps;
};

// "FILE:LINE: message".
struct ScenarioError {
    std::string file;
    int line = 0;
    std::string message;
    std::string text() const {
        return file + (line > 0 ? ":" + std::to_string(line) : "") + ": " + message;
    }
};

// Reads and checks one file; errors are appended (a scenario with errors is
// returned as far as it could be read).
Scenario parse_scenario_file(const std::string& path, std::vector<ScenarioError>& errors);

// The names in "${name}" references of a text, in order.
std::vector<std::string> kept_names(const std::string& text);
