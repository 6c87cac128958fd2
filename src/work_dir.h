// The console's working folder, where it keeps ECRConf and PrinterState. It is
// chosen by the console itself, so that every way of starting it (the desktop
// entry, scripts/run.sh, a plain ./build/kelvra) finds the same saved defaults.
#pragma once

#include <string>

// The folder: $KELVRA_WORKDIR when set, else $XDG_DATA_HOME/kelvra, else
// ~/.local/share/kelvra.
std::string work_dir_path();

// Creates the folder when missing (owner-only, since ECRConf holds a password)
// and makes it the current directory. False, with the reason in *error, when it
// cannot be created or entered; the current directory is then unchanged.
bool enter_work_dir(std::string* error);
