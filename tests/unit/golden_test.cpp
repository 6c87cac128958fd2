// Golden receipts: the ignore rules on the simulated terminal's receipt lines, and a
// recorded receipt compared with a changed one.
#include "golden.h"
#include "test_env.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

std::vector<IgnoreRule> rules(std::initializer_list<const char*> names) {
    std::vector<IgnoreRule> out;
    for (const char* name : names)
        out.push_back(*named_ignore_rule(name));
    return out;
}

struct IgnoreCase {
    const char* rule;
    const char* line;
    const char* golden;
};

// Lines as the simulated terminal prints them (label and value spread over the
// receipt's width), and as other terminals write dates and codes.
const IgnoreCase kIgnoreCases[] = {
    {"date", "2026-12-06 14:03:59", "<date> 14:03:59"},
    {"date", "DATE 06/12/2026  TIME 14:03", "DATE <date>  TIME 14:03"},
    {"date", "TOTAL \xE2\x82\xAC" "45.00", "TOTAL \xE2\x82\xAC" "45.00"},
    {"time", "2026-12-06 14:03:59", "2026-12-06 <time>"},
    {"time", "DATE 06/12/2026  TIME 14:03", "DATE 06/12/2026  TIME <time>"},
    {"time", "TOTAL 12.50", "TOTAL 12.50"},
    {"invoice", "INVOICE                   000123", "INVOICE                   <invoice>"},
    {"invoice", "INV NO: 77", "INV NO: <invoice>"},
    {"invoice", "Inv no: 77", "Inv no: <invoice>"},
    {"invoice", "PLEASE KEEP THIS RECEIPT", "PLEASE KEEP THIS RECEIPT"},
    {"auth_code", "AUTH CODE                 123456", "AUTH CODE                 <auth_code>"},
    {"auth_code", "APPR CODE: 1A2B3C", "APPR CODE: <auth_code>"},
    {"auth_code", "Auth code 1a2b", "Auth code <auth_code>"},
    {"date", "06.12.26", "<date>"},
    {"auth_code", "APPROVED", "APPROVED"},
};

TEST(GoldenReceipt, IgnoreRulesReplaceWhatChangesByNature) {
    for (const IgnoreCase& c : kIgnoreCases)
        EXPECT_EQ(golden_line(c.line, rules({c.rule})), c.golden) << c.rule << ": " << c.line;
}

TEST(GoldenReceipt, CardNumbersAreMaskedAndOwnPatternsApply) {
    EXPECT_EQ(golden_line("CARD 4761739001010119", {}), "CARD 476173******0119");
    const std::vector<IgnoreRule> own = {pattern_ignore_rule("TID [0-9]+", "TID $1-x")};
    EXPECT_EQ(golden_line("TID 12345678 OK", own), "TID $1-x OK");
    EXPECT_FALSE(named_ignore_rule("dates"));
    EXPECT_THROW(pattern_ignore_rule("(unclosed", "x"), std::regex_error);
}

TEST(GoldenReceipt, FileIsNamedByNumberAndSlug) {
    EXPECT_EQ(golden_path("g", 3, "PRE-AUTH Reversal (tip)"), "g/03-pre-auth-reversal-tip.txt");
    EXPECT_EQ(golden_path("g", 12, "SALE"), "g/12-sale.txt");
}

TEST(GoldenReceipt, RecordedReceiptComparesAndAChangedLineIsNamed) {
    const std::string dir = test_work_dir() + "/golden-compare";
    const std::string path = golden_path(dir, 1, "SALE");
    const auto all = rules({"date", "time", "invoice", "auth_code"});
    auto receipt = [&](const char* invoice, const char* total) {
        std::vector<std::string> lines;
        for (const std::string& line :
             {std::string("MERCHANT COPY"), std::string("2026-12-06 14:03:59"),
              std::string("INVOICE                   ") + invoice, std::string(total)})
            lines.push_back(golden_line(line, all));
        return lines;
    };
    std::string error;
    ASSERT_TRUE(write_golden(path, receipt("000001", "TOTAL 45.00"), &error)) << error;
    EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms(0600))
        << "kept by the runner: the tester's alone";
    EXPECT_EQ(compare_golden(path, receipt("000002", "TOTAL 45.00")).message, "");

    const GoldenDifference changed = compare_golden(path, receipt("000003", "TOTAL 46.00"));
    EXPECT_NE(changed.message.find("receipt line 4"), std::string::npos) << changed.message;
    EXPECT_EQ(changed.expected, "TOTAL 45.00");
    EXPECT_EQ(changed.actual, "TOTAL 46.00");

    auto shorter = receipt("000004", "TOTAL 45.00");
    shorter.pop_back();
    const GoldenDifference missing = compare_golden(path, shorter);
    EXPECT_NE(missing.message.find("receipt line 4"), std::string::npos) << missing.message;
    EXPECT_EQ(missing.actual, "(end of receipt)");

    const GoldenDifference absent = compare_golden(dir + "/99-none.txt", shorter);
    EXPECT_NE(absent.message.find("--record-golden"), std::string::npos) << absent.message;
}

} // namespace
