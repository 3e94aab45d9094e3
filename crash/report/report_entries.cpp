#include "crash/report/report_entries.h"

#include <algorithm>

#include "platform/case_insensitive_1252.h"

namespace userdb::crash {

std::string_view TrimReportValue(std::string_view value) {
  const auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  while (!value.empty() && blank(value.front())) value.remove_prefix(1);
  while (!value.empty() && blank(value.back())) value.remove_suffix(1);
  return value;
}

std::optional<size_t> ReportEntries::IndexOf(std::string_view name) const {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (platform::EqualIgnoringCase1252(items_[i].name, name)) return i;
  }
  return std::nullopt;
}

std::optional<std::string_view> ReportEntries::Find(std::string_view name) const {
  const auto index = IndexOf(name);
  if (!index) return std::nullopt;
  return items_[*index].value;
}

bool ReportEntries::Put(std::string_view name, std::string_view value) {
  return Replace(name, name, value);
}

bool ReportEntries::Replace(std::string_view old_name, std::string_view new_name,
                            std::string_view value) {
  const std::string_view trimmed = TrimReportValue(value);
  auto index = IndexOf(old_name);
  if (!index && !platform::EqualIgnoringCase1252(old_name, new_name)) index = IndexOf(new_name);
  if (trimmed.empty()) {
    if (!index) return false;
    items_.erase(items_.begin() + static_cast<ptrdiff_t>(*index));
    if (insertion_point_ && *insertion_point_ > *index) --*insertion_point_;
    return true;
  }
  if (index) {
    ReportEntry& entry = items_[*index];
    if (entry.name == new_name && entry.value == trimmed) return false;
    entry.name = std::string(new_name);
    entry.value = std::string(trimmed);
    return true;
  }
  ReportEntry entry{std::string(new_name), std::string(trimmed)};
  if (insertion_point_) {
    const size_t at = std::min(*insertion_point_, items_.size());
    items_.insert(items_.begin() + static_cast<ptrdiff_t>(at), std::move(entry));
    insertion_point_ = at + 1;
  } else {
    items_.push_back(std::move(entry));
  }
  return true;
}

void ReportEntries::SetInsertionPoint(size_t index) {
  insertion_point_ = std::min(index, items_.size());
}

}  // namespace userdb::crash
