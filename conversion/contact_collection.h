// The contact lines of a run on their way into the contacts file. Without rules they are
// written as they come, in input order. Several sources (a later one overriding earlier ones
// entry by entry for the same ID), one entry per ID or ascending ID order need every line
// first: they are gathered, and written once the last source has been read.
#pragma once

#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "conversion/string_list.h"
#include "platform/whole_file.h"

namespace userdb::conversion {

struct CollectionRules {
  bool later_sources_override = false;  // an entry replaces those of earlier sources
  bool unique_ids = false;              // ... and those of its own source before it
  bool sort_by_id = false;              // written in ascending ID order
};

class ContactCollection {
 public:
  // Gathered lines are kept in `gathered` (emptied first); every line goes to `contacts`.
  ContactCollection(const CollectionRules& rules, StringList& gathered,
                    platform::WholeFileStream& contacts);

  // The lines added from now on come from the next source.
  void BeginSource();
  // A contact line, which begins with its 7-byte DMR ID.
  void Add(std::string_view contact_line);

  // Entries the current source added, and earlier entries it replaced.
  int32_t SourceAdded() const { return source_added_; }
  int32_t SourceReplaced() const { return source_replaced_; }
  // Entries replaced in the whole run.
  int32_t Replaced() const { return replaced_; }

  // Writes the gathered lines, in ascending ID order when the rules ask for it.
  void Finish();

 private:
  // The entries that hold one ID: the first one's position and the last one's, so that a
  // replacement takes the first one's place; the source they came from.
  struct IdEntries {
    uint32_t first;
    uint32_t last;
    int source;
  };

  void Write(std::string_view contact_line);
  void ReplaceEntries(IdEntries& entries, uint32_t line_index);

  CollectionRules rules_;
  bool gathering_;
  bool tracking_ids_;
  StringList& gathered_;
  platform::WholeFileStream& contacts_;
  int source_ = -1;
  int32_t source_added_ = 0;
  int32_t source_replaced_ = 0;
  int32_t replaced_ = 0;
  // For each entry's position: the index of its line in gathered_, or kRemoved.
  std::vector<uint32_t> entries_;
  // For each position: the next position that holds the same ID, or kNoNext.
  std::vector<uint32_t> next_same_id_;
  std::unordered_map<uint64_t, IdEntries> by_id_;
};

}  // namespace userdb::conversion
