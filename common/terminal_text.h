// Text from the terminal (a receipt line, a record's field) made fit for UTF-8
// output, as the console shows it: valid UTF-8 stays; other bytes are read in the
// terminal's character set ($SMB_CODESET, else the locale's), else as ISO-8859-2;
// control characters become blanks. Reports stay valid XML and outputs readable.
#pragma once

#include <string>
#include <string_view>

std::string terminal_text_utf8(std::string_view bytes);
