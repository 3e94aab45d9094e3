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

// The user's desktop folder, ending with "/": XDG_DESKTOP_DIR of the user's folder list
// "user-dirs.dirs" in `xdg_config_home` (an absolute path; may be null) or else in
// "<home>/.config", "<home>/Desktop" without one; the home folder itself when that
// folder does not exist. `home` as for UserProgramFolder.
std::string DesktopFolder(const char* xdg_config_home, const char* home);

}  // namespace userdb::platform
