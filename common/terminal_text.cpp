#include "terminal_text.h"

#include <glib.h>

#include <cstdlib>

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

void blank_controls(std::string& text, bool and_delete) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || (and_delete && c == 0x7F))
            c = ' ';
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
    if (!is_utf8(text)) {
        blank_controls(text, false);
        std::string utf8;
        // Every byte is a character in ISO-8859-2: the second reading always works.
        if (!converted(text, terminal_charset(), &utf8))
            converted(text, "ISO-8859-2", &utf8);
        text = std::move(utf8);
    }
    blank_controls(text, false);
    if (text.size() > kReceiptTextMax) {
        std::size_t kept = kReceiptTextMax;
        while (kept > 0 && (static_cast<unsigned char>(text[kept]) & 0xC0) == 0x80)
            --kept;
        text.resize(kept);
    }
    return text;
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
    blank_controls(text, true);
    return text;
}
