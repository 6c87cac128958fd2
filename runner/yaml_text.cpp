#include "yaml_text.h"

#include <glib.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

// Plain only when nothing in it could mean more than text: a letter first (no
// indicator, number, ".inf" or "~"), then letters, digits and a few marks that are
// no indicator anywhere, no trailing blank, and no word that a YAML 1.1 reader takes
// for a boolean or null.
bool plain_is_safe(std::string_view text) {
    if (text.empty() || !std::isalpha(static_cast<unsigned char>(text.front())) ||
        text.back() == ' ')
        return false;
    for (const char c : text)
        if (!std::isalnum(static_cast<unsigned char>(c)) && !std::strchr(" _-./()+", c))
            return false;
    for (const std::string_view word : {"y", "n", "yes", "no", "true", "false", "on", "off", "null"})
        if (text.size() == word.size() &&
            std::equal(text.begin(), text.end(), word.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) == b;
            }))
            return false;
    return true;
}

void append_escaped(std::string& out, gunichar c) {
    switch (c) {
    case 0: out += "\\0"; return;
    case '\a': out += "\\a"; return;
    case '\b': out += "\\b"; return;
    case '\t': out += "\\t"; return;
    case '\n': out += "\\n"; return;
    case '\v': out += "\\v"; return;
    case '\f': out += "\\f"; return;
    case '\r': out += "\\r"; return;
    case 0x1b: out += "\\e"; return;
    case '"': out += "\\\""; return;
    case '\\': out += "\\\\"; return;
    default: break;
    }
    char code[12];
    std::snprintf(code, sizeof code, c < 0x100 ? "\\x%02X" : "\\u%04X", c);
    out += code;
}

bool needs_escape(gunichar c) {
    return c < 0x20 || c == '"' || c == '\\' || (c >= 0x7f && c <= 0x9f) || c == 0x2028 ||
           c == 0x2029 || c == 0xfeff;
}

} // namespace

void append_yaml_quoted(std::string& out, std::string_view text) {
    out += '"';
    // Most texts are printable ASCII: copied in runs.
    std::size_t run = 0, at = 0;
    for (; at < text.size(); ++at) {
        const unsigned char c = static_cast<unsigned char>(text[at]);
        if (c >= 0x20 && c < 0x7f && c != '"' && c != '\\')
            continue;
        if (c >= 0x80)
            break; // the rest character by character
        out.append(text, run, at - run);
        append_escaped(out, c);
        run = at + 1;
    }
    out.append(text, run, at - run);
    while (at < text.size()) {
        const char* p = text.data() + at;
        const gunichar c = static_cast<unsigned char>(*p) < 0x80
                               ? static_cast<unsigned char>(*p)
                               : g_utf8_get_char_validated(p, static_cast<gssize>(text.size() - at));
        if (c == static_cast<gunichar>(-1) || c == static_cast<gunichar>(-2)) {
            out += "\xEF\xBF\xBD"; // U+FFFD for a byte that starts no UTF-8 character
            ++at;
            continue;
        }
        const std::size_t size = c < 0x80 ? 1 : static_cast<std::size_t>(g_utf8_next_char(p) - p);
        if (needs_escape(c))
            append_escaped(out, c);
        else
            out.append(p, size);
        at += size;
    }
    out += '"';
}

void append_yaml_text(std::string& out, std::string_view text) {
    if (plain_is_safe(text))
        out += text;
    else
        append_yaml_quoted(out, text);
}
