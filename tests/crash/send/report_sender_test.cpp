// Sending a report with a fake mail program and mail handler on a search path of the
// test's own: the exact arguments, the attachments and their contents, the order of the
// hand-offs, the time limits, every failure path and its message, hidden, blocked and
// background sends.
#include "crash/send/report_sender.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <mutex>

#include <gtest/gtest.h>

#include "crash/config/tools/settings_source.h"
#include "crash/report/report_header.h"
#include "crash/send/mail_attachments.h"
#include "crash/send/mailto_line.h"
#include "platform/path.h"
#include "tests/crash/report/sample_report.h"
#include "tests/crash/send/fake_desktop.h"
#include "tests/crash/send/test_images.h"
#include "tests/support/case_name.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_folder.h"

namespace userdb::crash {

namespace {

using test_support::FakeDesktop;
using test_support::ReadFile;
using test_support::SampleReport;
using test_support::ShownMessage;
using test_support::TempFolder;
using test_support::WriteFile;

constexpr std::string_view kSeparator = "\r\n\r\n";
const std::string kFailureText =
    "Sorry, das Senden des Fehlerberichts per E-Mail hat nicht funktioniert!";

std::shared_ptr<const ModuleSettings> ProgramSettings() {
  SettingsOrigin origin;
  origin.executable_name = "userdb-transform";
  return std::make_shared<ModuleSettings>(
      origin, ParseSettingsSource(ReadFile(PROGRAM_SETTINGS_SOURCE)), nullptr);
}

class RecordingProgress : public SendProgress {
 public:
  void ShowPreparing(std::string_view title, std::string_view text, bool in_background) override {
    const std::lock_guard lock(mutex_);
    calls_.push_back("show " + std::string(title) + " | " + std::string(text) +
                     (in_background ? " | background" : " | over the box"));
  }
  void Close() override {
    const std::lock_guard lock(mutex_);
    calls_.push_back("close");
  }
  std::vector<std::string> Calls() const {
    const std::lock_guard lock(mutex_);
    return calls_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> calls_;
};

SampleReport OlderReport() {
  SampleReport report;
  report.date_time = "2024-03-01, 09:00:00, 1ms";
  report.checksums = "$11111111, $22222222, $33333333";
  return report;
}

class ReportSenderTest : public ::testing::Test {
 protected:
  ReportSenderTest()
      : temporary_(base_ / "tmp/userdb-transform.Quorvex"),
        report_file_(ReportFolders{base_ / "program/", base_ / "state/"}),
        exception_(std::make_shared<CaughtException>(ProgramSettings())) {
    mkdir((base_ / "tmp").c_str(), 0700);
    mkdir((base_ / "program").c_str(), 0755);
    exception_->Settings().WriteBoolean("SendInBackgr", false);
    desktop_.Program("xdg-email", 0);
    desktop_.Program("xdg-mime", 0, "mail.desktop\n");
    desktop_.Program("xdg-open", 0);
  }

  SendResult Send(SendRequest request) {
    request.on_sent = [this] { ++sent_calls_; };
    ReportSender sender({temporary_, report_file_, box_, &progress_, desktop_.Programs()});
    return sender.Send(exception_, std::move(request)).Wait();
  }

  SendRequest Request() const {
    SendRequest request;
    request.report = report_;
    return request;
  }

  SendRequest WithScreenshot() const {
    SendRequest request = Request();
    request.screenshot = test_support::FlatColourImage(64, 48);
    return request;
  }

  std::string ProgramReportFile() const { return base_ / "program/bugreport.txt"; }
  std::string Attached(std::string_view name) const {
    return temporary_.Path() + "/" + std::string(name);
  }
  std::string Recipient() const { return exception_->Settings().ReadText("MailAddr"); }

