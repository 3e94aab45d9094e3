#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>

#include "crash/report/exception_text.h"
#include "crash/report/header_sources.h"
#include "crash/report/value_formats.h"

namespace userdb::crash {

namespace {

TEST(ReportValues, DurationsShowTheTwoLargestUnits) {
  const std::pair<uint64_t, const char*> cases[] = {
      {0, "0 seconds"},
      {1, "1 second"},
      {45, "45 seconds"},
      {125, "2 minutes 5 seconds"},
      {3600, "1 hour"},
      {3600 + 59, "1 hour"},
      {7200 + 60, "2 hours 1 minute"},
      {3 * 86400 + 4 * 3600 + 59 * 60 + 59, "3 days 4 hours"},
      {86400 + 59, "1 day"},
      {86400 + 60, "1 day"},
  };
  for (const auto& [seconds, text] : cases) EXPECT_EQ(FormatDuration(seconds), text) << seconds;
}

TEST(ReportValues, SizesAreCutToTwoDecimals) {
  const std::pair<uint64_t, const char*> cases[] = {
      {0, "0 Bytes"},
      {1023, "1023 Bytes"},
      {1024, "1,00 KB"},
      {1535, "1,49 KB"},
      {1024 * 1024 - 1, "1023,99 KB"},
      {5 * 1024 * 1024 + 1024 * 1024 / 2, "5,50 MB"},
      {13249974108ull, "12,33 GB"},
  };
  for (const auto& [bytes, text] : cases) EXPECT_EQ(FormatSize(bytes, ","), text) << bytes;
  EXPECT_EQ(FormatSize(1024, "."), "1.00 KB");
}

TEST(ReportValues, TheDecimalSeparatorIsACommaWhenNoLocaleIsSet) {
  const char* saved[3];
  const char* names[3] = {"LC_ALL", "LC_NUMERIC", "LANG"};
  for (int i = 0; i < 3; ++i) {
    saved[i] = std::getenv(names[i]);
    unsetenv(names[i]);
  }
  EXPECT_EQ(UserDecimalSeparator(), ",");
  setenv("LANG", "C", 1);
  EXPECT_EQ(UserDecimalSeparator(), ".");
  setenv("LANG", "xx_NOWHERE.UTF-8", 1);
  EXPECT_EQ(UserDecimalSeparator(), ",") << "a locale that is not installed cannot be read";
  for (int i = 0; i < 3; ++i) {
    if (saved[i] != nullptr) {
      setenv(names[i], saved[i], 1);
    } else {
      unsetenv(names[i]);
    }
  }
}

TEST(ReportValues, TimesAndIds) {
  EXPECT_EQ(FormatReportTime({2024, 3, 7, 14, 5, 9, 87}), "2024-03-07, 14:05:09, 87ms");
  EXPECT_EQ(DollarHex(0x5ac), "$5ac");
  EXPECT_EQ(AddressText(0x44a1b2), "000000000044a1b2");
}

struct MessageCase {
  std::optional<ExceptionObject> object;
  const char* class_text;
  const char* message;
};

TEST(ExceptionText, ClassAndMessageFollowTheirRules) {
  const MessageCase cases[] = {
      {std::nullopt, "Unknown", "Unknown."},
      {ExceptionObject{{"FileOpenError", "Exception"}, "Datei nicht gefunden!!"}, "FileOpenError",
       "Datei nicht gefunden."},
      {ExceptionObject{{"VostrelException"}, "Runtime error."}, "VostrelException",
       "Runtime error."},
      {ExceptionObject{{"bad_alloc", "exception"}, "std::bad_alloc"}, "bad_alloc",
       "std::bad_alloc."},
      {ExceptionObject{{"runtime_error", "exception"}, "disk full"}, "runtime_error", "disk full."},
      {ExceptionObject{{"runtime_error", "exception"}, ""}, "runtime_error", "Unknown."},
      {ExceptionObject{{"int"}, ""}, "int", "int."},
      {ExceptionObject{{"Exception"}, "  \x01Zeile\x02 eins\r\nzwei...  "}, "Exception",
       "Zeile eins\r\nzwei."},
      {ExceptionObject{{"Exception"}, " \t "}, "Exception", "Unknown."},
  };
  for (const MessageCase& c : cases) {
    EXPECT_EQ(ExceptionClassText(c.object), c.class_text);
    EXPECT_EQ(FormattedExceptionMessage(c.object), c.message);
  }
}

TEST(HeaderSources, ProcessorsAreCountedAndNamed) {
  const char* two =
      "processor\t: 0\nmodel name\t: AMD EPYC 7B13\nflags\t: fpu\n\n"
      "processor\t: 1\nmodel name\t: AMD EPYC 7B13\n";
  EXPECT_EQ(ProcessorsFrom(two),
            std::make_pair(std::string("processors"), std::string("2x AMD EPYC 7B13")));
  EXPECT_EQ(ProcessorsFrom("processor : 0\nmodel name : Intel(R) Core(TM) i5\n"),
            std::make_pair(std::string("processor"), std::string("Intel(R) Core(TM) i5")));
  EXPECT_EQ(ProcessorsFrom("nothing"), std::make_pair(std::string(), std::string()));
}

TEST(HeaderSources, PhysicalMemoryIsRoundedToMegabytes) {
  EXPECT_EQ(PhysicalMemoryFrom(
                "MemTotal:        4193280 kB\nMemFree: 1 kB\nMemAvailable:    1231872 kB\n"),
            "1203/4095 MB (free/total)");
  EXPECT_EQ(PhysicalMemoryFrom(""), "");
}

TEST(HeaderSources, OperatingSystemIsThePrettyNameWithBuild) {
  EXPECT_EQ(OperatingSystemFrom(
                "NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n",
                "6.1.0-18-amd64"),
            "Debian GNU/Linux 12 (bookworm) x64 build 6.1.0-18-amd64");
  EXPECT_EQ(OperatingSystemFrom("", "6.1.0"), "Linux x64 build 6.1.0");
}

TEST(HeaderSources, TheLanguageIsNamedInEnglish) {
  EXPECT_EQ(LanguageNameOf("de_DE.UTF-8"), "German");
  EXPECT_EQ(LanguageNameOf("fr_CA"), "French");
  EXPECT_EQ(LanguageNameOf("C.UTF-8"), "English");
  EXPECT_EQ(LanguageNameOf("POSIX"), "English");
  EXPECT_EQ(LanguageNameOf("qq_XX"), "");
}

TEST(HeaderSources, ValuesOfThisMachineHaveTheirForms) {
  EXPECT_FALSE(ComputerName().empty());
  EXPECT_TRUE(std::regex_match(CompilerText(), std::regex(R"((g|clang)\+\+ \d+\.\d+\.\d+)")));
  EXPECT_TRUE(std::regex_match(FreeDiskSpaceText("/proc/self/exe", ","),
                               std::regex(R"(\(/\) \d+(,\d\d (KB|MB|GB)| Bytes)( \(\S+\) .+)?)")))
      << FreeDiskSpaceText("/proc/self/exe", ",");
  EXPECT_TRUE(std::regex_match(AllocatedMemoryText(","), std::regex(R"(\d+,\d\d (KB|MB|GB))")));
  EXPECT_TRUE(std::regex_match(PhysicalMemoryText(), std::regex(R"(\d+/\d+ MB \(free/total\))")));
  EXPECT_TRUE(std::regex_match(FileDateTimeText("/proc/self/exe"),
                               std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d)")));
  const std::vector<std::string> arguments = ::testing::internal::GetArgvs();
  if (arguments.size() > 1) {
    EXPECT_NE(CommandLineText().find(arguments[1]), std::string::npos);
  } else {
    EXPECT_EQ(CommandLineText(), "") << "only a command line with parameters is shown";
  }
}

TEST(HeaderSources, RemoteClientIsTheSshClientsAddress) {
  const char* saved = std::getenv("SSH_CONNECTION");
  const std::string kept = saved != nullptr ? saved : "";
  setenv("SSH_CONNECTION", "192.0.2.7 51234 192.0.2.1 22", 1);
  EXPECT_EQ(RemoteClientName(), "192.0.2.7");
  unsetenv("SSH_CONNECTION");
  EXPECT_EQ(RemoteClientName(), "");
  if (saved != nullptr) setenv("SSH_CONNECTION", kept.c_str(), 1);
}

}  // namespace

}  // namespace userdb::crash
