// Reading header values back from a report's text, and adding a header line laid out like
// its neighbour.
#include "crash/report/report_header.h"

#include <gtest/gtest.h>

#include "platform/display_text.h"
#include "tests/crash/report/sample_report.h"
#include "tests/support/case_name.h"

namespace userdb::crash {

namespace {

struct ValueCase {
  const char* what;
  const char* report;
  const char* name;
  std::optional<std::string> value;
};

void PrintTo(const ValueCase& c, std::ostream* out) {
  *out << c.what;
}

class ReadHeaderValueTest : public ::testing::TestWithParam<ValueCase> {};

TEST_P(ReadHeaderValueTest, FindsTheLineThatStartsWithTheName) {
  const ValueCase& c = GetParam();
  const auto value = ReadHeaderValue(c.report, c.name);
  EXPECT_EQ(value, c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadHeaderValueTest,
    ::testing::Values(
        ValueCase{"padded name", "date/time : 1\r\nversion    : 1.0.1.16\r\nx : y", "version",
                  "1.0.1.16"},
        ValueCase{"the first line", "date/time   : 2024-03-07\r\nversion : 1", "date/time",
                  "2024-03-07"},
        ValueCase{"the last line, without a line break", "a : 1\r\ncount : 3", "count", "3"},
        ValueCase{"an empty value", "a : 1\r\nversion : \r\nb : 2", "version", ""},
        ValueCase{"blanks inside the value stay", "a : 1\r\nuser name :  x  y \r\n", "user name",
                  " x  y "},
        ValueCase{"the name inside another name", "a : 1\r\nQuorvex version : 3.0e", "version",
                  std::nullopt},
        ValueCase{"a longer name, then the name itself", "a : 1\r\nversions : 2\r\nversion : 1",
                  "version", "1"},
        ValueCase{"no blank after the colon", "a : 1\r\nversion :1", "version", std::nullopt},
        ValueCase{"a tab is not a blank", "a : 1\r\nversion\t: 1", "version", std::nullopt},
        ValueCase{"a line of a section does not count",
                  "a : 1\r\nb : 2\r\n\r\ndetails:\r\nversion : 9", "version", std::nullopt},
        ValueCase{"a lone line feed ends the value", "a : 1\r\ncount : 4\nx", "count", "4"},
        ValueCase{"no header at all", "", "version", std::nullopt}),
    [](const auto& case_info) { return test_support::CaseName(case_info.param.what); });

TEST(InsertHeaderLineAfterTest, TheNewLineFollowsTheAnchorPaddedToItsWidth) {
  const std::string report =
      "date/time     : 1\r\ncallstack crc : $1, $2, $3\r\nexception     : E\r\n\r\nmain:\r\nx";
  EXPECT_EQ(InsertHeaderLineAfter(report, "callstack crc", "count", "2"),
            "date/time     : 1\r\ncallstack crc : $1, $2, $3\r\ncount         : 2\r\n"
            "exception     : E\r\n\r\nmain:\r\nx");
}

TEST(InsertHeaderLineAfterTest, AnAnchorAtTheHeadersEndKeepsTheSectionsApart) {
  EXPECT_EQ(InsertHeaderLineAfter("a : 1\r\nlast : 2\r\n\r\nmain:", "last", "count", "9"),
            "a : 1\r\nlast : 2\r\ncount: 9\r\n\r\nmain:");
  EXPECT_EQ(InsertHeaderLineAfter("a : 1\r\nlast : 2", "last", "n", "9"),
            "a : 1\r\nlast : 2\r\nn    : 9");
}

TEST(InsertHeaderLineAfterTest, WithoutTheAnchorTheReportStaysAsItIs) {
  const std::string report = "a : 1\r\n\r\nmain:\r\ncallstack crc : $1";
  EXPECT_EQ(InsertHeaderLineAfter(report, "callstack crc", "count", "2"), report);
}

TEST(InsertHeaderLineAfterTest, AComposedReportGetsItsCountAtTheChecksumsWidth) {
  const std::string report = test_support::SampleReport().Text();
  const std::string counted = InsertHeaderLineAfter(report, "callstack crc", "count", "2");
  EXPECT_NE(counted.find("\r\ncallstack crc     : $0a1b2c3d, $00ff00ff, $12345678\r\n"
                         "count             : 2\r\nexception number  : 1\r\n"),
            std::string::npos)
      << platform::DisplayUtf8(counted);
  EXPECT_EQ(ReadHeaderValue(counted, "count"), "2");
}

}  // namespace

}  // namespace userdb::crash
