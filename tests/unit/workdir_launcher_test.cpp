// The launcher that starts the console in the operator's own working folder: the same
// folder however started, owner-only, and the current one kept, with why, when unusable.
#include "test_util.h"

#include <sys/stat.h>

#include <cstdio>

namespace {

// What the launched command sees: its folder, then KELVRA_WORKDIR_ERROR (or what
// `shown` prints).
std::string launch_from(const std::string& dir,
                        const std::string& shown = "pwd; printf %s \"$KELVRA_WORKDIR_ERROR\"") {
    const std::string command = "cd '" + dir + "' && " KELVRA_SOURCE_DIR
                                "/scripts/kelvra-in-workdir sh -c '" +
                                shown + "' 2>/dev/null";
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buf[512];
        while (std::size_t n = std::fread(buf, 1, sizeof buf, pipe))
            out.append(buf, n);
        pclose(pipe);
    }
    return out;
}

TEST(WorkdirLauncher, ChoosesCreatesOwnerOnlyAndEntersOrTellsWhy) {
    const std::string root = test_work_dir() + "/workdir";
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root + "/shared");
    chmod((root + "/shared").c_str(), 0755);
    std::ofstream(root + "/a-file") << "x";
    struct Case {
        const char* name;
        const char* workdir;  // KELVRA_WORKDIR, below root (null: unset)
        const char* data;     // XDG_DATA_HOME, below root (null: unset)
        std::string expected; // below root; empty: cannot be used
    };
    for (const Case& c : {
             Case{"explicit, missing", "/w/deeper", "/data", "/w/deeper"},
             Case{"explicit, existing and open to others", "/shared", nullptr, "/shared"},
             Case{"data home", nullptr, "/data", "/data/kelvra"},
             Case{"home", nullptr, nullptr, "/home/.local/share/kelvra"},
             Case{"a file", "/a-file", nullptr, ""},
         }) {
        SCOPED_TRACE(c.name);
        const std::string workdir = c.workdir ? root + c.workdir : "";
        const std::string data = c.data ? root + c.data : "";
        ScopedEnv env_workdir("KELVRA_WORKDIR", c.workdir ? workdir.c_str() : nullptr);
        ScopedEnv env_data("XDG_DATA_HOME", c.data ? data.c_str() : nullptr);
        ScopedEnv env_home("HOME", (root + "/home").c_str());
        ScopedEnv env_error("KELVRA_WORKDIR_ERROR", "left by a parent");
        const std::string seen = launch_from(root);
        if (c.expected.empty()) {
            EXPECT_EQ(seen, root + "\nworking folder " + workdir + " not usable: File exists");
            continue;
        }
        EXPECT_EQ(seen, root + c.expected + "\n");
        struct stat st {};
        ASSERT_EQ(stat((root + c.expected).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u);
    }
}

// Receipt lines are read in the terminal's character set; the simulated terminal's
// is ISO-8859-1, which a UTF-8 desktop would not assume by itself.
TEST(WorkdirLauncher, ReadsReceiptsInTheTerminalsCharacterSetUnlessOneIsChosen) {
    ScopedEnv env_workdir("KELVRA_WORKDIR", (test_work_dir() + "/codeset").c_str());
    for (const char* chosen : {static_cast<const char*>(nullptr), "", "CP1250"}) {
        ScopedEnv env_codeset("SMB_CODESET", chosen);
        EXPECT_EQ(launch_from(test_work_dir(), "printf %s \"$SMB_CODESET\""),
                  chosen && *chosen ? chosen : "ISO-8859-1");
    }
}

} // namespace
