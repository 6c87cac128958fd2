#include "sim_trace.h"

#include "sim_core.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace sim {
namespace {

constexpr short kOk = 0;
constexpr short kBadRequestFormat = 3;

// The tags of a trace entry's items.
constexpr unsigned kTagCall = 0x01;
constexpr unsigned kTagRequest = 0x02;
constexpr unsigned kTagResponse = 0x03;
constexpr std::size_t kBytesPerRow = 16;

struct Trace {
    std::mutex mutex; // the folder, and the file's writes
    std::atomic<bool> enabled{false};
    std::string folder;
};

Trace& trace() {
    static Trace t;
    return t;
}

// The time of the terminal's clock, with milliseconds from the system's.
std::string trace_time() {
    const auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
    const long ms = static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(since_epoch).count() % 1000);
    const std::tm local = clock_local();
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    char with_ms[48];
    std::snprintf(with_ms, sizeof with_ms, "%s.%03ld", text, ms);
    return with_ms;
}

void append_item(std::string& out, unsigned tag, const char* name, const std::string& value) {
    char head[64];
    std::snprintf(head, sizeof head, "  T=%02X L=%04zu %s\n", tag, value.size(), name);
    out += head;
    for (std::size_t row = 0; row < value.size(); row += kBytesPerRow) {
        char line[32];
        std::snprintf(line, sizeof line, "    %04zX ", row);
        out += line;
        std::string readable;
        for (std::size_t i = row; i < row + kBytesPerRow; ++i) {
            if (i < value.size()) {
                const auto byte = static_cast<unsigned char>(value[i]);
                char hex[4];
                std::snprintf(hex, sizeof hex, " %02X", byte);
                out += hex;
                readable.push_back(byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : '.');
            } else {
                out += "   ";
            }
        }
        out += "  |" + readable + "|\n";
    }
}

bool writable_folder(const std::string& folder) {
    struct stat st {};
    if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    // Opening the file itself is the only test that holds for every user, root included.
    const std::string path = folder + "/" + kTraceFileName;
    const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

} // namespace

std::string trace_folder() {
    Trace& t = trace();
    if (!t.enabled.load())
        return {};
    std::lock_guard lock(t.mutex);
    return t.enabled ? t.folder : std::string();
}

short set_tracing(std::string& folder, bool& on) {
    Trace& t = trace();
    if (folder.empty()) {
        folder = state_dir() + "/trace";
        make_dirs(folder);
    }
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    std::lock_guard lock(t.mutex);
    if (!writable_folder(folder)) {
        t.enabled = false;
        on = false;
        return kBadRequestFormat;
    }
    t.folder = folder;
    t.enabled = on;
    return kOk;
}

std::string format_trace_entry(const std::string& time, const char* call,
                               const std::string& request,
                               const std::optional<std::string>& response) {
    std::string out = time + " " + call + "\n";
    append_item(out, kTagCall, "call", call);
    append_item(out, kTagRequest, "request", request);
    if (response)
        append_item(out, kTagResponse, "response", *response);
    else
        out += "  response not traced\n";
    return out;
}

void write_trace_entry(const std::string& folder, const char* call, const std::string& request,
                       const std::optional<std::string>& response) {
    const std::string entry = format_trace_entry(trace_time(), call, request, response);
    Trace& t = trace();
    std::lock_guard lock(t.mutex);
    const std::string path = folder + "/" + kTraceFileName;
    const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return; // the folder went away: the call itself goes on
    std::size_t written = 0;
    while (written < entry.size()) {
        const ssize_t n = write(fd, entry.data() + written, entry.size() - written);
        if (n <= 0)
            break;
        written += static_cast<std::size_t>(n);
    }
    close(fd);
}

} // namespace sim
