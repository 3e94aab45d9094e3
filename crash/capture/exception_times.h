// The table of the last ten exception times of the process (seconds of the system clock,
// newest first), on which the automatic restart and close decide, handed to the new instance
// by a restart. Any thread may use it.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>

namespace userdb::crash {

class ExceptionTimes {
 public:
  static constexpr size_t kCount = 10;
  using Table = std::array<int64_t, kCount>;  // 0: an empty place

  // Puts `now` at the front; the oldest time falls out.
  void Add(int64_t now);
  Table Get() const;
  void Set(const Table& table);

  // The rule of "AutoRestart" and "AutoClose" for their value `n`: 0 never holds, 1 always;
  // from 2 on it holds when all ten places are filled and each lies no more than n seconds
  // before `now`.
  bool RuleHolds(int32_t n, int64_t now) const;

 private:
  mutable std::mutex mutex_;
  Table table_{};
};

// The system clock in whole seconds.
int64_t SystemSeconds();

}  // namespace userdb::crash
