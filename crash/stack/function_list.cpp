#include "crash/stack/function_list.h"

namespace userdb::crash {
namespace {

constexpr size_t kFirstRoom = 16;

}  // namespace

FunctionList::FunctionList() {
  entries_.reserve(kFirstRoom);
}

std::optional<size_t> FunctionList::IndexOfEntry(uintptr_t entry_point) const {
  const auto found = by_entry_point_.find(entry_point);
  if (found == by_entry_point_.end()) return std::nullopt;
  return found->second;
}

size_t FunctionList::Append(FunctionListEntry entry) {
  if (entries_.size() == entries_.capacity()) entries_.reserve(entries_.capacity() * 2);
  by_entry_point_.emplace(entry.info.entry, entries_.size());
  entries_.push_back(std::move(entry));
  return entries_.size() - 1;
}

}  // namespace userdb::crash
