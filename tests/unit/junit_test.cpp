// The JUnit report: valid against tests/data/junit.xsd, with special characters
// escaped and failures carrying what was expected and what came.
#include "junit.h"
#include "test_env.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

std::vector<SuiteResult> sample_report() {
    SuiteResult sale{"Sale & void <\"quoted\">", "sale.yaml", 0.5, {}};
    StepResult ok{"SALE", "SALE", "sale.yaml", 4, 0.002, {},
                  {"TOTAL \xE2\x82\xAC" "45.00", "A&B", "Zah\xE1jeno"}}; // the last not UTF-8
    StepResult failed{"VOID 'it' #2", "VOID", "sale.yaml", 12, 0.003,
                      {{"status", "Authorised", "Not <authorised> & \"declined\""},
                       {"field InvoiceNumber", "000001", "\x01"}},
                      {}};
    sale.steps = {ok, failed};
    SuiteResult empty{"empty", "empty.yaml", 0, {}};
    return {sale, empty};
}

TEST(JunitReport, ValidatesAgainstTheSchema) {
    const std::string path = test_work_dir() + "/report.xml";
    std::string error;
    ASSERT_TRUE(write_junit_file(path, sample_report(), &error)) << error;
    const std::string command = "xmllint --noout --schema " KELVRA_SOURCE_DIR
                                "/tests/data/junit.xsd " +
                                path + " 2>" + test_work_dir() + "/xmllint.txt";
    EXPECT_EQ(std::system(command.c_str()), 0) << "see " << test_work_dir() << "/xmllint.txt";
}

TEST(JunitReport, EscapesAndCountsFailures) {
    std::ostringstream out;
    write_junit(out, sample_report());
    const std::string xml = out.str();
    const char* const expected[] = {
        "name=\"Sale &amp; void &lt;&quot;quoted&quot;&gt;\" file=\"sale.yaml\" tests=\"2\" "
        "failures=\"1\"",
        "name=\"VOID &apos;it&apos; #2\"",
        "<failure message=\"status\">expected: Authorised&#10;actual: Not &lt;authorised&gt; "
        "&amp; &quot;declined&quot;</failure>",
        "actual:  </failure>", // a control character blanked
        "<system-out>TOTAL \xE2\x82\xAC" "45.00&#10;A&amp;B&#10;Zah\xC3\xA1jeno&#10;</system-out>",
        "<testsuites name=\"kelvra-run\" tests=\"2\" failures=\"1\"",
    };
    for (const char* part : expected)
        EXPECT_NE(xml.find(part), std::string::npos) << part << "\nin\n" << xml;
}

} // namespace
