// Saving a report through the save dialog: what the dialog is asked, appending with the
// rules of the bug report file, the default extension, and a cancel.
#include "crash/send/report_saver.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "crash/config/tools/settings_source.h"
#include "platform/path.h"
#include "tests/crash/report/sample_report.h"
#include "tests/support/temp_folder.h"

namespace userdb::crash {

namespace {

using test_support::ReadFile;
using test_support::SampleReport;
using test_support::TempFolder;

class FakeSaveFileDialog : public SaveFileDialog {
 public:
  explicit FakeSaveFileDialog(std::optional<std::string> answer) : answer_(std::move(answer)) {}

  std::optional<std::string> Ask(const SaveDialogRequest& request) override {
    asked.push_back(request);
    return answer_;
  }

  std::vector<SaveDialogRequest> asked;

 private:
  std::optional<std::string> answer_;
};

class ReportSaverTest : public ::testing::Test {
 protected:
  ReportSaverTest()
      : report_file_(ReportFolders{folder_ / "program/", folder_ / "state/"}),
        exception_(std::make_shared<ModuleSettings>(
            SettingsOrigin{}, ParseSettingsSource(ReadFile(PROGRAM_SETTINGS_SOURCE)), nullptr)) {}

  TempFolder folder_;
  BugReportFileWriter report_file_;
  CaughtException exception_;
  const std::string report_ = SampleReport().Text();
};

TEST_F(ReportSaverTest, AsksInTheDesktopFolderAndAppendsTheReport) {
  const std::string chosen = folder_ / "Desktop/report.txt";
  FakeSaveFileDialog dialog(chosen);
  EXPECT_TRUE(
      SaveReportWithDialog(report_, dialog, folder_ / "Desktop/", exception_, report_file_));
  ASSERT_EQ(dialog.asked.size(), 1u);
  EXPECT_EQ(dialog.asked[0].title, "Fehlerbericht speichern");
  EXPECT_EQ(dialog.asked[0].start_folder, folder_ / "Desktop/");
  EXPECT_EQ(dialog.asked[0].file_name, "bugreport.txt");
  EXPECT_EQ(dialog.asked[0].filter, "*.txt");
  EXPECT_EQ(ReadFile(chosen), report_ + "\r\n\r\n");
  EXPECT_TRUE(exception_.ReportSaved());
  // A second save appends by the rules of the bug report file: the same exception again
  // replaces itself and counts.
  EXPECT_TRUE(
      SaveReportWithDialog(report_, dialog, folder_ / "Desktop/", exception_, report_file_));
  EXPECT_NE(ReadFile(chosen).find("count"), std::string::npos);
  EXPECT_EQ(ReadFile(chosen).find(report_.substr(0, 40)),
            ReadFile(chosen).rfind(report_.substr(0, 40)));
}

TEST_F(ReportSaverTest, GivesANameWithoutExtensionTheTextExtension) {
  FakeSaveFileDialog dialog(folder_ / "notes");
  EXPECT_TRUE(
      SaveReportWithDialog(report_, dialog, folder_.Path() + "/", exception_, report_file_));
  EXPECT_EQ(ReadFile(folder_ / "notes.txt"), report_ + "\r\n\r\n");
  FakeSaveFileDialog dotted(folder_ / "report.log");
  EXPECT_TRUE(
      SaveReportWithDialog(report_, dotted, folder_.Path() + "/", exception_, report_file_));
  EXPECT_TRUE(platform::FileExists(folder_ / "report.log"));
}

TEST_F(ReportSaverTest, CancelSavesNothing) {
  FakeSaveFileDialog dialog(std::nullopt);
  EXPECT_FALSE(
      SaveReportWithDialog(report_, dialog, folder_.Path() + "/", exception_, report_file_));
  EXPECT_FALSE(exception_.ReportSaved());
  EXPECT_FALSE(platform::FileExists(folder_ / "program/bugreport.txt"));
}

TEST_F(ReportSaverTest, AFileThatCannotBeWrittenSavesNothing) {
  std::filesystem::create_directories(folder_ / "folder.txt");
  FakeSaveFileDialog onto_a_folder(folder_ / "folder.txt");
  EXPECT_FALSE(
      SaveReportWithDialog(report_, onto_a_folder, folder_.Path() + "/", exception_, report_file_));
  EXPECT_FALSE(exception_.ReportSaved());
}

}  // namespace

}  // namespace userdb::crash
