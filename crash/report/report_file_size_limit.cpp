#include "crash/report/report_file_size_limit.h"

#include <algorithm>

#include "crash/report/report_file_format.h"

namespace userdb::crash {

size_t StartAfterSizeLimit(std::string_view contents, uint64_t size_before, int32_t size_limit) {
  if (size_limit <= 0 || size_before <= static_cast<uint64_t>(size_limit)) return 0;
  const size_t keep_below = static_cast<size_t>(size_limit - size_limit / 4);
  // A report start at `p` leaves contents.size() - p bytes from its CR LF on; the first one
  // with fewer than `keep_below` is the first at or after contents.size() - keep_below + 1.
  const size_t earliest =
      contents.size() >= keep_below ? contents.size() - keep_below + 1 : size_t{1};
  const size_t cut = contents.find(kReportStartAfterLineBreak, std::max<size_t>(earliest, 1));
  return cut == std::string_view::npos ? 0 : cut + 2;  // past the CR LF
}

}  // namespace userdb::crash
