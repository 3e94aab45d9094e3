// The names in a folder, as the file system lists them.
#pragma once

#include <string>
#include <vector>

namespace userdb::platform {

// Every name but "." and ".." in the order the system lists them; empty when the folder
// cannot be read.
std::vector<std::string> FolderEntries(const std::string& folder);

}  // namespace userdb::platform
