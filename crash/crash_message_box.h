// The crash reporter's own message boxes. The crash reporter draws no windows in the
// program's process: its boxes go through this interface, which shows them on standard
// error until the helper process that draws the crash reporter's windows takes over.
#pragma once

#include <string_view>

// The caption of every message box of the crash reporter itself.
inline constexpr std::string_view kCrashReporterCaption = "Quorvex";

class CrashMessageBox {
 public:
  virtual ~CrashMessageBox() = default;
  // Shows `text` (Windows-1252) and returns when the user has seen it.
  virtual void Show(std::string_view caption, std::string_view text) = 0;
};

// Writes "<caption>: <text>" as one line to standard error, in UTF-8.
class StandardErrorMessageBox : public CrashMessageBox {
 public:
  void Show(std::string_view caption, std::string_view text) override;
};

// The box of this process's crash reporter. It lives as long as the process.
CrashMessageBox& ProcessMessageBox();
