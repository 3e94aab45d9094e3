// The small progress window that a send shows while it prepares the attachments. The crash
// helper draws it; a send without a window passes none.
#pragma once

#include <string_view>

namespace userdb::crash {

class SendProgress {
 public:
  virtual ~SendProgress() = default;
  // Shows `title` ("SendBoxTitle") with the sending picture and one area holding `text`
  // ("PrepAttMsg"). `in_background`: a send on a thread of its own, shown without an owner
  // and without taking the focus, at the bottom right of the work area; otherwise over the
  // exception box.
  virtual void ShowPreparing(std::string_view title, std::string_view text, bool in_background) = 0;
  // Closes it; nothing when it is not shown.
  virtual void Close() = 0;
};

}  // namespace userdb::crash
