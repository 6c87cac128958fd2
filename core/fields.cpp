#include "fields.h"

#include <cstring>

void field_copy(char* field, std::size_t width, const char* text) {
    std::memset(field, 0, width);
    if (!text)
        return;
    std::memcpy(field, text, strnlen(text, width));
}

void field_copy_terminated(char* field, std::size_t width, const char* text) {
    std::memset(field, 0, width);
    if (!text || width == 0)
        return;
    std::memcpy(field, text, strnlen(text, width - 1));
}

std::string field_text(const char* field, std::size_t width) {
    return std::string(field, strnlen(field, width));
}
