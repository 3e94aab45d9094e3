// The listing of the function that holds a code address, in Intel syntax: what a bug report's
// "disassembling" section shows. It lists the code areas that the function analysis found
// (function_analysis.h), so that jump tables and landing pads are where the analysis put them.
//
// The layout, carried over to 64-bit addresses:
//   public <name>                         (or "sub_" + the entry's address without a symbol)
//   loc_<address>:                        before a jump target or a landing pad
//   <16 digits> <mark><line> <instruction>
// where <mark> is ">" on the line of the instruction at the address and a blank elsewhere:
// right after the address and one blank, which is the 18th column (the tenth of 8-digit
// addresses). <line> is there only when the module has line information: a blank and the
// line's number where a source line starts, with leading zeros to the digit count of the
// function's last line, blanks elsewhere.
// After an indirect jump through a jump table, one line per entry: "  dd loc_" + target (4-byte
// entries; "  dq loc_" for 8-byte ones), the first followed by "  ; case jump table".
// In place of the original handler tables, before a landing pad's label: "  on " + class +
// " do loc_" + pad for each of its catch clauses, "  else loc_" + pad for "catch (...)".
// With a limit n above 0, n lines before and n after the marked line remain, a cut marked by
// "[...]"; lines before are cut only when there are at least n * 12 / 10 of them. With rulers,
// code blocks (after a return or an unconditional jump) are parted by a ruler between blank
// lines.
//
// Not for a signal handler: it analyses code and looks symbols up (it holds the function
// list's TraceLock meanwhile).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "crash/stack/trace_context.h"

namespace userdb::crash {

struct ListingOptions {
  int limit = 0;  // lines kept before and after the marked line; 0 or less: all
  bool rulers = false;
  // The address is the return address of the call that raised an exception: the function
  // holding that call is listed, and the call is marked.
  bool return_address = false;
};

inline constexpr char kListingCut[] = "[...]";
inline constexpr char kListingRuler[] =
    "; ---------------------------------------------------------";

// The listing of the function holding `address`, lines joined by CR LF; empty when no
// function can be found there or its code cannot be analysed.
std::string ListFunction(uintptr_t address, TraceServices services, const ListingOptions& options);

// The lines that remain of `lines` around the one at `marked` with a limit above 0: `limit`
// before it (cut only when at least limit * 12 / 10 lie before it) and `limit` after it, each
// cut marked by a line "[...]". All lines with a limit of 0 or less, or without a marked line.
std::vector<std::string> CutAround(std::vector<std::string> lines, size_t marked, int limit);

}  // namespace userdb::crash
