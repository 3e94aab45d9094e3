#include "crash/report/report_folders.h"

#include <stdlib.h>

#include "platform/module_section.h"
#include "platform/path.h"
#include "platform/user_folders.h"

namespace userdb::crash {

std::string UserStateFolder(const char* xdg_state_home, const char* home) {
  return platform::UserProgramFolder(xdg_state_home, home, ".local/state");
}

ReportFolders ProcessReportFolders() {
  return {platform::FolderPart(platform::ExecutablePath()),
          UserStateFolder(getenv("XDG_STATE_HOME"), getenv("HOME"))};
}

}  // namespace userdb::crash
