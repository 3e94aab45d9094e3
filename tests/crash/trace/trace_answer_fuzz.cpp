// The trace request's shared memory, whose size the asking tool chose and whose header the
// answering program wrote: any size, maximum length and answer is written inside the memory
// and read back as the report's first bytes, and any bytes in a memory of any size are read
// as a report inside it.
//
// Input: two bytes of memory size (little-endian), four bytes of maximum length (signed,
// little-endian), one byte of answer kind, then the report; or, with the answer kind's top bit
// set, the memory's own bytes in place of a written answer.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>
#include <string_view>

#include "crash/trace/trace_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace userdb::crash;
  if (size < 7) return 0;
  const size_t memory_size = data[0] | size_t{data[1]} << 8;
  int32_t max_length;
  std::memcpy(&max_length, data + 2, sizeof max_length);
  const uint8_t kind = data[6];
  const std::string_view input(reinterpret_cast<const char*>(data + 7), size - 7);
  // A buffer of exactly the memory's size, so that the sanitizer sees any access beyond it;
  // aligned as a mapping is.
  const std::unique_ptr<char[]> memory(new char[memory_size]);
  const std::span<char> view(memory.get(), memory_size);

  if (kind & 0x80) {
    std::memcpy(memory.get(), input.data(), std::min(input.size(), memory_size));
    const std::string_view report = TraceAnswerReport(view);
    if (!report.empty() && (report.data() < memory.get() ||
                            report.data() + report.size() > memory.get() + memory_size)) {
      std::abort();
    }
    return 0;
  }

  const auto answer = static_cast<TraceAnswer>(kind % 4);
  const bool written = WriteTraceAnswer(view, answer, input, max_length);
  if (written != (memory_size >= sizeof(TraceAnswerHeader) + 1)) std::abort();
  if (!written) return 0;
  const auto* header = reinterpret_cast<const TraceAnswerHeader*>(memory.get());
  if (header->answer.load() != static_cast<uint32_t>(answer)) std::abort();
  const std::string_view report = TraceAnswerReport(view);
  size_t expected = 0;
  if (answer == TraceAnswer::kReportWritten && max_length > 1) {
    expected = std::min({input.size(), static_cast<size_t>(max_length) - 1,
                         memory_size - sizeof(TraceAnswerHeader) - 1});
  }
  if (report != input.substr(0, expected)) std::abort();
  if (report.data()[report.size()] != '\0') std::abort();
  return 0;
}
