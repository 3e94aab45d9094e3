// The report assistants seen from the crashed program: before the box's send, save or
// print, the crash helper shows the action's assistant; what the user entered goes into
// the report, the form cache and the exception (sender, attach flag, edited screenshot).
//
// Where it fits: the box's helper session carries the "assistant" request and answer
// (AssistantChannel over its connection); the box's report commands (box_report_commands.h)
// run the action's assistant and go on with the action only when it returns true: for send
// with SendAssistedReport.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "crash/box/form_cache.h"
#include "crash/helper/helper_protocol.h"
#include "crash/report/caught_exception.h"
#include "crash/send/report_sender.h"
#include "crash/send/screen_image.h"

namespace userdb::crash {

enum class ReportAction { kSend, kSave, kPrint };

// The connection to the crash helper: a send that tells whether the message went out, and
// the helper's next message (none once it is gone).
struct AssistantChannel {
  std::function<bool(const HelperMessage&)> send;
  std::function<std::optional<HelperMessage>()> receive;
};

// What an assistant uses beside the exception. The form cache is the crash reporter's,
// kept for the process's life; the screenshot is the exception's, taken before the box.
struct AssistantParts {
  FormCache& cache;
  std::optional<ScreenImage>& screenshot;
  std::string temporary_folder;  // ends with "/"; empty when there is none to use
  AssistantChannel channel;
};

// Runs the assistant of `action` ("SendAssis", "SaveAssis", "PrintAssis") and tells
// whether the action goes on: yes when it ended with continue or there is no such
// assistant; no when it was cancelled or the helper did not answer.
bool RunReportAssistant(ReportAction action, CaughtException& exception, AssistantParts& parts);

// The send after its assistant: the complete report sent, with the screenshot when the
// user left it attached; the exception's report counts as sent once it went. The send's
// handle is what close and restart wait for.
SendHandle SendAssistedReport(const std::shared_ptr<CaughtException>& exception,
                              const std::optional<ScreenImage>& screenshot,
                              const ReportSender& sender, std::string report, bool process_blocked);

}  // namespace userdb::crash
