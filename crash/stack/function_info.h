// TFunctionInfo: what the analysis of one function's machine code found.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace userdb::crash {

enum class AreaKind : uint8_t {
  kCode,
  kData,  // a data block that the function's code uses, such as a jump table
};

// The bytes from `start` up to and including `end`.
struct CodeArea {
  uintptr_t start = 0;
  uintptr_t end = 0;
  AreaKind kind = AreaKind::kCode;
};

// A call, or a jump to another function, whose target the code names.
struct CallSite {
  uintptr_t address = 0;  // of the instruction
  uintptr_t next = 0;     // the address after it: the return address of a call
  uintptr_t target = 0;
  bool is_call = true;
};

// A call or jump whose target is not encoded in the code.
struct IndirectSite {
  uintptr_t address = 0;
  uintptr_t next = 0;
  bool is_call = true;
};

// A jump table that an indirect jump of the function goes through.
struct JumpTableInfo {
  uintptr_t jump = 0;              // the indirect jump's address
  uintptr_t address = 0;           // the table's
  uint8_t entry_size = 8;          // 4: offsets from the table's address; 8: addresses
  std::vector<uintptr_t> targets;  // the entries that lead into the function, in table order
};

struct AnalysisError {
  uintptr_t address = 0;
  uint32_t number = 0;
  std::string text;
};

// The error of code that does not decode.
inline constexpr uint32_t kInvalidCodeError = 0x770001;
inline constexpr char kInvalidCodeText[] = "Invalid code!";

struct TFunctionInfo {
  bool valid = false;
  uintptr_t entry = 0;
  uintptr_t code_begin = 0;   // the lowest code address
  uintptr_t code_length = 0;  // from code_begin to the highest code area's end, inclusive
  AnalysisError last_error;
  std::vector<CodeArea> areas;               // ascending start
  std::vector<CallSite> call_sites;          // ascending next address, one per next address
  std::vector<IndirectSite> indirect_sites;  // ascending next address
  std::vector<JumpTableInfo> jump_tables;    // ascending jump address
  std::vector<uintptr_t> landing_pads;       // ascending

  bool HasIndirectJump() const;
  // Whether a code area holds the address as a return address may lie: start < address <=
  // end + 1.
  bool CodeAreasHold(uintptr_t address) const;
  // The code area that holds the address (start <= address <= end); null for none.
  const CodeArea* CodeAreaAt(uintptr_t address) const;
  const CallSite* CallSiteBefore(uintptr_t next) const;
  const IndirectSite* IndirectSiteBefore(uintptr_t next) const;
};

// A valid function of length 0 at `entry`: what a trace keeps for an address whose code cannot
// be read.
TFunctionInfo PlaceholderFunction(uintptr_t entry);

}  // namespace userdb::crash
