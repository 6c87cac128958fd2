// Shared by the terminal management files: coded values shown as a text in a
// colour, from constant tables.
#pragma once

#include <gtk/gtk.h>

#include <cstddef>

struct CodedText {
    const char* text;
    const char* colour;
};

// The row of `value`; the table's last row answers every value outside the others.
template <std::size_t N> const CodedText& coded_text(const CodedText (&table)[N], int value) {
    return value >= 0 && value < static_cast<int>(N) - 1 ? table[value] : table[N - 1];
}

// Shows a row in an entry, coloured (main thread, or a worker holding the lock).
void show_coded(GtkWidget* entry, const CodedText& row);

// Sets an entry's text; a null entry (missing from the description) is skipped.
void set_entry(GtkWidget* entry, const char* text);
