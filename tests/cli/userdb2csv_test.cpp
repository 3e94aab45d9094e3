// userdb2csv run as a user runs it: what it prints, its exit status, and what it writes.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/support/run_program.h"
#include "tests/support/temp_folder.h"
#include "tests/support/unprivileged_child.h"

namespace {

using test_support::ProgramResult;
using test_support::ReadFile;
using test_support::RunProgram;
using test_support::TempFolder;
using test_support::WriteFile;

const std::string kProgram = USERDB2CSV_PATH;

ProgramResult Userdb2csv(std::vector<std::string> arguments, const std::string& folder = "") {
  arguments.insert(arguments.begin(), kProgram);
  return RunProgram(arguments, folder);
}

TEST(Userdb2csvTest, PrintsTheLogAndWritesTheContacts) {
  TempFolder folder;
  WriteFile(folder / "UserDb.bin",
            "1234567,Q1ABC,Anna Maria Muster,Neustadt,Bayern,,Germany\r\n"
            "1111111,Q9ZZ,Kim,Ort,Bayern\r\n");
  const ProgramResult result =
      Userdb2csv({"--radio", "md2017", "--format", "field-per-line", "UserDb.bin"}, folder.Path());
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.out,
            "File name read: UserDb.bin\n"
            "Lines found: 2\n"
            "----------------------\n"
            "Data mismatch in line \n"
            "DMR ID: 1111111\n"
            "Origin line: 1111111,Q9ZZ,Kim,Ort,Bayern\n"
            "Lines accepted : 2\n"
            "Lines ignored  : 0\n"
            "Output format used for type: MD-2017/RT82\n"
            "Display format used : field per line\n"
            "File written to: contacts_users_2.csv\n"
            "=====> Done <======\n");
  EXPECT_EQ(result.err, "");  // not a terminal: no progress line
  EXPECT_EQ(ReadFile(folder / "contacts_users_2.csv"),
            "1234567,Q1ABC Anna     ,Anna Maria Muster        Neustadt                "
            "BAY                     GER\r\n");
}

TEST(Userdb2csvTest, LogBytesArePrintedAsTheyAre) {
  TempFolder folder;
  WriteFile(folder / "db.bin",
            "1234567,A,Jos\xE9 Mar\xED"
            "a,C,D\r\n");
  const ProgramResult result = Userdb2csv({"--radio", "0", folder / "db.bin"});
  EXPECT_NE(result.out.find("\nOrigin line: 1234567,A,Jos\xE9\xA0Mar\xED"
                            "a,C,D\n"),
            std::string::npos);
  EXPECT_EQ(result.exit_code, 0);
}

TEST(Userdb2csvTest, RefusesBeforeReadingAsTheWindowDoes) {
  TempFolder folder;
  WriteFile(folder / "UserDb.bin", "1234567,A,B,C,D,E,F\r\n");
  struct Case {
    std::vector<std::string> arguments;
    std::string error;
  };
  const Case cases[] = {
      {{"--radio", "0", folder / "missing.bin"}, "File not exists or blocked\n"},
      {{"--radio", "0", folder.Path()}, "File not exists or blocked\n"},
      {{folder / "missing.bin"}, "File not exists or blocked\n"},
      {{folder / "UserDb.bin"}, "Select your radio type please\n"},
  };
  for (const Case& c : cases) {
    const ProgramResult result = Userdb2csv(c.arguments);
    EXPECT_EQ(result.exit_code, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, c.error);
  }
  EXPECT_FALSE(std::filesystem::exists(folder / "contacts_users_1.csv"));
}

TEST(Userdb2csvTest, UsageErrorsExitWithTwo) {
  const ProgramResult result = Userdb2csv({"--radio", "7", "x"});
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_EQ(result.err,
            "userdb2csv: invalid value \"7\" for --radio (expected md9600 or 0, md2017 or 1)\n"
            "Try 'userdb2csv --help' for more information.\n");
}

TEST(Userdb2csvTest, HelpAndVersion) {
  const ProgramResult version = Userdb2csv({"--version"});
  EXPECT_EQ(version.exit_code, 0);
  EXPECT_EQ(version.out, "1.0.1.16\n");
  const ProgramResult help = Userdb2csv({"--help"});
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_EQ(help.out.rfind("Usage: userdb2csv --radio md9600|md2017", 0), 0u);
}

TEST(Userdb2csvTest, WriteFailurePrintsTheLogSoFarThenTheMessage) {
  TempFolder folder;
  WriteFile(folder / "UserDb.bin", "1234567,A,B,C,D,E,F\r\n");
  chmod(folder.Path().c_str(), 0555);
  const int status = test_support::RunInUnprivilegedChild([&] {
    const ProgramResult result = Userdb2csv({"--radio", "md9600", folder / "UserDb.bin"});
    const bool log_right =
        result.out == "File name read: " + (folder / "UserDb.bin") +
                          "\nLines found: 1\nLines accepted : 1\nLines ignored  : 0\n"
                          "Output format used for type: MD-9600/RT90\n";
    const bool error_right = result.err == "Datei \"" + (folder / "contacts_users_1.csv") +
                                               "\" kann nicht erstellt werden. Permission denied\n";
    return result.exit_code == 1 && log_right && error_right ? 0 : 1;
  });
  EXPECT_EQ(status, 0);
}

TEST(Userdb2csvTest, ReadFailureShowsTheGermanMessageReadably) {
  TempFolder folder;
  WriteFile(folder / "UserDb.bin", "1234567,A,B,C,D,E,F\r\n");
  chmod((folder / "UserDb.bin").c_str(), 0000);
  const int status = test_support::RunInUnprivilegedChild([&] {
    const ProgramResult result = Userdb2csv({"--radio", "1", folder / "UserDb.bin"});
    return result.exit_code == 1 && result.out.empty() &&
                   result.err == "Datei " + (folder / "UserDb.bin") +
                                     " kann nicht ge\xC3\xB6"
                                     "ffnet werden. Permission denied\n"
               ? 0
               : 1;
  });
  EXPECT_EQ(status, 0);
}

}  // namespace
