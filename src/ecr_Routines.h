// Console-side records and the workers of the operations.
#pragma once

#include <gtk/gtk.h>

// Applies the saved settings to the window and the terminal library (start-up).
void Application_opened();

// Presets the terminal date and time selectors with the machine's local time.
void set_time_from_system();

// Receipt view and print server
void createPrintFormatTags();
void StartPrnServer();
void StopPrintServer();
