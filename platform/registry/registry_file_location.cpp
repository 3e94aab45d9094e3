#include "platform/registry/registry_file_location.h"

#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include <vector>

namespace {

std::string HomeFolder() {
  if (const char* home = getenv("HOME"); home != nullptr && *home != '\0') return home;
  // Without HOME (a service, a cleared environment) the password database still knows.
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
      found->pw_dir[0] != '\0') {
    return found->pw_dir;
  }
  return "/";
}

std::string ConfigFolder() {
  const char* config = getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return config;
  std::string home = HomeFolder();
  if (home.back() != '/') home += '/';
  return home + ".config";
}

}  // namespace

std::string DefaultRegistryFilePath() {
  return ConfigFolder() + "/userdb-transform/registry.reg";
}
