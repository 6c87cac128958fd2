// What the runner prints while it plays: one line per step and, for a long campaign
// on a terminal, a progress bar kept on the last line.
#pragma once

#include "results.h"

#include <ostream>
#include <string>

class Progress {
  public:
    // `bar`: draw the bar (the output is a terminal and the campaign is long).
    // `json`: one JSON object a line per step instead, no bar and no summary.
    Progress(std::ostream& out, int total, bool bar, bool json = false)
        : out_(out), total_(total), bar_(bar && !json), json_(json) {}
    // The step's line, its failures under it, then the bar again (or its JSON line).
    void step(const StepResult& result);
    // Removes the bar and prints the summary line (nothing for JSON lines).
    void finish(double seconds);

    int passed() const { return passed_; }
    int failed() const { return failed_; }

  private:
    void clear_bar();
    void draw_bar();

    std::ostream& out_;
    int total_ = 0;
    bool bar_ = false;
    bool json_ = false;
    int done_ = 0, passed_ = 0, failed_ = 0;
};

// "[ 3/42] sale.yaml:12 SALE  ok  2.1 ms", without the failures.
std::string step_line(int number, int total, const StepResult& result);
// The step as one line of JSON (no line feed): its number, the file and line, name,
// operation, whether it passed, its time, its failures and its receipt lines.
std::string step_json(int number, int total, const StepResult& result);
