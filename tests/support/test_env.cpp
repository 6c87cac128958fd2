#include "test_env.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
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

namespace {

// The calling thread's own mount namespace, in which mounts do not propagate back;
// empty when it is there, else why not.
std::string private_mounts() {
    thread_local std::string why = [] {
        if (unshare(CLONE_NEWNS) != 0)
            return std::string("no private mount namespace: ") + std::strerror(errno);
        if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return std::string("mounts not private: ") + std::strerror(errno);
        return std::string();
    }();
    return why;
}

} // namespace

ReadOnly::ReadOnly(std::string path) : path_(std::move(path)) {
    struct stat st {};
    stat(path_.c_str(), &st);
    chmod(path_.c_str(), S_ISDIR(st.st_mode) ? 0500 : 0400);
    if (geteuid() != 0)
        return;
    unavailable_ = private_mounts();
    if (!unavailable_.empty())
        return;
    if (mount(path_.c_str(), path_.c_str(), nullptr, MS_BIND, nullptr) != 0) {
        unavailable_ = std::string("no bind mount: ") + std::strerror(errno);
        return;
    }
    mounted_ = true;
    if (mount(nullptr, path_.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0)
        unavailable_ = std::string("no read-only remount: ") + std::strerror(errno);
}

ReadOnly::~ReadOnly() {
    if (mounted_)
        umount2(path_.c_str(), MNT_DETACH);
    struct stat st {};
    stat(path_.c_str(), &st);
    chmod(path_.c_str(), S_ISDIR(st.st_mode) ? 0700 : 0600);
}
