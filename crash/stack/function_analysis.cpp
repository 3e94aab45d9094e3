#include "crash/stack/function_analysis.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <set>

#include "crash/stack/exception_table.h"
#include "crash/stack/instruction_decoder.h"
#include "crash/stack/jump_table_tracker.h"
#include "platform/system_error_text.h"

namespace userdb::crash {
namespace {

constexpr size_t kMostInstructions = 200000;  // no function of ours or of a library comes near
constexpr uintptr_t kGapReach = 1023;
constexpr uint8_t kEndBranch64[] = {0xF3, 0x0F, 0x1E, 0xFA};
constexpr uint8_t kBranchPrefix = 0xF2;  // "bnd jmp" in PLT entries

// Whether the first byte of the code at a call's target may begin a jump on to the real
// target.
bool MayForward(uint8_t first) {
  return first == 0x02 || first == 0x03 || first == 0xE9 || first == 0xEB || first == 0xFF ||
         first == kBranchPrefix;
}

class FunctionAnalysis {
 public:
  FunctionAnalysis(const MemoryReader& memory, uintptr_t entry, CodeSurroundings& surroundings)
      : memory_(memory), entry_(entry), surroundings_(surroundings) {}

  TFunctionInfo Run() {
    uint8_t first;
    code_range_ = surroundings_.CodeRangeAt(entry_);
    if (code_range_.Empty() || !memory_.ReadValue(entry_, first)) {
      info_.last_error = {entry_, static_cast<uint32_t>(EINVAL), platform::SystemErrorText(EINVAL)};
      return info_;
    }
    own_unwind_entry_ = surroundings_.UnwindEntryAt(entry_);
    if (own_unwind_entry_) parts_.push_back(*own_unwind_entry_);
    AddAreaStart(entry_);
    for (;;) {
      while (!pending_.empty() && !failed_) {
        const uintptr_t start = pending_.back();
        pending_.pop_back();
        DecodeArea(start);
      }
      if (failed_) return info_;
      if (AddLandingPads() || DecodeGapForIndirectJumps()) continue;
      break;
    }
    Finish();
    return info_;
  }

 private:
  void Fail(uintptr_t address) {
    failed_ = true;
    info_.valid = false;
    info_.last_error = {address, kInvalidCodeError, kInvalidCodeText};
  }

  void AddAreaStart(uintptr_t start) {
    if (starts_.insert(start).second) pending_.push_back(start);
  }

  // The decoded code area that holds the address, when there is one.
  bool IsDecoded(uintptr_t address) const {
    auto after = decoded_.upper_bound(address);
    return after != decoded_.begin() && address <= std::prev(after)->second;
  }

  // Where the area starting at `start` must end at the latest.
  uintptr_t AreaLimit(uintptr_t start) {
    if (const auto unwind = UnwindEntryCovering(start)) return unwind->end;
    return code_range_.end;
  }

  std::optional<UnwindEntry> UnwindEntryCovering(uintptr_t address) {
    for (const UnwindEntry& part : parts_) {
      if (part.start <= address && address < part.end) return part;
    }
    return surroundings_.UnwindEntryAt(address);
  }

  // Whether a jump to the target stays in this function.
  bool IsOwnCode(uintptr_t target) {
    if (!own_unwind_entry_) return code_range_.start <= target && target < code_range_.end;
    for (const UnwindEntry& part : parts_) {
      if (part.start <= target && target < part.end) return true;
    }
    const auto unwind = surroundings_.UnwindEntryAt(target);
    if (!unwind || !surroundings_.IsColdPartOf(entry_, unwind->start)) return false;
    parts_.push_back(*unwind);
    return true;
  }

  // The target a call or jump really reaches: through a jump at its target (a PLT entry)
  // unless the target is a named export of its own.
  uintptr_t FinalTarget(uintptr_t target) {
    uint8_t bytes[sizeof kEndBranch64];
    uintptr_t at = target;
    if (memory_.Read(at, bytes, sizeof bytes) &&
        std::memcmp(bytes, kEndBranch64, sizeof bytes) == 0) {
      at += sizeof kEndBranch64;
    }
    uint8_t first;
    if (!memory_.ReadValue(at, first) || !MayForward(first)) return target;
    const Instruction forward = DecodeInstruction(memory_, at);
    if (!forward.valid || !forward.has_target || surroundings_.IsNamedExport(target)) return target;
    return forward.target;
  }

  void AddCallSite(const Instruction& instruction, uintptr_t target, bool is_call) {
    call_sites_.try_emplace(instruction.Next(),
                            CallSite{instruction.address, instruction.Next(), target, is_call});
  }

  void AddIndirectSite(const Instruction& instruction) {
    indirect_sites_.try_emplace(
        instruction.Next(),
        IndirectSite{instruction.address, instruction.Next(), instruction.flow == FlowKind::kCall});
  }

  void AddJumpTable(const Instruction& jump, const detail::JumpTable& table) {
    data_.push_back(
        {table.address, table.address + table.entries * table.EntrySize() - 1, AreaKind::kData});
    JumpTableInfo& info = jump_tables_[jump.address];
    info = {jump.address, table.address, static_cast<uint8_t>(table.EntrySize()), {}};
    for (size_t i = 0; i < table.entries; ++i) {
      const uintptr_t cell = table.address + i * table.EntrySize();
      uintptr_t target;
      if (table.relative) {
        int32_t offset;
        if (!memory_.ReadValue(cell, offset)) break;
        target = table.address + static_cast<uintptr_t>(static_cast<intptr_t>(offset));
      } else if (!memory_.ReadValue(cell, target)) {
        break;
      }
      if (!IsOwnCode(target)) break;  // not the table the bound promised: read no further
      info.targets.push_back(target);
      AddAreaStart(target);
    }
  }

