#include "conversion/contact_collection.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace userdb::conversion {

namespace {

constexpr uint32_t kRemoved = std::numeric_limits<uint32_t>::max();
constexpr uint32_t kNoNext = std::numeric_limits<uint32_t>::max();
constexpr size_t kIdLength = 7;
constexpr std::string_view kLineEnd = "\r\n";

// The DMR ID at the start of a contact line as a number that orders as its bytes do.
uint64_t IdKey(std::string_view contact_line) {
  uint64_t key = 0;
  for (size_t i = 0; i < kIdLength; ++i) {
    key = (key << 8) | (i < contact_line.size() ? static_cast<unsigned char>(contact_line[i]) : 0);
  }
  return key;
}

}  // namespace

ContactCollection::ContactCollection(const CollectionRules& rules, StringList& gathered,
                                     platform::WholeFileStream& contacts)
    : rules_(rules),
      gathering_(rules.later_sources_override || rules.unique_ids || rules.sort_by_id),
      tracking_ids_(rules.later_sources_override || rules.unique_ids),
      gathered_(gathered),
      contacts_(contacts) {
  gathered_.Clear();
}

void ContactCollection::BeginSource() {
  ++source_;
  source_added_ = 0;
  source_replaced_ = 0;
}

void ContactCollection::Write(std::string_view contact_line) {
  contacts_.Append(contact_line);
  contacts_.Append(kLineEnd);
}

void ContactCollection::Add(std::string_view contact_line) {
  if (!gathering_) {
    Write(contact_line);
    ++source_added_;
    return;
  }
  const auto line_index = static_cast<uint32_t>(gathered_.Count());
  gathered_.Add(contact_line);
  const auto position = static_cast<uint32_t>(entries_.size());
  if (tracking_ids_) {
    const auto [found, inserted] =
        by_id_.try_emplace(IdKey(contact_line), IdEntries{position, position, source_});
    if (!inserted) {
      IdEntries& same_id = found->second;
      if (same_id.source != source_ || rules_.unique_ids) {
        ReplaceEntries(same_id, line_index);
        return;
      }
      // A second entry of the ID in its own source is kept beside the first.
      next_same_id_[same_id.last] = position;
      same_id.last = position;
    }
    next_same_id_.push_back(kNoNext);
  }
  entries_.push_back(line_index);
  ++source_added_;
}

void ContactCollection::ReplaceEntries(IdEntries& same_id, uint32_t line_index) {
  // The new line takes the place of the first entry; the others of the ID go.
  entries_[same_id.first] = line_index;
  int32_t replaced = 1;
  for (uint32_t position = next_same_id_[same_id.first]; position != kNoNext;) {
    const uint32_t next = next_same_id_[position];
    entries_[position] = kRemoved;
    next_same_id_[position] = kNoNext;
    position = next;
    ++replaced;
  }
  next_same_id_[same_id.first] = kNoNext;
  same_id.last = same_id.first;
  same_id.source = source_;
  source_replaced_ += replaced;
  replaced_ += replaced;
}

void ContactCollection::Finish() {
  if (!gathering_) return;
  std::vector<uint32_t> kept;
  kept.reserve(entries_.size());
  for (const uint32_t line_index : entries_) {
    if (line_index != kRemoved) kept.push_back(line_index);
  }
  if (rules_.sort_by_id) {
    // Sorted by ID, and entries of one ID in the order they had.
    std::vector<std::pair<uint64_t, uint32_t>> by_id;
    by_id.reserve(kept.size());
    for (uint32_t position = 0; position < kept.size(); ++position) {
      by_id.emplace_back(IdKey(gathered_.Get(static_cast<int>(kept[position]))), position);
    }
    std::sort(by_id.begin(), by_id.end());
    for (const auto& [key, position] : by_id)
      Write(gathered_.Get(static_cast<int>(kept[position])));
    return;
  }
  for (const uint32_t line_index : kept) Write(gathered_.Get(static_cast<int>(line_index)));
}

}  // namespace userdb::conversion
