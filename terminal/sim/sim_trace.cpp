#include "sim_trace.h"

#include "card_masking.h"
#include "korvex.h"
#include "sim_core.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstddef>
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

// The fields of the calls that carry a secret. Traces are mailed to support: the
// file never holds a password, track data or a whole voucher code.
struct SecretField {
    const char* call;
    bool response; // in the response record, else in the request
    std::size_t offset, width;
    SecretKind kind;
};
#define SIM_SECRET(call, response, Record, field, kind)                                           \
    SecretField { call, response, offsetof(Record, field), sizeof(Record::field), SecretKind::kind }
#define SIM_VOUCHER(k)                                                                             \
    SecretField {                                                                                  \
        "DoMobileTopUpTransaction", true,                                                          \
            offsetof(MobileTopUpRespOut, VoucherRecordsOut) + (k) * sizeof(VoucherRecordOut) +     \
                offsetof(VoucherRecordOut, VoucherCodeOut),                                        \
            sizeof(VoucherRecordOut::VoucherCodeOut), SecretKind::VoucherCode                      \
    }
const SecretField kSecretFields[] = {
    SIM_SECRET("SetPassword", false, SetPasswordIn, PasswordIn, Password),
    SIM_SECRET("DoMobileTopUpTransaction", false, MobileTopUpReqIn, GSMPasswordIn, Password),
    SIM_SECRET("ReadSwipeCardTracks", true, ReadTracks_out, Track1BufferOut, TrackData),
    SIM_SECRET("ReadSwipeCardTracks", true, ReadTracks_out, Track2BufferOut, TrackData),
    SIM_SECRET("ReadSwipeCardTracks", true, ReadTracks_out, Track3BufferOut, TrackData),
    SIM_SECRET("GetVoucherRecord", true, VoucherRecordOut, VoucherCodeOut, VoucherCode),
    SIM_VOUCHER(0), SIM_VOUCHER(1), SIM_VOUCHER(2), SIM_VOUCHER(3), SIM_VOUCHER(4),
};
#undef SIM_SECRET
#undef SIM_VOUCHER

// A record as the trace shows it: passwords and track data blanked out (every byte of
// a field that held one is '*', so that not even its length shows), voucher codes but
// their last four characters and card numbers anywhere masked.
std::string traced_record(const char* call, bool response, std::string bytes) {
    for (const SecretField& f : kSecretFields) {
        if (f.response != response || std::strcmp(f.call, call) != 0 ||
            f.offset + f.width > bytes.size())
            continue;
        char* field = bytes.data() + f.offset;
        const std::string text(field, strnlen(field, f.width));
        if (f.kind == SecretKind::VoucherCode) {
            const std::string masked = mask_secret(text, f.kind);
            std::memcpy(field, masked.data(), masked.size());
        } else if (!text.empty()) {
            std::memset(field, '*', f.width);
        }
    }
    return mask_secret(bytes);
}

// The trace file, owner-only; a link in its place is refused rather than followed
// (into a file of someone else's choosing), and a file made wider is narrowed.
int open_trace_file(const std::string& folder) {
    const std::string path = folder + "/" + kTraceFileName;
    const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    struct stat st {};
    if (fd >= 0 && fstat(fd, &st) == 0 && (st.st_mode & 077) != 0)
        fchmod(fd, 0600);
    return fd;
}

bool writable_folder(const std::string& folder) {
    struct stat st {};
    if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    // Opening the file itself is the only test that holds for every user, root included.
    const int fd = open_trace_file(folder);
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
    const std::string entry =
        format_trace_entry(trace_time(), call, traced_record(call, false, request),
                           response ? std::optional(traced_record(call, true, *response))
                                    : std::nullopt);
    Trace& t = trace();
    std::lock_guard lock(t.mutex);
    const int fd = open_trace_file(folder);
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
