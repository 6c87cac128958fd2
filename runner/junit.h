// The JUnit XML report a CI server reads: one test suite per scenario, one test
// case per step played.
#pragma once

#include "results.h"

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

// Text made safe for XML content and attribute values.
std::string xml_escape(std::string_view text);

void write_junit(std::ostream& out, const std::vector<SuiteResult>& suites);
// False with *error set when the file cannot be written.
bool write_junit_file(const std::string& path, const std::vector<SuiteResult>& suites,
                      std::string* error);
