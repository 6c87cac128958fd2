// The settings file ECRConf: reading, writing, and the line reader under it.
#include "common_Routines.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The file lives in the working directory: every test runs in a fresh one.
class SettingsFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        previous_cwd_ = fs::current_path();
        std::string pattern = (fs::temp_directory_path() / "kelvra-settings-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        fs::current_path(dir_);
        g_SettingStruct = SettingsSave{};
    }
    void TearDown() override {
        fs::current_path(previous_cwd_);
        std::error_code ignored;
        fs::permissions(dir_, fs::perms::owner_all, ignored);
        fs::remove_all(dir_, ignored);
    }

    static void write_file(const std::string& bytes) {
        std::ofstream out("ECRConf", std::ios::binary | std::ios::trunc);
        out << bytes;
    }
    static std::string read_file() {
        std::ifstream in("ECRConf", std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }

    fs::path previous_cwd_;
    fs::path dir_;
};

// One readable line per field, so that a failure shows which field differs.
std::string dump(const SettingsSave& s) {
    std::string out;
    auto add = [&out](const char* name, const char* field, std::size_t width) {
        out += name;
        out += "=[";
        out.append(field, strnlen(field, width));
        out += "]\n";
    };
#define ADD(f) add(#f, s.f, sizeof s.f)
    ADD(Amount1Label);
    ADD(Amount2Label);
    ADD(Amount3Label);
    ADD(Amount4Label);
    ADD(CustomLine1);
    ADD(CashierId);
    ADD(TableId);
    ADD(TerminalIPAddress);
    ADD(CertificationPath);
    ADD(LogFileFolderPath);
    ADD(MobileTopupCashierId);
    ADD(MobileTopupGSMPw);
    ADD(TFRFormNumber);
#undef ADD
    return out;
}

template <std::size_t N> void set(char (&field)[N], const std::string& text) {
    ASSERT_LT(text.size(), N);
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), text.size());
}

TEST_F(SettingsFileTest, NoFileGivesTheDefaultLabelsAndLeavesTheRest) {
    set(g_SettingStruct.CashierId, "77"); // the caller clears the record, not the reader
    ReadSettingFile();

    SettingsSave expected{};
    set(expected.Amount1Label, "Amount1");
    set(expected.Amount2Label, "Amount2");
    set(expected.Amount3Label, "Amount3");
    set(expected.Amount4Label, "Amount4");
    set(expected.CashierId, "77");
    EXPECT_EQ(dump(expected), dump(g_SettingStruct));
}

struct ReadCase {
    const char* name;
    std::string file;
    std::function<void(SettingsSave&)> expect;
};

TEST_F(SettingsFileTest, ReadsLinesAsKeyColonValue) {
    const std::string long_path(280, 'p');
    const std::vector<ReadCase> cases = {
        {"only one key: the labels stay empty", "CashierId:1234\n",
         [](SettingsSave& e) { set(e.CashierId, "1234"); }},
        {"any order, last line without line feed",
         "TFRFormNumber:12345\nAmount2Label:Tip\nTerminalIPAddress:192.168.0.10",
         [](SettingsSave& e) {
             set(e.TFRFormNumber, "12345");
             set(e.Amount2Label, "Tip");
             set(e.TerminalIPAddress, "192.168.0.10");
         }},
        {"a repeated key: the last line wins", "TableId:7\nCashierId:1\nTableId:8\n",
         [](SettingsSave& e) {
             set(e.TableId, "8");
             set(e.CashierId, "1");
         }},
        {"an empty value replaces an earlier one", "CashierId:99\nCashierId:\n",
         [](SettingsSave&) {}},
        {"the value keeps further colons and spaces", "CustomLine1:a:b\nAmount1Label: x \n",
         [](SettingsSave& e) {
             set(e.CustomLine1, "a:b");
             set(e.Amount1Label, " x ");
         }},
        {"keys match exactly and case-sensitively",
         "CashierId :12\ncashierid:34\n CashierId:56\nCashierIdX:78\nTableId:9\n",
         [](SettingsSave& e) { set(e.TableId, "9"); }},
        {"empty lines and lines without a colon are skipped", "\n\nno colon here\n:\nTableId:5\n",
         [](SettingsSave& e) { set(e.TableId, "5"); }},
        {"CR LF line ends read like LF", "Amount1Label:Total\r\nCashierId:12\r\n\r\nTableId:3\r\n",
         [](SettingsSave& e) {
             set(e.Amount1Label, "Total");
             set(e.CashierId, "12");
             set(e.TableId, "3");
         }},
        {"values are cut to the field's width less one",
         "CashierId:12345\nTableId:123\nTFRFormNumber:1234567\nAmount1Label:"
         "abcdefghijklmnopqrstuvwxyz\nMobileTopupGSMPw:secret\nCertificationPath:" +
             long_path + "\n",
         [&long_path](SettingsSave& e) {
             set(e.CashierId, "1234");
             set(e.TableId, "12");
             set(e.TFRFormNumber, "12345");
             set(e.Amount1Label, "abcdefghijklmnopqrs");
             set(e.MobileTopupGSMPw, "secr");
             set(e.CertificationPath, long_path.substr(0, 255));
         }},
        {"a 1000-character line is cut and the next line still read",
         "CustomLine1:" + std::string(1000, 'x') + "\nTableId:7\n",
         [](SettingsSave& e) {
             set(e.CustomLine1, std::string(39, 'x'));
             set(e.TableId, "7");
         }},
        {"the dropped rest of a long line is not read as a line",
         std::string(300, 'y') + "TableId:9\nCashierId:1\n",
         [](SettingsSave& e) { set(e.CashierId, "1"); }},
        {"a key of 40 characters is ignored",
         std::string(40, 'K') + ":value\n" + std::string(31, 'T') + ":v\nTableId:4\n",
         [](SettingsSave& e) { set(e.TableId, "4"); }},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        write_file(c.file);
        g_SettingStruct = SettingsSave{};
        ReadSettingFile();
        SettingsSave expected{};
        c.expect(expected);
        EXPECT_EQ(dump(expected), dump(g_SettingStruct));
    }
}

