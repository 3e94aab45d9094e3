// The crashed program's side of a report assistant, with a stand-in for the crash helper
// that answers as a user would have: what goes to the helper, and what the answer puts
// into the report, the form cache and the exception.
#include "crash/capture/report_assistant.h"

#include <gtest/gtest.h>

#include "crash/helper/assistant_request.h"
#include "tests/crash/capture/program_exception.h"
#include "tests/support/temp_folder.h"

namespace userdb::crash {

namespace {

using test_support::ProgramException;

const NamedValues kContact = {
    {"NameEdit", "Ann Berg"}, {"EmailEdit", "ann@example.org"}, {"MemCheck", "-"}};
const NamedValues kDetails = {{"DetailsMemo", "pressed Transform\r\ntwice"}};

class ReportAssistantTest : public ::testing::Test {
 protected:
  // The helper's stand-in: keeps the request and gives `answer`.
  AssistantParts Parts(std::optional<HelperMessage> answer) {
    return AssistantParts{cache_, screenshot_, "/tmp/x/",
                          AssistantChannel{[this](const HelperMessage& message) {
                                             request_ = DecodeAssistantRequest(message);
                                             return true;
                                           },
                                           [answer]() mutable {
                                             std::optional<HelperMessage> next = answer;
                                             answer.reset();
                                             return next;
                                           }}};
  }
  static HelperMessage Answer(std::vector<AnsweredPage> pages) {
    AssistantAnswer answer;
    answer.pages = std::move(pages);
    return EncodeAssistantAnswer(answer);
  }

