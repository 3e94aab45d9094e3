// The box's save, send and print as the handling carries them out, with a stand-in for the
// crash helper that continues every page: the action's handlers come first and may take
// the action over, before or after its assistant; what goes on then is saved or sent.
#include "crash/capture/box_report_commands.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "crash/helper/assistant_request.h"
#include "crash/report/report_folders.h"
#include "tests/crash/capture/program_exception.h"
#include "tests/crash/send/fake_desktop.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/temp_folder.h"

namespace userdb::crash {

namespace {

using test_support::ProgramException;

std::string TextOf(const std::string& path) {
  try {
    return test_support::ReadFile(path);
  } catch (const std::exception&) {
    return {};
  }
}

// The save dialog's stand-in: answers with a path, and counts its questions.
class ChosenFile : public SaveFileDialog {
 public:
  explicit ChosenFile(std::string path) : path_(std::move(path)) {}
  std::optional<std::string> Ask(const SaveDialogRequest&) override {
    ++asked;
    return path_;
  }
  int asked = 0;

 private:
  std::string path_;
};

enum class Claim { kNone, kBefore, kAfter };

struct CommandCase {
  std::string name;
  ReportAction action;
  Claim claim;
  bool assistant_shown;
  bool carried_out;  // saved, or handed to the mail program
};

class BoxReportCommandsTest : public ::testing::TestWithParam<CommandCase> {
 protected:
  BoxReportCommandsTest() {
    mkdir((base_.Path() + "/program").c_str(), 0700);
    desktop_.Program("xdg-email", 0);
    desktop_.Program("xdg-mime", 0);
  }

  // The conversation with a helper that continues every page it is shown.
  BoxConversation Conversation() {
    return BoxConversation{
        AssistantChannel{
            [this](const HelperMessage& message) {
              asked_ = DecodeAssistantRequest(message);
              return true;
            },
            [this]() -> std::optional<HelperMessage> {
              if (!asked_) return std::nullopt;
              AssistantAnswer answer;
              for (size_t page = 0; page < asked_->pages.size(); ++page) {
                answer.pages.push_back(
                    {PageResult::kContinue,
                     page == 0 ? NamedValues{{"EmailEdit", "ann@example.org"}} : NamedValues{}});
              }
              return EncodeAssistantAnswer(answer);
            }},
        dialog_, [] { return std::string("the report\r\n"); }};
  }

  // Handlers that take over `action`.
  void Claiming(HandlerAction action) {
    handlers_.AddActionHandler(
        [action, this](CaughtException&, HandlerAction fired, bool& handled) {
          fired_.push_back(fired);
          if (fired == action) handled = true;
        });
  }

