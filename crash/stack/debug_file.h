// A module's separate debug file: the DWARF and symbols that a distribution strips off its
// libraries and ships in a debug package.
#pragma once

#include <optional>
#include <string>

#include "crash/stack/elf_file.h"

namespace userdb::crash::detail {

inline constexpr char kSystemDebugRoot[] = "/usr/lib/debug";

// The first of these that matches the module:
// 1. <debug root>/.build-id/<first two hex digits of the build id>/<the rest>.debug;
// 2. the file named by the module's .gnu_debuglink section, beside the module, in a ".debug"
//    folder beside it, or under the debug root followed by the module's folder.
// A file matches when its build id equals the module's; a module without a build id is
// matched by the CRC-32 that its debug link records. A link naming a folder is ignored.
std::optional<ElfFile> OpenSeparateDebugFile(const std::string& module_path,
                                             const ElfFile& module_file,
                                             const std::string& build_id,
                                             const std::string& debug_root);

}  // namespace userdb::crash::detail
