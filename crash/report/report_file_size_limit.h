// The size limit of a bug report file: when the file has grown beyond it, its oldest
// reports are dropped, whole, so that less than three quarters of the limit remain.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace userdb::crash {

// Where `contents` begin once the oldest reports are dropped; 0 when nothing is dropped.
// Reports are dropped only when the limit is above 0 and `size_before` (the file's size
// before anything was cut from it) is larger than the limit. The contents then begin at
// the first report start ("date/time" after a CR LF, not at the very start) behind which
// less than the limit's three quarters remain; without such a start nothing is dropped.
size_t StartAfterSizeLimit(std::string_view contents, uint64_t size_before, int32_t size_limit);

}  // namespace userdb::crash
