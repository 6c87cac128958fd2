#include "file_notice.h"

#include <glib.h>
#include <glib/gstdio.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <unistd.h>

namespace {

std::mutex notice_mutex;
std::map<std::string, std::string> write_errors; // by file, only the failing ones

std::string current_folder() {
    gchar* folder = g_get_current_dir();
    std::string text = folder;
    g_free(folder);
    return text;
}

} // namespace

void report_file_write(const std::string& file, const std::string& error) {
    std::lock_guard guard(notice_mutex);
    if (error.empty())
        write_errors.erase(file);
    else
        write_errors[file] = error;
}

void check_settings_folder() {
    gchar* probe = g_strdup(".ECRConf-XXXXXX");
    const int fd = g_mkstemp_full(probe, 0, 0600);
    if (fd < 0) {
        report_file_write("ECRConf",
                          "cannot write in " + current_folder() + ": " + std::strerror(errno));
    } else {
        close(fd);
        g_unlink(probe);
        report_file_write("ECRConf", "");
    }
    g_free(probe);
}

FileNotice file_notice() {
    FileNotice notice;
    auto add = [&notice](const std::string& text, const std::string& reason) {
        notice.text += (notice.text.empty() ? "" : ", ") + text;
        notice.reasons += (notice.reasons.empty() ? "" : "\n") + reason;
    };
    if (const char* workdir = g_getenv("KELVRA_WORKDIR_ERROR"); workdir && *workdir)
        add("Working folder not used",
            std::string(workdir) + ". The console keeps its files in " + current_folder() + ".");
    std::lock_guard guard(notice_mutex);
    for (const auto& [file, error] : write_errors)
        add(file + " not saved", file + ": " + error + ".");
    return notice;
}
