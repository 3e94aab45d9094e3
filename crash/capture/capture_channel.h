// The hand-off between the threads that raise exceptions and the crash reporter's handling
// thread: requests go through a pipe, one at a time and in the order of arrival; each
// request has a completion slot (an eventfd, made beforehand) that the handling thread sets
// when it is done with it, and on which the raising thread waits.
//
// Submit, SlotFd, Release, InFlight and Progress are async-signal-safe; the rest is not.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "crash/capture/capture_request.h"
#include "platform/unique_fd.h"

namespace userdb::crash {

class CaptureChannel {
 public:
  // Requests that may wait at once; a further one is dropped.
  static constexpr int kSlots = 32;

  CaptureChannel();
  ~CaptureChannel();
  CaptureChannel(const CaptureChannel&) = delete;
  CaptureChannel& operator=(const CaptureChannel&) = delete;

  // Takes a free completion slot for `request` and writes it; tells the slot, or -1 when
  // no slot was free or the write failed (the exception is dropped then).
  int Submit(CaptureRequest request);
  // The descriptor that becomes readable when the slot's request is answered.
  int SlotFd(int slot) const { return slot_fds_[static_cast<size_t>(slot)]; }
  // Consumes the answer and frees the slot.
  void Release(int slot);

  // For the handling thread: waits for the next request; false when the channel ends.
  bool Receive(CaptureRequest& request);
  // The same without waiting: false at once when no request is there.
  bool TryReceive(CaptureRequest& request);
  void Answer(int slot);
  // Ends the handling thread's Receive (a request without a slot).
  void End();

  // The handling thread counts up while it makes progress; a raising thread in a signal
  // handler watches the count.
  void NoteProgress() { progress_.fetch_add(1, std::memory_order_relaxed); }
  uint64_t Progress() const { return progress_.load(std::memory_order_relaxed); }

  // The requests submitted whose threads have not released them: failures being handled or
  // waiting for it.
  int InFlight() const;

 private:
  platform::UniqueFd read_end_;
  platform::UniqueFd write_end_;
  std::array<int, kSlots> slot_fds_{};
  std::array<std::atomic<bool>, kSlots> slot_busy_{};
  std::atomic<uint64_t> progress_{0};
};

}  // namespace userdb::crash
