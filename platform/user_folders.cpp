#include "platform/user_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <vector>

namespace userdb::platform {

namespace {

constexpr std::string_view kProgramFolderName = "userdb-transform/";

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

std::string UserProgramFolder(const char* xdg_folder, const char* home,
                              std::string_view below_home) {
  if (xdg_folder != nullptr && xdg_folder[0] == '/') {
    return WithSlash(xdg_folder) + std::string(kProgramFolderName);
  }
  const std::string home_folder =
      home != nullptr && home[0] != '\0' ? std::string(home) : HomeFolderOfUser();
  return WithSlash(home_folder) + WithSlash(std::string(below_home)) +
         std::string(kProgramFolderName);
}

}  // namespace userdb::platform
