#include "platform/user_folders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/whole_file.h"

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

std::string HomeFolder(const char* home) {
  return home != nullptr && home[0] != '\0' ? std::string(home) : HomeFolderOfUser();
}

bool IsFolder(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// The text up to the closing double quote, "\\" escaping the next character; none when
// the quote is not closed.
std::optional<std::string> QuotedText(std::string_view rest) {
  std::string text;
  for (size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == '"') return text;
    if (rest[i] == '\\' && i + 1 < rest.size()) ++i;
    text += rest[i];
  }
  return std::nullopt;
}

// The folder of the last line `XDG_DESKTOP_DIR="..."` of a user-dirs.dirs file, whose value
// is "$HOME/" and a path below the home folder, or an absolute path; none for any other.
std::optional<std::string> DesktopEntry(std::string_view contents, const std::string& home) {
  constexpr std::string_view kKey = "XDG_DESKTOP_DIR=\"";
  std::optional<std::string> found;
  for (size_t start = 0; start < contents.size();) {
    const size_t end = std::min(contents.find('\n', start), contents.size());
    const std::string_view line = contents.substr(start, end - start);
    start = end + 1;
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos || !line.substr(first).starts_with(kKey)) continue;
    const std::optional<std::string> value = QuotedText(line.substr(first + kKey.size()));
    if (!value) continue;
    if (*value == "$HOME" || value->starts_with("$HOME/")) {
      found = WithSlash(home) + value->substr(std::min<size_t>(value->size(), 6));
    } else if (value->starts_with("/")) {
      found = *value;
    }
  }
  return found;
}

}  // namespace

std::string UserProgramFolder(const char* xdg_folder, const char* home,
                              std::string_view below_home) {
  if (xdg_folder != nullptr && xdg_folder[0] == '/') {
    return WithSlash(xdg_folder) + std::string(kProgramFolderName);
  }
  return WithSlash(HomeFolder(home)) + WithSlash(std::string(below_home)) +
         std::string(kProgramFolderName);
}

std::string DesktopFolder(const char* xdg_config_home, const char* home) {
  const std::string home_folder = HomeFolder(home);
  const std::string config_folder = xdg_config_home != nullptr && xdg_config_home[0] == '/'
                                        ? WithSlash(xdg_config_home)
                                        : WithSlash(home_folder) + ".config/";
  constexpr size_t kMaxListSize = 64 * 1024;
  const auto list = ReadRegularFile(config_folder + "user-dirs.dirs", kMaxListSize);
  const std::string desktop = WithSlash((list ? DesktopEntry(*list, home_folder) : std::nullopt)
                                            .value_or(WithSlash(home_folder) + "Desktop"));
  return IsFolder(desktop) ? desktop : WithSlash(home_folder);
}

}  // namespace userdb::platform
