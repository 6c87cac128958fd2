// Code tables and text helpers shared by every operation. Each table is checked at
// its first and last entries and just outside them, which proves the lookup.
#include "common_Routines.h"
#include "test_util.h"

#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <memory>
#include <tuple>
#include <vector>

namespace {

std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : bytes)
        out += std::string{digits[b >> 4], digits[b & 15], ' '};
    return out;
}

// ---------------------------------------------------------------------------
// Lookups

TEST(CodeTables, IndexedTablesAtTheirEdges) {
    for (const auto& [idx, name] : std::vector<std::pair<int, const char*>>{
             {0, "SALE"}, {15, "PRE-AUTH INCREMENT"}, {16, ""}, {-1, ""}, {INT_MIN, ""}})
        EXPECT_STREQ(name, get_txn_type(idx)) << idx;
    for (const auto& [value, method, track] :
         std::vector<std::tuple<int, const char*, const char*>>{
             {0, "None", "ISO_OK"},
             {6, "Swiped Fallback", "NO_DATA"},
             {7, "Unknown", "USER_CANCEL"},
             {9, "Unknown", "NOT_ALLOWED"},
             {10, "Unknown", "UNKNOWN STATUS!"},
             {-1, "Unknown", "UNKNOWN STATUS!"}}) {
        EXPECT_STREQ(method, GetEntryMethod(value)) << value;
        EXPECT_STREQ(track, DiagReadTrackStatus(value)) << value;
    }
}

TEST(CodeTables, TransactionStatusOfANulTerminatedText) {
    for (const auto& [status, text] : std::vector<std::pair<const char*, const char*>>{
             {"", ""},
             {nullptr, ""},
             {"00", "Authorised"},
             {"14", "CashBack Not Allowed"},
             {"15", "Unknown"},
             {"AB", "Authorised"}, // no digits counts as 0
             {" 7", "Cancelled"},
             {"+3", "Unable to authorise"},
             {"-1", "Unknown"},
             {"7A", "Cancelled"},
             {"000000000000000000000000000012", "Invoice Not Found"},
             {"99999999999999999999999999999", "Unknown"}, // too big for an int
         })
        EXPECT_STREQ(text, DiagTxnStatus(status)) << (status ? status : "(null)");
}

TEST(CodeTables, TransactionStatusOfAFieldWithoutTerminator) {
    // Exactly three bytes on the heap: reading a fourth is caught.
    auto field = std::make_unique<char[]>(3);
    std::memcpy(field.get(), "007", 3);
    EXPECT_STREQ("Cancelled", DiagTxnStatus(field.get(), 3));
    // The next field's digits must not run into the status.
    const char record[] = {'0', '1', '4', '0', '0'};
    EXPECT_STREQ("Not authorised", DiagTxnStatus(record, 2));
    EXPECT_STREQ("", DiagTxnStatus("12", 0));
    EXPECT_STREQ("", DiagTxnStatus(nullptr, 3));
}

TEST(CodeTables, CurrencySymbolBytes) {
    for (const auto& [code, bytes] : std::vector<std::pair<int, std::string>>{
             {978, std::string("\xE2\x82\xAC", 4)}, // three bytes and the NUL fill the minimum
             {36, std::string("AUD", 4)},           // first entry
             {985, std::string("PLN", 4)},          // last entry
             {979, std::string(1, '\0')}}) {
        auto out = std::make_unique<char[]>(4); // the documented minimum
        std::memset(out.get(), 'X', 4);
        GetCurrencySymbol(code, out.get());
        EXPECT_EQ(hex(bytes), hex(std::string(out.get(), bytes.size()))) << code;
    }
}

// ---------------------------------------------------------------------------
// Text helpers

// Restores the locale that a case changed.
class CharsetTest : public ::testing::Test {
  protected:
    void TearDown() override { std::setlocale(LC_ALL, saved_locale_.c_str()); }
    std::string saved_locale_ = std::setlocale(LC_ALL, nullptr);
};

TEST_F(CharsetTest, ConvertsReceiptLinesToUtf8) {
    struct Case {
        const char* name;
        const char* codeset; // SMB_CODESET, null for unset
        bool utf8_locale;
        std::string input;
        std::string buffer_after; // Buffer after the call
        std::string result;       // BufferResult after the call ("previous" when untouched)
    };
    const std::vector<Case> cases = {
        {"valid UTF-8 is copied with its control characters", "ISO-8859-1", false,
         "Caf\xC3\xA9\t1\r\n", "Caf\xC3\xA9\t1\r\n", "Caf\xC3\xA9\t1\r\n"},
        {"Latin-1 byte and tab", "ISO-8859-1", false, "\xE9\t", "\xE9 ", "\xC3\xA9 "},
        {"\"ISO-\" reads as ISO-8859-1", "ISO-", false, "x\xE9", "x\xE9", "x\xC3\xA9"},
        {"a single byte can become three", "CP1252", false, "\x80", "\x80", "\xE2\x82\xAC"},
        {"unset, UTF-8 locale: cannot convert, result untouched", nullptr, true, "\xE9\t", "\xE9 ",
         "previous"},
        {"empty counts as unset", "", true, "\xE9\x01", "\xE9 ", "previous"},
        {"unknown character set: result untouched", "NO-SUCH-CHARSET", false, "\xE9\t", "\xE9 ",
         "previous"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedEnv codeset("SMB_CODESET", c.codeset);
        if (c.utf8_locale) {
            ASSERT_NE(nullptr, std::setlocale(LC_ALL, "C.UTF-8")) << "C.UTF-8 locale missing";
        }
        std::string buffer = c.input;
        char result[64] = "previous";
        ConvertExtendedAsciiChars(buffer.data(), result);
        EXPECT_EQ(hex(c.buffer_after), hex(buffer));
        EXPECT_EQ(hex(c.result), hex(result));
        std::setlocale(LC_ALL, saved_locale_.c_str());
    }
}

} // namespace
