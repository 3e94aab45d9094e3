// The report assistants seen from the crashed program: before the box's send, save or
// print, the crash helper shows the action's assistant; what the user entered goes into
// the report, the form cache and the exception (sender, attach flag, edited screenshot).
//
// Where it fits: the box's helper session carries the "assistant" request and answer
// (AssistantChannel over its connection); the box's report commands (box_report_commands.h)
// call SendWithAssistant for "send", and RunReportAssistant with kSave before they ask for
// the file for "save", which saves nothing when that returns false.
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

// The box's send: the send assistant, then the complete report (from `complete_report`)
// sent, with the screenshot when the user left it attached. None when the assistant was
// cancelled; otherwise the send's handle, which close and restart wait for.
std::optional<SendHandle> SendWithAssistant(const std::shared_ptr<CaughtException>& exception,
                                            AssistantParts& parts, const ReportSender& sender,
                                            const std::function<std::string()>& complete_report,
                                            bool process_blocked);

}  // namespace userdb::crash
