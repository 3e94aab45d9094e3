#include "crash/capture/console_form.h"

#include "crash/report/compose_bug_report.h"
#include "platform/display_text.h"
#include "platform/message_box.h"
#include "platform/stream_descriptor_write.h"

namespace userdb::crash {

std::string BoxMessage(CaughtException& exception) {
  const bool freeze = exception.Facts().kind == ExceptionKind::kFreeze;
  std::string text = exception.Settings().ReadText(freeze ? "FrozenMsg" : "ExceptMsg");
  const std::string message = FormattedExceptionMessage(exception.Facts().object);
  const std::string_view placeholder = "%exceptMsg%";
  for (size_t at = 0; (at = text.find(placeholder, at)) != std::string::npos;) {
    text.replace(at, placeholder.size(), message);
    at += message.size();
  }
  return text;
}

UserDecision ConsoleForm::Show(CaughtException& exception) {
  if (exception.Handling().show_setting == 4) return UserDecision::kNone;
  std::string text = BoxMessage(exception);
  if (exception.Facts().create_bug_report) {
    text += "\n\n" + ComposeBugReport(exception, true);
  } else {
    text += "\n" + FormattedExceptionMessage(exception.Facts().object);
  }
  platform::WriteToStreamDescriptor(out_, platform::DisplayUtf8(text) + "\n");
  return UserDecision::kNone;
}

void ConsoleForm::ShowMessage(std::string_view caption, std::string_view text) {
  platform::StandardErrorMessageBox().Show(caption, text, platform::MessageKind::kError);
}

}  // namespace userdb::crash
