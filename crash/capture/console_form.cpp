#include "crash/capture/console_form.h"

#include "crash/report/compose_bug_report.h"
#include "platform/display_text.h"
#include "platform/message_box.h"
#include "platform/stream_descriptor_write.h"
#include "platform/terminal_output.h"

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

std::string WithTerminalLineEnds(std::string text, int fd) {
  if (!platform::TerminalAddsCarriageReturns(fd)) return text;
  size_t kept = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    text[kept++] = text[i];
  }
  text.resize(kept);
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
  Write(platform::DisplayUtf8(text) + "\n");
  return UserDecision::kNone;
}

void ConsoleForm::ShowMessage(std::string_view caption, std::string_view text) {
  platform::StandardErrorMessageBox().Show(caption, text, platform::MessageKind::kError);
}

void ConsoleForm::SetOpenLine(OpenConsoleLine line) {
  std::lock_guard lock(line_mutex_);
  line_ = std::move(line);
}

void ConsoleForm::Write(const std::string& text) {
  // Held throughout: the program takes its line away only once nothing uses it.
  std::lock_guard lock(line_mutex_);
  if (line_.hide) line_.hide();
  const std::string shown = WithTerminalLineEnds(text, fileno(out_));
  platform::WriteToStreamDescriptor(out_, shown);
  if (line_.release) line_.release();
}

}  // namespace userdb::crash
