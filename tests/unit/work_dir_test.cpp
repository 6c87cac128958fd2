// The console's working folder: the same whichever way the console is started,
// created owner-only when missing, and left alone when it cannot be used.
#include "test_util.h"
#include "work_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string current_dir() {
    return std::filesystem::current_path().string();
}

TEST(WorkDir, ChosenFromTheEnvironmentCreatedOwnerOnlyAndEntered) {
    const std::string root = test_work_dir() + "/workdir";
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root + "/shared");
    chmod((root + "/shared").c_str(), 0755);
    std::filesystem::create_directories(root + "/loose/kelvra");
    chmod((root + "/loose/kelvra").c_str(), 0755);
    std::ofstream(root + "/a-file") << "x";
    struct Case {
        const char* name;
        const char* workdir;  // KELVRA_WORKDIR, below root (null: unset)
        const char* data;     // XDG_DATA_HOME, below root (null: unset)
        std::string expected; // below root; empty: cannot be used
        mode_t mode;          // of the folder afterwards
    };
    for (const Case& c : {
             Case{"explicit, missing", "/w/deeper", "/data", "/w/deeper", 0700},
             Case{"explicit, existing keeps its mode", "/shared", nullptr, "/shared", 0755},
             Case{"data home", nullptr, "/data", "/data/kelvra", 0700},
             Case{"data home, existing and loose", nullptr, "/loose", "/loose/kelvra", 0700},
             Case{"home", nullptr, nullptr, "/home/.local/share/kelvra", 0700},
             Case{"a file", "/a-file", nullptr, "", 0},
         }) {
        SCOPED_TRACE(c.name);
        const std::string workdir = c.workdir ? root + c.workdir : "";
        const std::string data = c.data ? root + c.data : "";
        ScopedEnv env_workdir("KELVRA_WORKDIR", c.workdir ? workdir.c_str() : nullptr);
        ScopedEnv env_data("XDG_DATA_HOME", c.data ? data.c_str() : nullptr);
        ScopedEnv env_home("HOME", (root + "/home").c_str());
        ASSERT_EQ(chdir(test_work_dir().c_str()), 0);
        std::string error;
        const bool entered = enter_work_dir(&error);
        const std::string now = current_dir();
        ASSERT_EQ(chdir(test_work_dir().c_str()), 0);
        if (c.expected.empty()) {
            EXPECT_FALSE(entered);
            EXPECT_NE(error.find(workdir), std::string::npos) << error;
            EXPECT_EQ(now, test_work_dir()) << "the current folder must stay";
            continue;
        }
        ASSERT_TRUE(entered) << error;
        EXPECT_EQ(now, root + c.expected);
        struct stat st {};
        ASSERT_EQ(stat(now.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, c.mode);
    }
}

} // namespace
