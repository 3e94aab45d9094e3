// FunctionList: the functions analysed so far in this process, reused by every later trace
// (their approved and invalid flags persist too). The crash reporter owns one for the life of
// the process.
//
// Not for a signal handler. A trace holds TraceLock() for its whole run, so that traces on
// several threads take their turns instead of changing the list under one another.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "crash/stack/function_info.h"

namespace userdb::crash {

struct FunctionListEntry {
  std::optional<size_t> module_index;  // in the module list
  std::string name;                    // readable name
  TFunctionInfo info;
  bool approved = false;  // a trusted explanation of a return address
  bool invalid = false;
  bool from_symbols = false;  // found through a symbol table's public
};

class FunctionList {
 public:
  FunctionList();  // room for 16 at first; it doubles when full
  FunctionList(const FunctionList&) = delete;
  FunctionList& operator=(const FunctionList&) = delete;

  std::mutex& TraceLock() { return trace_lock_; }

  size_t Count() const { return entries_.size(); }
  FunctionListEntry& operator[](size_t index) { return entries_[index]; }
  const FunctionListEntry& operator[](size_t index) const { return entries_[index]; }

  std::optional<size_t> IndexOfEntry(uintptr_t entry_point) const;
  size_t Append(FunctionListEntry entry);

 private:
  std::mutex trace_lock_;
  std::vector<FunctionListEntry> entries_;
  std::unordered_map<uintptr_t, size_t> by_entry_point_;
};

}  // namespace userdb::crash
