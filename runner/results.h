// What playing the scenarios found: one result per step played (per repetition).
#pragma once

#include <string>
#include <vector>

struct Failure {
    std::string message; // what did not hold ("status", "receipt line 3 differs ...")
    std::string expected, actual;
};

struct StepResult {
    std::string name;      // the step's name (" #2" ... for repetitions)
    std::string operation; // as the console names it
    std::string file;      // the scenario file
    int line = 0;          // of the step in it
    double seconds = 0;
    std::vector<Failure> failures;
    std::vector<std::string> receipt; // the lines printed during the step
    bool passed() const { return failures.empty(); }
};

struct SuiteResult {
    std::string name; // the scenario's name
    std::string file;
    double seconds = 0;
    std::vector<StepResult> steps;
};
