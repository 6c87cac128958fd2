// The print server's side of the print-job wire format (the sending side is
// print_job_wire.h): the byte rules that turn a terminal's print line into receipt
// text and style, and the pipe line to the window. Pure functions without a toolkit,
// so the console, the scenario runner and the fuzz target share them.
#pragma once

#include "print_job_font.h"
#include "print_job_wire.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// A job is taken from one read of at most 127 bytes; the receive buffer, the print
// line and the collected text are 128 bytes, like the pipe line to the window.
inline constexpr std::size_t kPrintBufferSize = 128;
inline constexpr std::size_t kPrintReadSize = kPrintBufferSize - 1;
static_assert(kPrintReadSize == kPrintJobMax);
// Longest receipt text in a pipe line: the style digit, the line feed and the
// terminator must still fit in 128 bytes.
inline constexpr std::size_t kPipeTextMax = kPrintBufferSize - 3;

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
