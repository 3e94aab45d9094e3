// What the user entered on the assistant pages earlier in this process run, so that the
// next assistant comes pre-filled: an edit's text under its item name, a check box's state
// as "+" (checked) or "-". Kept by the crash-reporter object for the process's life; used
// on the handling thread only.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "crash/box/assistant_page.h"

namespace userdb::crash {

class FormCache {
 public:
  std::optional<std::string> Find(std::string_view name) const;

  // Every cached edit gets its text and every cached check box its state, each an item
  // event of the page. A page whose edits and check boxes were all cached (at least one)
  // gets ContinueBtn as its focused item, when that button is enabled.
  void Fill(AssistantPage& page) const;

  // After an assistant, whatever its result: the edits and check boxes of the pages that
  // ended with continue, replacing earlier entries of the same names.
  void Update(const std::vector<AssistantPage>& pages);

  // One entry, replacing an earlier one of the same name; and every entry in the order
  // they were first stored. The crash helper draws the pages in a process of its own and
  // gets the entries from here.
  void Put(const std::string& name, std::string value);
  const std::vector<std::pair<std::string, std::string>>& Entries() const { return entries_; }

 private:
  std::vector<std::pair<std::string, std::string>> entries_;
};

}  // namespace userdb::crash
