#include "print_job.h"

#include <cstring>

namespace {

std::uint16_t le16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

std::uint32_t le32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Length of the text once a trailing UTF-8 character that lost its last bytes to a
// cut is removed.
std::size_t drop_incomplete_tail(const char* text, std::size_t length) {
    std::size_t continuation = 0;
    while (continuation < 3 && continuation < length &&
           (static_cast<unsigned char>(text[length - 1 - continuation]) & 0xC0) == 0x80)
        ++continuation;
    if (continuation == length)
        return length;
    const auto lead = static_cast<unsigned char>(text[length - 1 - continuation]);
    const std::size_t needed = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return (needed > 1 && continuation + 1 < needed) ? length - continuation - 1 : length;
}

} // namespace

int ParseHeader(unsigned char* Data) {
    if (le16(Data + 4) > kPrintProtocolVersion)
        return -1;
    return static_cast<int>(le32(Data));
}

bool TLVFieldUnpack(unsigned char* sourceBuf, int avail, unsigned short* Tag,
                    unsigned short* Length, unsigned char* Bufresult) {
    // A message_length of at least 8 needs the whole 16-byte header.
    if (!sourceBuf || !Bufresult ||
        avail < static_cast<int>(kPrintHeaderSize + kPrintTlvHeaderSize))
        return false;
    const int message_length = ParseHeader(sourceBuf);
    if (message_length != avail - static_cast<int>(kPrintHeaderSize))
        return false;
    if (le16(sourceBuf + 6) != kPrintJobType)
        return false;
    const std::uint32_t tag = le32(sourceBuf + 8);
    const std::uint32_t length = le32(sourceBuf + 12);
    if ((length & 0xFFFF) == 0)
        return false;
    if (Tag)
        *Tag = static_cast<unsigned short>(tag & 0xFFFF);
    if (Length)
        *Length = static_cast<unsigned short>(length & 0xFFFF);
    std::size_t line_size =
        static_cast<std::size_t>(avail) - kPrintHeaderSize - kPrintTlvHeaderSize;
    if (line_size > kPrintBufferSize - 1)
        line_size = kPrintBufferSize - 1;
    std::memcpy(Bufresult, sourceBuf + kPrintHeaderSize + kPrintTlvHeaderSize, line_size);
    Bufresult[line_size] = 0;
    return true;
}

PrintJobFont scan_print_line(const unsigned char* line, std::size_t size, char* text,
                             std::size_t text_size) {
    PrintJobFont font = DEFAULT;
    if (!text || text_size == 0)
        return font;
    const std::size_t capacity = text_size - 1;
    std::size_t used = 0;
    bool collected = false; // an output byte was met (even one that no longer fits)
    bool ended = false;     // a NUL ended the text; style codes still count
    bool cut = false;       // the text outgrew the buffer

    auto emit = [&](const char* bytes, std::size_t count) {
        collected = true;
        if (ended || cut)
            return;
        if (bytes[0] == '\0') {
            ended = true;
            return;
        }
        if (used + count > capacity) {
            cut = true; // a pound or euro sign is kept whole or not at all
            return;
        }
        std::memcpy(text + used, bytes, count);
        used += count;
    };

    for (std::size_t i = 0; line && i < size; ++i) {
        const unsigned char b = line[i];
        if (b == 0x0A) {
            if (!collected)
                emit(" ", 1);
            break;
        }
        if (b == 0x1B) {
            if (i + 1 >= size)
                break; // a lone escape at the end is dropped
            const unsigned char code = line[i + 1];
            if (code == 0x0F) {
                font = HALF_SIZE;
                i += 1;
            } else if (code == 0x1F) {
                font = BOLD;
                i += 2; // its argument byte is skipped
            } else if (code == 0x54) {
                font = BOLD;
                i += 1;
            } else if (code == 0x61) {
                // A missing argument reads as 0, as in the zero-filled line buffer.
                const unsigned char n = i + 2 < size ? line[i + 2] : 0;
                font = n == 1 ? RIGHT_JUSTIFY : CENTER_TEXT;
                i += 2;
            } else {
                i += 1; // unknown escape: both bytes dropped
            }
            continue;
        }
        if (b == 0x0E) {
            font = DOUBLE_WIDTH;
        } else if (b == 0x12) {
            font = DOUBLE_SIZE;
        } else if (b >= 0x0F && b <= 0x1F) {
            // other printer control codes are dropped
        } else if (b == 0xA0) {
            emit("\xC2\xA3", 2);
        } else if (b == 0x93) {
            emit("\xE2\x82\xAC", 3);
        } else {
            const char c = static_cast<char>(b);
            emit(&c, 1);
        }
    }
    if (cut)
        used = drop_incomplete_tail(text, used);
    text[used] = '\0';
    return font;
}

std::size_t utf8_prefix_length(const char* text, std::size_t length, std::size_t limit) {
    if (length <= limit)
        return length;
    std::size_t n = limit;
    // text[n] is the first byte left out: while it continues a character, that
    // character is left out whole (at most 3 bytes back, for malformed text).
    for (int back = 0; back < 3 && n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80;
         ++back)
        --n;
    return n;
}

std::size_t format_pipe_line(char* out, std::size_t out_size, const char* text, PrintJobFont font) {
    if (!out || out_size < 3)
        return 0;
    const std::size_t length = text ? std::strlen(text) : 0;
    const std::size_t kept = utf8_prefix_length(text ? text : "", length, out_size - 3);
    if (kept)
        std::memcpy(out, text, kept);
    const int style = static_cast<int>(font);
    out[kept] = static_cast<char>('0' + (style >= 0 && style <= 9 ? style : 0));
    out[kept + 1] = '\n';
    out[kept + 2] = '\0';
    return kept + 2;
}

PrintJobFont split_pipe_line(const char* line, std::size_t length, std::size_t* text_length) {
    if (!line || length == 0) {
        if (text_length)
            *text_length = 0;
        return DEFAULT;
    }
    if (text_length)
        *text_length = length - 1;
    const char digit = line[length - 1];
    return (digit >= '0' && digit <= '9') ? static_cast<PrintJobFont>(digit - '0') : DEFAULT;
}
