// The print-job wire format between the terminal and the till's print server, and
// the byte rules that turn a terminal's print line into receipt text and style.
// Pure functions without the toolkit, so the fuzz target and the tools link them
// on their own.
#pragma once

#include "ecr_Routines.h" // PrintJobFont

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

// Fields of a print job.
inline constexpr std::uint16_t kPrintJobType = 0x2100;
inline constexpr std::uint16_t kPrintProtocolVersion = 0x0200; // highest accepted
inline constexpr std::size_t kPrintHeaderSize = 8;             // length, version, type
inline constexpr std::size_t kPrintTlvHeaderSize = 8;          // Tag, Length

// A job is taken from one read of at most 127 bytes; the receive buffer, the print
// line and the collected text are 128 bytes, like the pipe line to the window.
inline constexpr std::size_t kPrintBufferSize = 128;
inline constexpr std::size_t kPrintReadSize = kPrintBufferSize - 1;
// Longest print line a job can carry: 127 - 16.
inline constexpr std::size_t kPrintLineMax =
    kPrintReadSize - kPrintHeaderSize - kPrintTlvHeaderSize;
// Longest receipt text in a pipe line: the style digit, the line feed and the
// terminator must still fit in 128 bytes.
inline constexpr std::size_t kPipeTextMax = kPrintBufferSize - 3;

inline constexpr std::size_t kPrintReplySize = 17;
inline constexpr std::size_t kPrintReplyHeaderSize = 8;

// message_length of the 8-byte header at Data, or -1 when protocol_version is above
// 0x0200. Data must hold at least 8 bytes.
int ParseHeader(unsigned char* Data);

// Checks the header of the `avail` received bytes at sourceBuf. A valid print job
// (message_length == avail - 8 and at least 8, protocol_version <= 0x0200, type
// 0x2100, low 16 bits of Length non-zero) gives the low 16 bits of its Tag and
// Length fields and its print line (bytes 16 to the end) in Bufresult, a zero-filled
// buffer of kPrintBufferSize bytes (the line is cut to kPrintBufferSize - 1 bytes);
// returns true. Anything else leaves Tag, Length and Bufresult untouched and
// returns false.
bool TLVFieldUnpack(unsigned char* sourceBuf, int avail, unsigned short* Tag,
                    unsigned short* Length, unsigned char* Bufresult);

// Runs the style scan over a print line of `size` bytes: collects the receipt text
// into `text` (NUL-terminated, at most text_size - 1 bytes, an over-long text cut at
// a UTF-8 character boundary) and returns the style that the last style code of
// the line set (DEFAULT when there is none). The scan stops at the first line feed;
// a line that ends at a line feed before any text byte gives a single space. The
// pound (0xA0) and euro (0x93) bytes become their UTF-8 signs.
PrintJobFont scan_print_line(const unsigned char* line, std::size_t size, char* text,
                             std::size_t text_size);

// Length of the longest prefix of the first `length` bytes of `text` that is at
// most `limit` bytes and does not end inside a UTF-8 character.
std::size_t utf8_prefix_length(const char* text, std::size_t length, std::size_t limit);

// Formats the pipe line "<text><style digit>\n" into out (out_size bytes, at least
// 3). The text is cut at a UTF-8 character boundary so that the digit, the line
// feed and the terminator always fit. Returns the line's length.
std::size_t format_pipe_line(char* out, std::size_t out_size, const char* text, PrintJobFont font);

// Reads the style from a pipe line of `length` bytes without its line feed: the
// last byte is the style digit (a non-digit counts as DEFAULT); `text_length`
// receives the length of the text before it.
PrintJobFont split_pipe_line(const char* line, std::size_t length, std::size_t* text_length);

// The 17-byte status reply with the given status byte.
void build_print_reply(unsigned char (&reply)[kPrintReplySize], unsigned char status);

// Checks a received reply: true when it is the 17-byte status reply; *status gets
// its last byte.
bool parse_print_reply(const unsigned char* reply, std::size_t size, unsigned char* status);

// Style codes that make the print server show a line in `font` (empty for DEFAULT
// and for the styles that no byte code produces).
std::string_view print_style_bytes(PrintJobFont font);

// A print job carrying `line` as its print line (the line is taken as it is; it is
// the caller's business to keep it within kPrintLineMax bytes).
std::string encode_print_job(std::string_view line, std::uint16_t version = kPrintProtocolVersion,
                             std::uint16_t type = kPrintJobType, std::uint32_t tag = 0x00080015);

// Turns UTF-8 receipt text into the terminal's printer bytes: the euro sign becomes
// 0x93, the pound sign 0xA0, other characters of Latin-1 their Latin-1 byte, control
// characters a space, anything else '?'.
std::string printer_bytes_from_utf8(std::string_view text);

// One job over one connection: connects to host:port, sends `job` in one write,
// reads the reply until 17 bytes or the end of the stream. Returns false with
// *error set when no connection could be made or the send failed; the bytes
// received (possibly fewer than 17) are in *reply.
bool send_print_job(const char* host, int port, std::string_view job, std::string* reply,
                    std::string* error, int timeout_ms = 5000);
