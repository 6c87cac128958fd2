#include "code_texts.h"

#include "fields.h"

#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <string>

namespace {

const char* const kDiagnosisTexts[] = {
    "OK",                         // 0
    "Unable To Connect",          // 1
    "Unable To Send Request",     // 2
    "Bad Request Format",         // 3
    "Bad Request Size",           // 4
    "Reception Timeout",          // 5
    "Reception Error",            // 6
    "Bad Response Format",        // 7
    "Bad Response Size",          // 8
    "PED Not Authenticated",      // 9
    "No Received Data",           // 10
    "Failure To Start Server",    // 11
    "Server Already Started",     // 12
    "Failure to Stop Server",     // 13
    "Server Already Stopped",     // 14
    "Error Winsock Library",      // 15
    "Error Socket Creation",      // 16
    "Error Binding Socket",       // 17
    "Error Listening Socket",     // 18
    "Error To Accept Connection", // 19
    "Event Server Is Down",       // 20
};
constexpr int kDiagnosisCount = static_cast<int>(std::size(kDiagnosisTexts));

} // namespace

const char* result_code_text(short DiagRequestOut) {
    const bool known = DiagRequestOut >= 0 && DiagRequestOut < kDiagnosisCount;
    return known ? kDiagnosisTexts[DiagRequestOut] : "Unknown";
}

// ===========================================================================
// Code tables

namespace {

struct CodeNames {
    CodeTable table;
    std::initializer_list<const char*> names;
    const char* other; // for a value without a name
};
const CodeNames kCodeNames[] = {
    {CodeTable::SettlementStatus,
     {"Authorised", "Not Authorised", "Unable To Connect", "Cancelled", "No Transaction"},
     "Unknown"},
    {CodeTable::TaxFreeStatus, {"Failed", "Successful"}, "Unknown"},
    {CodeTable::BankType, {"Non Bank Funded", "Bank Funded"}, "Unknown"},
    {CodeTable::ExchangeRateStatus,
     {"Merchant Not DCC Enabled", "Rates Sent Successfully", "Unable To Connect", "Cancelled"},
     nullptr},
};

} // namespace

const char* code_name(CodeTable table, int value) {
    for (const CodeNames& c : kCodeNames)
        if (c.table == table)
            return value >= 0 && value < static_cast<int>(c.names.size()) ? c.names.begin()[value]
                                                                          : c.other;
    return nullptr;
}

const char tabTxnTypeStringNumber[16][3] = {
    "00", "01", "02", "03", "04", "05", "06", "07", "08", "09", "10", "11", "12", "13", "14", "15",
};

const char tabTxnType[17][19] = {
    "SALE",
    "REFUND",
    "VOID",
    "DUPLICATA",
    "CASH ADVANCE",
    "PWCB",
    "PRE-AUTH",
    "COMPLETION",
    "VERIFY ACCOUNT",
    "REVERSAL",
    "FORCE",
    "MOTO SALE",
    "MOTO REFUND",
    "PRE-AUTH REVERSAL",
    "CANCEL",
    "PRE-AUTH INCREMENT",
    "",
};

const char tabTxnStatus[17][30] = {
    "Authorised",
    "Not authorised",
    "Not processed",
    "Unable to authorise",
    "Unable to process",
    "Unable to connect",
    "Void",
    "Cancelled",
    "Invalid Password",
    "Amount Exceed Maximum Limit",
    "Connection Failure",
    "Timeout Reached",
    "Invoice Not Found",
    "CashBack Exceed Maximum Limit",
    "CashBack Not Allowed",
    "Unknown",
    "",
};

// "Not Authorised " keeps the trailing blank with which the terminal's tables have it.
const char tabMtTxnStatus[8][20] = {
    "Authorised",       "Not Authorised ",    "Unable To Authorise", "Unable To Connect",
    "Invalid Password", "Connection Failure", "Timeout Reached",     "Unknown",
};
const char tabMtuSettStatus[8][20] = {
    "Authorised",     "Not Authorised ", "Unable To Connect", "Cancelled",
    "No Transaction", "Unknown",         "Unknown",           "Unknown",
};

const char tabEntryMethod[8][18] = {
    "None",    "keyed", "Swiped", "Inserted", "Waved", "Keyed not present", "Swiped Fallback",
    "Unknown",
};

const char tabReadTrackStatus[11][16] = {
    "ISO_OK",  "DEF_SEP",     "DEF_PAR",      "DEF_LRC",     "DEF_LUH",         "DEF_NUM",
    "NO_DATA", "USER_CANCEL", "NO_ISO_TRACK", "NOT_ALLOWED", "UNKNOWN STATUS!",
};

const CurrencySymbol tabCurrencySymbol[24] = {
    {36, "AUD"},  {124, "CAD"}, {156, "CNY"},          {203, "CZK"}, {208, "DKK"},
    {344, "HKD"}, {348, "HUF"}, {376, "ILS"},          {392, "JPY"}, {410, "KRW"},
    {554, "NZD"}, {578, "NOK"}, {643, "RUB"},          {682, "SAR"}, {702, "SGD"},
    {710, "ZAR"}, {752, "SEK"}, {756, "CHF"},          {784, "AED"}, {826, "\xC2\xA3"},
    {840, "$"},   {949, "TRY"}, {978, "\xE2\x82\xAC"}, {985, "PLN"},
};

