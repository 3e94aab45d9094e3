// One of a bug report's two lists: the header's named values or the titled sections, in
// order. Not locked: the report that holds it locks it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace userdb::crash {

struct ReportEntry {
  std::string name;
  std::string value;
  friend bool operator==(const ReportEntry&, const ReportEntry&) = default;
};

// The value with the characters 0 to 32 removed at both ends.
std::string_view TrimReportValue(std::string_view value);

class ReportEntries {
 public:
  // Sets the entry of that name (letter case ignored) to the trimmed value, in its place;
  // a new name goes to the end, or to the insertion point once one is set. An empty
  // trimmed value removes the entry instead, or adds nothing. Tells whether the list
  // changed.
  bool Put(std::string_view name, std::string_view value);

  // Gives the entry named `old_name` a new name and value in its place (an empty value
  // removes it). Without such an entry, as Put(new_name, value).
  bool Replace(std::string_view old_name, std::string_view new_name, std::string_view value);

  // Where new names go from now on; each one put there moves the point behind it, so that
  // later entries keep the order in which they came. Clamped to the list's size.
  void SetInsertionPoint(size_t index);

  std::optional<std::string_view> Find(std::string_view name) const;
  std::optional<size_t> IndexOf(std::string_view name) const;
  const std::vector<ReportEntry>& Items() const { return items_; }
  bool Empty() const { return items_.empty(); }

 private:
  std::vector<ReportEntry> items_;
  std::optional<size_t> insertion_point_;
};

}  // namespace userdb::crash
