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
// view shows it and every journal keeps it: ConvertExtendedAsciiChars, else the
// text read as ISO-8859-2, with ReplaceNonPrintableCharacters over the result; cut
// at a character boundary to kReceiptTextMax bytes. No line feed.
std::string receipt_text_utf8(std::string_view collected);

// Turns a receipt line into UTF-8. A line that is valid UTF-8 is copied unchanged.
// Otherwise the line's control characters are blanked in Buffer (as
// ReplaceNonPrintableCharacters does) and it is converted from the character set
// terminal_charset(). When the conversion fails BufferResult is left as it was.
// Buffer must not be null (a failed assertion ends the program).
// The result is cut at a character boundary to fit ResultSize bytes, terminator
// included; a null BufferResult or a ResultSize of 0 writes nothing.
void ConvertExtendedAsciiChars(char* Buffer, char* BufferResult, std::size_t ResultSize);

// Same, for a BufferResult of at least 3 * strlen(Buffer) + 1 bytes (a byte of a
// single-byte character set never needs more than 3 bytes of UTF-8).
void ConvertExtendedAsciiChars(char* Buffer, char* BufferResult);

// Replaces in place every byte below 32 except the line feed by a space; bytes of
// 128 and above stay. A null Buffer is ignored.
void ReplaceNonPrintableCharacters(char* Buffer);

// A record's field or any other terminal text: valid UTF-8 stays; other bytes are
// read in terminal_charset(), else as ISO-8859-2; control characters (and DEL)
// become blanks. Reports stay valid XML and outputs readable.
std::string terminal_text_utf8(std::string_view bytes);