TEST_F(SettingsFileTest, WritesThirteenLinesInTheRecordOrder) {
    set(g_SettingStruct.Amount1Label, "Amount1");
    set(g_SettingStruct.Amount2Label, "Tip");
    set(g_SettingStruct.CustomLine1, "Thank you: come again");
    set(g_SettingStruct.TableId, "12");
    set(g_SettingStruct.TerminalIPAddress, "10.0.0.7");
    set(g_SettingStruct.LogFileFolderPath, "/var/log/ped");
    set(g_SettingStruct.MobileTopupGSMPw, "0000");
    // A field filled to its width without a terminator is still written cut to
    // width - 1 characters.
    std::memcpy(g_SettingStruct.CashierId, "12345", 5);
    SaveSettingFile();

    EXPECT_EQ("Amount1Label:Amount1\n"
              "Amount2Label:Tip\n"
              "Amount3Label:\n"
              "Amount4Label:\n"
              "CustomLine1:Thank you: come again\n"
              "CashierId:1234\n"
              "TableId:12\n"
              "TerminalIPAddress:10.0.0.7\n"
              "CertificationPath:\n"
              "LogFileFolderPath:/var/log/ped\n"
              "MobileTopupCashierId:\n"
              "MobileTopupGSMPw:0000\n"
              "TFRFormNumber:\n",
              read_file());
}

TEST_F(SettingsFileTest, WhatIsWrittenReadsBackTheSame) {
    set(g_SettingStruct.Amount1Label, std::string(19, 'a'));
    set(g_SettingStruct.Amount4Label, "Cash back");
    set(g_SettingStruct.CustomLine1, std::string(39, ':'));
    set(g_SettingStruct.CashierId, "0042");
    set(g_SettingStruct.TerminalIPAddress, "255.255.255.255");
    set(g_SettingStruct.CertificationPath, std::string(255, 'c'));
    set(g_SettingStruct.LogFileFolderPath, "/tmp/a b/" + std::string(246, 'l'));
    set(g_SettingStruct.MobileTopupCashierId, "9");
    set(g_SettingStruct.TFRFormNumber, "00001");
    const SettingsSave saved = g_SettingStruct;
    SaveSettingFile();

    g_SettingStruct = SettingsSave{};
    ReadSettingFile();
    EXPECT_EQ(dump(saved), dump(g_SettingStruct));
    EXPECT_EQ(0, std::memcmp(&saved, &g_SettingStruct, sizeof saved));
}

TEST_F(SettingsFileTest, TheWrittenFileIsReadableByItsOwnerOnly) {
    write_file("CashierId:1\n");
    ASSERT_EQ(0, chmod("ECRConf", 0644));
    const mode_t previous_umask = umask(022);
    set(g_SettingStruct.MobileTopupGSMPw, "1234");
    SaveSettingFile();
    umask(previous_umask);

    struct stat st {};
    ASSERT_EQ(0, stat("ECRConf", &st));
    EXPECT_EQ(0600u, st.st_mode & 0777);
    EXPECT_NE(std::string::npos, read_file().find("MobileTopupGSMPw:1234\n"));
}

