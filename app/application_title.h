// The application's title, the caption of its message boxes.
#pragma once

#include <QString>

namespace userdb::app {

// The program file's name without folder and extension, its first character as it is and
// every other in lower case: "/usr/local/bin/userdb-transform" gives "userdb-transform",
// "/opt/Radio/USERDB.EXE" gives "Userdb".
QString ApplicationTitle(const QString& program_path);

}  // namespace userdb::app
