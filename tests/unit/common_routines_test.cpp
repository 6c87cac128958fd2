// Code tables and text helpers shared by every operation.
#include "common_Routines.h"

#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
        out += ' ';
    }
    return out;
}

// ---------------------------------------------------------------------------
// Lookups

TEST(CodeTables, TransactionTypeNames) {
    struct Case {
        int idx;
        const char* name;
    };
    for (const Case& c : std::vector<Case>{{0, "SALE"},
                                           {3, "DUPLICATA"},
                                           {13, "PRE-AUTH REVERSAL"},
                                           {14, "CANCEL"},
                                           {15, "PRE-AUTH INCREMENT"},
                                           {16, ""},
                                           {-1, ""},
                                           {INT_MAX, ""},
                                           {INT_MIN, ""}}) {
        SCOPED_TRACE(c.idx);
        EXPECT_STREQ(c.name, get_txn_type(c.idx));
    }
    EXPECT_EQ(tabTxnType[16], get_txn_type(99)) << "a pointer into the table, not a copy";
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(std::to_string(i / 10) + std::to_string(i % 10),
                  std::string(tabTxnTypeStringNumber[i]));
}

TEST(CodeTables, TransactionStatusOfANulTerminatedText) {
    struct Case {
        const char* status;
        const char* text;
    };
    for (const Case& c : std::vector<Case>{
             {"", ""},
             {nullptr, ""},
             {"00", "Authorised"},
             {"01", "Not authorised"},
             {"14", "CashBack Not Allowed"},
             {"15", "Unknown"},
             {"99", "Unknown"},
             {"AB", "Authorised"}, // no digits counts as 0
             {" 7", "Cancelled"},
             {"\t9", "Amount Exceed Maximum Limit"},
             {"+3", "Unable to authorise"},
             {"-1", "Unknown"},
             {"-0", "Authorised"},
             {"7A", "Cancelled"},
             {"000000000000000000000000000012", "Invoice Not Found"},
             {"99999999999999999999999999999", "Unknown"}, // too big for an int
         }) {
        SCOPED_TRACE(c.status ? c.status : "(null)");
        EXPECT_STREQ(c.text, DiagTxnStatus(c.status));
    }
}

TEST(CodeTables, TransactionStatusOfAFieldWithoutTerminator) {
    // Exactly three bytes on the heap: reading a fourth is caught.
    auto field = std::make_unique<char[]>(3);
    std::memcpy(field.get(), "007", 3);
    EXPECT_STREQ("Cancelled", DiagTxnStatus(field.get(), 3));

    // The next field's digits must not run into the status.
    struct {
        char status[2];
        char next[3];
    } record = {{'0', '1'}, {'4', '0', '0'}};
    EXPECT_STREQ("Not authorised", DiagTxnStatus(record.status, sizeof record.status));
    EXPECT_STREQ("", DiagTxnStatus("12", 0));
    EXPECT_STREQ("", DiagTxnStatus(nullptr, 3));
}

TEST(CodeTables, EntryMethodAndTrackStatus) {
    struct Case {
        int value;
        const char* entry_method;
        const char* track_status;
    };
    for (const Case& c : std::vector<Case>{{0, "None", "ISO_OK"},
                                           {1, "keyed", "DEF_SEP"},
                                           {6, "Swiped Fallback", "NO_DATA"},
                                           {7, "Unknown", "USER_CANCEL"},
                                           {9, "Unknown", "NOT_ALLOWED"},
                                           {10, "Unknown", "UNKNOWN STATUS!"},
                                           {-1, "Unknown", "UNKNOWN STATUS!"},
                                           {INT_MIN, "Unknown", "UNKNOWN STATUS!"}}) {
        SCOPED_TRACE(c.value);
        EXPECT_STREQ(c.entry_method, GetEntryMethod(c.value));
        EXPECT_STREQ(c.track_status, DiagReadTrackStatus(c.value));
    }
}

