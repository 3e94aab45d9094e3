#include "platform/registry/registry_file_location.h"

#include <stdlib.h>

#include "platform/user_folders.h"

std::string DefaultRegistryFilePath() {
  return UserProgramFolder(getenv("XDG_CONFIG_HOME"), getenv("HOME"), ".config") + "registry.reg";
}
