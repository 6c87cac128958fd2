// Fuzz target for the print-job reader: the header check and unpacking, the style
// scan with its pound and euro expansion and its cut at a character boundary, and
// the pipe line built from the result. Built and run by scripts/fuzz-print-job.sh.
#include "print_job.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

void check(bool condition) {
    if (!condition)
        __builtin_trap();
}

bool valid_utf8(const char* text, std::size_t size) {
    std::size_t i = 0;
    while (i < size) {
        const auto b = static_cast<unsigned char>(text[i]);
        std::size_t len = b < 0x80                   ? 1
                          : (b >= 0xC2 && b <= 0xDF) ? 2
                          : (b >= 0xE0 && b <= 0xEF) ? 3
                          : (b >= 0xF0 && b <= 0xF4) ? 4
                                                     : 0;
        if (len == 0 || i + len > size)
            return false;
        for (std::size_t k = 1; k < len; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        i += len;
    }
    return true;
}

std::uint32_t le32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // What the print server does with one read of at most 127 bytes.
    const std::size_t avail = size < kPrintReadSize ? size : kPrintReadSize;
    auto received = std::make_unique<unsigned char[]>(kPrintBufferSize);
    std::memcpy(received.get(), data, avail);
    auto line = std::make_unique<unsigned char[]>(kPrintBufferSize);
    unsigned short tag = 0, length = 0;
    const bool accepted =
        TLVFieldUnpack(received.get(), static_cast<int>(avail), &tag, &length, line.get());
    std::size_t line_size = 0;
    if (accepted) {
        check(avail >= 16 && le32(received.get()) == avail - 8 && length != 0);
        line_size = avail - 16;
        check(std::memcmp(line.get(), received.get() + 16, line_size) == 0);
    } else {
        check(tag == 0 && length == 0 && line[0] == 0);
    }

    char text[kPipeTextMax + 1];
    const PrintJobFont font = scan_print_line(line.get(), line_size, text, sizeof text);
    const std::size_t text_size = std::strlen(text);
    check(font >= DEFAULT && font <= DOUBLE_WIDTH);
    check(text_size <= kPipeTextMax && !std::memchr(text, '\n', text_size));

    char pipe_line[kPrintBufferSize];
    const std::size_t pipe_size = format_pipe_line(pipe_line, sizeof pipe_line, text, font);
    check(pipe_size == text_size + 2 && pipe_size < kPrintBufferSize);
    check(pipe_line[pipe_size - 1] == '\n' && pipe_line[pipe_size - 2] == '0' + font);
    std::size_t back_size = 0;
    check(split_pipe_line(pipe_line, pipe_size - 1, &back_size) == font && back_size == text_size);

    // The scan on the whole input with a small output buffer: the cut keeps a
    // prefix of the full text and never splits a character of valid UTF-8.
    const std::size_t small = size ? (data[0] % 24) + 1 : 1;
    auto cut = std::make_unique<char[]>(small);
    auto full = std::make_unique<char[]>(3 * size + 2);
    const PrintJobFont cut_font = scan_print_line(data, size, cut.get(), small);
    const PrintJobFont full_font = scan_print_line(data, size, full.get(), 3 * size + 2);
    check(cut_font == full_font);
    const std::size_t cut_size = std::strlen(cut.get());
    const std::size_t full_size = std::strlen(full.get());
    check(cut_size < small && cut_size <= full_size);
    check(std::memcmp(cut.get(), full.get(), cut_size) == 0);
    if (valid_utf8(full.get(), full_size))
        check(valid_utf8(cut.get(), cut_size));

    // Unpacking a longer message than one read can bring stays within the line buffer.
    auto long_line = std::make_unique<unsigned char[]>(kPrintBufferSize);
    std::memset(long_line.get(), 0, kPrintBufferSize);
    auto copy = std::make_unique<unsigned char[]>(size ? size : 1);
    std::memcpy(copy.get(), data, size);
    TLVFieldUnpack(copy.get(), static_cast<int>(size), nullptr, nullptr, long_line.get());
    return 0;
}
