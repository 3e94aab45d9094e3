#include "platform/proc_stat.h"

#include <sstream>
#include <vector>

#include "platform/system_file.h"

namespace userdb::platform {

std::optional<ProcStat> ParseProcStat(const std::string& text) {
  // The name stands in parentheses and may hold blanks and parentheses itself: it ends at the
  // last ")".
  const size_t open = text.find('(');
  const size_t close = text.rfind(')');
  if (open == std::string::npos || close == std::string::npos || close < open) return std::nullopt;
  ProcStat stat;
  stat.name = text.substr(open + 1, close - open - 1);
  std::istringstream rest(text.substr(close + 1));
  std::vector<std::string> fields;  // fields[0] is field 3 of proc(5): the state
  for (std::string field; rest >> field;) fields.push_back(field);
  constexpr size_t kNice = 19 - 3, kRtPriority = 40 - 3, kPolicy = 41 - 3;
  if (fields.size() <= kPolicy || fields[0].size() != 1) return std::nullopt;
  try {
    stat.state = fields[0][0];
    stat.nice = std::stoi(fields[kNice]);
    stat.rt_priority = static_cast<unsigned>(std::stoul(fields[kRtPriority]));
    stat.policy = static_cast<unsigned>(std::stoul(fields[kPolicy]));
  } catch (const std::exception&) {
    return std::nullopt;
  }
  return stat;
}

std::optional<ProcStat> ReadProcStat(const std::string& path) {
  const auto text = ReadSystemFile(path, 4096);
  if (!text) return std::nullopt;
  return ParseProcStat(*text);
}

}  // namespace userdb::platform
