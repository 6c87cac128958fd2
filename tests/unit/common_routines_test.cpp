// Code tables and text helpers shared by every operation, and the settings file ECRConf
// with its line reader. Tables are checked at both ends and just outside them.
#include "common_Routines.h"
#include "test_util.h"

#include <climits>
#include <clocale>
#include <cstdio>
#include <map>
#include <memory>
#include <tuple>

namespace fs = std::filesystem;

namespace {

std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : bytes)
        out += std::string{digits[b >> 4], digits[b & 15], ' '};
    return out;
}

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

// The settings file ECRConf: reading, writing, and the line reader under it.
// The file lives in the working directory: every test runs in a fresh one.
class SettingsFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        previous_cwd_ = fs::current_path();
        dir_ = fresh_test_dir("settings");
        fs::current_path(dir_);
        g_SettingStruct = SettingsSave{};
    }
    void TearDown() override {
        fs::current_path(previous_cwd_);
        fs::permissions(dir_, fs::perms::owner_all);
    }
    static void write_file(const std::string& bytes) {
        std::ofstream("ECRConf", std::ios::binary | std::ios::trunc) << bytes;
    }
    fs::path previous_cwd_;
    fs::path dir_;
};

// clang-format off
#define SETTINGS_FIELDS(X) X(Amount1Label) X(Amount2Label) X(Amount3Label) X(Amount4Label) \
    X(CustomLine1) X(CashierId) X(TableId) X(TerminalIPAddress) X(CertificationPath) \
    X(LogFileFolderPath) X(MobileTopupCashierId) X(MobileTopupGSMPw) X(TFRFormNumber)
// clang-format on

using Fields = std::map<std::string, std::string>; // the fields that are not empty

Fields fields_of(const SettingsSave& s) {
    Fields fields;
#define ADD(f) fields[#f] = std::string(s.f, strnlen(s.f, sizeof s.f));
    SETTINGS_FIELDS(ADD);
#undef ADD
    std::erase_if(fields, [](const auto& field) { return field.second.empty(); });
    return fields;
}

// Defaults without a file, any order of keys, CR LF, colons in values and a cut
// value are shown through the window's start and close.
TEST_F(SettingsFileTest, ReadsLinesAsKeyColonValue) {
    struct Case {
        const char* name;
        std::string file;
        Fields expected;
    };
    const std::string path(280, 'p');
    const std::vector<Case> cases = {
        {"a repeated key: the last line wins, an empty value too; no final line feed",
         "TableId:7\nTableId:8\nCashierId:99\nCashierId:",
         {{"TableId", "8"}}},
        {"the value keeps spaces", "Amount1Label: x \n", {{"Amount1Label", " x "}}},
        {"keys match exactly; empty lines and lines without a colon are skipped",
         "CashierId :12\ncashierid:34\n CashierId:56\nCashierIdX:78\n\nno colon\n:\nTableId:9\n",
         {{"TableId", "9"}}},
        {"the longest value is cut to the field's width less one",
         "CertificationPath:" + path + "\n",
         {{"CertificationPath", path.substr(0, 255)}}},
        {"a 1000-character line is cut and the next line still read",
         "CustomLine1:" + std::string(1000, 'x') + "\nTableId:7\n",
         {{"CustomLine1", std::string(39, 'x')}, {"TableId", "7"}}},
        {"the dropped rest of a long line is not read as a line",
         std::string(300, 'y') + "TableId:9\nCashierId:1\n",
         {{"CashierId", "1"}}},
        {"a key of 40 characters is ignored",
         std::string(40, 'K') + ":value\n" + std::string(31, 'T') + ":v\nTableId:4\n",
         {{"TableId", "4"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        write_file(c.file);
        g_SettingStruct = SettingsSave{};
        ReadSettingFile();
        EXPECT_EQ(c.expected, fields_of(g_SettingStruct));
        // It holds a password: a file left readable (written here with the umask's
        // mode) is the owner's alone once read.
        EXPECT_EQ(fs::status("ECRConf").permissions(), fs::perms(0600));
    }
}

TEST_F(SettingsFileTest, AFileThatCannotBeReplacedLeavesNothingBehind) {
    fs::create_directory("ECRConf"); // a directory cannot be replaced by a file
    SaveSettingFile();
    EXPECT_TRUE(fs::is_directory("ECRConf"));
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator("."))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(std::vector<std::string>{"ECRConf"}, names) << "no temporary file is left";
}

TEST_F(SettingsFileTest, AnUnwritableFolderKeepsTheOldFile) {
    write_file("CashierId:1\n");
    {
        ReadOnly folder(dir_.string());
        if (!folder.unavailable().empty())
            GTEST_SKIP() << folder.unavailable();
        fs::current_path(dir_); // the folder as mounted now
        SaveSettingFile();
    }
    fs::current_path(dir_);
    EXPECT_EQ("CashierId:1\n", read_file("ECRConf"));
}

// The line reader under it, at the 300-character boundary of its buffer.
TEST(ReadLine, CountsConsumedAndStoredBytes) {
    std::FILE* file = std::tmpfile();
    const std::string bytes = std::string(300, 'a') + "\n" + std::string(301, 'b') + "\r\nz";
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::rewind(file);
    // Exactly the documented size on the heap, so that a write past it is caught.
    auto buffer = std::make_unique<char[]>(kSettingsLineSize);
    for (const auto& [consumed, text] :
         {std::pair{301, std::string(300, 'a')}, std::pair{303, std::string(300, 'b')},
          std::pair{1, std::string("z")}}) {
        int length = -1;
        EXPECT_EQ(consumed, read_line(buffer.get(), &length, file));
        EXPECT_EQ(static_cast<int>(text.size()), length);
        EXPECT_EQ(text, std::string(buffer.get()));
    }
    int length = 42;
    EXPECT_EQ(0, read_line(buffer.get(), &length, file)) << "at the end";
    EXPECT_EQ(0, read_line(nullptr, &length, file));
    EXPECT_EQ(0, read_line(buffer.get(), &length, nullptr));
    EXPECT_EQ(std::fclose(file), 0);
}

} // namespace
