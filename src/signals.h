// Handlers of the main window's buttons and record selectors. Each ignores its
// arguments; they run on the main thread, where GTK holds the toolkit lock.
#pragma once

#include <gtk/gtk.h>

// Main window
void Application_closed(GtkWidget* widget = nullptr, gpointer data = nullptr);
