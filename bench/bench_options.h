// The command line of the benchmarks: "--name N" numbers, each with its floor, and
// "--dir FOLDER", the folder a benchmark works in (a new temporary one by default).
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>

#include <unistd.h>

struct BenchNumber {
    const char* name; // "--sales"
    long* value;      // keeps its default when the option is not given
    long floor;
};

// Reads the options; returns the --dir given, or "".
inline std::string parse_bench_options(int argc, char** argv,
                                       std::initializer_list<BenchNumber> numbers) {
    std::string dir;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--dir")
            dir = argv[i + 1];
        for (const BenchNumber& n : numbers)
            if (name == n.name)
                *n.value = std::max(n.floor, std::atol(argv[i + 1]));
    }
    return dir;
}

// `dir` when given, else a new folder "<prefix>-XXXXXX" under $TMPDIR (or /tmp).
// Ends the program when it cannot be made.
inline std::string bench_folder(const std::string& dir, const char* prefix) {
    if (!dir.empty())
        return dir;
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + prefix + "-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        std::exit(1);
    }
    return pattern;
}
