#include "test_env.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace {

struct WorkDir {
    std::string path;
    bool owned = true;
    WorkDir() {
        // A console child started by a test runs in the folder its parent chose.
        if (std::getenv("KELVRA_TEST_CHILD")) {
            path = std::filesystem::current_path().string();
            owned = false;
            return;
        }
        char pattern[] = "/tmp/kelvra-test-XXXXXX";
        if (!mkdtemp(pattern)) {
            std::perror("mkdtemp");
            std::abort();
        }
        path = pattern;
        if (chdir(path.c_str()) != 0) {
            std::perror("chdir");
            std::abort();
        }
        setenv("HOME", path.c_str(), 1);
        setenv("KELVRA_WORKDIR", path.c_str(), 1); // for launched scripts; the console stays here
        setenv("KORVEX_SIM_STATE_DIR", (path + "/sim-state").c_str(), 1);
        setenv("KORVEX_SIM_DELAY", "0", 0);
    }
    ~WorkDir() {
        if (!owned)
            return;
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

WorkDir& work_dir() {
    static WorkDir dir;
    return dir;
}

// Set up before main() runs, before any library call reads the environment.
const bool initialised = (work_dir(), true);

} // namespace

const std::string& test_work_dir() { return work_dir().path; }