  test_support::TempFolder base_;
  test_support::FakeDesktop desktop_;
  std::shared_ptr<CaughtException> exception_ = ProgramException();
  ExceptionHandlers handlers_;
  FormCache cache_;
  std::optional<ScreenImage> screenshot_;
  TemporaryFolder temporary_{base_.Path() + "/tmp"};
  BugReportFileWriter report_file_{ReportFolders{base_.Path() + "/program/", base_.Path() + "/"}};
  test_support::RecordingMessageBox box_;
  ReportSender sender_{{temporary_, report_file_, box_, nullptr, desktop_.Programs()}};
  ChosenFile dialog_{base_.Path() + "/chosen.txt"};
  std::optional<AssistantRequest> asked_;
  std::vector<HandlerAction> fired_;
  std::vector<SendHandle> sends_;
};

HandlerAction Before(ReportAction action) {
  switch (action) {
    case ReportAction::kSend:
      return HandlerAction::kSend;
    case ReportAction::kSave:
      return HandlerAction::kSave;
    case ReportAction::kPrint:
      break;
  }
  return HandlerAction::kPrint;
}

HandlerAction After(ReportAction action) {
  return static_cast<HandlerAction>(static_cast<int>(Before(action)) + 3);
}

TEST_P(BoxReportCommandsTest, HandlersComeFirstThenTheAssistantThenTheAction) {
  const CommandCase& command = GetParam();
  Claiming(command.claim == Claim::kBefore  ? Before(command.action)
           : command.claim == Claim::kAfter ? After(command.action)
                                            : HandlerAction::kHelp);
  BoxReportCommands commands(
      exception_,
      ReportCommandParts{handlers_, cache_, screenshot_, temporary_, report_file_, &sender_,
                         [this](SendHandle send) { sends_.push_back(std::move(send)); }});
  BoxConversation conversation = Conversation();
  bool saved = false;
  switch (command.action) {
    case ReportAction::kSend:
      commands.Send(conversation);
      break;
    case ReportAction::kSave:
      saved = commands.Save(conversation);
      break;
    case ReportAction::kPrint:
      commands.Print(conversation);
      break;
  }
  for (SendHandle& send : sends_) send.Wait();

  EXPECT_EQ(asked_.has_value(), command.assistant_shown);
  std::vector<HandlerAction> expected_fired{Before(command.action)};
  if (command.claim != Claim::kBefore) expected_fired.push_back(After(command.action));
  EXPECT_EQ(fired_, expected_fired);
  switch (command.action) {
    case ReportAction::kSend:
      EXPECT_EQ(desktop_.ArgumentsOf("xdg-email").has_value(), command.carried_out);
      EXPECT_EQ(exception_->Handling().report_sent.load(), command.carried_out);
      break;
    case ReportAction::kSave:
      EXPECT_EQ(saved, command.carried_out);
      EXPECT_EQ(dialog_.asked, command.carried_out ? 1 : 0);
      EXPECT_EQ(TextOf(base_.Path() + "/chosen.txt").find("the report") != std::string::npos,
                command.carried_out);
      break;
    case ReportAction::kPrint:
      // Printing itself is switched off.
      EXPECT_FALSE(desktop_.ArgumentsOf("xdg-email"));
      EXPECT_EQ(dialog_.asked, 0);
      break;
  }
  if (command.assistant_shown && command.claim != Claim::kBefore) {
    EXPECT_EQ(exception_->Report().Header("contact email"), "ann@example.org");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BoxReportCommandsTest,
    ::testing::Values(
        CommandCase{"Send", ReportAction::kSend, Claim::kNone, true, true},
        CommandCase{"SendClaimedBefore", ReportAction::kSend, Claim::kBefore, false, false},
        CommandCase{"SendClaimedAfter", ReportAction::kSend, Claim::kAfter, true, false},
        CommandCase{"Save", ReportAction::kSave, Claim::kNone, true, true},
        CommandCase{"SaveClaimedBefore", ReportAction::kSave, Claim::kBefore, false, false},
        CommandCase{"SaveClaimedAfter", ReportAction::kSave, Claim::kAfter, true, false},
        CommandCase{"Print", ReportAction::kPrint, Claim::kNone, true, false},
        CommandCase{"PrintClaimedBefore", ReportAction::kPrint, Claim::kBefore, false, false}),
    [](const auto& test_case) { return test_case.param.name; });

// A cancelled assistant saves nothing and sends nothing.
TEST_F(BoxReportCommandsTest, ACancelledAssistantEndsTheAction) {
  BoxReportCommands commands(
      exception_,
      ReportCommandParts{handlers_, cache_, screenshot_, temporary_, report_file_, &sender_, {}});
  BoxConversation conversation = Conversation();
  conversation.channel.receive = [] {
    AssistantAnswer answer;
    answer.pages = {{PageResult::kCancel, {}}, {PageResult::kNone, {}}};
    return std::optional<HelperMessage>(EncodeAssistantAnswer(answer));
  };
  EXPECT_FALSE(commands.Save(conversation));
  commands.Send(conversation);
  EXPECT_EQ(dialog_.asked, 0);
  EXPECT_FALSE(desktop_.ArgumentsOf("xdg-email"));
}

}  // namespace

}  // namespace userdb::crash
