// The texts of the terminal library's result codes and coded fields, and the small
// text helpers for amounts (the receipt line conversion is terminal_text.h's). No
// toolkit: the window, the journal and the tools share them. Lookups return pointers into constant tables and are
// safe from any thread.
#pragma once

#include <glib.h>

#include "terminal_text.h" // the receipt line conversion

#include <cstddef>
#include <string>

// Text of a result code of the terminal library ("OK", "Unable To Connect", ...);
// "Unknown" for a code outside the table.
const char* result_code_text(short DiagRequestOut);

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

// Named codes of the end-of-day records, by value from 0.
enum class CodeTable {
    SettlementStatus,   // "Authorised" ... "No Transaction" (digit text field)
    TaxFreeStatus,      // "Failed", "Successful" (digit text field)
    BankType,           // "Non Bank Funded", "Bank Funded" (16-bit field)
    ExchangeRateStatus, // "Merchant Not DCC Enabled" ... "Cancelled" (16-bit field)
};
// The name of `value` in `table`; a value without a name gives "Unknown", except in
// the exchange-rate table, where it gives null (the window leaves the field as is).
const char* code_name(CodeTable table, int value);

// ---------------------------------------------------------------------------
// Text helpers

// ISO-8859-2 text (the top-up host writes its messages in it) in UTF-8; empty when it
// cannot be converted.
std::string latin2_to_utf8(const std::string& text);

// Right-aligns the text of a buffer of BufferLen bytes in place: a text of 1 to
// BufferLen - 2 characters becomes BufferLen - 1 characters, PaddingChar repeated
// on the left. An empty text, or one of BufferLen - 1 characters or more, is left
// unchanged.
void LeftPadBuffer(char* Buffer, int BufferLen, char PaddingChar);
