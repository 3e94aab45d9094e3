// The areas of a ProgressBox: parts of the work, each with its text and a weight, one of
// them current with a position in thousandths. The bar shows
//   (start of the current area + its weight × position / 1000) × 1000 / sum of the weights
// where an area's start is the sum of the weights before it. Not locked: the box's own
// thread changes it (positions from other threads are posted to it).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace userdb::crash {

inline constexpr int kProgressRange = 1000;
inline constexpr std::string_view kPleaseWaitArea = "Please wait...";

class ProgressAreas {
 public:
  // An area without text takes the previous area's text.
  void Add(std::string_view text, uint64_t weight);
  void Clear();
  // Shown without areas, the box shows one "Please wait..." of weight 1000.
  void AddDefaultAreaWhenEmpty();

  // Moving to one past the last area (or further) puts the last area at 1000.
  void SetCurrent(size_t area);
  // The next area.
  void AreaDone();
  // Thousandths within the current area, 0 to 1000.
  void SetPosition(int thousandths);

  size_t Count() const { return areas_.size(); }
  size_t Current() const { return current_; }
  int Position() const { return position_; }
  // The current area's text; empty without areas.
  std::string_view CurrentText() const;
  // 0 to 1000.
  int BarPosition() const;

 private:
  struct Area {
    std::string text;
    uint64_t weight = 0;
    uint64_t start = 0;
  };
  std::vector<Area> areas_;
  size_t current_ = 0;
  int position_ = 0;
};

// The please-wait box's areas while a command waits for the report: one per analysed thread,
// with "PlWaitText" and a weight in proportion to the size of the thread's stack.
ProgressAreas PleaseWaitAreas(std::string_view text, const std::vector<uint64_t>& stack_sizes);

}  // namespace userdb::crash
