#include "crash/stack/stack_snapshot.h"

#include <sys/uio.h>
#include <unistd.h>

#include <cstring>

#include "crash/stack/frame_slots.h"
#include "crash/stack/unwind_walk.h"

namespace userdb::crash {
namespace {

constexpr size_t kScratchSize = 4096;
constexpr size_t kChunkSlots = 256;  // the scan copies the stack in pieces of this many slots
constexpr size_t kPiecesPerCall = 64;

// Whether the kernel can copy every byte from `bottom` up to `top`: one system call per
// 256 KB, every piece copied into the same small scratch room.
bool WholeRangeReadable(uintptr_t bottom, uintptr_t top) {
  alignas(16) char scratch[kScratchSize];
  iovec pieces[kPiecesPerCall];
  for (size_t i = 0; i < kPiecesPerCall; ++i) pieces[i] = {scratch, sizeof scratch};
  const pid_t self = getpid();
  for (uintptr_t start = bottom; start < top;) {
    const size_t length = top - start < kScratchSize * kPiecesPerCall
                              ? static_cast<size_t>(top - start)
                              : kScratchSize * kPiecesPerCall;
    const size_t piece_count = (length + kScratchSize - 1) / kScratchSize;
    iovec remote{reinterpret_cast<void*>(start), length};
    if (process_vm_readv(self, pieces, piece_count, &remote, 1, 0) !=
        static_cast<ssize_t>(length)) {
      return false;
    }
    start += length;
  }
  return true;
}

// Reads the confirmed stack in place (or its saved bytes), anything else through the kernel.
class ConfirmedStackReader final : public MemoryReader {
 public:
  ConfirmedStackReader(uintptr_t low, uintptr_t high, const std::byte* saved)
      : low_(low), high_(high), saved_(saved) {}

  bool Read(uintptr_t address, void* out, size_t count) const override {
    if (address >= low_ && address <= high_ && count <= high_ - address) {
      CopyStack(out, address, count);
      return true;
    }
    return kernel_.Read(address, out, count);
  }

  // Copies `count` bytes of the stack at `address`, which lie between low and high.
  void CopyStack(void* out, uintptr_t address, size_t count) const {
    if (saved_ != nullptr) {
      std::memcpy(out, saved_ + (address - low_), count);
    } else {
      CopyKnownReadable(out, address, count);
    }
  }

 private:
  uintptr_t low_, high_;
  const std::byte* saved_;
  KernelMemoryReader kernel_;
};

// Whether the slot is one of the frame slots below index `above` (ascending slots).
bool IsFrameSlot(const uintptr_t* frame_slots, size_t above, uintptr_t slot) {
  return above > 0 && frame_slots[above - 1] == slot;
}

bool PassesCallTest(const ExecutableRanges& code, uintptr_t value, LoadedModule& last) {
  BytesBeforeAddress bytes;
  return value > 7 && code.ReadBytesBefore(value, bytes, last) && EndsWithCall(bytes);
}

}  // namespace

size_t CollectFrameSlots(const UnwindRegisters& registers, uintptr_t bottom, uintptr_t top,
                         const MemoryReader& stack, std::span<uintptr_t> room) {
  UnwindRegisters start = registers;
  start.Set(kDwarfRsp, bottom);
  const size_t unwound = CollectUnwindSlots(stack, start, bottom, top, room.data(), room.size());
  const size_t chained = CollectFramePointerSlots(stack, registers.value[kDwarfRbp], bottom, top,
                                                  room.data() + unwound, room.size() - unwound);
  return MergeFrameSlots(room.data(), unwound, chained);
}

UnwindRegisters RegistersOf(const ucontext_t& context) {
  return RegistersOf(std::span<const greg_t, NGREG>(context.uc_mcontext.gregs));
}

UnwindRegisters RegistersOf(std::span<const greg_t, NGREG> g) {
  UnwindRegisters registers;
  const int order[kDwarfRegisterCount] = {REG_RAX, REG_RDX, REG_RCX, REG_RBX, REG_RSI, REG_RDI,
                                          REG_RBP, REG_RSP, REG_R8,  REG_R9,  REG_R10, REG_R11,
                                          REG_R12, REG_R13, REG_R14, REG_R15, REG_RIP};
  for (unsigned reg = 0; reg < kDwarfRegisterCount; ++reg) {
    registers.Set(reg, static_cast<uintptr_t>(g[order[reg]]));
  }
  return registers;
}

TDAPreStackItem SnapshotStack(const SnapshotRequest& request, const ExecutableRanges& code,
                              SnapshotRoom room) {
  const uintptr_t bottom =
      request.bottom != 0 ? request.bottom : request.registers.value[kDwarfRsp];
  const uintptr_t top = request.top;
  if (bottom == 0 || top <= bottom || top - bottom < kStackSlotSize ||
      (request.saved == nullptr && !WholeRangeReadable(bottom, top))) {
    return {};
  }
  const ConfirmedStackReader stack(bottom, top, request.saved);
  const size_t frame_count =
      CollectFrameSlots(request.registers, bottom, top, stack, room.frame_slots);
  const uintptr_t* frame_slots = room.frame_slots.data();
  const uintptr_t current = request.registers.value[kDwarfReturnAddress];

  // The exception's address ends the scan only where it is code: a bad address such as 0x10
  // (a call through a broken pointer) is also a common value of data.
  const bool stop_at_current = request.is_exception && code.Holds(current, current + 1);
  size_t count = 0;
  size_t next_frame = frame_count;  // frame slots at and above this index lie above the scan
  LoadedModule last_module;
  uintptr_t chunk[kChunkSlots];
  uintptr_t chunk_start = top;  // the slots from chunk_start up to the previous start are in chunk
  for (uintptr_t slot = top - kStackSlotSize; slot >= bottom && count < room.items.size();
       slot -= kStackSlotSize) {
    if (slot < chunk_start) {
      const uintptr_t lowest = slot - bottom >= (kChunkSlots - 1) * kStackSlotSize
                                   ? slot - (kChunkSlots - 1) * kStackSlotSize
                                   : bottom;
      stack.CopyStack(chunk, lowest, slot + kStackSlotSize - lowest);
      chunk_start = lowest;
    }
    const uintptr_t value = chunk[(slot - chunk_start) / kStackSlotSize];
    if (stop_at_current && value == current) break;
    while (next_frame > 0 && frame_slots[next_frame - 1] > slot) --next_frame;
    if (PassesCallTest(code, value, last_module)) {
      const bool frame = next_frame > 0 && frame_slots[next_frame - 1] == slot;
      room.items[count++] = {frame, value};
      if (frame && !IsFrameSlot(frame_slots, next_frame - 1, slot - kStackSlotSize)) {
        slot -= kStackSlotSize;  // the saved frame pointer below it
      }
    }
    if (slot < bottom + kStackSlotSize) break;
  }
  return {room.items.first(count)};
}

}  // namespace userdb::crash