  std::shared_ptr<CaughtException> exception_ = ProgramException();
  FormCache cache_;
  std::optional<ScreenImage> screenshot_;
  std::optional<AssistantRequest> request_;
};

TEST_F(ReportAssistantTest, ContinuedPagesGiveHeaderValuesAndTheDetailsSection) {
  AssistantParts parts =
      Parts(Answer({{PageResult::kContinue, kContact}, {PageResult::kContinue, kDetails}}));
  EXPECT_TRUE(RunReportAssistant(ReportAction::kSend, *exception_, parts));
  ASSERT_TRUE(request_);
  EXPECT_EQ(request_->title, "Send Assistant");
  // Without a screenshot the send assistant has two pages.
  EXPECT_EQ(request_->pages, (std::vector<std::string>{"ContactForm", "DetailsForm"}));
  const BugReport& report = exception_->Report();
  EXPECT_EQ(report.Header("contact name"), "Ann Berg");
  EXPECT_EQ(report.Header("contact email"), "ann@example.org");
  EXPECT_EQ(report.Section("error details"), "pressed Transform\r\ntwice");
  EXPECT_EQ(cache_.Find("EmailEdit"), "ann@example.org");
  EXPECT_EQ(cache_.Find("MemCheck"), "-");
}

TEST_F(ReportAssistantTest, SkippedDetailsAddNoSection) {
  AssistantParts parts =
      Parts(Answer({{PageResult::kContinue, kContact}, {PageResult::kSkip, kDetails}}));
  EXPECT_TRUE(RunReportAssistant(ReportAction::kSave, *exception_, parts));
  EXPECT_EQ(request_->title, "Save Assistant");
  EXPECT_EQ(exception_->Report().Header("contact email"), "ann@example.org");
  EXPECT_FALSE(exception_->Report().Section("error details"));
  EXPECT_FALSE(cache_.Find("DetailsMemo"));
}

TEST_F(ReportAssistantTest, CancelAddsNothingButTheContinuedPagesAreCached) {
  AssistantParts parts =
      Parts(Answer({{PageResult::kContinue, kContact}, {PageResult::kCancel, kDetails}}));
  EXPECT_FALSE(RunReportAssistant(ReportAction::kSend, *exception_, parts));
  EXPECT_FALSE(exception_->Report().Header("contact email"));
  EXPECT_EQ(cache_.Find("NameEdit"), "Ann Berg");
}

TEST_F(ReportAssistantTest, TheCacheGoesToTheHelper) {
  cache_.Put("NameEdit", "Ann Berg");
  AssistantParts parts = Parts(Answer({{PageResult::kCancel, {}}, {PageResult::kNone, {}}}));
  RunReportAssistant(ReportAction::kSend, *exception_, parts);
  EXPECT_EQ(request_->cached, (NamedValues{{"NameEdit", "Ann Berg"}}));
}

TEST_F(ReportAssistantTest, WithAScreenshotThePageAndTheImageGoAlong) {
  screenshot_ = ScreenImage(3, 2, 0x00123456);
  exception_->Handling().attach_screenshot = true;
  AssistantAnswer answer;
  answer.pages = {{PageResult::kContinue, kContact},
                  {PageResult::kContinue, kDetails},
                  {PageResult::kContinue, {{"AttachCheck", "-"}}}};
  answer.attach_screenshot = false;
  answer.edited_screenshot = ScreenImage(1, 1, 0);
  answer.mail_from = "Ann Berg <ann@example.org>";
  AssistantParts parts = Parts(EncodeAssistantAnswer(answer));
  EXPECT_TRUE(RunReportAssistant(ReportAction::kSend, *exception_, parts));
  EXPECT_EQ(request_->pages.size(), 3u);
  EXPECT_EQ(request_->screenshot, ScreenImage(3, 2, 0x00123456));
  EXPECT_TRUE(request_->attach_screenshot);
  EXPECT_FALSE(exception_->Handling().attach_screenshot);
  EXPECT_EQ(screenshot_, ScreenImage(1, 1, 0));
  EXPECT_EQ(exception_->Settings().ReadText("MailFrom"), "Ann Berg <ann@example.org>");
}

TEST_F(ReportAssistantTest, TheSaveAssistantTakesNoScreenshotAlong) {
  screenshot_ = ScreenImage(3, 2);
  AssistantParts parts = Parts(Answer({{PageResult::kCancel, {}}, {PageResult::kNone, {}}}));
  RunReportAssistant(ReportAction::kSave, *exception_, parts);
  EXPECT_FALSE(request_->screenshot);
}

// Answers that cannot be trusted count as a cancel: nothing is sent or saved.
TEST_F(ReportAssistantTest, NoAnswerOrAnUnfittingOneIsACancel) {
  AssistantParts gone = Parts(std::nullopt);
  EXPECT_FALSE(RunReportAssistant(ReportAction::kSend, *exception_, gone));
  AssistantParts short_answer = Parts(Answer({{PageResult::kContinue, kContact}}));
  EXPECT_FALSE(RunReportAssistant(ReportAction::kSend, *exception_, short_answer));
  // Continued with the required address empty: the page gives nothing.
  AssistantParts empty_address = Parts(
      Answer({{PageResult::kContinue, {{"EmailEdit", ""}}}, {PageResult::kContinue, kDetails}}));
  EXPECT_TRUE(RunReportAssistant(ReportAction::kSend, *exception_, empty_address));
  EXPECT_FALSE(exception_->Report().Header("contact email"));
}

TEST_F(ReportAssistantTest, AnActionWithoutAssistantGoesOnWithoutAsking) {
  exception_->Settings().WriteText("SendAssis", "NoSuchAssistant");
  AssistantParts parts = Parts(std::nullopt);
  EXPECT_TRUE(RunReportAssistant(ReportAction::kSend, *exception_, parts));
  EXPECT_FALSE(request_);
}

TEST(AssistantRequestTest, RequestAndAnswerPassTheProtocolUnchanged) {
  AssistantRequest request{"Send Assistant",
                           {"ContactForm", "ScrShotForm"},
                           {{"NameEdit", "J\xF6rg | x"}, {"MemCheck", "+"}},
                           ScreenImage(2, 3, 0x00ABCDEF),
                           true,
                           "/run/user/1/p.Quorvex/"};
  HelperMessageReader reader;
  reader.Feed(EncodeHelperMessage(EncodeAssistantRequest(request)));
  EXPECT_EQ(DecodeAssistantRequest(*reader.Next()), request);

  AssistantAnswer answer{
      {{PageResult::kContinue, {{"EmailEdit", "a@b.c"}}}, {PageResult::kSkip, {}}},
      "A <a@b.c>",
      true,
      ScreenImage(1, 2, 7)};
  reader.Feed(EncodeHelperMessage(EncodeAssistantAnswer(answer)));
  EXPECT_EQ(DecodeAssistantAnswer(*reader.Next()), answer);
}

TEST(AssistantRequestTest, BrokenImagesAndPageNumbersAreRefused) {
  HelperMessage request =
      EncodeAssistantRequest({"T", {"ContactForm"}, {}, ScreenImage(2, 2), false, ""});
  for (auto& [name, value] : request.fields)
    if (name == "screenshot-width") value = "3";
  EXPECT_FALSE(DecodeAssistantRequest(request));
  HelperMessage answer =
      EncodeAssistantAnswer({{{PageResult::kContinue, {{"NameEdit", "x"}}}}, "", false, {}});
  answer.With("value:5:NameEdit", "y");
  EXPECT_FALSE(DecodeAssistantAnswer(answer));
}

}  // namespace

}  // namespace userdb::crash
