#include "crash/capture/exception_times.h"

#include <algorithm>
#include <chrono>

namespace userdb::crash {

void ExceptionTimes::Add(int64_t now) {
  std::lock_guard lock(mutex_);
  std::move_backward(table_.begin(), table_.end() - 1, table_.end());
  table_.front() = now;
}

ExceptionTimes::Table ExceptionTimes::Get() const {
  std::lock_guard lock(mutex_);
  return table_;
}

void ExceptionTimes::Set(const Table& table) {
  std::lock_guard lock(mutex_);
  table_ = table;
}

bool ExceptionTimes::RuleHolds(int32_t n, int64_t now) const {
  if (n <= 0) return false;
  if (n == 1) return true;
  const Table table = Get();
  return std::all_of(table.begin(), table.end(),
                     [&](int64_t time) { return time != 0 && now - time <= n; });
}

int64_t SystemSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace userdb::crash
