#pragma once

#include <string>

namespace userdb::registry {

// Where the current user's hive is kept: "$XDG_CONFIG_HOME/userdb-transform/registry.reg",
// with "~/.config" when XDG_CONFIG_HOME is unset, empty or not an absolute path.
std::string DefaultRegistryFilePath();

}  // namespace userdb::registry
