// Start-up of the console: everything main() does before and after the main loop.
#pragma once

// Folder of the window descriptions, ending in '/'. Set by the build; tests point it
// elsewhere before start-up.
extern const char* g_ui_dir;

// Builds, binds, connects, prepares and shows the main window (start-up steps up to
// the main loop). Returns false when no builder could be created. A window
// description that cannot be loaded ends the process with the loader's message.
bool ecr_start(int* argc, char*** argv);

// Runs the main loop until the main window is destroyed.
void ecr_run_main_loop();

// Applies the saved settings to the window and the terminal library (start-up).
void Application_opened();
