// Reads a registry file in the forms of Windows' registry editor: the 8-bit "REGEDIT4"
// form this program writes, and the "Windows Registry Editor Version 5.00" export
// (UTF-16LE with its byte-order mark, or UTF-8), whose text is taken into Windows-1252
// as the registry's 8-bit interface would hand it out.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/exception.h"
#include "platform/registry/hive.h"

namespace userdb::registry {

// The file is not in a form this reader knows; the message names the line and what is
// wrong with it.
class DamagedRegistryFile : public Exception {
 public:
  DamagedRegistryFile(size_t line_number, const std::string& reason)
      : Exception("line " + std::to_string(line_number) + ": " + reason) {}
};

// An empty file is an empty hive. Keys outside HKEY_CURRENT_USER and the editor's
// deletion forms ("[-key]", "name"=-) have no meaning for a stored hive and are refused.
// Throws DamagedRegistryFile.
Hive ParseRegeditFile(std::string_view file_bytes);

}  // namespace userdb::registry
