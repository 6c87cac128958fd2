// The engine: plays checked scenarios against the terminal library, answers the
// terminal's questions by each step's answers over the scenario's policy, collects
// each step's receipt lines and checks what the step expects.
#pragma once

#include "results.h"
#include "scenario.h"

#include <iostream>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

struct RunOptions {
    std::string junit = "kelvra-run-report.xml"; // empty: no report
    bool record_golden = false;
    int print_port = 5187;
    std::string journal = "journal.db"; // empty: no journal
    bool progress_bar = false;          // when the output is a terminal
    bool json = false;                  // JSON lines instead of the progress lines
};

struct CampaignResult {
    std::vector<ScenarioError> errors; // of the files; nothing was played then
    std::vector<SuiteResult> suites;
    int played = 0, failed = 0;
};

// Reads every file, then (when none has an error) plays them in order. Steps and
// the summary go to `out`, errors to `err`. Returns the exit status: 0 every step
// held, 1 a step failed, 2 a file is wrong or the runner could not start.
int run_campaign(const std::vector<std::string>& files, const RunOptions& options,
                 std::ostream& out, std::ostream& err = std::cerr,
                 CampaignResult* result = nullptr);

// Every operation with its inputs and outputs, for --list.
void list_operations(std::ostream& out);

// "${now:FORMAT}": the local time now, by strftime's FORMAT ("${now:%y}" is "26").
bool is_clock_value(std::string_view name);
std::string clock_value(std::string_view name);

// "${name}" replaced by the kept values and the clock; false with *missing set when
// one is not kept.
bool substitute(const std::string& text, const std::map<std::string, std::string>& kept,
                std::string* out, std::string* missing);

// Does `actual` hold for `want`? A text must be the whole value, a pattern is
// searched in it; kept values are put in first. *shown gets what was expected, for
// the report; *problem why it could not be compared (a value not kept, a bad pattern).
bool expected_holds(const Expected& want, const std::string& actual,
                    const std::map<std::string, std::string>& kept, std::string* shown,
                    std::string* problem);
