// Shared by every part of the console: the settings file, the texts of the result
// codes and coded fields, and the small text helpers for amounts and receipt lines.
#pragma once

#include <gtk/gtk.h>

#include <cstddef>
#include <cstdio>

// ---------------------------------------------------------------------------
// Settings file "ECRConf" (working directory), read at start-up, written at close.

// The operator's saved defaults. Every field always ends in a NUL, so it holds at
// most its width less one character.
struct SettingsSave {
    char Amount1Label[20];
    char Amount2Label[20];
    char Amount3Label[20];
    char Amount4Label[20];
    char CustomLine1[40];
    char CashierId[5];
    char TableId[3];
    char TerminalIPAddress[16];
    char CertificationPath[256];
    char LogFileFolderPath[256];
    char MobileTopupCashierId[5];
    char MobileTopupGSMPw[5];
    char TFRFormNumber[6];
};

extern SettingsSave g_SettingStruct;

// Working buffers of the reader: lines of up to 300 characters, keys of up to 30,
// values of up to 255.
inline constexpr std::size_t kSettingsLineSize = 301;
inline constexpr std::size_t kSettingsKeySize = 31;
inline constexpr std::size_t kSettingsValueSize = 256;

// Fills g_SettingStruct from "ECRConf", or sets the four amount labels to
// "Amount1".."Amount4" when the file cannot be opened. Does not clear the record.
void ReadSettingFile();

// Writes g_SettingStruct to "ECRConf": 13 lines "Key:value\n" in the record's order.
void SaveSettingFile();

// Reads one line of File into Buffer, which must hold kSettingsLineSize (301) bytes:
// at most 300 characters are stored and the rest of a longer line is consumed and
// dropped. Carriage returns are dropped wherever they stand; the line feed ends the
// line and is not stored; the text is NUL-terminated and *lineLength receives the
// number of bytes stored. Returns the number of bytes consumed from the file (line
// feed, carriage returns and dropped bytes included): 0 means the end of the file
// came before any byte. A null Buffer or File reads nothing, leaves *lineLength
// unchanged and returns 0; a null lineLength is allowed.
int read_line(char* Buffer, int* lineLength, FILE* File);

// Same for a buffer of BufferSize bytes (at most BufferSize - 1 characters stored).
// A BufferSize of 0 is treated like a null Buffer.
int read_line_bounded(char* Buffer, std::size_t BufferSize, int* lineLength, FILE* File);

// ---------------------------------------------------------------------------
// Result codes and status colours. Both change a widget: worker threads call them
// only while they hold the toolkit lock.

// Shows a result code of the terminal library in an entry ("OK" in green, the
// failures and unknown codes in red).
void display_diagnosis_string(GtkWidget* txt_ReqOutput, short DiagRequestOut);

// Sets the text colour of a widget, by a colour name the toolkit can parse
// ("green", "red", "yellow", "orange", "blue", "#rrggbb"). The colour stays until
// the next setColor, whatever text is set in between. An unknown name changes
// nothing.
void setColor(GtkWidget* widget, const char* clr);

// ---------------------------------------------------------------------------
// Code tables. Lookups return pointers into these constant tables; out-of-range
// values give a fixed fallback row. Safe from any thread.

// Two-digit codes of the 16 transaction types, in the order of cmb_txn_type.
extern const char tabTxnTypeStringNumber[16][3];
// Names of the 16 transaction types; row 16 is the empty answer for an index out
// of range. Rows of 19 bytes, so that "PRE-AUTH INCREMENT" keeps its terminator.
extern const char tabTxnType[17][19];
// Transaction status texts; row 15 "Unknown" (out of range), row 16 "" (empty field).
extern const char tabTxnStatus[17][30];
// Card entry methods; row 7 "Unknown" (out of range).
extern const char tabEntryMethod[8][18];
// Magnetic track read statuses; row 10 "UNKNOWN STATUS!" (out of range).
extern const char tabReadTrackStatus[11][16];

