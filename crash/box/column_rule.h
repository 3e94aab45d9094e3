// The column rule: the columns of a text laid out in blank-padded columns (the modules,
// processes and cpu registers sections, and any other section without tabs).
//
// Lines beginning with ">>" take no part. The longest line (the first of several as long)
// is the pattern; with fewer than 3 characters there are no columns. A position of the
// pattern from its second to its last-but-one character is a separator when the pattern
// has a blank, "=", "|", or ":" followed by a blank there, and every other line that
// reaches the position has the same character there. With lone separators ignored, at least
// two other lines must also use the position (hold there a character other than a blank, or
// one after it), unless the text has only one non-empty line. A column starts after each
// run of neighbouring separator positions.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace userdb::crash {

struct ColumnSplit {
  std::vector<size_t> separators;  // positions, ascending
  std::vector<size_t> starts;      // where columns start, ascending
};

ColumnSplit FindColumns(const std::vector<std::string_view>& lines, bool ignore_lone_separators);

// The cells of a line: the separators blanked, then cut at the character before each of the
// first `boundaries` column starts (that character is dropped); the last cell takes the rest
// of the line. Cells beyond the end of a short line are empty.
std::vector<std::string> SplitAtColumns(std::string_view line, const ColumnSplit& split,
                                        size_t boundaries);

// The cells of a line cut at fixed boundary positions (each boundary character dropped).
std::vector<std::string> SplitAtPositions(std::string_view line,
                                          const std::vector<size_t>& boundaries);

// The cells of a line separated by tabs, at most `columns` of them: the last takes the rest.
std::vector<std::string> SplitAtTabs(std::string_view line, size_t columns);

}  // namespace userdb::crash
