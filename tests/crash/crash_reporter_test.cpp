#include "crash/crash_reporter.h"

#include <gtest/gtest.h>

#include "platform/module_section.h"
#include "platform/path.h"

namespace userdb::crash {

namespace {

void FunctionOfThisProgram() {}

TEST(CrashReporter, ReadsTheSettingsOfThisProgram) {
  CrashReporter reporter;
  const auto settings =
      reporter.Settings().SettingsFor(reinterpret_cast<const void*>(&FunctionOfThisProgram));
  ASSERT_TRUE(settings);
  EXPECT_TRUE(settings->Origin().module.is_executable);
  EXPECT_EQ(settings->ReadText("TitleBar"), "crash_reporter_tests");
}

TEST(CrashReporter, KeepsBugReportsBesideTheProgram) {
  CrashReporter reporter;
  EXPECT_EQ(reporter.Folders().program, platform::FolderPart(platform::ExecutablePath()));
  EXPECT_FALSE(reporter.Folders().user_state.empty());
}

TEST(CrashReporter, ItsOwnMessagesGoToStandardErrorUntilItHasAWindow) {
  CrashReporter reporter;
  ::testing::internal::CaptureStderr();
  reporter.Box().Show(kCrashReporterCaption, "Interner Fehler", platform::MessageKind::kError);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Quorvex: Interner Fehler\n");
}

TEST(CrashReporter, NamesTheCodeOfThisProgram) {
  CrashReporter reporter;
  const Location location =
      reporter.Symbols().LocationInfo(reinterpret_cast<uintptr_t>(&FunctionOfThisProgram));
  ASSERT_TRUE(location.found);
  EXPECT_EQ(location.unit, "crash_reporter_test.cpp");
  EXPECT_TRUE(location.public_name.ends_with(".FunctionOfThisProgram")) << location.public_name;
  EXPECT_GT(location.line, 0);
}

}  // namespace

}  // namespace userdb::crash
