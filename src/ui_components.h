// One global handle per named widget of the main window, named like its identifier
// in ui/EcrUi.xml. The handles come from widgets.def, the single list that also
// drives their definitions and the start-up lookups, so no name can drift from
// the window description. Written once at start-up on the main thread, read after.
#pragma once

#include <gtk/gtk.h>

#include <string_view>

#define W(kind, id) extern GtkWidget* id;
#define L(id) extern GtkListStore* id;
#include "widgets.def"
#undef W
#undef L

// Text buffers taken from the four text views at start-up.
extern GtkTextBuffer* buf_host_msg;
extern GtkTextBuffer* buf_print_information;
extern GtkTextBuffer* buf_mt_cfg_custom_text;
extern GtkTextBuffer* buf_print_job;

// Looks every identifier of the list up in the builder; a missing one stays null.
void bind_widgets(GtkBuilder* builder);

// The handle of the widget of that id in widgets.def (the operation tables name
// their widgets so), or null for an id the list does not have. Any thread.
GtkWidget** widget_handle(std::string_view id);
