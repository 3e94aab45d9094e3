#include "crash/send/send_handle.h"

#include <exception>
#include <system_error>
#include <utility>

namespace userdb::crash {

SendHandle::SendHandle(SendResult result) : outcome_(std::make_shared<Outcome>()) {
  outcome_->result = result;
}

SendHandle SendHandle::Start(std::function<SendResult()> work) {
  SendHandle handle;
  handle.outcome_ = std::make_shared<Outcome>();
  try {
    handle.thread_ = std::thread([outcome = handle.outcome_, work] {
      SendResult result = SendResult::kFailed;
      try {
        result = work();
      } catch (const std::exception&) {
        // Out of memory, say: the send failed, and the program goes on.
      }
      const std::lock_guard lock(outcome->mutex);
      outcome->result = result;
      outcome->ended.notify_all();
    });
  } catch (const std::system_error&) {
    return SendHandle(work());
  }
  return handle;
}

SendHandle& SendHandle::operator=(SendHandle&& other) noexcept {
  if (this != &other) {
    Join();
    outcome_ = std::move(other.outcome_);
    thread_ = std::move(other.thread_);
  }
  return *this;
}

SendHandle::~SendHandle() {
  Join();
}

void SendHandle::Join() {
  if (thread_.joinable()) thread_.join();
}

std::optional<SendResult> SendHandle::WaitFor(std::chrono::milliseconds limit) {
  std::unique_lock lock(outcome_->mutex);
  outcome_->ended.wait_for(lock, limit, [&] { return outcome_->result.has_value(); });
  return outcome_->result;
}

SendResult SendHandle::Wait() {
  Join();
  return *outcome_->result;
}

}  // namespace userdb::crash
