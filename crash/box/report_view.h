// What the report viewer shows on one tab: a list with named columns and one row per line,
// or, where no columns can be derived, the text in a read-only text field. The rules that
// turn a tab's text into a view build these; the helper program only draws them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "crash/box/colour.h"

namespace userdb::crash {

struct ViewColumn {
  std::string name;
  bool capitals = false;       // its cells are shown in capital letters
  bool right_aligned = false;  // its cells are right-aligned
  friend bool operator==(const ViewColumn&, const ViewColumn&) = default;
};

// A column from its marked name: a leading "^" asks for capitals, a leading blank (after
// the "^") for right alignment; neither mark is shown.
ViewColumn MarkedColumn(std::string_view marked_name);

enum class RowStyle {
  kNormal,
  kTitle,          // a line beginning with ">>": one cell across the row
  kHighlighted,    // a "+" line of the hardware form, on kHighlightedRowColour
  kExceptionLine,  // the disassembly's line of the exception address
};

inline constexpr Rgb kHighlightedRowColour{0xF0, 0xF8, 0xFF};

struct ViewRow {
  std::vector<std::string> cells;  // trimmed; the capitals of their columns applied
  RowStyle style = RowStyle::kNormal;
  friend bool operator==(const ViewRow&, const ViewRow&) = default;
};

struct ReportView {
  bool plain_text = false;  // shown as `text` in a read-only multi-line text field
  std::string text;
  bool fixed_pitch = false;  // in the fixed-pitch font
  bool column_names_shown = true;
  std::vector<ViewColumn> columns;  // each as wide as its contents
  std::vector<ViewRow> rows;
};

// The lines of a text, split at CR LF, a lone CR and a lone LF.
std::vector<std::string_view> TextLines(std::string_view text);

// A cell's text: without the characters 0 to 32 at both ends.
std::string TrimmedCell(std::string_view cell);

// A list of `columns` (marked names) whose rows are filled afterwards.
ReportView ListView(const std::vector<std::string_view>& marked_columns, bool fixed_pitch);

// A view of the text as it is.
ReportView PlainTextView(std::string_view text);

// The row of a line beginning with ">>".
ViewRow TitleRow(std::string_view line);

// The row's cells trimmed, with the capitals of the view's columns applied, and as many
// cells as the view has columns (missing ones empty).
void AddRow(ReportView& view, std::vector<std::string> cells, RowStyle style = RowStyle::kNormal);

// Whether a line is one of the report's own remarks (">> stack will be calculated soon").
inline bool IsRemarkLine(std::string_view line) {
  return line.starts_with(">>");
}

}  // namespace userdb::crash
