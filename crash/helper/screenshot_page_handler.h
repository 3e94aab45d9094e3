// The action handler of the screenshot page ("Quorvex.HandleScreenshotForm"), in the crash
// helper:
//  - Page created: the image shows the exception's screenshot; AttachCheck takes the attach
//    flag.
//  - A click on the image: the first one writes the screenshot as "screenShot.bmp" into the
//    temporary folder; then, unless an editor it started is still running, the desktop's
//    program for the file is started on it (xdg-open); a failed start beeps.
//  - A tick of the page's timer: a bitmap file whose modification time changed is read
//    again and becomes the screenshot.
//  - Page closed: the bitmap file is deleted and the attach flag takes AttachCheck's state.
#pragma once

#include <sys/types.h>

#include <ctime>
#include <optional>
#include <string>

#include "crash/box/assistant_page.h"
#include "crash/send/screen_image.h"

namespace userdb::crash {

class ScreenshotPageHandler : public PageHandler {
 public:
  // `temporary_folder` ends with "/"; empty: a click edits nothing and beeps.
  ScreenshotPageHandler(ScreenImage screenshot, bool attach, std::string temporary_folder);

  void OnPageEvent(AssistantPage& page, PageEvent event, std::string_view item,
                   CaughtException& exception) override;

  const ScreenImage& Screenshot() const { return screenshot_; }
  // Counts the screenshot's changes, so that a window knows when to show it again.
  int Version() const { return version_; }
  bool Edited() const { return version_ > 0; }
  bool Attach() const { return attach_; }

 private:
  std::string BitmapPath() const;
  void EditImage();
  void ReloadWhenChanged();
  void Closed(const AssistantPage& page);

  ScreenImage screenshot_;
  bool attach_;
  std::string temporary_folder_;
  int version_ = 0;
  bool bitmap_written_ = false;
  std::optional<timespec> bitmap_time_;
  pid_t editor_ = 0;  // the editor started last; 0: none
};

}  // namespace userdb::crash
