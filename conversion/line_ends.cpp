#include "conversion/line_ends.h"

#include <cstring>

namespace userdb::conversion {

size_t FindLineEnd(std::string_view bytes, size_t from) {
  // One memchr per kind of line end is much faster than testing each byte for both.
  const char* data = bytes.data();
  const void* lf = std::memchr(data + from, '\n', bytes.size() - from);
  const size_t lf_at = lf ? static_cast<const char*>(lf) - data : bytes.size();
  const void* cr = std::memchr(data + from, '\r', lf_at - from);
  return cr ? static_cast<const char*>(cr) - data : lf_at;
}

size_t CountLineEnds(std::string_view bytes) {
  // Every LF, and every CR that no LF follows; found by memchr, as lines are long.
  const char* const begin = bytes.data();
  const char* const end = begin + bytes.size();
  size_t count = 0;
  for (const char* at = begin; (at = static_cast<const char*>(std::memchr(at, '\n', end - at)));
       ++at) {
    ++count;
  }
  for (const char* at = begin; (at = static_cast<const char*>(std::memchr(at, '\r', end - at)));
       ++at) {
    if (at + 1 == end || at[1] != '\n') ++count;
  }
  return count;
}

}  // namespace userdb::conversion
