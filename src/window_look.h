// How the main window looks and what it tells the operator beyond the result line:
// the style of read-only outputs, a window that fits the screen, the focus at
// start, the indicator of running operations, the event server's state and the
// print server's failure. None of it changes what a documented widget shows.
#pragma once

#include <gtk/gtk.h>

#include <string>

// Style class of the entries that only display (set in the window description).
inline constexpr const char* kOutputStyleClass = "kelvra-output";
// Style class of what tells of a failure (red, bold).
inline constexpr const char* kFailureStyleClass = "kelvra-failure";

// Start-up, main thread, before the window is shown: styles, size, focus and the
// indicators of the result row (looked up in `builder` by their own ids).
void prepare_window_look(GtkBuilder* builder);

// Start-up, main thread, before the first window is realised: without a window
// manager, the toolkit's frame pacing is turned off for every window (see there).
void pace_frames_only_with_window_manager();

// Makes a dialog of the console fit the screen: no larger than the screen's work
// area (and the main window, which fills it), centred on it with its buttons on
// screen, also without a window manager, and kept above the main window. Call
// before the dialog is shown, on the main thread or with the toolkit lock held.
void fit_dialog_to_screen(GtkWidget* dialog);

// Shows whether the event loop runs. Worker threads call it with the toolkit lock
// held.
void show_event_server_state(bool running);

// Says, beside the result line, that the console runs without a journal; the
// reason goes into the tooltip. Main thread, lock held.
void show_journal_notice(const std::string& reason);
// Says there, while writes to the journal fail, why; an empty reason (writes work
// again) takes the notice away. A journal that could not be opened keeps its own
// notice. Main thread, lock held.
void show_journal_write_notice(const std::string& reason);

// Why the print server does not serve, or the peer it refused last (and how many
// connections it refused); empty while it serves all it was asked to.
std::string print_server_notice();
