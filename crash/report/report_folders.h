// Where the automatic save keeps a bug report file that is named without a folder: in the
// program's folder, like the program's other files, or, when the program's folder takes no
// files (a system-wide install), in the user's state folder, so that no report is lost.
#pragma once

#include <string>

namespace userdb::crash {

struct ReportFolders {
  std::string program;     // ends with "/"
  std::string user_state;  // ends with "/"
};

// The folders of this process: the running executable's folder, and
// "$XDG_STATE_HOME/userdb-transform/" ("~/.local/state/userdb-transform/" when
// XDG_STATE_HOME is unset, empty or not an absolute path).
ReportFolders ProcessReportFolders();

// The user's state folder for the given XDG_STATE_HOME and home folder (either may be
// null); without either, the password database's home folder of the user.
std::string UserStateFolder(const char* xdg_state_home, const char* home);

}  // namespace userdb::crash
