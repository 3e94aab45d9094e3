// Where the lines of a user database end: at CR, LF or CR LF. A loaded list and a file read
// piece by piece cut their lines by these two rules.
#pragma once

#include <cstddef>
#include <string_view>

namespace userdb::conversion {

// The position of the first CR or LF at or after `from`; the size of `bytes` when there is
// none.
size_t FindLineEnd(std::string_view bytes, size_t from);

// How many line ends the bytes hold, CR LF counted as one.
size_t CountLineEnds(std::string_view bytes);

// The position after the line end at `position`: past one CR, then past one LF, where
// they are.
inline size_t PastLineEnd(std::string_view bytes, size_t position) {
  if (position < bytes.size() && bytes[position] == '\r') ++position;
  if (position < bytes.size() && bytes[position] == '\n') ++position;
  return position;
}

}  // namespace userdb::conversion
