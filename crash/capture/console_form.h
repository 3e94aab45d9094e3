// The show step of a console program: the box's message and the complete report to standard
// error (standard output carries the program's own output), nothing asked. The stream's lock
// is waited for only a moment: the failed thread may hold it.
//
// On a terminal the text starts on a line of its own: a line that the program keeps open
// there (its progress line) is hidden while the text is written. A terminal that turns each
// line feed into CR LF gets the report's CR LF line ends as line feeds, so that they show
// as CR LF, as in the bug report file.
#pragma once

#include <cstdio>
#include <functional>
#include <mutex>

#include "crash/capture/exception_presenter.h"

namespace userdb::crash {

// A line that a console program keeps open on the terminal (a progress line): hidden while
// the crash reporter writes there, and let back afterwards. Both are called on the handling
// thread while any other thread may write the line.
struct OpenConsoleLine {
  std::function<void()> hide;
  std::function<void()> release;
};

class ConsoleForm : public ExceptionPresenter {
 public:
  explicit ConsoleForm(std::FILE* out = stderr) : out_(out) {}
  UserDecision Show(CaughtException& exception) override;
  void ShowMessage(std::string_view caption, std::string_view text) override;
  void ShowPleaseWait(CaughtException&) override {}
  void EndPleaseWait() override {}
  void SetHeartbeat(std::function<void()>) override {}

  // The program's open line from now on; an empty one when there is none any more. Waits
  // for a text being written, so that the line's owner may end once this returns.
  void SetOpenLine(OpenConsoleLine line);

 private:
  // Writes `text` (ending with a line break) with the open line hidden meanwhile.
  void Write(const std::string& text);

  std::FILE* out_;
  std::mutex line_mutex_;  // around line_, and held while a text is written
  OpenConsoleLine line_;
};

// `text` as it is written to `fd`: CR LF pairs as LF alone where the terminal adds the CR.
std::string WithTerminalLineEnds(std::string text, int fd);

}  // namespace userdb::crash
