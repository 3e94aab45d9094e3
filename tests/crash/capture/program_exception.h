// An exception of userdb-transform with the program's own crash-reporter settings, read from
// their source text (the test defines PROGRAM_SETTINGS_SOURCE).
#pragma once

#include <memory>

#include "crash/config/tools/settings_source.h"
#include "crash/report/caught_exception.h"
#include "tests/support/temp_folder.h"

namespace userdb::test_support {

inline std::shared_ptr<crash::CaughtException> ProgramException() {
  crash::SettingsOrigin origin;
  origin.executable_name = "userdb-transform";
  return std::make_shared<crash::CaughtException>(std::make_shared<crash::ModuleSettings>(
      origin, crash::ParseSettingsSource(ReadFile(PROGRAM_SETTINGS_SOURCE)), nullptr));
}

}  // namespace userdb::test_support