namespace {
constexpr int kTxnTypeCount = 16;
constexpr int kTxnTypeOutOfRange = 16;
constexpr long kTxnStatusCount = 15;
constexpr int kTxnStatusUnknown = 15;
constexpr int kTxnStatusEmpty = 16;
constexpr int kEntryMethodUnknown = 7;
constexpr int kReadTrackStatusUnknown = 10;
} // namespace

const char* get_txn_type(int idx) {
    if (idx < 0 || idx >= kTxnTypeCount)
        return tabTxnType[kTxnTypeOutOfRange];
    return tabTxnType[idx];
}

namespace {

// Reads a decimal number the way the C library's atoi does (leading blanks, one
// sign, digits up to the first non-digit, no digits giving 0), but over at most
// `width` bytes and saturating where atoi would overflow.
long decimal_value(const char* text, std::size_t width) {
    std::size_t i = 0;
    while (i < width && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < width && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    long value = 0;
    for (; i < width && text[i] >= '0' && text[i] <= '9'; ++i)
        value = value < LONG_MAX / 10 ? value * 10 + (text[i] - '0') : LONG_MAX;
    return negative ? -value : value;
}

} // namespace

const char* DiagTxnStatus(const char* TxnStatus, std::size_t width) {
    if (!TxnStatus || width == 0 || TxnStatus[0] == '\0')
        return tabTxnStatus[kTxnStatusEmpty];
    const long value = decimal_value(TxnStatus, width);
    if (value < 0 || value >= kTxnStatusCount)
        return tabTxnStatus[kTxnStatusUnknown];
    return tabTxnStatus[value];
}

const char* DiagTxnStatus(const char* TxnStatus) {
    return DiagTxnStatus(TxnStatus, SIZE_MAX);
}

namespace {

constexpr long kMtStatusUnknown = 7;

const char* mt_status_text(const char (&table)[8][20], const char* status, std::size_t width) {
    if (!status || width == 0 || status[0] == '\0')
        return "";
    const long value = decimal_value(status, width);
    return table[value < 0 || value >= kMtStatusUnknown ? kMtStatusUnknown : value];
}

} // namespace

const char* DiagMtTxnStatus(const char* TxnStatus, std::size_t width) {
    return mt_status_text(tabMtTxnStatus, TxnStatus, width);
}

const char* DiagMtuSettStatus(const char* TxnStatus, std::size_t width) {
    return mt_status_text(tabMtuSettStatus, TxnStatus, width);
}

const char* get_donation_mode_string(int DonationMode) {
    switch (DonationMode) {
    case 0:
        return "Round Up";
    case 1:
        return "Top Up";
    default:
        return "Unknown";
    }
}

const char* GetEntryMethod(int EntryMethodVal) {
    if (EntryMethodVal < 0 || EntryMethodVal >= kEntryMethodUnknown)
        return tabEntryMethod[kEntryMethodUnknown];
    return tabEntryMethod[EntryMethodVal];
}

const char* DiagReadTrackStatus(int Status) {
    if (Status < 0 || Status >= kReadTrackStatusUnknown)
        return tabReadTrackStatus[kReadTrackStatusUnknown];
    return tabReadTrackStatus[Status];
}

void GetCurrencySymbol(int CurrencyNum, char* CurrencySymbol) {
    if (!CurrencySymbol)
        return;
    CurrencySymbol[0] = '\0';
    for (const auto& entry : tabCurrencySymbol) {
        if (entry.code == CurrencyNum) {
            std::memcpy(CurrencySymbol, entry.text, sizeof entry.text); // 4 bytes, NUL included
            return;
        }
    }
}

void get_bool_string(unsigned char BoolVal, char* BoolString) {
    if (!BoolString)
        return;
    const char* text = BoolVal == 0 ? "FALSE" : BoolVal == 1 ? "TRUE" : "UNKNOWN";
    std::memcpy(BoolString, text, std::strlen(text) + 1); // at most 8 bytes
}

// ===========================================================================
// Text helpers

void LeftPadBuffer(char* Buffer, int BufferLen, char PaddingChar) {
    if (!Buffer || BufferLen < 2)
        return;
    const std::size_t target = static_cast<std::size_t>(BufferLen) - 1;
    const std::size_t length = strnlen(Buffer, target);
    if (length == 0 || length >= target)
        return;
    const std::size_t padding = target - length;
    std::memmove(Buffer + padding, Buffer, length);
    std::memset(Buffer, PaddingChar, padding);
    Buffer[target] = '\0';
}

std::string latin2_to_utf8(const std::string& text) {
    gchar* converted = g_convert(text.data(), static_cast<gssize>(text.size()), "UTF-8",
                                 "ISO-8859-2", nullptr, nullptr, nullptr);
    if (!converted)
        return "";
    std::string utf8 = converted;
    g_free(converted);
    return utf8;
}
