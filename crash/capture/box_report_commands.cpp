#include "crash/capture/box_report_commands.h"

#include <cstdlib>
#include <utility>

#include "platform/user_folders.h"

namespace userdb::crash {

namespace {

// The handler actions of a report action: before its assistant, and after it.
std::pair<HandlerAction, HandlerAction> HandlerActionsOf(ReportAction action) {
  switch (action) {
    case ReportAction::kSend:
      return {HandlerAction::kSend, HandlerAction::kSendAfterAssistant};
    case ReportAction::kSave:
      return {HandlerAction::kSave, HandlerAction::kSaveAfterAssistant};
    case ReportAction::kPrint:
      break;
  }
  return {HandlerAction::kPrint, HandlerAction::kPrintAfterAssistant};
}

}  // namespace

BoxReportCommands::BoxReportCommands(std::shared_ptr<CaughtException> exception,
                                     ReportCommandParts parts)
    : exception_(std::move(exception)), parts_(std::move(parts)) {}

AssistantParts BoxReportCommands::Assistant(BoxConversation& conversation) {
  std::string folder;
  try {
    folder = parts_.temporary_folder.Open();
  } catch (const TemporaryFolderError&) {
    // Without a folder of its own the screenshot page cannot hand its image to an editor;
    // the assistant goes on without that.
  }
  return AssistantParts{parts_.cache, parts_.screenshot, folder, conversation.channel};
}

bool BoxReportCommands::Prepare(ReportAction action, BoxConversation& conversation) {
  const auto [before, after] = HandlerActionsOf(action);
  if (parts_.handlers.FireAction(before, *exception_)) return false;
  AssistantParts assistant = Assistant(conversation);
  return RunReportAssistant(action, *exception_, assistant) &&
         !parts_.handlers.FireAction(after, *exception_);
}

void BoxReportCommands::Send(BoxConversation& conversation) {
  if (parts_.sender == nullptr || !Prepare(ReportAction::kSend, conversation)) return;
  SendHandle send = SendAssistedReport(exception_, parts_.screenshot, *parts_.sender,
                                       conversation.complete_report(), false);
  if (parts_.keep_send) parts_.keep_send(std::move(send));
}

void BoxReportCommands::Print(BoxConversation& conversation) {
  Prepare(ReportAction::kPrint, conversation);
}

bool BoxReportCommands::Save(BoxConversation& conversation) {
  // An exception whose filter switched the report off has nothing to save.
  if (!exception_->Facts().create_bug_report || !Prepare(ReportAction::kSave, conversation))
    return false;
  const std::string report = conversation.complete_report();
  return SaveReportWithDialog(
      report, conversation.save_dialog,
      platform::DesktopFolder(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME")), *exception_,
      parts_.report_file);
}

}  // namespace userdb::crash
