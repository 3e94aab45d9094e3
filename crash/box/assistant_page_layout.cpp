#include "crash/box/assistant_page_layout.h"

#include <algorithm>
#include <cstdint>

namespace userdb::crash {

namespace {

constexpr int kButtonsRoom = 32;
constexpr int kNarrowestPage = 315;
constexpr int kMessageRoom = 36;
constexpr int kEdge = 8;
constexpr int kButtonGap = 8;
constexpr int kImageRoom = 42;

}  // namespace

int AssistantPageWidth(const PageWidthInput& input) {
  return std::max({input.buttons_width + kButtonsRoom, kNarrowestPage, input.minimum_width,
                   input.message_width + kPageNumberStep * input.page_count + kMessageRoom});
}

int PageNumberX(int number, int count, int page_width) {
  return page_width - kEdge - kPageNumberStep * (count - number + 1);
}

StandardButtonPlaces PlaceStandardButtons(const StandardButtonWidths& widths, int page_width) {
  StandardButtonPlaces places;
  const int cancel_x = page_width - kEdge - widths.cancel_width;
  if (widths.skip_visible && widths.cancel_visible) {
    places.skip_x = kEdge;
    places.cancel_x = cancel_x;
    places.continue_x = cancel_x - kButtonGap - widths.continue_width;
    return places;
  }
  places.continue_x = kEdge;
  if (widths.skip_visible) places.skip_x = kEdge + widths.continue_width + kButtonGap;
  if (widths.cancel_visible) places.cancel_x = cancel_x;
  return places;
}

Size ShownImageSize(Size picture, int page_width, int frame_width, int screen_height) {
  const int most_width = std::max(1, page_width - kImageRoom - frame_width);
  const int most_height = std::max(1, screen_height / 3);
  if (picture.width <= 0 || picture.height <= 0) return {0, 0};
  if (picture.width <= most_width && picture.height <= most_height) return picture;
  // The smaller of the two scales, in exact integer arithmetic.
  if (int64_t{most_width} * picture.height <= int64_t{most_height} * picture.width) {
    return {most_width,
            std::max(1, static_cast<int>(int64_t{picture.height} * most_width / picture.width))};
  }
  return {std::max(1, static_cast<int>(int64_t{picture.width} * most_height / picture.height)),
          most_height};
}

}  // namespace userdb::crash
