// The printed form of a thread's call stack: one line per printed item, in columns whose
// widths are fixed over the stack, and the checksums that tell one call stack from another
// whatever addresses its modules were loaded at.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace userdb::crash {

// One item of a call stack, innermost first, as stack tracing delivers it.
struct StackItem {
  uintptr_t address = 0;
  std::optional<uintptr_t> function_start;
  std::string module_name;  // file name without folder
  std::string unit;
  std::string function_name;
  int line = 0;                 // 0: none
  int function_first_line = 0;  // 0: not known
  bool always_printed = false;
  // A frame of the traced chain: printed without a function name too, with its module and
  // address, as the unwind tables and the trace's tests vouch for it.
  bool traced_frame = false;
};

struct StackTextOptions {
  bool show_relative_addresses = true;  // "ShowRelAddrs"
  bool show_relative_lines = true;      // "ShowRelLines"
  bool hide_ugly_items = false;         // "HideUglyItems"
};

struct StackChecksums {
  uint32_t first = 0;
  uint32_t second = 0;
  bool has_line_information = false;
};

struct PrintedStack {
  std::vector<std::string> lines;  // one per printed item, in order
  StackChecksums checksums;
};

// The items that are printed (marked always, or named or traced frames, with a line unless
// ugly items are shown, at another address than the item printed before), in columns. An
// item's part of the checksums is its offset in its function, continued over its module's and
// names, when its function's start and its module are known (a function without a name keeps
// its offset too, whatever address its module was loaded at); its address otherwise.
PrintedStack PrintCallStack(const std::vector<StackItem>& items, const StackTextOptions& options);

// The single location line of an address: not columned. An item without symbols (no
// function name) gives the address, " +0" when relative addresses are shown, and " ???".
std::string LocationLine(const StackItem& item, const StackTextOptions& options);

// The CRC-32 update (reflected, polynomial 0xEDB88320) without the initial and final
// inversion: over `bytes`, from `value`.
uint32_t Crc32Update(uint32_t value, std::string_view bytes);

// The three checksums of a report: the first two of the first traced thread, and its second
// continued over the second checksum of every other traced thread with line information.
struct ReportChecksums {
  uint32_t first = 0, second = 0, all_threads = 0;
};
ReportChecksums CombineChecksums(const StackChecksums& first_thread,
                                 const std::vector<StackChecksums>& other_threads);

// "$0a1b2c3d, $00ff00ff, $12345678".
std::string ChecksumsText(const ReportChecksums& checksums);

}  // namespace userdb::crash