  void TakeTarget(const Instruction& instruction, uintptr_t target, bool& ends) {
    if (instruction.flow == FlowKind::kCall) {
      const uintptr_t final_target = FinalTarget(target);
      AddCallSite(instruction, final_target, true);
      ends = surroundings_.NeverReturns(final_target);
    } else if (IsOwnCode(target)) {
      AddAreaStart(target);
    } else {
      AddCallSite(instruction, FinalTarget(target), false);
    }
  }

  // Records what the instruction leads to; true when the area ends after it.
  bool Follow(const Instruction& instruction, const detail::JumpTableTracker& tracker) {
    bool ends = instruction.flow == FlowKind::kReturn || instruction.flow == FlowKind::kHalt ||
                instruction.flow == FlowKind::kJump;
    if (!instruction.IsCallOrJump()) return ends;
    if (instruction.has_target) {
      TakeTarget(instruction, instruction.target, ends);
    } else if (const auto table = tracker.TableOf(instruction)) {
      AddJumpTable(instruction, *table);
    } else if (const auto known = tracker.KnownTarget(instruction)) {
      TakeTarget(instruction, *known, ends);
    } else {
      AddIndirectSite(instruction);
    }
    return ends;
  }

  void DecodeArea(uintptr_t start) {
    if (IsDecoded(start)) return;
    const uintptr_t limit = AreaLimit(start);
    detail::JumpTableTracker tracker;
    uintptr_t at = start;
    for (;;) {
      if (++instruction_count_ > kMostInstructions || at < code_range_.start ||
          at >= code_range_.end) {
        Fail(at);
        return;
      }
      const Instruction instruction = DecodeInstruction(memory_, at);
      if (!instruction.valid || instruction.Next() > code_range_.end) {
        Fail(at);
        return;
      }
      tracker.Observe(instruction, memory_);
      const bool ends = Follow(instruction, tracker);
      at = instruction.Next();
      if (ends || at >= limit || starts_.count(at) != 0 || IsDecoded(at)) break;
    }
    decoded_[start] = at - 1;
  }

  // Starts the landing pads of the function's parts as areas; true when any was new.
  bool AddLandingPads() {
    bool added = false;
    while (pads_read_ < parts_.size()) {
      for (uintptr_t pad : LandingPads(parts_[pads_read_++])) {
        landing_pads_.insert(pad);
        if (starts_.count(pad) == 0 && !IsDecoded(pad)) {
          AddAreaStart(pad);
          added = true;
        }
      }
    }
    return added;
  }

  // While indirect jumps remain, code that no known path reaches may follow them: the first
  // gap after the run of adjoining areas from the lowest one is decoded, when the highest
  // area's end lies at most 1023 bytes beyond it.
  bool DecodeGapForIndirectJumps() {
    const bool indirect_jumps = std::any_of(indirect_sites_.begin(), indirect_sites_.end(),
                                            [](const auto& site) { return !site.second.is_call; });
    if (!indirect_jumps || decoded_.empty()) return false;
    auto area = decoded_.begin();
    uintptr_t run_end = area->second;
    for (++area; area != decoded_.end() && area->first == run_end + 1; ++area) {
      run_end = area->second;
    }
    const uintptr_t gap = run_end + 1;
    const uintptr_t highest_end = decoded_.rbegin()->second;
    if (gap > highest_end || highest_end - gap > kGapReach || starts_.count(gap) != 0) {
      return false;
    }
    AddAreaStart(gap);
    return true;
  }

  void Finish() {
    info_.valid = true;
    info_.entry = entry_;
    for (const auto& [start, end] : decoded_) info_.areas.push_back({start, end, AreaKind::kCode});
    info_.code_begin = decoded_.begin()->first;
    info_.code_length = decoded_.rbegin()->second - info_.code_begin + 1;
    info_.areas.insert(info_.areas.end(), data_.begin(), data_.end());
    std::sort(info_.areas.begin(), info_.areas.end(),
              [](const CodeArea& a, const CodeArea& b) { return a.start < b.start; });
    for (const auto& [next, site] : call_sites_) info_.call_sites.push_back(site);
    for (const auto& [next, site] : indirect_sites_) info_.indirect_sites.push_back(site);
    for (auto& [jump, table] : jump_tables_) info_.jump_tables.push_back(std::move(table));
    info_.landing_pads.assign(landing_pads_.begin(), landing_pads_.end());
  }

  const MemoryReader& memory_;
  const uintptr_t entry_;
  CodeSurroundings& surroundings_;
  AddressRange code_range_;
  std::optional<UnwindEntry> own_unwind_entry_;
  std::vector<UnwindEntry> parts_;  // the unwind entries of the function and its cold parts
  size_t pads_read_ = 0;
  std::set<uintptr_t> starts_;
  std::vector<uintptr_t> pending_;
  std::map<uintptr_t, uintptr_t> decoded_;  // code areas: start to end (inclusive)
  std::vector<CodeArea> data_;
  std::map<uintptr_t, CallSite> call_sites_;          // by next address
  std::map<uintptr_t, IndirectSite> indirect_sites_;  // by next address
  std::map<uintptr_t, JumpTableInfo> jump_tables_;    // by the jump's address
  std::set<uintptr_t> landing_pads_;
  size_t instruction_count_ = 0;
  bool failed_ = false;
  TFunctionInfo info_;
};

}  // namespace

TFunctionInfo AnalyzeFunction(const MemoryReader& memory, uintptr_t entry,
                              CodeSurroundings& surroundings) {
  return FunctionAnalysis(memory, entry, surroundings).Run();
}

}  // namespace userdb::crash
