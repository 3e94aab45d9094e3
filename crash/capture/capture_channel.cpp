#include "crash/capture/capture_channel.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace userdb::crash {

static_assert(sizeof(CaptureRequest) <= PIPE_BUF, "a request is written in one piece");

CaptureChannel::CaptureChannel() {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) == 0) {
    read_end_.Reset(ends[0]);
    write_end_.Reset(ends[1]);
  }
  for (int& fd : slot_fds_) fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

CaptureChannel::~CaptureChannel() {
  for (const int fd : slot_fds_) {
    if (fd >= 0) close(fd);
  }
}

int CaptureChannel::Submit(CaptureRequest request) {
  for (int slot = 0; slot < kSlots; ++slot) {
    bool free = false;
    if (slot_fds_[static_cast<size_t>(slot)] < 0 ||
        !slot_busy_[static_cast<size_t>(slot)].compare_exchange_strong(free, true)) {
      continue;
    }
    request.slot = slot;
    ssize_t written;
    do {
      written = write(write_end_.Get(), &request, sizeof request);
    } while (written < 0 && errno == EINTR);
    if (written == static_cast<ssize_t>(sizeof request)) return slot;
    slot_busy_[static_cast<size_t>(slot)].store(false);
    return -1;
  }
  return -1;
}

void CaptureChannel::Release(int slot) {
  uint64_t value;
  while (read(SlotFd(slot), &value, sizeof value) < 0 && errno == EINTR) {
  }
  slot_busy_[static_cast<size_t>(slot)].store(false);
}

bool CaptureChannel::Receive(CaptureRequest& request) {
  for (;;) {
    const ssize_t got = read(read_end_.Get(), &request, sizeof request);
    if (got == static_cast<ssize_t>(sizeof request)) {
      return request.slot >= 0 && request.slot < kSlots;
    }
    if (got < 0 && errno == EINTR) continue;
    return false;
  }
}

bool CaptureChannel::TryReceive(CaptureRequest& request) {
  pollfd waiting{read_end_.Get(), POLLIN, 0};
  return poll(&waiting, 1, 0) > 0 && Receive(request);
}

int CaptureChannel::InFlight() const {
  int busy = 0;
  for (const std::atomic<bool>& slot : slot_busy_) busy += slot.load() ? 1 : 0;
  return busy;
}

void CaptureChannel::Answer(int slot) {
  if (slot < 0 || slot >= kSlots) return;
  const uint64_t one = 1;
  while (write(SlotFd(slot), &one, sizeof one) < 0 && errno == EINTR) {
  }
}

void CaptureChannel::End() {
  CaptureRequest request;
  request.slot = -1;
  while (write(write_end_.Get(), &request, sizeof request) < 0 && errno == EINTR) {
  }
}

}  // namespace userdb::crash
