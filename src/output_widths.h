// Output entries as wide as the longest value they can show. The longest value of
// an output comes from the operation tables (core/operations_*.cpp): its record
// field's whole width, the widest number, or the longest name of its code table;
// the few displays outside the tables name theirs here. An output whose longest
// value is wider than a panel can be keeps the panel's width and shows a text
// that does not fit it whole, wrapped, in a line beneath it.
#pragma once

#include <gtk/gtk.h>

#include <map>
#include <string>

// Widest pixel width of a single-line output; wider values wrap beneath it.
inline constexpr int kWidestOutputPx = 420;

// The longest text of every output entry, by widget id.
const std::map<std::string, std::string>& longest_output_texts();

// Start-up, main thread, before the window is shown: sizes every output entry of
// the main window for its longest text, in the entry's own font.
void fit_outputs_to_values();

// Rows of panel columns (horizontal boxes) on the notebook's pages that are wider
// than a window `width` pixels wide first drop their equal widths, then put their
// columns one under the other; rows that fit again go back to how they were
// described. Main thread.
void fit_columns_to_width(GtkWidget* pages, int width);

// The wrapped line beneath a long output entry, or null when it has none.
GtkWidget* wrapped_line_of(GtkWidget* entry);