TEST(CodeTables, CurrencySymbolBytes) {
    struct Case {
        int code;
        std::string bytes; // with the terminator
    };
    for (const Case& c : std::vector<Case>{
             {978, std::string("\xE2\x82\xAC", 3) + '\0'},
             {826, std::string("\xC2\xA3", 2) + '\0'},
             {840, std::string("$") + '\0'},
             {36, std::string("AUD") + '\0'},
             {985, std::string("PLN") + '\0'},
             {0, std::string(1, '\0')},
             {-978, std::string(1, '\0')},
             {979, std::string(1, '\0')},
         }) {
        SCOPED_TRACE(c.code);
        auto out = std::make_unique<char[]>(4); // the documented minimum
        std::memset(out.get(), 'X', 4);
        GetCurrencySymbol(c.code, out.get());
        EXPECT_EQ(hex(c.bytes), hex(std::string(out.get(), c.bytes.size())));
    }
}

TEST(CodeTables, BooleanTexts) {
    struct Case {
        unsigned char value;
        const char* text;
    };
    for (const Case& c :
         std::vector<Case>{{0, "FALSE"}, {1, "TRUE"}, {2, "UNKNOWN"}, {255, "UNKNOWN"}}) {
        SCOPED_TRACE(static_cast<int>(c.value));
        auto out = std::make_unique<char[]>(8);
        get_bool_string(c.value, out.get());
        EXPECT_STREQ(c.text, out.get());
    }
}

// ---------------------------------------------------------------------------
// LeftPadBuffer

TEST(LeftPadBuffer, RightAlignsShortTexts) {
    struct Case {
        std::string text; // without terminator when it fills the buffer
        int length;
        char fill;
        std::string expected;
    };
    for (const Case& c : std::vector<Case>{
             {"150", 13, '0', "000000000150"},
             {"1", 13, '0', "000000000001"},
             {"12345678901", 13, ' ', " 12345678901"},
             {"123456789012", 13, '0', "123456789012"}, // exactly BufferLen - 1
             {"", 13, '0', ""},
             {"7", 3, '*', "*7"},
             {"7", 2, '0', "7"},
             {"", 1, '0', ""},
             {"9999999999999", 13, '0', "9999999999999"}, // no terminator inside
         }) {
        SCOPED_TRACE(c.text + " / " + std::to_string(c.length));
        // Exactly BufferLen bytes on the heap: a write or read past them is caught.
        auto buffer = std::make_unique<char[]>(c.length);
        std::memset(buffer.get(), 0, c.length);
        std::memcpy(buffer.get(), c.text.data(), c.text.size());
        LeftPadBuffer(buffer.get(), c.length, c.fill);
        EXPECT_EQ(c.expected, std::string(buffer.get(), strnlen(buffer.get(), c.length)));
    }
}

// ---------------------------------------------------------------------------
// Receipt text

TEST(ReplaceNonPrintableCharacters, BlanksControlBytesButLineFeed) {
    char text[] = "a\tb\nc\rd\x01\x1F\x20\x7F\x80\xE9";
    ReplaceNonPrintableCharacters(text);
    EXPECT_EQ(hex("a b\nc d   \x7F\x80\xE9"), hex(text));
    ReplaceNonPrintableCharacters(nullptr);
}

// Sets or clears SMB_CODESET and the locale's character set for one test.
class CharsetTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const char* v = std::getenv("SMB_CODESET"))
            saved_codeset_ = v;
        saved_locale_ = std::setlocale(LC_ALL, nullptr);
    }
    void TearDown() override {
        if (saved_codeset_)
            setenv("SMB_CODESET", saved_codeset_->c_str(), 1);
        else
            unsetenv("SMB_CODESET");
        std::setlocale(LC_ALL, saved_locale_.c_str());
    }
    static void codeset(const char* name) {
        if (name)
            setenv("SMB_CODESET", name, 1);
        else
            unsetenv("SMB_CODESET");
    }
    static void utf8_locale() {
        ASSERT_NE(nullptr, std::setlocale(LC_ALL, "C.UTF-8")) << "C.UTF-8 locale missing";
    }

    std::optional<std::string> saved_codeset_;
    std::string saved_locale_;
};

