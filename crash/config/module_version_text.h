// The version text of a module, as "%appversion%" and "%modversion%" show it.
#pragma once

#include <cstdint>
#include <string>

#include "platform/module_section.h"

namespace userdb::crash {

// With `version_var` not 0: the text that the pointer variable at that offset from the
// module's load bias (its link-time address) points to, when the memory is readable. Else
// the file version of the module's version record; "?" when that is empty too.
std::string ModuleVersionText(const platform::LoadedModule& module, int32_t version_var,
                              const std::string& file_version);

}  // namespace userdb::crash
