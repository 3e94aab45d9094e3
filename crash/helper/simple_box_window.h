// The simple box (a message box with the exception's message and "OkBtnTxt") and the detail
// box (the same with "DetailsBtnTxt" beside it), titled with the program's name without its
// extension; plain push buttons, not resizable.
#pragma once

#include "crash/helper/box_fonts.h"
#include "crash/helper/box_window.h"

namespace userdb::crash {

class SimpleBoxWindow : public BoxWindow {
  Q_OBJECT

 public:
  SimpleBoxWindow(const BoxRequest& request, BoxForm form, const BoxFonts& fonts);
};

}  // namespace userdb::crash
