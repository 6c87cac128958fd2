// The two ways text crosses a fixed-width record field.
#pragma once

#include <cstddef>
#include <string>

// Copies text into a field of `width` bytes: NUL-filled, cut at the width; a text of
// `width` bytes or more fills the field without a terminator. A null text gives an
// all-NUL field.
void field_copy(char* field, std::size_t width, const char* text);
template <std::size_t N> void field_copy(char (&field)[N], const char* text) {
    field_copy(field, N, text);
}

// Same for fields that always end in a NUL: at most width - 1 characters are kept.
void field_copy_terminated(char* field, std::size_t width, const char* text);
template <std::size_t N> void field_copy_terminated(char (&field)[N], const char* text) {
    field_copy_terminated(field, N, text);
}

// The text of a field: its bytes up to the first NUL, or all `width` bytes.
std::string field_text(const char* field, std::size_t width);
template <std::size_t N> std::string field_text(const char (&field)[N]) {
    return field_text(field, N);
}
