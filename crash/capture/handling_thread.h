// The crash reporter's handling thread: it reads one request at a time from the capture
// channel and runs the handling for it, so that exceptions of several threads are handled
// one after another in the order they came; after each it answers the request. It is
// entered in the thread registry as one of the crash reporter's own threads and runs at the
// highest priority the system allows. It ends when the channel ends, waited for at most
// 500 ms.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <functional>
#include <future>
#include <thread>

#include "crash/capture/capture_channel.h"
#include "crash/capture/thread_registry.h"

namespace userdb::crash {

class HandlingThread {
 public:
  static constexpr std::chrono::milliseconds kEndLimit{500};

  HandlingThread(CaptureChannel& channel, ThreadRegistry& threads,
                 std::function<void(const CaptureRequest&)> handle);
  ~HandlingThread();
  HandlingThread(const HandlingThread&) = delete;
  HandlingThread& operator=(const HandlingThread&) = delete;

  pid_t Id() const { return id_; }

 private:
  void Run(std::promise<pid_t>& started);

  CaptureChannel& channel_;
  ThreadRegistry& threads_;
  const std::function<void(const CaptureRequest&)> handle_;
  std::atomic<bool> ended_{false};
  pid_t id_ = 0;
  std::thread thread_;
};

}  // namespace userdb::crash
