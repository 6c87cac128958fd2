#include "card_masking.h"

#include <vector>

namespace {

constexpr std::size_t kShortestCard = 13;
constexpr std::size_t kLongestCard = 19;
constexpr std::size_t kShortestTrackPan = 12;

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

bool is_alnum(char c) {
    return is_digit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The length of the separator at `i` that may stand between two digits of a card
// number, or 0: blank, tab, '.', '/', '-', a no-break space (UTF-8 or ISO-8859).
std::size_t separator_at(std::string_view s, std::size_t i) {
    switch (static_cast<unsigned char>(s[i])) {
    case ' ':
    case '\t':
    case '.':
    case '/':
    case '-':
    case 0xA0:
        return 1;
    case 0xC2:
        return i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) == 0xA0 ? 2 : 0;
    default:
        return 0;
    }
}

std::size_t digits_at(std::string_view s, std::size_t i) {
    std::size_t n = 0;
    while (i + n < s.size() && is_digit(s[i + n]))
        ++n;
    return n;
}

// The length of the track shape that starts at `i`, or 0:
//   track 2  ";" digits "=" ... "?"        (also without its sentinels: digits "=" digits)
//   track 1  "%B" digits "^" name "^" ... "?"
// A track cut short (no end sentinel) ends at the first character no track holds.
std::size_t track_at(std::string_view s, std::size_t i) {
    const auto pan_ok = [](std::size_t n) { return n >= kShortestTrackPan && n <= kLongestCard; };
    if (s[i] == '%' && i + 1 < s.size() && (s[i + 1] == 'B' || s[i + 1] == 'b')) {
        std::size_t j = i + 2;
        const std::size_t pan = digits_at(s, j);
        j += pan;
        if (!pan_ok(pan) || j >= s.size() || s[j] != '^')
            return 0;
        const std::size_t name_end = s.find('^', j + 1);
        if (name_end == std::string_view::npos || name_end - j > 27)
            return 0;
        j = name_end + 1;
        while (j < s.size() && s[j] != '?' && static_cast<unsigned char>(s[j]) >= 0x20)
            ++j;
        return (j < s.size() && s[j] == '?' ? j + 1 : j) - i;
    }
    const bool sentinel = s[i] == ';';
    if (!sentinel && (!is_digit(s[i]) || (i > 0 && is_digit(s[i - 1]))))
        return 0;
    std::size_t j = i + sentinel;
    const std::size_t pan = digits_at(s, j);
    j += pan;
    if (!pan_ok(pan) || j >= s.size() || s[j] != '=')
        return 0;
    ++j;
    const std::size_t after = j;
    while (j < s.size() && (is_digit(s[j]) || s[j] == '='))
        ++j;
    if (!sentinel && j - after < 4) // "PAN=YYMM" at least
        return 0;
    return (j < s.size() && s[j] == '?' ? j + 1 : j) - i;
}

// Every track shape in `s` replaced whole.
std::string without_tracks(std::string_view s) {
    std::string out;
    std::size_t copied = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%' && s[i] != ';' && !is_digit(s[i]))
            continue;
        if (const std::size_t n = track_at(s, i)) {
            out.append(s, copied, i - copied);
            out += kTrackDataShown;
            i += n - 1;
            copied = i + 1;
        }
    }
    if (copied == 0)
        return std::string(s);
    out.append(s, copied, std::string_view::npos);
    return out;
}

// Masks the card numbers among the digits of one run (their positions in `s`):
// every window of 13 to 19 of them that passes the Luhn check keeps its first six
// and last four. All windows are checked before any digit is masked.
void mask_run(std::string& s, const std::vector<std::size_t>& pos, std::vector<char>& masked) {
    const std::size_t n = pos.size();
    masked.assign(n, 0);
    bool any = false;
    for (std::size_t end = kShortestCard; end <= n; ++end) {
        // Luhn from the window's last digit leftwards: every second digit doubled.
        int sum = 0;
        for (std::size_t k = 0; k < kLongestCard && k < end; ++k) {
            int d = s[pos[end - 1 - k]] - '0';
            if (k % 2 == 1 && (d *= 2) > 9)
                d -= 9;
            sum += d;
            const std::size_t length = k + 1;
            // No card number starts with 0: zero-padded amounts and references stay.
            if (length >= kShortestCard && sum % 10 == 0 && s[pos[end - length]] != '0') {
                for (std::size_t m = end - length + 6; m + 4 < end; ++m)
                    masked[m] = 1;
                any = true;
            }
        }
    }
    if (any)
        for (std::size_t k = 0; k < n; ++k)
            if (masked[k])
                s[pos[k]] = '*';
}

std::string mask_text(std::string_view value) {
    std::size_t digits = 0;
    for (const char c : value)
        digits += is_digit(c);
    if (digits < kShortestTrackPan) // no card number, no track: the usual receipt line
        return std::string(value);
    std::string s = without_tracks(value);
    std::vector<std::size_t> pos;
    std::vector<char> masked;
    std::size_t i = 0;
    while (i < s.size()) {
        if (!is_digit(s[i])) {
            ++i;
            continue;
        }
        pos.clear();
        while (i < s.size()) {
            if (is_digit(s[i])) {
                pos.push_back(i++);
                continue;
            }
            std::size_t j = i;
            while (j < s.size())
                if (const std::size_t n = separator_at(s, j))
                    j += n;
                else
                    break;
            if (j == i || j >= s.size() || !is_digit(s[j]))
                break;
            i = j;
        }
        if (pos.size() >= kShortestCard)
            mask_run(s, pos, masked);
    }
    return s;
}

std::string mask_card_number(std::string_view pan) {
    std::string masked(pan);
    // A digit the terminal masked already still counts: "679999******4564" is a card
    // number of 16 digits whose first six may stay.
    std::size_t digits = 0, shown = 0;
    for (const char c : masked)
        if (is_digit(c) || c == '*') {
            ++digits;
            shown += c != '*';
        }
    const std::size_t head = digits >= kShortestCard ? 6 : 0;
    if (digits < kShortestCard && shown < 5)
        return masked;
    std::size_t k = 0;
    for (char& c : masked)
        if (is_digit(c) || c == '*') {
            if (k >= head && k + 4 < digits)
                c = '*';
            ++k;
        }
    return masked;
}

std::string mask_voucher_code(std::string_view code) {
    std::string masked(code);
    std::size_t characters = 0;
    for (const char c : masked)
        characters += is_alnum(c);
    const std::size_t keep = characters > 4 ? 4 : 0;
    std::size_t k = 0;
    for (char& c : masked)
        if (is_alnum(c) && k++ + keep < characters)
            c = '*';
    return masked;
}

} // namespace

std::string mask_secret(std::string_view value, SecretKind kind) {
    switch (kind) {
    case SecretKind::Text:
        return mask_text(value);
    case SecretKind::CardNumber:
        return mask_card_number(value);
    case SecretKind::TrackData:
        return value.empty() ? "" : kTrackDataShown;
    case SecretKind::Password:
        return value.empty() ? "" : kPasswordShown;
    case SecretKind::VoucherCode:
        return mask_voucher_code(value);
    }
    return std::string(value);
}
