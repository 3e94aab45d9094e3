// The per-user folders of this program, after the XDG base directory rules.
#pragma once

#include <string>
#include <string_view>

namespace userdb::platform {

// "<xdg_folder>/userdb-transform/" when `xdg_folder` (the value of an XDG variable such
// as XDG_CONFIG_HOME; may be null) is an absolute path; otherwise
// "<home>/<below_home>/userdb-transform/", where `home` is HOME (may be null or empty)
// or, without it, the user's home folder from the password database. Ends with "/".
std::string UserProgramFolder(const char* xdg_folder, const char* home,
                              std::string_view below_home);

}  // namespace userdb::platform
