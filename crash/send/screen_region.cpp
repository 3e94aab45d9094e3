#include "crash/send/screen_region.h"

#include <algorithm>
#include <utility>

namespace userdb::crash {

ScreenRect Intersection(const ScreenRect& a, const ScreenRect& b) {
  const int left = std::max(a.x, b.x), top = std::max(a.y, b.y);
  const int right = std::min(a.Right(), b.Right()), bottom = std::min(a.Bottom(), b.Bottom());
  if (right <= left || bottom <= top) return {};
  return {left, top, right - left, bottom - top};
}

ScreenRect BoundingRect(const ScreenRect& a, const ScreenRect& b) {
  if (a.IsEmpty()) return b;
  if (b.IsEmpty()) return a;
  const int left = std::min(a.x, b.x), top = std::min(a.y, b.y);
  return {left, top, std::max(a.Right(), b.Right()) - left, std::max(a.Bottom(), b.Bottom()) - top};
}

std::vector<ScreenRect> Subtract(const ScreenRect& from, const ScreenRect& cut) {
  const ScreenRect overlap = Intersection(from, cut);
  if (overlap.IsEmpty()) return from.IsEmpty() ? std::vector<ScreenRect>{} : std::vector{from};
  std::vector<ScreenRect> pieces = {
      {from.x, from.y, from.width, overlap.y - from.y},                              // above
      {from.x, overlap.Bottom(), from.width, from.Bottom() - overlap.Bottom()},      // below
      {from.x, overlap.y, overlap.x - from.x, overlap.height},                       // left
      {overlap.Right(), overlap.y, from.Right() - overlap.Right(), overlap.height},  // right
  };
  std::erase_if(pieces, [](const ScreenRect& piece) { return piece.IsEmpty(); });
  return pieces;
}

std::optional<CaptureRegion> OwnWindowsRegion(const std::vector<StackedWindow>& windows,
                                              const ScreenRect& screen) {
  CaptureRegion region;
  for (size_t i = 0; i < windows.size(); ++i) {
    if (!windows[i].own) continue;
    const ScreenRect shown = Intersection(windows[i].rect, screen);
    region.bounds = BoundingRect(region.bounds, shown);
    std::vector<ScreenRect> visible = {shown};
    for (size_t above = i + 1; above < windows.size() && !visible.empty(); ++above) {
      std::vector<ScreenRect> rest;
      for (const ScreenRect& piece : visible) {
        for (const ScreenRect& left : Subtract(piece, windows[above].rect)) rest.push_back(left);
      }
      visible = std::move(rest);
    }
    for (const ScreenRect& piece : visible) {
      if (!piece.IsEmpty()) region.parts.push_back({piece, i});
    }
  }
  if (region.parts.empty()) return std::nullopt;
  return region;
}

}  // namespace userdb::crash
