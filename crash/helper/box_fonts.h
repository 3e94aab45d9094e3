// The fonts of the crash reporter's windows: "Tahoma" 11 pixels high for texts and buttons
// and "Courier New" 11 pixels for the fixed-pitch report views, where installed; otherwise
// a sans and a monospace face of the same metrics class at the same pixel size.
#pragma once

#include <QFont>

namespace userdb::crash {

struct BoxFonts {
  QFont text;
  QFont fixed;
};

BoxFonts ChooseBoxFonts();

}  // namespace userdb::crash
