// A message box that shows nothing and keeps what it was asked to show, for any thread.
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/message_box.h"

namespace userdb::test_support {

struct ShownMessage {
  std::string caption;
  std::string text;
  platform::MessageKind kind = platform::MessageKind::kNotice;

  friend bool operator==(const ShownMessage&, const ShownMessage&) = default;
};

class RecordingMessageBox : public platform::MessageBox {
 public:
  void Show(std::string_view caption, std::string_view text, platform::MessageKind kind) override {
    const std::lock_guard lock(mutex_);
    shown_.push_back({std::string(caption), std::string(text), kind});
  }

  std::vector<ShownMessage> Shown() const {
    const std::lock_guard lock(mutex_);
    return shown_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<ShownMessage> shown_;
};

}  // namespace userdb::test_support