TEST_F(SettingsFileTest, AFileThatCannotBeReplacedLeavesNothingBehind) {
    // A directory in the file's place cannot be replaced by a file.
    fs::create_directory("ECRConf");
    std::ofstream("ECRConf/inside") << "kept";
    set(g_SettingStruct.CashierId, "1");
    SaveSettingFile();

    EXPECT_TRUE(fs::is_directory("ECRConf"));
    EXPECT_TRUE(fs::exists("ECRConf/inside"));
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator("."))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(std::vector<std::string>{"ECRConf"}, names) << "no temporary file is left";
}

TEST_F(SettingsFileTest, AnUnwritableFolderKeepsTheOldFile) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    write_file("CashierId:1\n");
    ASSERT_EQ(0, chmod(".", 0500));
    set(g_SettingStruct.CashierId, "2");
    SaveSettingFile();
    chmod(".", 0700);
    EXPECT_EQ("CashierId:1\n", read_file());
}

// ---------------------------------------------------------------------------
// read_line

// A FILE holding exactly these bytes.
struct TempFile {
    explicit TempFile(const std::string& bytes) : file(std::tmpfile()) {
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::rewind(file);
    }
    ~TempFile() { std::fclose(file); }
    FILE* file;
};

struct LineRead {
    int consumed;
    int length;
    std::string text;
};

struct ReadLineCase {
    const char* name;
    std::string bytes;
    std::vector<LineRead> lines; // up to and including the read that returns 0
};

TEST(ReadLine, CountsConsumedAndStoredBytes) {
    const std::vector<ReadLineCase> cases = {
        {"empty file", "", {{0, 0, ""}}},
        {"LF lines, last without LF", "ab\ncd", {{3, 2, "ab"}, {2, 2, "cd"}, {0, 0, ""}}},
        {"carriage returns dropped wherever they stand",
         "a\rb\r\n\r\n\r",
         {{5, 2, "ab"}, {2, 0, ""}, {1, 0, ""}, {0, 0, ""}}},
        {"empty lines", "\n\n", {{1, 0, ""}, {1, 0, ""}, {0, 0, ""}}},
        {"300 characters fit",
         std::string(300, 'a') + "\n",
         {{301, 300, std::string(300, 'a')}, {0, 0, ""}}},
        {"the 301st character is dropped",
         std::string(301, 'b') + "\nz",
         {{302, 300, std::string(300, 'b')}, {1, 1, "z"}, {0, 0, ""}}},
        {"1000 characters, then a normal line",
         std::string(1000, 'c') + "\nok\n",
         {{1001, 300, std::string(300, 'c')}, {3, 2, "ok"}, {0, 0, ""}}},
    };
    for (const ReadLineCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempFile f(c.bytes);
        // Exactly the documented size on the heap, so that a write past it is caught.
        auto buffer = std::make_unique<char[]>(kSettingsLineSize);
        for (const LineRead& expected : c.lines) {
            int length = -1;
            EXPECT_EQ(expected.consumed, read_line(buffer.get(), &length, f.file));
            if (expected.consumed == 0)
                break;
            EXPECT_EQ(expected.length, length);
            EXPECT_EQ(expected.text, std::string(buffer.get()));
        }
    }
}

TEST(ReadLine, NullArgumentsReadNothing) {
    TempFile f("xy\n");
    char buffer[kSettingsLineSize];
    int length = 42;
    EXPECT_EQ(0, read_line(nullptr, &length, f.file));
    EXPECT_EQ(0, read_line(buffer, &length, nullptr));
    EXPECT_EQ(42, length);
    EXPECT_EQ('x', std::fgetc(f.file)) << "nothing was consumed";
    EXPECT_EQ(2, read_line(buffer, nullptr, f.file)) << "the length pointer is optional";
    EXPECT_STREQ("y", buffer);
}

TEST(ReadLine, BoundedVariantStoresAtMostSizeLessOne) {
    struct Case {
        std::size_t size;
        int consumed;
        std::string text;
    };
    for (const Case& c : std::vector<Case>{{4, 7, "abc"}, {1, 7, ""}, {8, 7, "abcdef"}}) {
        SCOPED_TRACE(c.size);
        TempFile f("abcdef\nnext\n");
        auto buffer = std::make_unique<char[]>(c.size);
        int length = -1;
        EXPECT_EQ(c.consumed, read_line_bounded(buffer.get(), c.size, &length, f.file));
        EXPECT_EQ(static_cast<int>(c.text.size()), length);
        EXPECT_EQ(c.text, std::string(buffer.get()));
    }
    TempFile f("abc\n");
    char unused = 'u';
    int length = 42;
    EXPECT_EQ(0, read_line_bounded(&unused, 0, &length, f.file));
    EXPECT_EQ(42, length);
    EXPECT_EQ('u', unused);
}

} // namespace
