#include "card_masking.h"

#include <vector>

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Replaces the digits at `positions` but the first `head` and the last `tail`.
void mask_digits(std::string& text, const std::vector<std::size_t>& positions, std::size_t head,
                 std::size_t tail) {
    for (std::size_t i = head; i + tail < positions.size(); ++i)
        text[positions[i]] = '*';
}

bool luhn_valid(const std::string& text, const std::vector<std::size_t>& positions) {
    int sum = 0;
    bool twice = false;
    for (auto it = positions.rbegin(); it != positions.rend(); ++it) {
        int d = text[*it] - '0';
        if (twice && (d *= 2) > 9)
            d -= 9;
        sum += d;
        twice = !twice;
    }
    return sum % 10 == 0;
}

} // namespace

std::string mask_pan(std::string_view pan) {
    std::string masked(pan);
    std::vector<std::size_t> digits;
    for (std::size_t i = 0; i < masked.size(); ++i)
        if (is_digit(masked[i]))
            digits.push_back(i);
    if (digits.size() >= 13)
        mask_digits(masked, digits, 6, 4);
    else if (digits.size() >= 5)
        mask_digits(masked, digits, 0, 4);
    return masked;
}

namespace {

// Visits every run of digits in `text`, with single blanks or dashes between two
// digits when `grouped` (else digits only), as the positions of its digits.
template <class Visit> void for_each_run(const std::string& text, bool grouped, Visit visit) {
    std::size_t i = 0;
    while (i < text.size()) {
        if (!is_digit(text[i])) {
            ++i;
            continue;
        }
        std::vector<std::size_t> digits;
        while (i < text.size()) {
            if (is_digit(text[i]))
                digits.push_back(i++);
            else if (grouped && (text[i] == ' ' || text[i] == '-') && i + 1 < text.size() &&
                     is_digit(text[i + 1]))
                ++i;
            else
                break;
        }
        visit(digits);
    }
}

} // namespace

std::string mask_card_numbers(std::string_view text) {
    std::string masked(text);
    // Plain runs first, so that a card number beside other numbers ("1250 4111...")
    // is found on its own; then runs written in groups ("4111 1111 1111 1111").
    for (bool grouped : {false, true})
        for_each_run(masked, grouped, [&](const std::vector<std::size_t>& digits) {
            if (digits.size() >= 13 && digits.size() <= 19 && luhn_valid(masked, digits))
                mask_digits(masked, digits, 6, 4);
        });
    return masked;
}
