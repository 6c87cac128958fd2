// What the window says, beside the result line, while the console cannot keep its
// files: a working folder the launcher could not use (KELVRA_WORKDIR_ERROR), and
// ECRConf or PrinterState that cannot be written. Any thread may report; the
// window reads the notice on the main loop.
#pragma once

#include <string>

// The result of a write of `file` ("ECRConf", "PrinterState"): `error` is empty
// when it succeeded, which clears the file's notice.
void report_file_write(const std::string& file, const std::string& error);

// Whether ECRConf can be written in the current folder, tried at start-up with a
// file of its own (the settings themselves are written when the window closes).
void check_settings_folder();

// The short notice ("" when all is well) and its reasons, one a line.
struct FileNotice {
    std::string text;
    std::string reasons;
};
FileNotice file_notice();
