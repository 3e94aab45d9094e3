// The trace request between the tool userdb-trace and a running program of ours. The tool
// creates a POSIX shared memory object named "/VostrelTraceProcessMap$" + the target's process
// id in lower-case hexadecimal (mode 0600), sends the target the real-time signal
// SIGRTMIN + kTraceRequestSignalOffset carrying the maximum report length (sigqueue), and
// waits for the answer in the shared memory: a TraceAnswerHeader, then the report's bytes and
// a zero byte. The program answers only its own user.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>

namespace userdb::crash {

inline constexpr int kTraceRequestSignalOffset = 5;

inline std::string TraceMapName(pid_t target) {
  char name[64];
  std::snprintf(name, sizeof name, "/VostrelTraceProcessMap$%llx",
                static_cast<unsigned long long>(target));
  return name;
}

enum class TraceAnswer : uint32_t {
  kWaiting = 0,
  kReportWritten = 1,
  kPutOnClipboard = 2,  // a maximum length below 1 asks for the clipboard
  kNoClipboard = 3,     // the program has no clipboard (no window)
};

struct TraceAnswerHeader {
  std::atomic<uint32_t> answer;  // a TraceAnswer, stored last
  uint32_t length;               // bytes of the report, its zero byte not counted
};
static_assert(sizeof(TraceAnswerHeader) == 8);

}  // namespace userdb::crash
