#include "crash/capture/box_report_commands.h"

#include <cstdlib>

#include "platform/user_folders.h"

namespace userdb::crash {

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

void BoxReportCommands::Send(BoxConversation& conversation) {
  if (parts_.sender == nullptr || parts_.handlers.FireAction(HandlerAction::kSend, *exception_))
    return;
  AssistantParts assistant = Assistant(conversation);
  std::optional<SendHandle> send =
      SendWithAssistant(exception_, assistant, *parts_.sender, conversation.complete_report, false);
  if (send && parts_.keep_send) parts_.keep_send(std::move(*send));
}

bool BoxReportCommands::Save(BoxConversation& conversation) {
  if (parts_.handlers.FireAction(HandlerAction::kSave, *exception_)) return true;
  if (!exception_->Facts().create_bug_report) return false;
  AssistantParts assistant = Assistant(conversation);
  if (!RunReportAssistant(ReportAction::kSave, *exception_, assistant)) return false;
  const std::string report = conversation.complete_report();
  return SaveReportWithDialog(
      report, conversation.save_dialog,
      platform::DesktopFolder(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME")), *exception_,
      parts_.report_file);
}

}  // namespace userdb::crash
