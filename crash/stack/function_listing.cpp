#include "crash/stack/function_listing.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <vector>

#include "crash/stack/demangle.h"
#include "crash/stack/exception_table.h"
#include "crash/stack/instruction_decoder.h"

namespace userdb::crash {
namespace {

constexpr char kLineBreak[] = "\r\n";
constexpr size_t kLongestTypeName = 512;
constexpr size_t kTypeInfoNameOffset = sizeof(void*);  // after the type_info's virtual table

std::string Hex(uintptr_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "%lx", static_cast<unsigned long>(value));
  return text;
}

std::string AddressText(uintptr_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "%016lx", static_cast<unsigned long>(value));
  return text;
}

std::string Label(uintptr_t address) {
  return "loc_" + Hex(address);
}

size_t DigitCount(int number) {
  return std::to_string(number).size();
}

struct ListedInstruction {
  Instruction decoded;
  int line = 0;  // of the source line starting here; 0 where none starts
};

class Listing {
 public:
  Listing(TraceContext& context, uintptr_t address, const ListingOptions& options)
      : context_(context),
        memory_(context.Memory()),
        address_(options.return_address && address > 0 ? address - 1 : address),
        options_(options) {}

  std::string Run() {
    const auto function = FindFunction();
    if (!function) return {};
    // A copy: looking names up may grow the function list.
    const FunctionListEntry entry = context_.Functions()[*function];
    info_ = &entry.info;
    module_ = entry.module_index ? entry.module_index : context_.ModuleOf(info_->entry);
    if (!Decode()) return {};
    FindLabels();
    ReadHandlers();
    BuildBody();
    body_ = CutAround(std::move(body_), marked_line_, options_.limit);
    std::string text = entry.name.empty() ? "sub_" + Hex(info_->entry) : "public " + entry.name;
    for (const std::string& line : body_) text += kLineBreak + line;
    return text;
  }

 private:
  bool Holds(size_t function) {
    const TFunctionInfo& info = context_.Functions()[function].info;
    return info.valid && info.CodeAreaAt(address_) != nullptr;
  }

  std::optional<size_t> FindFunction() {
    if (address_ == 0 || !memory_.IsReadable(address_)) return std::nullopt;
    const auto module = context_.ModuleOf(address_);
    std::optional<size_t> found;
    if (const TMapFile* table = context_.TableOf(module)) {
      const TMfPublic below = FindPublic(*table, address_);
      if (below.valid) {
        found = context_.AddFunctionInfo(below.address, std::string(below.name), module, false,
                                         true, true);
      }
    } else if (const ModuleInfo* info = context_.InfoOf(module);
               info != nullptr && !info->is_main) {
      if (const uintptr_t nearest = context_.Symbols().NearestExport(info->handle, address_))
        found = context_.AddFunctionInfo(nearest, {}, module, false, true);
    }
    if (found && Holds(*found)) return found;
    // Code that no symbol names: its unwind entry tells where its function starts.
    if (const auto unwind = context_.UnwindEntryAt(address_)) {
      const auto own = context_.AddFunctionInfo(unwind->start, {}, module, false, false);
      if (own && Holds(*own)) return own;
    }
    return std::nullopt;
  }

  // The code areas from the function's entry on first, its parts elsewhere (code that the
  // compiler moved out, such as ".cold" parts) after them, each in address order.
  std::vector<CodeArea> AreasInListingOrder() {
    AddressRange own{info_->entry, info_->code_begin + info_->code_length};
    if (const auto unwind = context_.UnwindEntryAt(info_->entry))
      own = {unwind->start, unwind->end};
    std::vector<CodeArea> areas, parts;
    for (const CodeArea& area : info_->areas) {
      if (area.kind != AreaKind::kCode) continue;
      (own.start <= area.start && area.start < own.end ? areas : parts).push_back(area);
    }
    areas.insert(areas.end(), parts.begin(), parts.end());
    return areas;
  }

  bool Decode() {
    const TMapFile* table = context_.TableOf(module_);
    int previous_line = 0;
    for (const CodeArea& area : AreasInListingOrder()) {
      for (uintptr_t at = area.start; at <= area.end;) {
        ListedInstruction listed;
        listed.decoded = DecodeInstruction(memory_, at);
        if (!listed.decoded.valid) return false;
        const int line = table != nullptr ? FindLine(*table, at).line : 0;
        if (line > 0 && (line != previous_line || at == area.start)) listed.line = line;
        previous_line = line;
        last_line_ = std::max(last_line_, line);
        instructions_.push_back(listed);
        at = listed.decoded.Next();
      }
    }
    return !instructions_.empty();
  }

  bool IsOwnCode(uintptr_t address) const { return info_->CodeAreaAt(address) != nullptr; }

  void FindLabels() {
    for (const ListedInstruction& listed : instructions_) {
      const Instruction& decoded = listed.decoded;
      if ((decoded.flow == FlowKind::kJump || decoded.flow == FlowKind::kConditionalJump) &&
          decoded.has_target && !decoded.target_from_memory && IsOwnCode(decoded.target)) {
        labels_.insert(decoded.target);
      }
    }
    for (const JumpTableInfo& table : info_->jump_tables)
      labels_.insert(table.targets.begin(), table.targets.end());
    labels_.insert(info_->landing_pads.begin(), info_->landing_pads.end());
  }

  // The catch clauses of the landing pads, from the exception tables of the function's parts.
  void ReadHandlers() {
    std::set<uintptr_t> entries_read;
    for (const CodeArea& area : info_->areas) {
      if (area.kind != AreaKind::kCode) continue;
      const auto unwind = context_.UnwindEntryAt(area.start);
      if (!unwind || !entries_read.insert(unwind->start).second) continue;
      for (const CallSiteHandler& handler : CallSiteHandlers(*unwind, memory_)) {
        std::vector<uintptr_t>& catches = catches_[handler.landing_pad];
        for (const uintptr_t type : handler.catches) {
          if (std::find(catches.begin(), catches.end(), type) == catches.end())
            catches.push_back(type);
        }
      }
    }
  }

