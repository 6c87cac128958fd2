// The print-job wire format between a terminal and the till's print server, from
// the sending side: the style codes, the printer's character set, the framing of
// one job, the 17-byte status reply, and one job over one connection. No toolkit:
// the simulated terminal (libkorvex), the console and the testers' tool share it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The till's print port (`portno`).
inline constexpr int kPrintPort = 5187;

// Fields of the 17-byte status reply.
inline constexpr int TAG_ECR_PRINT_JOB_STATUS = 0x00080016;
inline constexpr short DO_PRINTRESPONSE_TAG = 0x2101;
inline constexpr int LengthPrintJobStatus = 1;
inline constexpr std::size_t kPrintReplySize = 17;
inline constexpr std::size_t kPrintReplyHeaderSize = 8;

// Fields of a print job.
inline constexpr std::uint16_t kPrintJobType = 0x2100;
inline constexpr std::uint16_t kPrintProtocolVersion = 0x0200; // highest accepted
inline constexpr std::uint32_t kPrintLineTag = 0x00080015;
inline constexpr std::size_t kPrintHeaderSize = 8;    // length, version, type
inline constexpr std::size_t kPrintTlvHeaderSize = 8; // Tag, Length
// The till takes a job from one read of at most 127 bytes, so a print line holds
// at most 127 - 16 bytes.
inline constexpr std::size_t kPrintJobMax = 127;
inline constexpr std::size_t kPrintLineMax = kPrintJobMax - kPrintHeaderSize - kPrintTlvHeaderSize;

// How the printer shows a line (one style per line).
enum class PrintStyle { Normal, Bold, Centered, RightJustified, DoubleSize, DoubleWidth, HalfSize };

// The style codes that start a line of that style (empty for Normal).
std::string_view print_style_bytes(PrintStyle style);

// Turns UTF-8 receipt text into the printer's bytes: Latin-1 with the euro sign
// at 0x93 and the pound sign at 0xA0; control characters (which would act as
// style codes) become spaces, anything else '?'.
std::string printer_bytes_from_utf8(std::string_view text);

// A print job carrying `line` as its print line, taken as it is (the caller keeps
// it within kPrintLineMax bytes; tests send malformed jobs on purpose).
std::string encode_print_job(std::string_view line, std::uint16_t version = kPrintProtocolVersion,
                             std::uint16_t type = kPrintJobType, std::uint32_t tag = kPrintLineTag);

// The job of one receipt line: the style codes, the text in the printer's bytes
// and (when line_feed) a line feed, the text cut so that the whole job fits one
// read of the till. *cut (optional) tells whether text was dropped.
std::string encode_print_line(PrintStyle style, std::string_view utf8_text, bool line_feed = true,
                              bool* cut = nullptr);

// The 17-byte status reply with the given status byte.
void build_print_reply(unsigned char (&reply)[kPrintReplySize], unsigned char status);

// Checks a received reply: true when it is the 17-byte status reply; *status gets
// its last byte.
bool parse_print_reply(const unsigned char* reply, std::size_t size, unsigned char* status);

// One job over one connection: connects to host:port, sends `job` in one write,
// reads the reply until 17 bytes or the end of the stream, each step within
// timeout_ms. Returns false with *error set when no connection could be made or
// the send failed; the bytes received (possibly fewer than 17) are in *reply.
bool send_print_job(const char* host, int port, std::string_view job, std::string* reply,
                    std::string* error, int timeout_ms = 5000);
