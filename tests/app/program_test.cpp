// The built program as a user starts it: it carries its version record and brings its
// window onto the screen, on settings of its own.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>

#include <QClipboard>
#include <QGuiApplication>
#include <regex>

#include "platform/module_section.h"
#include "platform/version_record.h"
#include "tests/app/gui_test_support.h"
#include "tests/support/report_sections.h"
#include "tests/support/run_program.h"

namespace userdb::app {

namespace {

constexpr char kProgram[] = USERDB_TRANSFORM_PATH;
constexpr char kTraceTool[] = USERDB_TRACE_PATH;

bool WindowShown() {
  return gui_test::WaitUntil(
      [] {
        return system(
                   "xwininfo -name 'Transform UserDb.bin for VI9600/MD2017 usage' "
                   ">/dev/null 2>&1") == 0;
      },
      10000);
}

TEST(ProgramTest, CarriesItsVersionRecord) {
  const std::optional<std::string> section =
      platform::ReadElfSection(kProgram, platform::kVersionRecordSection);
  ASSERT_TRUE(section.has_value());
  const platform::VersionRecord record = platform::ParseVersionRecord(*section);
  EXPECT_EQ(record.file_version, "1.0.1.16");
  EXPECT_EQ(record.original_filename, "2018-01-11");
}

// Starts the program on settings of its own in `folder`.
pid_t StartProgram(const test_support::TempFolder& folder) {
  const pid_t program = fork();
  if (program == 0) {
    setenv("XDG_CONFIG_HOME", folder.Path().c_str(), 1);
    execl(kProgram, kProgram, nullptr);
    _exit(127);
  }
  return program;
}

TEST(ProgramTest, ShowsItsWindow) {
  test_support::TempFolder folder;
  const pid_t program = StartProgram(folder);
  ASSERT_GT(program, 0);
  const bool shown = WindowShown();
  kill(program, SIGTERM);
  int status = 0;
  waitpid(program, &status, 0);
  EXPECT_TRUE(shown);
  // The start made the keys of the selections in the program's own settings.
  EXPECT_TRUE(std::filesystem::exists(folder.Path() + "/userdb-transform/registry.reg"));
}

TEST(ProgramTest, AnswersTraceRequestsWithItsReportAndOnItsClipboard) {
  test_support::TempFolder folder;
  const pid_t program = StartProgram(folder);
  ASSERT_GT(program, 0);
  ASSERT_TRUE(WindowShown());
  const auto traced = test_support::RunProgram({kTraceTool, std::to_string(program)});
  QGuiApplication::clipboard()->clear();
  const auto clipped = test_support::RunProgram({kTraceTool, std::to_string(program), "0"});
  const bool on_clipboard = gui_test::WaitUntil(
      [] { return QGuiApplication::clipboard()->text().startsWith("date/time"); }, 5000);
  kill(program, SIGTERM);
  waitpid(program, nullptr, 0);

  ASSERT_EQ(traced.exit_code, 0) << traced.err;
  const std::string& report = traced.out;
  char main_title[64];
  std::snprintf(main_title, sizeof main_title, "\r\n\r\nmain thread ($%x):%s\r\n", program,
                test_support::PriorityMark().c_str());
  EXPECT_NE(report.find(main_title), std::string::npos) << report.substr(0, 3000);
  EXPECT_TRUE(std::regex_search(report, std::regex(R"(\r\ndisplay mode +: \d+x\d+, \d+ bit\r\n)")));
  for (const char* section : {"\r\n\r\nmodules:\r\n", "\r\n\r\nprocesses:\r\n"}) {
    EXPECT_NE(report.find(section), std::string::npos) << section;
  }
  EXPECT_NE(report.find(">> created by main thread ("), std::string::npos)
      << "Qt's threads were created through the captured creation";
  // The main thread waits in Qt's event loop: a chain through Qt and the C library to main.
  const size_t main_start = report.find(main_title);
  const std::string main_stack =
      report.substr(main_start, report.find("\r\n\r\n", main_start + 4) - main_start);
  size_t at = 0;
  for (const char* line :
       {"libQt6Core.so.6 ", "QCoreApplication.exec\r\n", " main.cpp ", "userdb.app.RunWindow\r\n",
        " main\r\n", "libc.so.6 ", "__libc_start_main\r\n"}) {
    at = main_stack.find(line, at);
    ASSERT_NE(at, std::string::npos) << line << "\n" << main_stack;
  }
  EXPECT_EQ(report.find("will be calculated soon"), std::string::npos);

  EXPECT_EQ(clipped.exit_code, 0) << clipped.err;
  EXPECT_EQ(clipped.out,
            "The report of process " + std::to_string(program) + " is on its clipboard.\n");
  EXPECT_TRUE(on_clipboard);
}

}  // namespace

}  // namespace userdb::app
