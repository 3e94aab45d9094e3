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

#include "platform/module_section.h"
#include "platform/version_record.h"
#include "tests/app/gui_test_support.h"

namespace userdb::app {

namespace {

constexpr char kProgram[] = USERDB_TRANSFORM_PATH;

TEST(ProgramTest, CarriesItsVersionRecord) {
  const std::optional<std::string> section =
      platform::ReadElfSection(kProgram, platform::kVersionRecordSection);
  ASSERT_TRUE(section.has_value());
  const platform::VersionRecord record = platform::ParseVersionRecord(*section);
  EXPECT_EQ(record.file_version, "1.0.1.16");
  EXPECT_EQ(record.original_filename, "2018-01-11");
}

TEST(ProgramTest, ShowsItsWindow) {
  test_support::TempFolder folder;
  const pid_t program = fork();
  if (program == 0) {
    setenv("XDG_CONFIG_HOME", folder.Path().c_str(), 1);
    execl(kProgram, kProgram, nullptr);
    _exit(127);
  }
  ASSERT_GT(program, 0);
  const bool shown = gui_test::WaitUntil(
      [] {
        return system(
                   "xwininfo -name 'Transform UserDb.bin for VI9600/MD2017 usage' "
                   ">/dev/null 2>&1") == 0;
      },
      10000);
  kill(program, SIGTERM);
  int status = 0;
  waitpid(program, &status, 0);
  EXPECT_TRUE(shown);
  // The start made the keys of the selections in the program's own settings.
  EXPECT_TRUE(std::filesystem::exists(folder.Path() + "/userdb-transform/registry.reg"));
}

}  // namespace

}  // namespace userdb::app
