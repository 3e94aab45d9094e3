// userdb2csv run as a user runs it: what it prints, its exit status, and what it writes.
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/cli/userdb2csv_program.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_folder.h"
#include "tests/support/unprivileged_child.h"

namespace userdb::cli {

namespace {

using test_support::ProgramResult;
using test_support::ReadFile;
using test_support::RunProgram;
using test_support::TempFolder;
using test_support::WriteFile;

const std::string kProgram = USERDB2CSV_PATH;

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

// A database whose data is Windows-1252, in a folder of its own.
class LogFormTest : public ::testing::Test {
 protected:
  LogFormTest() {
    WriteFile(input_,
              "1234567,A,Jos\xE9 Mar\xED"
              "a,C,D\r\n"
              "7654321,Q2,Ren\xE9,K\xF6ln,,,Germany\r\n");
  }
  // The contacts file: the data's bytes, whatever form the log was printed in.
  void ExpectContactsUnchanged() {
    EXPECT_EQ(ReadFile(folder_ / "contacts_users_2.csv"),
              "7654321,Q2 Ren\xE9        ,K\xF6ln|GER\r\n");
  }

  TempFolder folder_;
  const std::string input_ = folder_ / "db.bin";
};

// The log's failure lines as the data's bytes, and in the window's display form: UTF-8,
// the blank inside a field (0xA0) a no-break space.
const std::string kBytesLine =
    "\nOrigin line: 1234567,A,Jos\xE9\xA0Mar\xED"
    "a,C,D\n";
const std::string kDisplayLine =
    "\nOrigin line: 1234567,A,Jos\xC3\xA9\xC2\xA0Mar\xC3\xAD"
    "a,C,D\n";

TEST_F(LogFormTest, DisplayFormWhenTheLocaleIsUtf8UnlessRawIsAsked) {
  struct Case {
    std::vector<std::string> environment;
    bool raw;
    const std::string& expected_line;
  };
  const Case cases[] = {
      {{}, false, kBytesLine},
      {{"LANG=C"}, false, kBytesLine},
      {{"LANG=de_DE.UTF-8"}, false, kDisplayLine},
      {{"LANG=C", "LC_CTYPE=en_GB.utf8"}, false, kDisplayLine},
      {{"LANG=de_DE.UTF-8", "LC_ALL=C"}, false, kBytesLine},
      {{"LANG=C.UTF-8"}, true, kBytesLine},
  };
  for (const Case& c : cases) {
    std::vector<std::string> command = {"/usr/bin/env", "-i"};
    command.insert(command.end(), c.environment.begin(), c.environment.end());
    command.insert(command.end(), {kProgram, "--radio", "0", input_});
    if (c.raw) command.push_back("--raw");
    const ProgramResult result = RunProgram(command);
    const std::string label = testing::PrintToString(c.environment) + (c.raw ? " --raw" : "");
    EXPECT_EQ(result.exit_code, 0) << label;
    EXPECT_NE(result.out.find(c.expected_line), std::string::npos) << label << "\n" << result.out;
    ExpectContactsUnchanged();
  }
}

// Runs userdb2csv with `arguments` on a terminal, without any locale set, and returns
// what the terminal showed, its line ends as "\n".
std::string ShownOnATerminal(const std::vector<std::string>& arguments) {
  int terminal = -1;
  const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
  if (child == 0) {
    std::vector<char*> argv = {const_cast<char*>(kProgram.c_str())};
    for (const std::string& argument : arguments)
      argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    char* no_environment[] = {nullptr};
    execve(argv[0], argv.data(), no_environment);
    _exit(127);
  }
  std::string shown;
  char buffer[4096];
  ssize_t got;
  while ((got = read(terminal, buffer, sizeof buffer)) > 0) shown.append(buffer, got);
  close(terminal);
  waitpid(child, nullptr, 0);
  shown.erase(std::remove(shown.begin(), shown.end(), '\r'), shown.end());
  return shown;
}

TEST_F(LogFormTest, DisplayFormOnATerminalUnlessRawIsAsked) {
  EXPECT_NE(ShownOnATerminal({"--radio", "0", input_}).find(kDisplayLine), std::string::npos);
  ExpectContactsUnchanged();
  EXPECT_NE(ShownOnATerminal({"--radio", "0", "--raw", input_}).find(kBytesLine),
            std::string::npos);
  ExpectContactsUnchanged();
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
  EXPECT_NE(help.out.find("\n  --raw  "), std::string::npos);
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

}  // namespace userdb::cli
