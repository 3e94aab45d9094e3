#include "crash/box/form_cache.h"

#include <algorithm>

namespace userdb::crash {

namespace {

constexpr std::string_view kChecked = "+";
constexpr std::string_view kUnchecked = "-";

bool IsCached(const PageItem& item) {
  return item.kind == ItemKind::kEdit || item.kind == ItemKind::kCheckBox;
}

}  // namespace

std::optional<std::string> FormCache::Find(std::string_view name) const {
  const auto found = std::find_if(entries_.begin(), entries_.end(),
                                  [name](const auto& entry) { return entry.first == name; });
  if (found == entries_.end()) return std::nullopt;
  return found->second;
}

void FormCache::Fill(AssistantPage& page) const {
  bool any = false;
  bool all = true;
  // The names first: an item event may change the page's items.
  std::vector<std::pair<std::string, ItemKind>> items;
  for (const PageItem& item : page.Items()) {
    if (IsCached(item)) items.emplace_back(item.name, item.kind);
  }
  for (const auto& [name, kind] : items) {
    const std::optional<std::string> value = Find(name);
    any = any || value.has_value();
    all = all && value.has_value();
    if (!value) continue;
    if (kind == ItemKind::kEdit) {
      page.SetEditText(name, *value);
    } else {
      page.SetChecked(name, *value == kChecked);
    }
  }
  if (any && all && page.ContinueEnabled()) page.SetFocusedItem(kContinueButton);
}

void FormCache::Update(const std::vector<AssistantPage>& pages) {
  for (const AssistantPage& page : pages) {
    if (page.Result() != PageResult::kContinue) continue;
    for (const PageItem& item : page.Items()) {
      if (item.kind == ItemKind::kEdit) Put(item.name, item.text);
      if (item.kind == ItemKind::kCheckBox)
        Put(item.name, std::string(item.checked ? kChecked : kUnchecked));
    }
  }
}

void FormCache::Put(const std::string& name, std::string value) {
  const auto found = std::find_if(entries_.begin(), entries_.end(),
                                  [&name](const auto& entry) { return entry.first == name; });
  if (found != entries_.end()) {
    found->second = std::move(value);
  } else {
    entries_.emplace_back(name, std::move(value));
  }
}

}  // namespace userdb::crash
