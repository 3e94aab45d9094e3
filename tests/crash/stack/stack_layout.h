// A stack laid out by a test, as a thread would leave it: frames from the oldest down, each
// begun by a call's return address, with or without a saved frame pointer below it that links
// it to the frame above, and then its other values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <vector>

namespace userdb::crash::test {

class StackLayout {
 public:
  explicit StackLayout(size_t room = 1024) : words_(room, 0) {}

  void Push(uintptr_t value) {
    if (used_ == words_.size()) throw std::length_error("stack layout full");
    words_[words_.size() - ++used_] = value;
  }

  // A frame begun by a call returning to `return_address`; with `frame_pointer`, the saved
  // frame pointer follows it and the frame becomes the current one.
  void PushFrame(uintptr_t return_address, bool frame_pointer,
                 std::initializer_list<uintptr_t> values = {}) {
    Push(return_address);
    if (frame_pointer) {
      Push(frame_pointer_);
      frame_pointer_ = Bottom();
    }
    for (uintptr_t value : values) Push(value);
  }

  uintptr_t Top() const { return reinterpret_cast<uintptr_t>(words_.data() + words_.size()); }
  uintptr_t Bottom() const { return Top() - used_ * sizeof(uintptr_t); }
  uintptr_t FramePointer() const { return frame_pointer_; }

 private:
  std::vector<uintptr_t> words_;
  size_t used_ = 0;
  uintptr_t frame_pointer_ = 0;
};

}  // namespace userdb::crash::test
