// Feeds arbitrary stack contents to the snapshot and the trace: random words, pointers into
// the middle of real functions and into data, real return addresses, addresses of unmapped
// memory and of code cut short by unmapped memory. Neither may crash or hang.
#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "crash/stack/stack_snapshot.h"
#include "crash/stack/stack_trace.h"
#include "tests/crash/stack/traced_code.h"

namespace {

using namespace userdb::crash;

constexpr size_t kMostWords = 2048;
constexpr size_t kRunsPerFunctionList =
    64;  // the list keeps what it analysed: start afresh now and then

// What every run shares: the services, and the addresses the words may stand for.
struct Fixture {
  Fixture() {
    stacktest::Outer();
    stacktest::RecurseA(1);
    stacktest::CallThrough(stacktest::RecordReturnAddress);
    const auto& recorded = stacktest::recorded;
    return_addresses = {recorded.in_middle, recorded.in_outer, recorded.in_caller,
                        recorded.a_to_b,    recorded.b_to_a,   recorded.after_indirect_call};
    functions_starting = {reinterpret_cast<uintptr_t>(&stacktest::Outer),
                          reinterpret_cast<uintptr_t>(&stacktest::Middle),
                          reinterpret_cast<uintptr_t>(&stacktest::Inner),
                          reinterpret_cast<uintptr_t>(&stacktest::RecurseA),
                          reinterpret_cast<uintptr_t>(&memcpy)};
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    // Two pages: the first holds the start of a real function at its very end, the second is
    // unmapped again: code cut short.
    auto* pages = static_cast<uint8_t*>(
        mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    std::memcpy(pages + page - 24, reinterpret_cast<const void*>(recorded.in_outer - 24), 24);
    mprotect(pages, page, PROT_READ | PROT_EXEC);
    munmap(pages + page, page);
    truncated_code = reinterpret_cast<uintptr_t>(pages) + page - 8;
    unmapped = reinterpret_cast<uintptr_t>(pages) + page + 16;
    code.Refresh();
  }

  // The value a word of the input stands for.
  uintptr_t Value(uint64_t word) const {
    const uint64_t pick = word >> 8;
    switch (word & 7) {
      case 4:
        return functions_starting[pick % functions_starting.size()] + (pick >> 8) % 256;
      case 5:
        return return_addresses[pick % return_addresses.size()];
      case 6:
        return reinterpret_cast<uintptr_t>(&return_addresses) + pick % 64;
      case 7:
        return (pick & 1) != 0 ? unmapped : truncated_code - pick % 16;
      default:
        return static_cast<uintptr_t>(word);
    }
  }

  SymbolLookup symbols;
  std::unique_ptr<FunctionList> functions = std::make_unique<FunctionList>();
  RuntimeRoutines routines = RuntimeRoutines::OfThisProcess(symbols);
  ExecutableRanges code;
  std::vector<uintptr_t> return_addresses, functions_starting;
  uintptr_t truncated_code = 0, unmapped = 0;
  size_t runs = 0;
  std::array<TPreStackItem, kMostWords> items;
  std::array<uintptr_t, 512> frame_slots;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Fixture* fixture = new Fixture();  // lives as long as the fuzzing process
  if (size < 2) return 0;
  if (++fixture->runs % kRunsPerFunctionList == 0) {
    fixture->functions = std::make_unique<FunctionList>();
  }
  const uint8_t flags = data[0];
  std::vector<uintptr_t> stack(std::min((size - 1) / 8, kMostWords) + 2, 0);
  for (size_t i = 0; i + 2 < stack.size(); ++i) {
    uint64_t word;
    std::memcpy(&word, data + 1 + i * 8, sizeof word);
    stack[i + 1] = fixture->Value(word);
  }
  const uintptr_t bottom = reinterpret_cast<uintptr_t>(stack.data());
  const uintptr_t top = bottom + stack.size() * sizeof(uintptr_t);
  // The current address stands for a word too; the frame pointer points into the stack, or is
  // whatever the middle word says.
  const uintptr_t current = fixture->Value(stack[1] != 0 ? stack[1] : flags);
  const uintptr_t frame_pointer = (flags & 8) != 0
                                      ? bottom + (flags >> 4) * sizeof(uintptr_t) % (top - bottom)
                                      : stack[stack.size() / 2];

  SnapshotRequest snapshot_request;
  snapshot_request.registers.Set(kDwarfReturnAddress, current);
  snapshot_request.registers.Set(kDwarfRsp, bottom);
  snapshot_request.registers.Set(kDwarfRbp, frame_pointer);
  snapshot_request.top = top;
  snapshot_request.is_exception = (flags & 1) != 0;
  const TDAPreStackItem snapshot =
      SnapshotStack(snapshot_request, fixture->code, {fixture->items, fixture->frame_slots});

  TraceRequest request;
  request.current_address = current;
  request.is_exception = (flags & 1) != 0;
  request.external_exception = (flags & 2) != 0;
  request.top = top;
  request.bottom = bottom;
  request.frame_pointer = frame_pointer;
  request.registers = snapshot_request.registers;
  request.snapshot = (flags & 4) != 0 ? &snapshot : nullptr;
  request.relative_lines = (flags & 16) != 0;
  TraceStack(request, {fixture->symbols, *fixture->functions, fixture->routines});
  return 0;
}
