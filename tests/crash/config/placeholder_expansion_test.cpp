#include "crash/config/placeholder_expansion.h"

#include <gtest/gtest.h>

namespace userdb::crash {

namespace {

PlaceholderValues AllValues() {
  PlaceholderValues values;
  values.app_name = "userdb-transform";
  values.module_name = "libquorvex.so";
  values.app_version = "1.0.1.16";
  values.module_version = "?";
  values.exception_message = "Zugriff verweigert";
  values.bug_report = "date/time : 2018-01-11";
  values.time = LocalTime{2018, 1, 11, 14, 5, 9, 7};
  return values;
}

struct ExpansionCase {
  const char* what;
  const char* text;
  const char* expected;
};

class ExpansionTest : public ::testing::TestWithParam<ExpansionCase> {};

TEST_P(ExpansionTest, Expands) {
  EXPECT_EQ(ExpandPlaceholders(GetParam().text, AllValues()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExpansionTest,
    ::testing::Values(
        ExpansionCase{"appname", "%appname%", "userdb-transform"},
        ExpansionCase{"modname", "Die Datei \"%modname%\" scheint defekt zu sein!",
                      "Die Datei \"libquorvex.so\" scheint defekt zu sein!"},
        ExpansionCase{"versions", "%appversion% / %modversion%", "1.0.1.16 / ?"},
        ExpansionCase{"exception_message", "[%exceptMsg%]", "[Zugriff verweigert]"},
        ExpansionCase{"bug_report", "%bugReport%", "date/time : 2018-01-11"},
        ExpansionCase{"line_feed", "eins%LF%zwei", "eins\r\nzwei"},
        ExpansionCase{"date", "%date%", "2018-01-11"},
        ExpansionCase{"time", "%time%", "14:05:09, 7ms"},
        ExpansionCase{"datetime", "%datetime%", "2018-01-11, 14:05:09, 7ms"},
        ExpansionCase{
            "letter_case_ignored", "%APPNAME% %AppName% %lf% %EXCEPTMSG% %DateTime%",
            "userdb-transform userdb-transform \r\n Zugriff verweigert 2018-01-11, 14:05:09, 7ms"},
        ExpansionCase{"every_occurrence", "%LF%%LF%-%LF%", "\r\n\r\n-\r\n"},
        ExpansionCase{"order_of_replacement", "%LF%appname%", "%LFuserdb-transform"},
        ExpansionCase{"incomplete_placeholders", "%appname %app%name% appname%",
                      "%appname %app%name% appname%"},
        ExpansionCase{"doubled_percent", "%%appname%%", "%userdb-transform%"},
        ExpansionCase{"no_placeholder",
                      "Anwendung schlie\xDF"
                      "en",
                      "Anwendung schlie\xDF"
                      "en"}),
    [](const auto& case_info) { return std::string(case_info.param.what); });

TEST(ExpandPlaceholders, AnEmptyExceptionMessageReadsUnknown) {
  PlaceholderValues values;
  values.exception_message = "";
  EXPECT_EQ(ExpandPlaceholders("Fehler: %exceptMsg%", values), "Fehler: Unknown");
}

TEST(ExpandPlaceholders, LeavesPlaceholdersWithoutValueForALaterExpansion) {
  PlaceholderValues first;
  first.app_name = "userdb-transform";
  const std::string read = ExpandPlaceholders("%appname%: %exceptMsg%%LF%%bugReport%", first);
  EXPECT_EQ(read, "userdb-transform: %exceptMsg%\r\n%bugReport%");
  PlaceholderValues reader;
  reader.exception_message = "Zugriff verweigert";
  reader.bug_report = "report";
  EXPECT_EQ(ExpandPlaceholders(read, reader), "userdb-transform: Zugriff verweigert\r\nreport");
}

TEST(ExpandPlaceholders, InsertedValuesStayAsTheyAre) {
  PlaceholderValues values = AllValues();
  values.exception_message = "Datei %date%%LF%.txt fehlt";
  values.bug_report = "%appname% 100%";
  EXPECT_EQ(ExpandPlaceholders("%exceptMsg% | %bugReport%", values),
            "Datei %date%%LF%.txt fehlt | %appname% 100%");
}

TEST(ExpandPlaceholders, WritesMillisecondsWithoutLeadingZeros) {
  PlaceholderValues values;
  values.time = LocalTime{2024, 12, 31, 0, 0, 0, 0};
  EXPECT_EQ(ExpandPlaceholders("%datetime%", values), "2024-12-31, 00:00:00, 0ms");
  values.time->millisecond = 999;
  EXPECT_EQ(ExpandPlaceholders("%time%", values), "00:00:00, 999ms");
}

TEST(CurrentLocalTime, IsAPlausibleLocalTime) {
  const LocalTime now = CurrentLocalTime();
  EXPECT_GE(now.year, 2024);
  EXPECT_TRUE(now.month >= 1 && now.month <= 12 && now.day >= 1 && now.day <= 31);
  EXPECT_TRUE(now.hour < 24 && now.minute < 60 && now.second <= 60);
  EXPECT_TRUE(now.millisecond >= 0 && now.millisecond < 1000);
}

}  // namespace

}  // namespace userdb::crash
