// Text from the terminal (a receipt line, a record's field) made fit for UTF-8
// output, as the console shows it. No toolkit beyond GLib: the console, the
// scenario runner and the tools share it, so that one print job or one field is
// shown, journaled and reported alike everywhere.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The character set the terminal writes in: SMB_CODESET when it is set and not
// empty, else the locale's, else ISO-8859-1; "ISO-" reads as ISO-8859-1.
const char* terminal_charset();

// Longest receipt text of one print line once converted: the receipt view's line
// buffer holds it with its line feed and terminator.
inline constexpr std::size_t kReceiptTextMax = 353;

// The text of one print line (the bytes the style scan collected) as the receipt
// view shows it and every journal keeps it: valid UTF-8 stays; other text is read
// in terminal_charset() with its control characters blanked, else as ISO-8859-2;
// control characters become blanks; cut at a character boundary to kReceiptTextMax
// bytes. No line feed.
std::string receipt_text_utf8(std::string_view collected);

// A record's field or any other terminal text: valid UTF-8 stays; other bytes are
// read in terminal_charset(), else as ISO-8859-2; control characters (and DEL)
// become blanks. Reports stay valid XML and outputs readable.
std::string terminal_text_utf8(std::string_view bytes);
