#include "work_dir.h"

#include <glib.h>
#include <glib/gstdio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// Read afresh each time (not GLib's cached user folders), so that the folder
// follows the environment the console was started with.
std::string from_environment(const char* name) {
    const char* value = std::getenv(name);
    return value && *value ? value : "";
}

} // namespace

std::string work_dir_path() {
    if (std::string dir = from_environment("KELVRA_WORKDIR"); !dir.empty())
        return dir;
    std::string data = from_environment("XDG_DATA_HOME");
    if (data.empty()) {
        std::string home = from_environment("HOME");
        data = (home.empty() ? std::string(g_get_home_dir()) : home) + "/.local/share";
    }
    return data + "/kelvra";
}

bool enter_work_dir(std::string* error) {
    const std::string dir = work_dir_path();
    if (g_mkdir_with_parents(dir.c_str(), 0700) != 0 || chdir(dir.c_str()) != 0) {
        if (error)
            *error = "cannot use the working folder " + dir + ": " + std::strerror(errno);
        return false;
    }
    // The console's own folder holds the settings with a password and the journal:
    // the operator's alone, also when an earlier version left it readable. A folder
    // the operator chose (KELVRA_WORKDIR) keeps the mode it was given.
    if (from_environment("KELVRA_WORKDIR").empty())
        g_chmod(".", 0700);
    return true;
}
