// The mail's texts: recipients from "MailAddr", subject and body with the exception
// message, and the "mailto:" line with its escapes and its cut.
#include <gtest/gtest.h>

#include "crash/send/mail_message.h"
#include "crash/send/mailto_line.h"
#include "tests/crash/report/sample_report.h"
#include "tests/support/case_name.h"

namespace userdb::crash {

namespace {

TEST(SplitRecipientsTest, SplitsAtCommasAndSemicolons) {
  EXPECT_EQ(SplitRecipients("a@example.org"),
            (std::vector<MailRecipient>{{"a@example.org", "a@example.org"}}));
  EXPECT_EQ(SplitRecipients(" a@x.org ;b@y.org, ,c@z.org;"),
            (std::vector<MailRecipient>{
                {"a@x.org", "a@x.org"}, {"b@y.org", "b@y.org"}, {"c@z.org", "c@z.org"}}));
  EXPECT_EQ(SplitRecipients("Support Team <support@x.org>; <bare@y.org>"),
            (std::vector<MailRecipient>{{"Support Team", "support@x.org"}, {"", "bare@y.org"}}));
  EXPECT_EQ(SplitRecipients("Open <open@x.org"),
            (std::vector<MailRecipient>{{"Open", "open@x.org"}}));
  EXPECT_TRUE(SplitRecipients("").empty());
  EXPECT_TRUE(SplitRecipients(" ; , ").empty());
}

TEST(MailTextTest, FillsInTheExceptionMessageAndTheReport) {
  const std::string report = test_support::SampleReport().Text();
  EXPECT_EQ(ExceptionMessageOf(report),
            "Datei /tmp/x kann nicht ge\xF6"
            "ffnet werden.");
  EXPECT_EQ(ExpandMailText("Fehler: %exceptMsg%", report),
            "Fehler: Datei /tmp/x kann nicht ge\xF6"
            "ffnet werden.");
  EXPECT_EQ(ExpandMailText("%bugReport%", report), report);
  // Without the header line: "Unknown". A line of a section never stands in for it.
  const std::string without = "date/time : 2024-03-07\r\n\r\nnotes:\r\nexception message : no";
  EXPECT_EQ(ExceptionMessageOf(without), "");
  EXPECT_EQ(ExpandMailText("[%EXCEPTMSG%]", without), "[Unknown]");
  EXPECT_EQ(ExceptionMessageOf("exception message :   padded  \r\n\r\n"), "padded");
}

TEST(MailtoLineTest, EscapesExactlyTheListedCharacters) {
  EXPECT_EQ(PercentEncodeForMailto("a\nb\rc d\"e#f%g+h<i>j?k"),
            "a%0Ab%0Dc%20d%22e%23f%25g%2Bh%3Ci%3Ej%3Fk");
  EXPECT_EQ(PercentEncodeForMailto("&=/:;@,'~\t"), "&=/:;@,'~\t");
}

TEST(MailtoLineTest, PutsRecipientsSubjectAndReportInOrder) {
  EXPECT_EQ(MailtoLine("a@x.org;b@y.org", "Fehlerbericht der Anwendung userdb-transform",
                       "date/time : 1\r\nline 2"),
            "mailto:a@x.org,b@y.org?subject=Fehlerbericht%20der%20Anwendung%20userdb-transform"
            "&body=date/time%20:%201%0D%0Aline%202");
}

TEST(MailtoLineTest, GivesTheProgramsTextsAsUtf8) {
  EXPECT_EQ(MailtoLine("a@x.org", "beigef\xFCgt", "\xC3\xA4 stays"),
            "mailto:a@x.org?subject=beigef\xC3\xBCgt&body=\xC3\xA4%20stays");
}

// A line whose text before the report takes `prefix` bytes, then the report.
std::string LineWith(const std::string& report) {
  return MailtoLine("a@x.org", "s", report);
}
constexpr size_t kPrefix = std::string_view("mailto:a@x.org?subject=s&body=").size();

struct CutCase {
  const char* what;
  std::string report;
  size_t length;
};

class MailtoCutTest : public ::testing::TestWithParam<CutCase> {};

TEST_P(MailtoCutTest, KeepsTheLineWithinTheLimitWithoutSplittingAnEscape) {
  const std::string line = LineWith(GetParam().report);
  EXPECT_EQ(line.size(), GetParam().length);
  EXPECT_EQ(line, LineWith(GetParam().report + std::string(5000, 'z')).substr(0, line.size()));
  const size_t last_escape = line.rfind('%');
  if (last_escape != std::string::npos) {
    EXPECT_LE(last_escape + 3, line.size());
  }
}

std::string Filled(size_t bytes) {
  return std::string(bytes, 'x');
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MailtoCutTest,
    ::testing::Values(
        CutCase{"short line kept", "abc", kPrefix + 3},
        CutCase{"exactly at the limit", Filled(kMaxMailtoLine - kPrefix), kMaxMailtoLine},
        CutCase{"one beyond the limit", Filled(kMaxMailtoLine - kPrefix + 1), kMaxMailtoLine},
        // The 32766th character starts an escape: 32765 are kept.
        CutCase{"escape starting last", Filled(kMaxMailtoLine - kPrefix - 1) + " ",
                kMaxMailtoLine - 1},
        // The 32765th starts one: 32764 are kept.
        CutCase{"escape starting second last", Filled(kMaxMailtoLine - kPrefix - 2) + " ",
                kMaxMailtoLine - 2},
        // The 32764th starts one: it ends at the limit and stays whole.
        CutCase{"escape ending at the limit", Filled(kMaxMailtoLine - kPrefix - 3) + " ",
                kMaxMailtoLine},
        // A two-byte UTF-8 character across the limit goes whole.
        CutCase{"utf8 character across the limit", Filled(kMaxMailtoLine - kPrefix - 1) + "\xFC",
                kMaxMailtoLine - 1}),
    [](const auto& case_info) { return test_support::CaseName(case_info.param.what); });

}  // namespace

}  // namespace userdb::crash
