// The crash reporter's record of one caught exception. It holds what the saving of its
// report needs: the settings as this exception sees them, and whether its report is in
// the bug report file already. The capture and handling of exceptions add the rest.
#pragma once

#include <atomic>
#include <memory>

#include "crash/config/module_settings.h"
#include "crash/config/settings_overlay.h"

namespace userdb::crash {

class CaughtException {
 public:
  // `settings`: those of the module whose code raised the exception; never null.
  explicit CaughtException(std::shared_ptr<const ModuleSettings> settings);
  CaughtException(const CaughtException&) = delete;
  CaughtException& operator=(const CaughtException&) = delete;

  // Reads and writes here change the settings of this exception only.
  SettingsOverlay& Settings() { return settings_; }
  const SettingsOverlay& Settings() const { return settings_; }

  // Set once the report has been written to the bug report file by the automatic save or
  // the save command, so that sending does not append it a second time.
  void MarkReportSaved() { report_saved_ = true; }
  bool ReportSaved() const { return report_saved_; }

 private:
  SettingsOverlay settings_;
  std::atomic<bool> report_saved_ = false;
};

}  // namespace userdb::crash
