// Receipt view and print server: the receipt lines the terminal prints, shown in the
// window, and the start and stop of the server that receives them.
#pragma once

#include "print_job_font.h"

#include <gtk/gtk.h>

void createPrintFormatTags();
void StartPrnServer();
void StopPrintServer();

// Style of one receipt line: PrintJobFont (print_job_font.h).

// Appends one receipt line (UTF-8, with its own line feed) to the receipt view with
// the style's text tag and scrolls to it. Main thread, without the toolkit lock:
// it takes the lock itself.
void displayReceipt(PrintJobFont msgFont, gchar* msg);
// Writes the tag name of a style into FontProprety (at least 20 bytes).
void FormatReceivedData(PrintJobFont msgFont, char* FontProprety);
