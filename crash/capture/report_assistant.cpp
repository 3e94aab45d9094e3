#include "crash/capture/report_assistant.h"

#include <algorithm>

#include "crash/box/assistant_lookup.h"
#include "crash/box/assistant_run.h"
#include "crash/helper/assistant_request.h"

namespace userdb::crash {

namespace {

std::string_view AssistantSetting(ReportAction action) {
  switch (action) {
    case ReportAction::kSend:
      return "SendAssis";
    case ReportAction::kSave:
      return "SaveAssis";
    case ReportAction::kPrint:
      break;
  }
  return "PrintAssis";
}

std::optional<AssistantAnswer> Ask(AssistantChannel& channel, const AssistantRequest& request) {
  if (!channel.send || !channel.receive || !channel.send(EncodeAssistantRequest(request)))
    return std::nullopt;
  while (const std::optional<HelperMessage> message = channel.receive()) {
    if (message->verb == helper::kAssistantEnd) return DecodeAssistantAnswer(*message);
  }
  return std::nullopt;
}

// The pages as the user left them, each with its result, so that the rules that collect
// the inputs see what the helper's pages saw. A page the helper calls continued whose
// required edits are empty stays without a result here: it gives nothing.
std::vector<AssistantPage> AnsweredPages(const std::vector<std::string>& names,
                                         const AssistantAnswer& answer,
                                         CaughtException& exception) {
  std::vector<AssistantPage> pages = CreateAssistantPages(
      names, [](std::string_view) { return nullptr; }, FormCache(), exception);
  for (size_t index = 0; index < pages.size(); ++index) {
    AssistantPage& page = pages[index];
    const AnsweredPage& answered = answer.pages[index];
    for (const auto& [name, value] : answered.values) {
      const PageItem* item = page.Find(name);
      if (item == nullptr) continue;
      if (item->kind == ItemKind::kEdit) page.SetEditText(name, value);
      if (item->kind == ItemKind::kCheckBox) page.SetChecked(name, value == "+");
    }
    switch (answered.result) {
      case PageResult::kContinue:
        page.Press(kContinueButton);
        break;
      case PageResult::kSkip:
        page.Press(kSkipButton);
        break;
      case PageResult::kCancel:
        page.CloseByTitleBar();
        break;
      case PageResult::kNone:
        break;
    }
  }
  return pages;
}

}  // namespace

bool RunReportAssistant(ReportAction action, CaughtException& exception, AssistantParts& parts) {
  const SettingsOverlay& settings = exception.Settings();
  const std::optional<AssistantDefinition> assistant =
      FindAssistant(settings, settings.ReadText(AssistantSetting(action)));
  if (!assistant) return true;
  AssistantRequest request;
  request.title = assistant->title;
  request.pages =
      PagesToShow(*assistant, parts.screenshot.has_value(), settings.ReadInteger("ScrShotDepth"));
  request.cached = parts.cache.Entries();
  const bool screenshot_page =
      std::find(request.pages.begin(), request.pages.end(), kScreenshotPage) != request.pages.end();
  if (screenshot_page) request.screenshot = parts.screenshot;
  request.attach_screenshot = exception.Handling().attach_screenshot;
  request.temporary_folder = parts.temporary_folder;

  const std::optional<AssistantAnswer> answer = Ask(parts.channel, request);
  // No answer, or one that does not fit the question: the user has not agreed to anything.
  if (!answer || answer->pages.size() != request.pages.size()) return false;
  if (!answer->mail_from.empty()) exception.Settings().WriteText("MailFrom", answer->mail_from);
  if (screenshot_page) {
    exception.Handling().attach_screenshot = answer->attach_screenshot;
    if (answer->edited_screenshot) parts.screenshot = answer->edited_screenshot;
  }
  const std::vector<AssistantPage> pages = AnsweredPages(request.pages, *answer, exception);
  return FinishAssistant(pages, parts.cache, exception.Report()) == PageResult::kContinue;
}

SendHandle SendAssistedReport(const std::shared_ptr<CaughtException>& exception,
                              const std::optional<ScreenImage>& screenshot,
                              const ReportSender& sender, std::string report,
                              bool process_blocked) {
  SendRequest request;
  request.report = std::move(report);
  if (exception->Handling().attach_screenshot) request.screenshot = screenshot;
  request.process_blocked = process_blocked;
  request.on_sent = [exception] { exception->Handling().report_sent = true; };
  return sender.Send(exception, std::move(request));
}

}  // namespace userdb::crash
