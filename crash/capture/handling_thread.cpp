#include "crash/capture/handling_thread.h"

#include <sys/resource.h>

namespace userdb::crash {

namespace {

constexpr int kHighestNice = -20;

}  // namespace

HandlingThread::HandlingThread(CaptureChannel& channel, ThreadRegistry& threads,
                               std::function<void(const CaptureRequest&)> handle)
    : channel_(channel), threads_(threads), handle_(std::move(handle)) {
  std::promise<pid_t> started;
  std::future<pid_t> id = started.get_future();
  thread_ = std::thread([this, &started] { Run(started); });
  id_ = id.get();
}

HandlingThread::~HandlingThread() {
  channel_.End();
  const auto limit = std::chrono::steady_clock::now() + kEndLimit;
  while (!ended_.load() && std::chrono::steady_clock::now() < limit) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  if (ended_.load()) {
    thread_.join();
  } else {
    // Still busy with a request (a box nobody answers): it is left to the process's end.
    thread_.detach();
  }
}

void HandlingThread::Run(std::promise<pid_t>& started) {
  const pid_t self = CurrentThreadId();
  threads_.EnterOwnThread(self, "HandleExceptionThread");
  setpriority(PRIO_PROCESS, static_cast<id_t>(self), kHighestNice);
  started.set_value(self);
  CaptureRequest request;
  while (channel_.Receive(request)) {
    handle_(request);
    channel_.Answer(request.slot);
  }
  threads_.Remove(self);
  ended_.store(true);
}

}  // namespace userdb::crash
