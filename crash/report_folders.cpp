#include "crash/report_folders.h"

#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include <vector>

#include "platform/module_section.h"
#include "platform/path.h"

namespace {

constexpr const char* kProgramFolderName = "userdb-transform/";

// Without HOME (a service, a cleared environment) the password database still knows.
std::string HomeFolderOfUser() {
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
      found->pw_dir[0] != '\0') {
    return found->pw_dir;
  }
  return "/";
}

std::string WithSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace

std::string UserStateFolder(const char* xdg_state_home, const char* home) {
  if (xdg_state_home != nullptr && xdg_state_home[0] == '/') {
    return WithSlash(xdg_state_home) + kProgramFolderName;
  }
  const std::string home_folder =
      home != nullptr && home[0] != '\0' ? std::string(home) : HomeFolderOfUser();
  return WithSlash(home_folder) + ".local/state/" + kProgramFolderName;
}

ReportFolders ProcessReportFolders() {
  return {FolderPart(ExecutablePath()), UserStateFolder(getenv("XDG_STATE_HOME"), getenv("HOME"))};
}
