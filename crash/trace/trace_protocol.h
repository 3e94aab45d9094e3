// The trace request between the tool userdb-trace and a running program of ours. The tool
// creates a POSIX shared memory object named "/VostrelTraceProcessMap$" + the target's process
// id in lower-case hexadecimal (mode 0600), sends the target the real-time signal
// SIGRTMIN + kTraceRequestSignalOffset carrying the maximum report length (sigqueue), and
// waits for the answer in the shared memory: a TraceAnswerHeader, then the report's bytes and
// a zero byte. The program answers only its own user.
#pragma once

#include <sys/types.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

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

// Both sides map the memory whole; its size is what the other side made it. The program
// writes its answer with WriteTraceAnswer, the tool reads the report with TraceAnswerReport:
// neither reaches beyond the memory, whatever the other side put there.

// Writes `answer` into `memory`: for kReportWritten the report's first bytes, as many as
// `max_length` - 1 and the memory allow, then a zero byte and the length; the answer last.
// False when the memory cannot hold the header and a zero byte.
inline bool WriteTraceAnswer(std::span<char> memory, TraceAnswer answer, std::string_view report,
                             int32_t max_length) {
  if (memory.size() < sizeof(TraceAnswerHeader) + 1) return false;
  auto* header = reinterpret_cast<TraceAnswerHeader*>(memory.data());
  char* const bytes = memory.data() + sizeof(TraceAnswerHeader);
  size_t length = 0;
  if (answer == TraceAnswer::kReportWritten && max_length > 1) {
    length = std::min({report.size(), static_cast<size_t>(max_length) - 1,
                       memory.size() - sizeof(TraceAnswerHeader) - 1});
    std::memcpy(bytes, report.data(), length);
  }
  bytes[length] = '\0';
  header->length = static_cast<uint32_t>(length);
  header->answer.store(static_cast<uint32_t>(answer), std::memory_order_release);
  return true;
}

// The report that `memory` holds, as long as its header says but never beyond the memory.
inline std::string_view TraceAnswerReport(std::span<const char> memory) {
  if (memory.size() < sizeof(TraceAnswerHeader) + 1) return {};
  const auto* header = reinterpret_cast<const TraceAnswerHeader*>(memory.data());
  const size_t length =
      std::min<size_t>(header->length, memory.size() - sizeof(TraceAnswerHeader) - 1);
  return {memory.data() + sizeof(TraceAnswerHeader), length};
}

}  // namespace userdb::crash