struct ConvertCase {
    const char* name;
    const char* codeset; // SMB_CODESET, null for unset
    bool utf8_locale;
    std::string input;
    std::string buffer_after; // Buffer after the call
    std::string result;       // BufferResult after the call ("previous" when untouched)
};

TEST_F(CharsetTest, ConvertsReceiptLinesToUtf8) {
    const std::vector<ConvertCase> cases = {
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
    for (const ConvertCase& c : cases) {
        SCOPED_TRACE(c.name);
        codeset(c.codeset);
        if (c.utf8_locale)
            utf8_locale();
        std::vector<char> buffer(c.input.begin(), c.input.end());
        buffer.push_back('\0');
        char result[64] = "previous";
        ConvertExtendedAsciiChars(buffer.data(), result);
        EXPECT_EQ(hex(c.buffer_after), hex(buffer.data()));
        EXPECT_EQ(hex(c.result), hex(result));
        std::setlocale(LC_ALL, saved_locale_.c_str());
    }
}

TEST_F(CharsetTest, UnboundedVariantFitsThreeBytesPerInputByte) {
    codeset("CP1252");
    char line[] = "\x80\x80\x80\x80\x80";
    auto result = std::make_unique<char[]>(3 * 5 + 1); // the documented minimum
    ConvertExtendedAsciiChars(line, result.get());
    std::string euros;
    for (int i = 0; i < 5; ++i)
        euros += "\xE2\x82\xAC";
    EXPECT_EQ(hex(euros), hex(result.get()));
}

TEST_F(CharsetTest, BoundedVariantCutsAtACharacterBoundary) {
    struct Case {
        const char* codeset;
        std::string input;
        std::size_t size;
        std::string result;
    };
    for (const Case& c : std::vector<Case>{
             {"ISO-8859-1", "\xE9\xE9\xE9", 4, "\xC3\xA9"},
             {"ISO-8859-1", "\xE9\xE9\xE9", 5, "\xC3\xA9\xC3\xA9"},
             {"ISO-8859-1", "\xE9\xE9\xE9", 7, "\xC3\xA9\xC3\xA9\xC3\xA9"},
             {"ISO-8859-1", "\xE9", 2, ""},
             {"ISO-8859-1", "ab\xE9", 1, ""},
             {"ISO-8859-1", "\xE2\x82\xAC\xE2\x82\xAC", 6, "\xE2\x82\xAC"}, // valid UTF-8
             {"ISO-8859-1", "\xE2\x82\xAC\xE2\x82\xAC", 7, "\xE2\x82\xAC\xE2\x82\xAC"},
             {"ISO-8859-1", "abcdef", 4, "abc"},
         }) {
        SCOPED_TRACE(hex(c.input) + "/ " + std::to_string(c.size));
        codeset(c.codeset);
        std::vector<char> buffer(c.input.begin(), c.input.end());
        buffer.push_back('\0');
        auto result = std::make_unique<char[]>(c.size); // exactly the capacity given
        std::memset(result.get(), 'X', c.size);
        ConvertExtendedAsciiChars(buffer.data(), result.get(), c.size);
        EXPECT_EQ(hex(c.result), hex(std::string(result.get(), strnlen(result.get(), c.size))));
        EXPECT_LT(strnlen(result.get(), c.size), c.size) << "terminated inside the capacity";
    }
    char line[] = "\xE9";
    char untouched = 'u';
    ConvertExtendedAsciiChars(line, &untouched, 0);
    EXPECT_EQ('u', untouched);
}

TEST(ConvertExtendedAsciiCharsDeathTest, NullBufferIsAProgrammingError) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    char result[8] = "";
    EXPECT_DEATH(ConvertExtendedAsciiChars(nullptr, result), "");
}

} // namespace
