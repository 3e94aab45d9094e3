// Captures the creation of every thread of the process: this library defines
// `pthread_create` itself, so that the executable's definition is the one that every module
// (the C++ run-time's std::thread, Qt's QThread, our own code) calls, and passes the call on
// to the C library's. While a capture is installed, each new thread is entered in the thread
// registry with its creating thread, the creation address in the creating code (the
// run-time's own thread-start routines skipped) and, for a QThread, the class of the thread
// object; it leaves the registry when its thread function returns.
//
// Before a capture is installed and after it ended, the interposed pthread_create only
// creates the thread.
#pragma once

#include <cstdint>
#include <string>

#include "crash/capture/thread_registry.h"

namespace userdb::crash {

class ThreadCreationCapture {
 public:
  // At most one at a time: the process has one crash reporter.
  explicit ThreadCreationCapture(ThreadRegistry& registry);
  ~ThreadCreationCapture();
  ThreadCreationCapture(const ThreadCreationCapture&) = delete;
  ThreadCreationCapture& operator=(const ThreadCreationCapture&) = delete;
};

// The class name of a polymorphic object, namespaces left out ("userdb::app::Worker" gives
// "Worker"), from its run-time type information; empty when it cannot be told.
std::string PolymorphicClassName(const void* object);

}  // namespace userdb::crash
