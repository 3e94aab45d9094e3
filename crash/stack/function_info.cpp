#include "crash/stack/function_info.h"

#include <algorithm>

namespace userdb::crash {
namespace {

template <typename Site>
const Site* SiteBefore(const std::vector<Site>& sites, uintptr_t next) {
  auto found =
      std::lower_bound(sites.begin(), sites.end(), next,
                       [](const Site& site, uintptr_t value) { return site.next < value; });
  return found != sites.end() && found->next == next ? &*found : nullptr;
}

}  // namespace

bool TFunctionInfo::HasIndirectJump() const {
  return std::any_of(indirect_sites.begin(), indirect_sites.end(),
                     [](const IndirectSite& site) { return !site.is_call; });
}

bool TFunctionInfo::CodeAreasHold(uintptr_t address) const {
  return std::any_of(areas.begin(), areas.end(), [address](const CodeArea& area) {
    return area.kind == AreaKind::kCode && area.start < address && address <= area.end + 1;
  });
}

const CodeArea* TFunctionInfo::CodeAreaAt(uintptr_t address) const {
  for (const CodeArea& area : areas) {
    if (area.kind == AreaKind::kCode && area.start <= address && address <= area.end) return &area;
  }
  return nullptr;
}

const CallSite* TFunctionInfo::CallSiteBefore(uintptr_t next) const {
  return SiteBefore(call_sites, next);
}

const IndirectSite* TFunctionInfo::IndirectSiteBefore(uintptr_t next) const {
  return SiteBefore(indirect_sites, next);
}

TFunctionInfo PlaceholderFunction(uintptr_t entry) {
  TFunctionInfo info;
  info.valid = true;
  info.entry = entry;
  info.code_begin = entry;
  info.code_length = 0;
  return info;
}

}  // namespace userdb::crash
