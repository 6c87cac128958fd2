// Tracing of the library's messages (SetTraceTlvMessagesEnabelement): while it is
// on, every call is appended to a trace file in the chosen folder, with its time,
// its name and its request and response records as tag-length-value items shown
// in hex and as readable text. docs/simulated-terminal.md gives the format.
#pragma once

#include <optional>
#include <string>

namespace sim {

// The name of the trace file inside the trace folder.
inline constexpr const char* kTraceFileName = "korvex-trace.log";

// The folder of the trace file while tracing is on, else empty. Any thread.
std::string trace_folder();

// Switches tracing. An empty folder means the default one (trace/ in the state
// folder, created when missing). Returns 0 and writes back the folder in use, or
// 3 "Bad Request Format" for a folder that does not exist or cannot be written,
// which also switches tracing off. `on` receives the state applied.
short set_tracing(std::string& folder, bool& on);

// Appends one call to the trace file of `folder`. A response of nullopt is a call
// whose answer is not traced (shown as such).
void write_trace_entry(const std::string& folder, const char* call, const std::string& request,
                       const std::optional<std::string>& response);

// The text of one entry, as written (for the file and its tests).
std::string format_trace_entry(const std::string& time, const char* call,
                               const std::string& request,
                               const std::optional<std::string>& response);

} // namespace sim