// ISO 4217 numeric code and the text shown for it (a sign in UTF-8 for three codes,
// the alphabetic code for the others).
struct CurrencySymbol {
    int code;
    char text[4];
};
extern const CurrencySymbol tabCurrencySymbol[24];

// Two-digit code of the active row of the transaction type combo box; "00" (sale)
// when no row is active, the row is above 15, or combo_box is null.
const char* get_transaction_type(GtkComboBox* combo_box);

// Name of transaction type idx (0 to 15); "" for any other value.
const char* get_txn_type(int idx);

// Text of a NUL-terminated transaction status: "" when empty (or null); otherwise
// its decimal value as the C library converts it (leading blanks and a sign
// accepted, stops at the first non-digit, no digits gives 0): 0 to 14 give their
// row, anything else "Unknown".
const char* DiagTxnStatus(const char* TxnStatus);

// Same for a status field of `width` bytes that may lack a terminator (a record's
// two-digit field): at most `width` bytes are read.
const char* DiagTxnStatus(const char* TxnStatus, std::size_t width);

// Status texts of the mobile top-up voucher sale and of the top-up settlement: the
// two terminals' tables differ from row 2 on. Row 7 is "Unknown" (out of range).
extern const char tabMtTxnStatus[8][20];
extern const char tabMtuSettStatus[8][20];

// Text of a voucher sale's status field of `width` bytes: "" when empty, otherwise
// its decimal value (as DiagTxnStatus reads it) selects the row; anything outside
// 0 to 6 gives "Unknown".
const char* DiagMtTxnStatus(const char* TxnStatus, std::size_t width);
// Same with the top-up settlement's table.
const char* DiagMtuSettStatus(const char* TxnStatus, std::size_t width);

// Text of a donation mode: 0 "Round Up", 1 "Top Up", anything else "Unknown".
const char* get_donation_mode_string(int DonationMode);

// Entry method text: 0 to 6 give their row, anything else "Unknown".
const char* GetEntryMethod(int EntryMethodVal);

// Track read status text: 0 to 9 give their row, anything else "UNKNOWN STATUS!".
const char* DiagReadTrackStatus(int Status);

// Writes the currency text of an ISO 4217 numeric code, with its terminator, into
// CurrencySymbol, which must hold at least 4 bytes; an unknown code gives "".
void GetCurrencySymbol(int CurrencyNum, char* CurrencySymbol);

// Writes "FALSE" (0), "TRUE" (1) or "UNKNOWN" (any other value) into BoolString,
// which must hold at least 8 bytes.
void get_bool_string(unsigned char BoolVal, char* BoolString);

// ---------------------------------------------------------------------------
// Text helpers

// Turns a receipt line into UTF-8. A line that is valid UTF-8 is copied unchanged.
// Otherwise the line's control characters are blanked in Buffer (as
// ReplaceNonPrintableCharacters does) and it is converted from the character set
// named by SMB_CODESET (when set and not empty) or else the locale's; "ISO-" reads
// as "ISO-8859-1". When the conversion fails BufferResult is left as it was.
// Buffer must not be null (a failed assertion ends the program).
// The result is cut at a character boundary to fit ResultSize bytes, terminator
// included; a null BufferResult or a ResultSize of 0 writes nothing.
void ConvertExtendedAsciiChars(char* Buffer, char* BufferResult, std::size_t ResultSize);

// Same, for a BufferResult of at least 3 * strlen(Buffer) + 1 bytes (a byte of a
// single-byte character set never needs more than 3 bytes of UTF-8).
void ConvertExtendedAsciiChars(char* Buffer, char* BufferResult);

// Replaces in place every byte below 32 except the line feed by a space; bytes of
// 128 and above stay. A null Buffer is ignored.
void ReplaceNonPrintableCharacters(gchar* Buffer);

// Right-aligns the text of a buffer of BufferLen bytes in place: a text of 1 to
// BufferLen - 2 characters becomes BufferLen - 1 characters, PaddingChar repeated
// on the left. An empty text, or one of BufferLen - 1 characters or more, is left
// unchanged.
void LeftPadBuffer(char* Buffer, int BufferLen, char PaddingChar);