  // The readable name of the class whose type_info lies at `type_info`.
  std::string TypeName(uintptr_t type_info) const {
    uintptr_t name_at = 0;
    if (!memory_.ReadValue(type_info + kTypeInfoNameOffset, name_at)) return "?";
    std::string mangled;
    char c;
    while (mangled.size() < kLongestTypeName && memory_.ReadValue(name_at + mangled.size(), c) &&
           c != '\0') {
      mangled += c;
    }
    if (mangled.starts_with('*')) mangled.erase(0, 1);  // a type local to its unit
    if (mangled.empty()) return "?";
    return ReadableName("_Z" + mangled);
  }

  void AddHandlerLines(uintptr_t pad) {
    const auto found = catches_.find(pad);
    if (found == catches_.end()) return;
    for (const uintptr_t type : found->second) {
      if (type != 0) body_.push_back("  on " + TypeName(type) + " do " + Label(pad));
    }
    for (const uintptr_t type : found->second) {
      if (type == 0) body_.push_back("  else " + Label(pad));
    }
  }

  // How a call's or jump's target is written: a label in the function, else the name of the
  // function it reaches (through a PLT entry, the one the entry jumps to).
  std::string TargetName(const Instruction& decoded, uintptr_t target) {
    if (IsOwnCode(target)) return Label(target);
    if (const CallSite* site = info_->CallSiteBefore(decoded.Next());
        site != nullptr && site->address == decoded.address) {
      target = site->target;
    }
    return context_.NameOfFunctionAt(target);
  }

  std::string InstructionLine(const ListedInstruction& listed, bool marked) {
    const Instruction& decoded = listed.decoded;
    uint8_t length = 0;
    std::string text = InstructionText(
        memory_, decoded.address, [&](uintptr_t target) { return TargetName(decoded, target); },
        length);
    std::string line = AddressText(decoded.address) + " " + (marked ? ">" : " ");
    if (last_line_ > 0) {
      const size_t width = DigitCount(last_line_);
      if (listed.line > 0) {
        char number[24];
        std::snprintf(number, sizeof number, " %0*d", static_cast<int>(width), listed.line);
        line += number;
      } else {
        line += std::string(width + 1, ' ');
      }
    }
    return line + " " + text;
  }

  void AddJumpTableLines(const Instruction& decoded) {
    for (const JumpTableInfo& table : info_->jump_tables) {
      if (table.jump != decoded.address) continue;
      const char* size = table.entry_size == 4 ? "  dd " : "  dq ";
      for (size_t i = 0; i < table.targets.size(); ++i) {
        body_.push_back(size + Label(table.targets[i]) + (i == 0 ? "  ; case jump table" : ""));
      }
    }
  }

  size_t MarkedInstruction() const {
    for (size_t i = 0; i < instructions_.size(); ++i) {
      const Instruction& decoded = instructions_[i].decoded;
      if (decoded.address <= address_ && address_ < decoded.Next()) return i;
    }
    return instructions_.size();
  }

  void BuildBody() {
    const size_t marked = MarkedInstruction();
    for (size_t i = 0; i < instructions_.size(); ++i) {
      const ListedInstruction& listed = instructions_[i];
      const Instruction& decoded = listed.decoded;
      if (labels_.count(decoded.address) != 0) {
        AddHandlerLines(decoded.address);
        body_.push_back(Label(decoded.address) + ":");
      }
      if (i == marked) marked_line_ = body_.size();
      body_.push_back(InstructionLine(listed, i == marked));
      AddJumpTableLines(decoded);
      const bool block_ends = decoded.flow == FlowKind::kReturn ||
                              decoded.flow == FlowKind::kJump || decoded.flow == FlowKind::kHalt;
      if (options_.rulers && block_ends && i + 1 < instructions_.size()) {
        body_.insert(body_.end(), {"", kListingRuler, ""});
      }
    }
  }

  TraceContext& context_;
  const ReadableMemoryMap& memory_;
  const uintptr_t address_;
  const ListingOptions options_;
  const TFunctionInfo* info_ = nullptr;
  std::optional<size_t> module_;
  std::vector<ListedInstruction> instructions_;
  int last_line_ = 0;
  std::set<uintptr_t> labels_;
  std::map<uintptr_t, std::vector<uintptr_t>> catches_;  // by landing pad
  std::vector<std::string> body_;
  size_t marked_line_ = SIZE_MAX;
};

}  // namespace

std::vector<std::string> CutAround(std::vector<std::string> lines, size_t marked, int limit) {
  if (limit <= 0 || marked >= lines.size()) return lines;
  const size_t kept = static_cast<size_t>(limit);
  if (lines.size() - marked - 1 > kept) {
    lines.resize(marked + kept + 1);
    lines.push_back(kListingCut);
  }
  if (marked >= kept * 12 / 10 && marked > kept) {
    lines.erase(lines.begin(), lines.begin() + static_cast<ptrdiff_t>(marked - kept));
    lines.insert(lines.begin(), kListingCut);
  }
  return lines;
}

std::string ListFunction(uintptr_t address, TraceServices services, const ListingOptions& options) {
  const std::lock_guard lock(services.functions.TraceLock());
  const ReadableMemoryMap memory = ReadableMemoryMap::Take();
  TraceContext context(services, memory);
  return Listing(context, address, options).Run();
}

}  // namespace userdb::crash
