// Writes a hive in the 8-bit "REGEDIT4" form of Windows' registry editor, so that a user
// can read and edit it by eye and Windows' own tools can import it.
#pragma once

#include <string>

#include "platform/registry/hive.h"

namespace userdb::registry {

// Every key as a section (the root only when it holds values), in the hive's order; a
// string as "text", a 32-bit integer as dword:, everything else, and any data that the
// quoted or dword forms would not give back byte for byte, as hex lists.
std::string FormatRegedit4(const Hive& hive);

}  // namespace userdb::registry
