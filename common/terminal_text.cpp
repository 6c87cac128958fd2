#include "terminal_text.h"

#include <glib.h>

#include <cstdlib>

namespace {

// The character set the terminal writes in, as the console reads it.
const char* terminal_charset() {
    const char* charset = std::getenv("SMB_CODESET");
    if (!charset || charset[0] == '\0' || std::string_view(charset) == "ISO-") {
        charset = nullptr;
        g_get_charset(&charset);
    }
    return charset && charset[0] ? charset : "ISO-8859-1";
}

std::string converted(std::string_view bytes, const char* from) {
    gchar* text = g_convert(bytes.data(), static_cast<gssize>(bytes.size()), "UTF-8", from,
                            nullptr, nullptr, nullptr);
    if (!text)
        return {};
    std::string result = text;
    g_free(text);
    return result;
}

} // namespace

std::string terminal_text_utf8(std::string_view bytes) {
    std::string text;
    if (g_utf8_validate(bytes.data(), static_cast<gssize>(bytes.size()), nullptr))
        text = bytes;
    else if (text = converted(bytes, terminal_charset());
             text.empty() || !g_utf8_validate(text.data(), -1, nullptr))
        text = converted(bytes, "ISO-8859-2"); // every byte is a character there
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
