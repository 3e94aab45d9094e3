// This program's crash-reporter settings, read from their source file
// (crash/config/crash_settings.txt), as the executable "userdb-transform" sees them. The
// including test links crash_settings_source.
#pragma once

#include <memory>
#include <string>

#include "crash/config/module_settings.h"
#include "crash/config/tools/settings_source.h"
#include "tests/support/temp_folder.h"

namespace userdb::test_support {

inline std::shared_ptr<const crash::ModuleSettings> ProgramCrashSettings(
    const std::string& source_path, const std::string& executable_name = "userdb-transform") {
  crash::SettingsOrigin origin;
  origin.executable_name = executable_name;
  return std::make_shared<crash::ModuleSettings>(
      origin, crash::ParseSettingsSource(ReadFile(source_path)), nullptr);
}

}  // namespace userdb::test_support
