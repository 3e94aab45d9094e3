#include "crash/box/box_layout.h"

#include <algorithm>

namespace userdb::crash {

namespace {

constexpr int kButtonHeight = 22;
constexpr int kUglyButtonHeight = 26;
constexpr int kCaptionPadding = 39;
constexpr int kButtonGap = 4;
constexpr int kEdgeMargin = 6;  // left of the row, right of the column
constexpr int kRowExtra = 14;
constexpr int kColumnRoom = 40;
constexpr int kSingleRowRoom = 26;
constexpr int kPictureRoom = 40;
constexpr int kNarrowestWrapBase = 664;
constexpr Point kTextStart{11, 12};
constexpr int kTextBesidePictureX = 51;
constexpr Rect kPicture{9, 10, 32, 32};
constexpr int kTextBelowWhichCentred = 26;
constexpr int kGapBelowText = 5;
constexpr int kColumnTopMinimum = 7;
constexpr int kBottomMargin = 8;
constexpr int kReportWidthMinimum = 664;
constexpr int kReportHeight = 474;
constexpr int kTabsX = 5;
constexpr int kTabsNarrower = 15;
constexpr int kTitleBarsLeftFree = 5;

struct ButtonGroups {
  std::vector<ButtonKind> column;  // continue, restart, close
  std::vector<ButtonKind> row;     // send, save, print, show
};

ButtonGroups GroupsOf(const BoxButtons& buttons) {
  ButtonGroups groups;
  for (const ButtonKind kind : buttons.shown)
    (IsApplicationButton(kind) ? groups.column : groups.row).push_back(kind);
  return groups;
}

int WidthOf(const FullBoxInput& input, ButtonKind kind) {
  return FullBoxButtonWidth(input.caption_widths[IndexOf(kind)]);
}

int SumOfWidths(const FullBoxInput& input, const std::vector<ButtonKind>& kinds) {
  int sum = 0;
  for (const ButtonKind kind : kinds) sum += WidthOf(input, kind);
  return sum;
}

}  // namespace

int FullBoxButtonHeight(bool ugly_buttons) {
  return ugly_buttons ? kUglyButtonHeight : kButtonHeight;
}

int FullBoxButtonWidth(int caption_width) {
  return caption_width + kCaptionPadding;
}

FullBoxLayout LayOutFullBox(const FullBoxInput& input, const TextMeasure& measure_text) {
  const ButtonGroups groups = GroupsOf(input.buttons);
  const int height = FullBoxButtonHeight(input.ugly_buttons);
  const int column_count = static_cast<int>(groups.column.size());
  int column_width = 0;  // R
  for (const ButtonKind kind : groups.column)
    column_width = std::max(column_width, WidthOf(input, kind));

  FullBoxLayout layout;
  layout.two_groups = column_count > 1 && !groups.row.empty();
  int row_width = 0;     // B
  int buttons_need = 0;  // the buttons side by side with their gaps and margins
  if (layout.two_groups) {
    const int row_sum = SumOfWidths(input, groups.row);
    row_width = row_sum + column_width + kRowExtra;
    buttons_need = kEdgeMargin + row_sum + kButtonGap * static_cast<int>(groups.row.size()) +
                   column_width + kEdgeMargin;
  } else {
    const int sum = SumOfWidths(input, input.buttons.shown);
    row_width = sum + kRowExtra;
    if (!input.buttons.shown.empty()) {
      buttons_need = kEdgeMargin + sum +
                     kButtonGap * (static_cast<int>(input.buttons.shown.size()) - 1) + kEdgeMargin;
    }
  }
  const int room = (layout.two_groups ? column_width + kColumnRoom : kSingleRowRoom) +
                   (input.big_picture ? kPictureRoom : 0);  // Q
  layout.wrap_width = (row_width > kNarrowestWrapBase - 1 ? row_width : kNarrowestWrapBase) - room;

  const Size text = measure_text(layout.wrap_width);
  layout.text = {kTextStart.x, kTextStart.y, text.width, text.height};
  int content_bottom = layout.text.Bottom();
  if (input.big_picture) {
    layout.picture = kPicture;
    layout.text.x = kTextBesidePictureX;
    if (text.height < kTextBelowWhichCentred)
      layout.text.y = kPicture.y + (kPicture.height - text.height) / 2;
    content_bottom = std::max(layout.text.Bottom(), kPicture.Bottom());
  }

  int width = std::max({text.width + room, row_width, buttons_need});
  const int title_bars = kTitleBarsLeftFree * input.title_bar_height;
  if (input.report_shown)
    width = std::max(width, std::min(kReportWidthMinimum, input.screen.width - title_bars));

  // The buttons' line: below the message, or the lowest of a column that rises beside it.
  const int step = height + kButtonGap;
  int row_y = content_bottom + kGapBelowText + kButtonGap;
  int column_top = row_y;
  if (layout.two_groups) {
    column_top = std::max(kColumnTopMinimum, row_y - (column_count - 1) * step);
    row_y = column_top + (column_count - 1) * step;
  }
  const int base_height = input.buttons.shown.empty()
                              ? content_bottom + kGapBelowText + kBottomMargin
                              : row_y + height + kBottomMargin;

  int x = kEdgeMargin;
  for (const ButtonKind kind : input.buttons.shown) {
    if (layout.two_groups && IsApplicationButton(kind)) continue;
    layout.buttons.push_back({kind, {x, row_y, WidthOf(input, kind), height}});
    x += WidthOf(input, kind) + kButtonGap;
  }
  if (layout.two_groups) {
    const int column_x = width - kEdgeMargin - column_width;
    for (int i = 0; i < column_count; ++i) {
      layout.buttons.push_back({groups.column[static_cast<size_t>(i)],
                                {column_x, column_top + i * step, column_width, height}});
    }
    std::stable_sort(layout.buttons.begin(), layout.buttons.end(),
                     [](const PlacedButton& a, const PlacedButton& b) { return a.kind < b.kind; });
  }

  int box_height = base_height + (input.report_shown ? kReportHeight : 0);
  box_height = std::min(box_height, input.screen.height - title_bars);
  if (input.report_shown) {
    layout.tabs = Rect{kTabsX, base_height, width - kTabsNarrower,
                       std::max(0, box_height - base_height - kBottomMargin)};
  }
  layout.frame = CentredOn(input.screen, {width, box_height});
  layout.minimum = {width, box_height};
  return layout;
}

FullBoxLayout ResizedFullBox(const FullBoxLayout& layout, Size wanted) {
  FullBoxLayout resized = layout;
  resized.frame.width = std::max(wanted.width, layout.minimum.width);
  resized.frame.height = std::max(wanted.height, layout.minimum.height);
  const int dx = resized.frame.width - layout.frame.width;
  const int dy = resized.frame.height - layout.frame.height;
  if (layout.two_groups) {
    for (PlacedButton& button : resized.buttons) {
      if (IsApplicationButton(button.kind)) button.rect.x += dx;
    }
  }
  if (resized.tabs) {
    resized.tabs->width += dx;
    resized.tabs->height += dy;
  }
  return resized;
}

}  // namespace userdb::crash
