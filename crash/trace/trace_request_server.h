// Serves trace requests: installs the handler of the trace request signal and runs a thread
// of the crash reporter that answers each request by calling VostrelTraceProcess. The
// handler accepts only a signal queued by a process of the same user; it hands the maximum
// length to the thread through a pipe. While the server lives, VostrelTraceProcess reports
// through its target; afterwards it does nothing.
#pragma once

#include <thread>

#include "crash/capture/thread_registry.h"
#include "crash/trace/trace_target.h"
#include "platform/unique_fd.h"

namespace userdb::crash {

class TraceRequestServer {
 public:
  // At most one at a time: the process has one crash reporter.
  TraceRequestServer(TraceTarget& target, ThreadRegistry& threads);
  ~TraceRequestServer();
  TraceRequestServer(const TraceRequestServer&) = delete;
  TraceRequestServer& operator=(const TraceRequestServer&) = delete;

 private:
  void Serve();

  ThreadRegistry& threads_;
  platform::UniqueFd read_end_;
  platform::UniqueFd write_end_;
  std::thread thread_;
};

}  // namespace userdb::crash

// The exported entry point of the trace request: composes the report of the running process
// and writes it, cut to `max_length` - 1 bytes, into the shared memory that the asking tool
// created; below 1 it puts the report on the clipboard. Returns 0.
extern "C" int32_t VostrelTraceProcess(int32_t max_length);
