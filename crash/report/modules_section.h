// The "modules" section: every loaded module in ascending order of load address.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace userdb::crash {

struct ModuleLine {
  uintptr_t load_address = 0;
  std::string path;     // as the dynamic loader names it
  std::string version;  // empty when none is known
};

// The version of a module file: its version record when it carries one; otherwise the
// numeric tail of the name of the file it really is ("libQt6Core.so.6.4.2" gives "6.4.2",
// "libelf-0.188.so" gives "0.188").
std::string ModuleFileVersion(const std::string& path);
std::string NumericTail(std::string_view file_name);

std::vector<ModuleLine> LoadedModuleLines();

// Load address, file name, version (each padded to its longest plus 1) and folder.
std::string ModulesText(const std::vector<ModuleLine>& modules);

// The section's plug-in text for this process.
std::string ModulesSection();

}  // namespace userdb::crash
