// Shared by every part of the console: the settings file, the texts of the result
// codes and coded fields, and the small text helpers for amounts and receipt lines.
#pragma once

#include <gtk/gtk.h>

#include <cstddef>
#include <cstdio>

#include "code_texts.h"

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
// Code table of the transaction type combo box

// Two-digit code of the active row of the transaction type combo box; "00" (sale)
// when no row is active, the row is above 15, or combo_box is null.
const char* get_transaction_type(GtkComboBox* combo_box);
