#include "terminal_text.h"

#include <glib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// `bytes` converted to UTF-8 from `from`; false when they cannot be.
bool converted(std::string_view bytes, const char* from, std::string* text) {
    gchar* utf8 = g_convert(bytes.data(), static_cast<gssize>(bytes.size()), "UTF-8", from,
                            nullptr, nullptr, nullptr);
    if (!utf8)
        return false;
    *text = utf8;
    g_free(utf8);
    return true;
}

bool is_utf8(std::string_view bytes) {
    return g_utf8_validate(bytes.data(), static_cast<gssize>(bytes.size()), nullptr);
}

// Length of the longest prefix of `text` of at most `limit` bytes that ends on a
// character boundary.
std::size_t utf8_cut(const std::string& text, std::size_t limit) {
    if (text.size() <= limit)
        return text.size();
    std::size_t kept = limit;
    while (kept > 0 && (static_cast<unsigned char>(text[kept]) & 0xC0) == 0x80)
        --kept;
    return kept;
}

// Copies valid UTF-8 into a buffer of `size` bytes; a text that does not fit is cut
// before the character that would cross the end, never inside it.
void copy_utf8_bounded(char* destination, std::size_t size, const char* source) {
    std::size_t length = std::strlen(source);
    if (length >= size) {
        length = size - 1;
        while (length > 0 && (static_cast<unsigned char>(source[length]) & 0xC0) == 0x80)
            --length;
    }
    std::memcpy(destination, source, length);
    destination[length] = '\0';
}

} // namespace

const char* terminal_charset() {
    const char* charset = std::getenv("SMB_CODESET");
    if (!charset || charset[0] == '\0') {
        charset = nullptr;
        g_get_charset(&charset);
    }
    if (!charset || charset[0] == '\0' || std::string_view(charset) == "ISO-")
        return "ISO-8859-1";
    return charset;
}

std::string receipt_text_utf8(std::string_view collected) {
    std::string text(collected.substr(0, collected.find('\0'))); // a NUL ends the text
    // A byte of a single-byte character set never needs more than 3 bytes of UTF-8.
    std::string line(std::min(3 * text.size(), kReceiptTextMax) + 1, '\0');
    ConvertExtendedAsciiChars(text.data(), line.data(), line.size());
    line.resize(std::strlen(line.c_str()));
    // Text that the terminal's character set cannot read is read as ISO-8859-2, where
    // every byte is a character (its control characters are blanked by now).
    if (line.empty() && !text.empty() && converted(text, "ISO-8859-2", &line))
        line.resize(utf8_cut(line, kReceiptTextMax));
    ReplaceNonPrintableCharacters(line.data());
    return line;
}

void ConvertExtendedAsciiChars(char* Buffer, char* BufferResult, std::size_t ResultSize) {
    g_assert(Buffer != nullptr);
    const bool can_write = BufferResult && ResultSize > 0;

    if (g_utf8_validate(Buffer, -1, nullptr)) {
        if (can_write)
            copy_utf8_bounded(BufferResult, ResultSize, Buffer);
        return;
    }

    const char* charset = terminal_charset();
    ReplaceNonPrintableCharacters(Buffer);

    GError* error = nullptr;
    gchar* converted = g_convert(Buffer, -1, "UTF-8", charset, nullptr, nullptr, &error);
    if (!converted) {
        // The caller keeps what its result buffer held.
        g_clear_error(&error);
        return;
    }
    if (can_write)
        copy_utf8_bounded(BufferResult, ResultSize, converted);
    g_free(converted);
}

void ConvertExtendedAsciiChars(char* Buffer, char* BufferResult) {
    g_assert(Buffer != nullptr);
    ConvertExtendedAsciiChars(Buffer, BufferResult, 3 * std::strlen(Buffer) + 1);
}

void ReplaceNonPrintableCharacters(char* Buffer) {
    if (!Buffer)
        return;
    for (unsigned char* p = reinterpret_cast<unsigned char*>(Buffer); *p; ++p)
        if (*p < 32 && *p != '\n')
            *p = ' ';
}

std::string terminal_text_utf8(std::string_view bytes) {
    std::string text;
    if (is_utf8(bytes))
        text = bytes;
    else if (!converted(bytes, terminal_charset(), &text))
        converted(bytes, "ISO-8859-2", &text); // every byte is a character there
    if (text.empty() && !bytes.empty()) {
        gchar* valid = g_utf8_make_valid(bytes.data(), static_cast<gssize>(bytes.size()));
        text = valid;
        g_free(valid);
    }
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    return text;
}
