// What a send shows of its own in a window program, each in a crash helper of its own so
// that a send on a thread of its own never meets the box's talk with its helper: the message
// that nothing took the mail ("SendFailMsg"), and the box that shows the attachments being
// prepared.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "crash/send/send_progress.h"
#include "platform/message_box.h"

namespace userdb::crash {

class HelperBox;

class HelperNotices : public platform::MessageBox, public SendProgress {
 public:
  explicit HelperNotices(std::string helper_path);
  ~HelperNotices() override;

  // Returns when the user closed the message; without a helper it goes to standard error.
  void Show(std::string_view caption, std::string_view text, platform::MessageKind kind) override;

  void ShowPreparing(std::string_view title, std::string_view text, bool in_background) override;
  void Close() override;

 private:
  const std::string helper_path_;
  std::mutex progress_mutex_;
  std::unique_ptr<HelperBox> progress_;
};

}  // namespace userdb::crash
