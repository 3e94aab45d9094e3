// The show step of a console program: the box's message and the complete report to standard
// error (standard output carries the program's own output), nothing asked. The stream's lock
// is waited for only a moment: the failed thread may hold it.
#pragma once

#include <cstdio>

#include "crash/capture/exception_presenter.h"

namespace userdb::crash {

class ConsoleForm : public ExceptionPresenter {
 public:
  explicit ConsoleForm(std::FILE* out = stderr) : out_(out) {}
  UserDecision Show(CaughtException& exception) override;
  void ShowMessage(std::string_view caption, std::string_view text) override;
  void ShowPleaseWait(CaughtException&) override {}
  void EndPleaseWait() override {}
  void SetHeartbeat(std::function<void()>) override {}

 private:
  std::FILE* out_;
};

}  // namespace userdb::crash
