// A send of a bug report, running on a thread of its own or already done. Closing or
// restarting the program waits for it, so that no mail hand-off is cut off.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace userdb::crash {

// The answer of a send: the mail was handed on, the user cancelled it in the mail program,
// or nothing took it.
enum class SendResult { kFailed = 0, kSent = 1, kCancelled = 2 };

class SendHandle {
 public:
  // A send that is done.
  explicit SendHandle(SendResult result);
  // Runs `work` on a thread of its own; when no thread can be started, here and now.
  static SendHandle Start(std::function<SendResult()> work);

  SendHandle(SendHandle&&) noexcept = default;
  SendHandle& operator=(SendHandle&&) noexcept;
  SendHandle(const SendHandle&) = delete;
  SendHandle& operator=(const SendHandle&) = delete;
  // Waits for the send to end.
  ~SendHandle();

  // Whether the work runs (or ran) on a thread of its own.
  bool InBackground() const { return thread_.joinable(); }

  // The result once the send has ended, waiting at most `limit` for it; none while it runs.
  std::optional<SendResult> WaitFor(std::chrono::milliseconds limit);

  // Waits until the send has ended. Its own waits all have limits (see MailPrograms), so
  // this one ends too.
  SendResult Wait();

 private:
  struct Outcome {
    std::mutex mutex;
    std::condition_variable ended;
    std::optional<SendResult> result;
  };

  SendHandle() = default;
  void Join();

  std::shared_ptr<Outcome> outcome_;
  std::thread thread_;
};

}  // namespace userdb::crash
