// Receipts on paper and in PDF: one drawing of receipt lines with their styles
// (bold, double width, height and size, half size, centred, right-justified) on a
// receipt roll or on A4 sheets, used by the receipt view and the Journal page.
#pragma once

#include "print_job_font.h"

#include <gtk/gtk.h>

#include <string>
#include <vector>

struct ReceiptLine {
    std::string text; // as shown, without its line feed
    PrintJobFont font = DEFAULT;
};

enum class ReceiptPaper {
    Roll80, // an 80 mm receipt roll: the receipt on one page as long as it is
    A4,     // A4 sheets, the receipt column centred, as many pages as it takes
};

// The lines of a text buffer whose text runs carry the receipt view's style tags;
// a line takes the style of its last run (a marker line runs on into the next).
std::vector<ReceiptLine> receipt_lines_of_buffer(GtkTextBuffer* buffer);

// Main thread, toolkit lock held (button handlers). The lines are masked before
// they are drawn, so no card number leaves in full.
// Runs the print dialog, with a "Receipt paper" tab, and prints.
void print_receipt(const std::vector<ReceiptLine>& lines, const std::string& job_name);
// Asks for a file (with the paper beside the name) and writes the PDF there.
void export_receipt_pdf(const std::vector<ReceiptLine>& lines, const std::string& file_name);

// Writes the PDF at `path` without asking; false with the reason in *error.
bool write_receipt_pdf(const std::vector<ReceiptLine>& lines, ReceiptPaper paper,
                       const std::string& path, std::string* error);
