// The box's save, send and print for one exception, as the handling carries them out: the
// action's handlers first (a handler that takes the action over ends it), then the action's
// assistant, then the handlers of the action after its assistant, then the report appended
// to the file the user chooses, or sent by mail. Printing itself is switched off: print ends
// with its assistant.
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "crash/box/form_cache.h"
#include "crash/capture/exception_handlers.h"
#include "crash/capture/exception_presenter.h"
#include "crash/report/bug_report_file.h"
#include "crash/report/caught_exception.h"
#include "crash/send/report_sender.h"
#include "crash/send/screen_image.h"
#include "crash/send/temporary_folder.h"

namespace userdb::crash {

// What the commands use; the crash-reporter object owns it all.
struct ReportCommandParts {
  const ExceptionHandlers& handlers;
  FormCache& cache;                           // kept for the process's life
  std::optional<ScreenImage>& screenshot;     // the exception's, taken before the box
  TemporaryFolder& temporary_folder;          // where the screenshot page writes its image
  const BugReportFileWriter& report_file;     // its rules for the save
  const ReportSender* sender = nullptr;       // none: the send does nothing
  std::function<void(SendHandle)> keep_send;  // close and restart wait for what it holds
};

class BoxReportCommands : public ReportCommands {
 public:
  BoxReportCommands(std::shared_ptr<CaughtException> exception, ReportCommandParts parts);

  void Send(BoxConversation& conversation) override;
  bool Save(BoxConversation& conversation) override;
  void Print(BoxConversation& conversation) override;

 private:
  // Fires the action's handlers, runs its assistant and fires the handlers of the action
  // after it; whether the action itself goes on.
  bool Prepare(ReportAction action, BoxConversation& conversation);
  AssistantParts Assistant(BoxConversation& conversation);

  std::shared_ptr<CaughtException> exception_;
  ReportCommandParts parts_;
};

}  // namespace userdb::crash
