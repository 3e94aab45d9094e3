// What the crash reporter asks of a program's main thread when the program has an event loop:
// running a function there (queued behind its events), and waiting while it goes on
// processing events. The crash libraries have no event loop of their own; the program
// installs these.
#pragma once

#include <functional>

#include "platform/message_box.h"

namespace userdb::crash {

struct MainThreadCalls {
  // Queues `call` to run on the main thread; empty when the program has no event loop.
  std::function<void(std::function<void()> call)> post;
  // Returns when `fd` is readable, processing the main thread's events meanwhile.
  std::function<void(int fd)> wait_processing_events;
  // The program's own message box, shown on the main thread (through `post`) where the
  // crash reporter's box cannot be shown; none: standard error alone tells. It must outlive
  // the calls being installed.
  platform::MessageBox* message_box = nullptr;
};

}  // namespace userdb::crash
