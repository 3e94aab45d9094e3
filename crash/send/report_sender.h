// Sending a bug report by mail, after the send assistant ended with continue: the mail
// ("MailAddr", "MailSubj", "MailBody") with the bug report file and the screenshot
// attached goes to the user's mail program, or else, as a "mailto:" line with the whole
// report, to the desktop's mail handler; "SendFailMsg" tells the user when neither took
// it. With "SendInBackgr" the send runs on a thread of its own while the user goes on.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "crash/report/bug_report_file.h"
#include "crash/report/caught_exception.h"
#include "crash/send/mail_attachments.h"
#include "crash/send/mail_delivery.h"
#include "crash/send/screen_image.h"
#include "crash/send/send_handle.h"
#include "crash/send/send_progress.h"
#include "crash/send/temporary_folder.h"
#include "platform/message_box.h"

namespace userdb::crash {

// The caption of "SendFailMsg": the one a message box gets when its owner names none.
inline constexpr std::string_view kSendFailureCaption = "Fehler";

struct SendRequest {
  std::string report;  // the complete report
  // Attached when given: only when the user left "attach a screenshot" checked.
  std::optional<ScreenImage> screenshot;
  // A send the user does not watch: no "mailto:" hand-off and no failure message.
  bool hidden = false;
  // The process is blocked (see the capture of exceptions): no thread of its own, and the
  // mail program is not asked.
  bool process_blocked = false;
  // Called after a successful send, before the program's bug report file is deleted: the
  // caller marks the exception's report sent there.
  std::function<void()> on_sent;
};

// What sending uses of the crash reporter and the desktop. The crash-reporter object owns
// them and outlives every send: closing waits for the sends (SendHandle) first.
struct SendServices {
  TemporaryFolder& temporary_folder;
  const BugReportFileWriter& report_file;
  platform::MessageBox& message_box;  // "SendFailMsg", and a temporary folder refused
  SendProgress* progress = nullptr;   // none: nothing shown while attachments are prepared
  MailPrograms mail_programs;
};

class ReportSender {
 public:
  explicit ReportSender(SendServices services);

  // Sends the report with the settings of `exception`. With "SendInBackgr", unless the
  // process is blocked, the send runs on a thread of its own that shares `exception`, and
  // the handle comes back at once; otherwise the send is done here and the handle holds
  // its result.
  SendHandle Send(std::shared_ptr<CaughtException> exception, SendRequest request) const;

  // The send itself, on the calling thread.
  SendResult SendHere(CaughtException& exception, const SendRequest& request,
                      bool in_background) const;

 private:
  struct Delivery {
    bool by_mail_program = false;
    bool by_mailto_handler = false;
  };

  PreparedAttachments PrepareWithProgress(CaughtException& exception, const SendRequest& request,
                                          bool in_background) const;
  Delivery Deliver(const SettingsView& settings, const SendRequest& request,
                   const MailMessage& message) const;
  void DeleteReportFile(const std::string& path) const;

  SendServices services_;
};

}  // namespace userdb::crash
