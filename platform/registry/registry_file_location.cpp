#include "platform/registry/registry_file_location.h"

#include <stdlib.h>

#include "platform/user_folders.h"

namespace userdb::registry {

std::string DefaultRegistryFilePath() {
  return platform::UserProgramFolder(getenv("XDG_CONFIG_HOME"), getenv("HOME"), ".config") +
         "registry.reg";
}

}  // namespace userdb::registry
