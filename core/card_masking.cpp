#include "card_masking.h"

#include <span>
#include <vector>

namespace {

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// Replaces the digits at `positions` but the first `head` and the last `tail`.
void mask_digits(std::string& text, const std::vector<std::size_t>& positions, std::size_t head,
                 std::size_t tail) {
    for (std::size_t i = head; i + tail < positions.size(); ++i)
        text[positions[i]] = '*';
}

bool luhn_valid(const std::string& text, std::span<const std::size_t> positions) {
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
    // A digit the terminal masked already still counts: "679999******4564" is a card
    // number of 16 digits whose first six may stay.
    std::vector<std::size_t> digits;
    std::size_t shown = 0;
    for (std::size_t i = 0; i < masked.size(); ++i)
        if (is_digit(masked[i]) || masked[i] == '*') {
            digits.push_back(i);
            shown += masked[i] != '*';
        }
    if (digits.size() >= 13)
        mask_digits(masked, digits, 6, 4);
    else if (shown >= 5)
        mask_digits(masked, digits, 0, 4);
    return masked;
}

namespace {

// Visits every run of digits in `text`, single blanks or dashes allowed between two
// digits, as the positions of its digits.
template <class Visit> void for_each_run(const std::string& text, Visit visit) {
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
            else if ((text[i] == ' ' || text[i] == '-') && i + 1 < text.size() &&
                     is_digit(text[i + 1]))
                ++i;
            else
                break;
        }
        visit(digits);
    }
}

// The card numbers in one run of digits: every stretch of whole groups (digits
// between blanks or dashes) of 13 to 19 digits that passes the Luhn check, so that
// a number written in groups is found beside an amount ("1250 4111 1111 1111 1111").
std::vector<std::vector<std::size_t>> card_numbers_in(const std::string& text,
                                                      const std::vector<std::size_t>& digits) {
    std::vector<std::size_t> bounds{0}; // where each group starts, and the end
    for (std::size_t k = 1; k < digits.size(); ++k)
        if (digits[k] != digits[k - 1] + 1)
            bounds.push_back(k);
    bounds.push_back(digits.size());
    std::vector<std::vector<std::size_t>> found;
    for (std::size_t a = 0; a + 1 < bounds.size(); ++a)
        for (std::size_t b = a + 1; b < bounds.size() && bounds[b] - bounds[a] <= 19; ++b) {
            const std::size_t length = bounds[b] - bounds[a];
            const std::span<const std::size_t> number(digits.data() + bounds[a], length);
            if (length >= 13 && luhn_valid(text, number))
                found.emplace_back(number.begin(), number.end());
        }
    return found;
}

} // namespace

std::string mask_card_numbers(std::string_view text) {
    std::string masked(text);
    for_each_run(masked, [&](const std::vector<std::size_t>& digits) {
        // All found before any is masked: a masked digit fails every later check.
        for (const std::vector<std::size_t>& number : card_numbers_in(masked, digits))
            mask_digits(masked, number, 6, 4);
    });
    return masked;
}
