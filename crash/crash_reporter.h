// The crash reporter of this process: the one object that owns everything the crash reporter
// keeps for the whole process (the settings of the modules, the box its own messages go to,
// the folders of the bug report file, and, as they come, the thread registry, the handling
// thread, the module list and the symbol cache).
//
// Lifetime: each program creates it as the first thing in `main`, before any other object
// of the program, and it ends last, when `main` returns; no thread of the crash reporter
// outlives it. There is at most one at a time. Everything it hands out by reference is valid
// while it lives; settings that a caught exception holds (shared) stay valid beyond it.
//
// Nothing here may be called inside a signal handler: the parts that may, say so in their
// own headers.
#pragma once

#include "crash/config/settings_registry.h"
#include "crash/report/report_folders.h"
#include "crash/stack/symbol_lookup.h"
#include "platform/message_box.h"

namespace userdb::crash {

class CrashReporter {
 public:
  CrashReporter();
  CrashReporter(const CrashReporter&) = delete;
  CrashReporter& operator=(const CrashReporter&) = delete;

  // The settings of the process's modules, parsed when first asked for.
  SettingsRegistry& Settings() { return settings_; }
  // Where the automatic save keeps the bug report file.
  const ReportFolders& Folders() const { return folders_; }
  // Where the crash reporter's own messages go ("Quorvex" boxes): standard error until the
  // crash reporter has a window of its own.
  platform::MessageBox& Box() { return box_; }
  // The modules met so far and their symbol tables, for naming code addresses.
  SymbolLookup& Symbols() { return symbols_; }

 private:
  ProcessModuleCatalog catalog_;
  platform::StandardErrorMessageBox box_;
  SettingsRegistry settings_;
  ReportFolders folders_;
  SymbolLookup symbols_;
};

}  // namespace userdb::crash
