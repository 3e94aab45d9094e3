#include "crash/send/report_sender.h"

#include <sys/stat.h>
#include <unistd.h>

#include <utility>

#include "crash/send/mailto_line.h"

namespace userdb::crash {

namespace {

// The caption of the crash reporter's own messages.
constexpr std::string_view kCrashReporterCaption = "Quorvex";
// Below the temporary folder: the attachments under the names they are sent as.
constexpr std::string_view kSendAsFolder = "send-as/";

// Direct SMTP delivery, the SMTP client and the HTTP upload are not built: this program's
// settings switch them off. Attachments are prepared when any way that carries them is on.
bool CarriesAttachments(const SettingsView& settings) {
  return settings.ReadBoolean("MailViaMapi") || settings.ReadBoolean("MailAsSmtpServer") ||
         settings.ReadBoolean("MailAsSmtpClient") || settings.ReadBoolean("UploadViaHttp");
}

}  // namespace

ReportSender::ReportSender(SendServices services) : services_(std::move(services)) {}

SendHandle ReportSender::Send(std::shared_ptr<CaughtException> exception,
                              SendRequest request) const {
  if (!exception->Settings().ReadBoolean("SendInBackgr") || request.process_blocked) {
    return SendHandle(SendHere(*exception, request, false));
  }
  return SendHandle::Start(
      [this, exception, shared = std::make_shared<SendRequest>(std::move(request))] {
        return SendHere(*exception, *shared, true);
      });
}

SendResult ReportSender::SendHere(CaughtException& exception, const SendRequest& request,
                                  bool in_background) const {
  const SettingsView& settings = exception.Settings();
  MailMessage message;
  message.recipients = settings.ReadText("MailAddr");
  message.subject = ExpandMailText(settings.ReadText("MailSubj"), request.report);
  message.body = ExpandMailText(settings.ReadText("MailBody"), request.report);

  PreparedAttachments prepared;
  if (CarriesAttachments(settings))
    prepared = PrepareWithProgress(exception, request, in_background);
  message.attachments = prepared.attachments;

  const Delivery delivery = Deliver(settings, request, message);
  if (!delivery.by_mail_program && !delivery.by_mailto_handler) {
    if (!request.hidden) {
      services_.message_box.Show(kSendFailureCaption, settings.ReadText("SendFailMsg"),
                                 platform::MessageKind::kError);
    }
    return SendResult::kFailed;
  }
  if (request.on_sent) request.on_sent();
  // After the "mailto:" hand-off the mail carries no attachment: the file is kept.
  if (delivery.by_mail_program && prepared.copied_report_file &&
      settings.ReadBoolean("DelBugRepFile")) {
    DeleteReportFile(*prepared.copied_report_file);
  }
  return SendResult::kSent;
}

PreparedAttachments ReportSender::PrepareWithProgress(CaughtException& exception,
                                                      const SendRequest& request,
                                                      bool in_background) const {
  const SettingsView& settings = exception.Settings();
  if (services_.progress != nullptr) {
    services_.progress->ShowPreparing(settings.ReadText("SendBoxTitle"),
                                      settings.ReadText("PrepAttMsg"), in_background);
  }
  PreparedAttachments prepared;
  try {
    const std::string folder = services_.temporary_folder.Open();
    const ScreenImage* screenshot = request.screenshot ? &*request.screenshot : nullptr;
    prepared =
        PrepareAttachments(folder, request.report, screenshot, exception, services_.report_file);
  } catch (const TemporaryFolderError& error) {
    // The mail goes without attachments; the user learns why.
    if (!request.hidden) {
      services_.message_box.Show(kCrashReporterCaption, error.Message(),
                                 platform::MessageKind::kError);
    }
  }
  if (services_.progress != nullptr) services_.progress->Close();
  return prepared;
}

ReportSender::Delivery ReportSender::Deliver(const SettingsView& settings,
                                             const SendRequest& request,
                                             const MailMessage& message) const {
  Delivery delivery;
  if (settings.ReadBoolean("MailViaMapi") && !request.process_blocked) {
    std::string send_as_folder;
    try {
      send_as_folder = services_.temporary_folder.Open() + std::string(kSendAsFolder);
      mkdir(send_as_folder.c_str(), 0700);
    } catch (const TemporaryFolderError&) {
      // Without attachments no file needs another name.
    }
    delivery.by_mail_program = HandToMailProgram(message, send_as_folder, services_.mail_programs);
  }
  if (!delivery.by_mail_program && settings.ReadBoolean("MailViaMailto") && !request.hidden) {
    delivery.by_mailto_handler = HandToMailtoHandler(
        MailtoLine(message.recipients, message.subject, request.report), services_.mail_programs);
  }
  return delivery;
}

void ReportSender::DeleteReportFile(const std::string& path) const {
  // Read-only attributes do not keep a file from being deleted here; the folder decides.
  unlink(path.c_str());
}

}  // namespace userdb::crash
