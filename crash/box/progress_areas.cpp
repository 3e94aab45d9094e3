#include "crash/box/progress_areas.h"

#include <algorithm>

namespace userdb::crash {

void ProgressAreas::Add(std::string_view text, uint64_t weight) {
  Area area;
  area.text = text.empty() && !areas_.empty() ? areas_.back().text : std::string(text);
  area.weight = weight;
  area.start = areas_.empty() ? 0 : areas_.back().start + areas_.back().weight;
  areas_.push_back(std::move(area));
}

void ProgressAreas::Clear() {
  areas_.clear();
  current_ = 0;
  position_ = 0;
}

void ProgressAreas::AddDefaultAreaWhenEmpty() {
  if (areas_.empty()) Add(kPleaseWaitArea, kProgressRange);
}

void ProgressAreas::SetCurrent(size_t area) {
  if (!areas_.empty() && area >= areas_.size()) {
    current_ = areas_.size() - 1;
    position_ = kProgressRange;
    return;
  }
  current_ = area;
  position_ = 0;
}

void ProgressAreas::AreaDone() {
  SetCurrent(current_ + 1);
}

void ProgressAreas::SetPosition(int thousandths) {
  position_ = std::clamp(thousandths, 0, kProgressRange);
}

std::string_view ProgressAreas::CurrentText() const {
  return current_ < areas_.size() ? std::string_view(areas_[current_].text) : std::string_view();
}

int ProgressAreas::BarPosition() const {
  if (current_ >= areas_.size()) return 0;
  const Area& last = areas_.back();
  const unsigned __int128 total = last.start + last.weight;
  if (total == 0) return 0;
  const Area& area = areas_[current_];
  const unsigned __int128 done =
      area.start + static_cast<unsigned __int128>(area.weight) * position_ / kProgressRange;
  return static_cast<int>(done * kProgressRange / total);
}

ProgressAreas PleaseWaitAreas(std::string_view text, const std::vector<uint64_t>& stack_sizes) {
  ProgressAreas areas;
  for (const uint64_t size : stack_sizes) areas.Add(text, size);
  return areas;
}

}  // namespace userdb::crash
