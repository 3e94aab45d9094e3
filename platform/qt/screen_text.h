// The programs' 8-bit texts and paths on their way to and from Qt's widgets (the window
// program's and the crash helper's).
#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "platform/display_text.h"

namespace userdb::platform {

// A text or path as the screen shows it: UTF-8 where it is, Windows-1252 otherwise.
inline QString ScreenText(std::string_view bytes) {
  return QString::fromStdString(platform::DisplayUtf8(bytes));
}

// A path typed or chosen on the screen as the file system's bytes.
inline std::string PathBytes(const QString& text) {
  return text.toUtf8().toStdString();
}

}  // namespace userdb::platform