  TempFolder base_;
  TemporaryFolder temporary_;
  BugReportFileWriter report_file_;
  std::shared_ptr<CaughtException> exception_;
  test_support::RecordingMessageBox box_;
  RecordingProgress progress_;
  FakeDesktop desktop_;
  std::atomic<int> sent_calls_ = 0;
  const std::string report_ = SampleReport().Text();
};

TEST_F(ReportSenderTest, HandsTheMailWithBothAttachmentsToTheMailProgram) {
  const std::string older = OlderReport().Text() + std::string(kSeparator);
  WriteFile(ProgramReportFile(), older);

  EXPECT_EQ(Send(WithScreenshot()), SendResult::kSent);

  EXPECT_EQ(
      desktop_.ArgumentsOf("xdg-email"),
      (std::vector<std::string>{
          "--utf8", "--subject", "Fehlerbericht der Anwendung userdb-transform", "--body",
          "Fehlerbericht wurde als Anlage beigef\xC3\xBCgt.", "--attach", Attached("bugreport.txt"),
          "--attach", Attached("send-as/screenshot.png"), Recipient()}));
  // The copy: the program's file with this report appended.
  EXPECT_EQ(ReadFile(Attached("bugreport.txt")), older + report_ + std::string(kSeparator));
  EXPECT_EQ(ReadFile(Attached("send-as/screenshot.png")), ReadFile(Attached("screenShot.png")));
  const auto check = test_support::RunProgram({"/usr/bin/pngcheck", Attached("screenShot.png")});
  EXPECT_EQ(check.exit_code, 0) << check.out;
  // Sent: the caller learns it, and the program's file goes ("DelBugRepFile").
  EXPECT_EQ(sent_calls_, 1);
  EXPECT_FALSE(platform::FileExists(ProgramReportFile()));
  EXPECT_TRUE(box_.Shown().empty());
  EXPECT_FALSE(desktop_.ArgumentsOf("xdg-open"));
  EXPECT_EQ(progress_.Calls(),
            (std::vector<std::string>{"show Sende Fehlerbericht per E-Mail | Anlage werden "
                                      "zusammengestellt... | over the box",
                                      "close"}));
}

TEST_F(ReportSenderTest, AttachesOnlyTheBugReportWithoutAScreenshot) {
  EXPECT_EQ(Send(Request()), SendResult::kSent);
  const auto arguments = desktop_.ArgumentsOf("xdg-email");
  ASSERT_TRUE(arguments);
  EXPECT_EQ(std::count(arguments->begin(), arguments->end(), "--attach"), 1);
  EXPECT_NE(std::find(arguments->begin(), arguments->end(), Attached("bugreport.txt")),
            arguments->end());
  // Without a bug report file the copy holds this report alone; none is made in the
  // program's folder.
  EXPECT_EQ(ReadFile(Attached("bugreport.txt")), report_ + std::string(kSeparator));
  EXPECT_FALSE(platform::FileExists(ProgramReportFile()));
}

TEST_F(ReportSenderTest, AppendsNoReportThatTheFileHoldsAlready) {
  const std::string saved =
      OlderReport().Text() + std::string(kSeparator) + report_ + std::string(kSeparator);
  WriteFile(ProgramReportFile(), saved);
  EXPECT_EQ(Send(Request()), SendResult::kSent);
  EXPECT_EQ(ReadFile(Attached("bugreport.txt")), saved);
}

TEST_F(ReportSenderTest, AppendsAReportThatWasSavedElsewhere) {
  // Saved through the dialog into another file: the mail must still carry it.
  exception_->MarkReportSaved();
  WriteFile(ProgramReportFile(), OlderReport().Text() + std::string(kSeparator));
  EXPECT_EQ(Send(Request()), SendResult::kSent);
  EXPECT_NE(ReadFile(Attached("bugreport.txt")).find(report_), std::string::npos);
}

TEST_F(ReportSenderTest, CopiesNoFileWithoutAttachBugRepFileAndKeepsIt) {
  exception_->Settings().WriteBoolean("AttachBugRepFile", false);
  WriteFile(ProgramReportFile(), OlderReport().Text() + std::string(kSeparator));
  temporary_.Open();
  WriteFile(Attached("bugreport.txt"), "stale copy of an earlier send");
  ASSERT_EQ(Send(Request()), SendResult::kSent);
  EXPECT_EQ(ReadFile(Attached("bugreport.txt")), report_ + std::string(kSeparator));
  EXPECT_TRUE(platform::FileExists(ProgramReportFile()));
}

TEST_F(ReportSenderTest, ScreenshotThatCannotBeEncodedIsLeftOut) {
  SendRequest request = Request();
  request.screenshot = ScreenImage();
  EXPECT_EQ(Send(request), SendResult::kSent);
  const auto arguments = desktop_.ArgumentsOf("xdg-email");
  ASSERT_TRUE(arguments);
  EXPECT_EQ(std::count(arguments->begin(), arguments->end(), "--attach"), 1);
}

TEST_F(ReportSenderTest, TriesTheMailtoHandlerWhenTheMailProgramFails) {
  desktop_.Program("xdg-email", 3);  // no mail program: tried the browsers
  WriteFile(ProgramReportFile(), OlderReport().Text() + std::string(kSeparator));

  EXPECT_EQ(Send(WithScreenshot()), SendResult::kSent);

  EXPECT_EQ(desktop_.ArgumentsOf("xdg-mime"),
            (std::vector<std::string>{"query", "default", "x-scheme-handler/mailto"}));
  EXPECT_EQ(desktop_.ArgumentsOf("xdg-open"),
            (std::vector<std::string>{
                MailtoLine(Recipient(), "Fehlerbericht der Anwendung userdb-transform", report_)}));
  EXPECT_EQ(sent_calls_, 1);
  EXPECT_TRUE(box_.Shown().empty());
  // The mail carries no attachment: the program's file stays.
  EXPECT_TRUE(platform::FileExists(ProgramReportFile()));
}

TEST_F(ReportSenderTest, ShowsTheFailureWhenThereIsNoMailHandlerEither) {
  desktop_.Program("xdg-email", 3);
  desktop_.Program("xdg-mime", 0, "");
  WriteFile(ProgramReportFile(), OlderReport().Text() + std::string(kSeparator));

  EXPECT_EQ(Send(WithScreenshot()), SendResult::kFailed);

  EXPECT_EQ(box_.Shown(),
            (std::vector<ShownMessage>{{"Fehler", kFailureText, platform::MessageKind::kError}}));
  EXPECT_FALSE(desktop_.ArgumentsOf("xdg-open"));
  EXPECT_EQ(sent_calls_, 0);
  EXPECT_TRUE(platform::FileExists(ProgramReportFile()));
}

struct MailtoFailureCase {
  const char* what;
  int mime_status;
  const char* mime_output;
  double mime_seconds;
  int open_status;
  double open_seconds;
  SendResult result;
};

class MailtoHandOffTest : public ReportSenderTest,
                          public ::testing::WithParamInterface<MailtoFailureCase> {};

TEST_P(MailtoHandOffTest, EndsAsTheHandlerAnswers) {
  const MailtoFailureCase& c = GetParam();
  desktop_.Program("xdg-email", 3);
  desktop_.Program("xdg-mime", c.mime_status, c.mime_output, c.mime_seconds);
  desktop_.Program("xdg-open", c.open_status, "", c.open_seconds);
  EXPECT_EQ(Send(Request()), c.result);
  // A handler that takes its time is not waited for beyond its limit.
  if (c.mime_seconds > 0) {
    EXPECT_FALSE(desktop_.EndedOnItsOwn("xdg-mime"));
  }
  if (c.open_seconds > 0) {
    EXPECT_FALSE(desktop_.EndedOnItsOwn("xdg-open"));
  }
  const bool failed = c.result == SendResult::kFailed;
  EXPECT_EQ(box_.Shown().size(), failed ? 1u : 0u);
  EXPECT_EQ(sent_calls_, failed ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MailtoHandOffTest,
    ::testing::Values(
        MailtoFailureCase{"handler named", 0, "mail.desktop\n", 0, 0, 0, SendResult::kSent},
        MailtoFailureCase{"query fails", 1, "mail.desktop\n", 0, 0, 0, SendResult::kFailed},
        MailtoFailureCase{"blank answer", 0, "  \n", 0, 0, 0, SendResult::kFailed},
        MailtoFailureCase{"query hangs", 0, "", 30, 0, 0, SendResult::kFailed},
        MailtoFailureCase{"opener fails", 0, "mail.desktop\n", 0, 4, 0, SendResult::kFailed},
        MailtoFailureCase{"opener stays with the mail program", 0, "mail.desktop\n", 0, 0, 5,
                          SendResult::kSent}),
    [](const auto& case_info) { return test_support::CaseName(case_info.param.what); });

TEST_F(ReportSenderTest, MailProgramPastItsTimeLimitCountsAsFailed) {
  desktop_.Program("xdg-email", 0, "", 10);
  EXPECT_EQ(Send(Request()), SendResult::kSent);  // by the mailto handler
  EXPECT_FALSE(desktop_.EndedOnItsOwn("xdg-email"));
  EXPECT_TRUE(desktop_.ArgumentsOf("xdg-open"));
}

TEST_F(ReportSenderTest, FailsWithoutAnyDesktopProgram) {
  MailPrograms nowhere = desktop_.Programs();
  nowhere.search_path = base_ / "empty";
  ReportSender sender({temporary_, report_file_, box_, &progress_, nowhere});
  EXPECT_EQ(sender.Send(exception_, Request()).Wait(), SendResult::kFailed);
  EXPECT_EQ(box_.Shown().size(), 1u);
}

TEST_F(ReportSenderTest, HiddenSendTriesNoHandlerAndShowsNothing) {
  desktop_.Program("xdg-email", 3);
  SendRequest request = Request();
  request.hidden = true;
  EXPECT_EQ(Send(request), SendResult::kFailed);
  EXPECT_TRUE(desktop_.ArgumentsOf("xdg-email"));
  EXPECT_FALSE(desktop_.ArgumentsOf("xdg-mime"));
  EXPECT_TRUE(box_.Shown().empty());
}

TEST_F(ReportSenderTest, BlockedProcessAsksNoMailProgramAndSendsHere) {
  exception_->Settings().WriteBoolean("SendInBackgr", true);
  SendRequest request = Request();
  request.process_blocked = true;
  ReportSender sender({temporary_, report_file_, box_, &progress_, desktop_.Programs()});
  SendHandle handle = sender.Send(exception_, request);
  EXPECT_FALSE(handle.InBackground());
  EXPECT_EQ(handle.Wait(), SendResult::kSent);
  EXPECT_FALSE(desktop_.ArgumentsOf("xdg-email"));
  EXPECT_TRUE(desktop_.ArgumentsOf("xdg-open"));
}

TEST_F(ReportSenderTest, SendsInTheBackgroundWithTheProgressAtTheScreensCorner) {
  exception_->Settings().WriteBoolean("SendInBackgr", true);
  desktop_.Program("xdg-email", 0, "", 0.5);
  ReportSender sender({temporary_, report_file_, box_, &progress_, desktop_.Programs()});
  SendRequest request = WithScreenshot();
  request.on_sent = [this] { ++sent_calls_; };
  SendHandle handle = sender.Send(exception_, std::move(request));
  EXPECT_TRUE(handle.InBackground());
  EXPECT_FALSE(handle.WaitFor(std::chrono::milliseconds(0)));  // it runs on
  EXPECT_EQ(handle.Wait(), SendResult::kSent);
  EXPECT_EQ(handle.WaitFor(std::chrono::milliseconds(0)), SendResult::kSent);
  EXPECT_EQ(sent_calls_, 1);
  ASSERT_FALSE(progress_.Calls().empty());
  EXPECT_NE(progress_.Calls().front().find("| background"), std::string::npos);
}

TEST_F(ReportSenderTest, WithoutTheMailProgramPreparesNoAttachments) {
  exception_->Settings().WriteBoolean("MailViaMapi", false);
  EXPECT_EQ(Send(WithScreenshot()), SendResult::kSent);
  EXPECT_FALSE(desktop_.ArgumentsOf("xdg-email"));
  EXPECT_TRUE(desktop_.ArgumentsOf("xdg-open"));
  EXPECT_TRUE(progress_.Calls().empty());
  EXPECT_FALSE(platform::FileExists(Attached("screenShot.png")));
}

TEST_F(ReportSenderTest, UnusableTemporaryFolderSendsWithoutAttachmentsAndSaysWhy) {
  ASSERT_EQ(symlink((base_ / "program").c_str(), temporary_.Path().c_str()), 0);
  EXPECT_EQ(Send(WithScreenshot()), SendResult::kSent);
  const auto arguments = desktop_.ArgumentsOf("xdg-email");
  ASSERT_TRUE(arguments);
  EXPECT_EQ(std::count(arguments->begin(), arguments->end(), "--attach"), 0);
  ASSERT_EQ(box_.Shown().size(), 1u);
  EXPECT_EQ(box_.Shown()[0].caption, "Quorvex");
  EXPECT_NE(box_.Shown()[0].text.find("it is a symbolic link"), std::string::npos);
  EXPECT_FALSE(platform::FileExists(base_ / "program/screenShot.png"));
}

}  // namespace

}  // namespace userdb::crash
