#include "crash/report/processes_section.h"

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "crash/report/value_formats.h"
#include "platform/folder_entries.h"
#include "platform/path.h"
#include "platform/proc_stat.h"
#include "platform/system_file.h"

namespace userdb::crash {

namespace {

// The audit session id of a process without a session.
constexpr uint32_t kNoSession = 4294967295u;

std::string PadRight(std::string text, size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

std::optional<ProcessLine> ProcessOf(pid_t id) {
  const std::string folder = "/proc/" + std::to_string(id);
  const auto stat = platform::ReadProcStat(folder + "/stat");
  if (!stat) return std::nullopt;  // ended meanwhile
  ProcessLine line;
  line.id = id;
  line.name = stat->name;
  line.priority_class = PriorityClass(stat->policy, stat->nice);
  const std::string session = platform::ReadSystemFileLine(folder + "/sessionid");
  if (!session.empty()) {
    const auto value = static_cast<uint32_t>(std::strtoul(session.c_str(), nullptr, 10));
    if (value != kNoSession) line.session = value;
  }
  char target[4096];
  const ssize_t length = readlink((folder + "/exe").c_str(), target, sizeof target - 1);
  if (length > 0) {
    std::string path(target, static_cast<size_t>(length));
    if (path.ends_with(" (deleted)")) path.resize(path.size() - 10);
    line.name = platform::FileNamePart(path);
    line.folder = platform::FolderPart(path);
    if (line.folder.size() > 1) line.folder.pop_back();
  }
  return line;
}

}  // namespace

std::string PriorityClass(unsigned policy, int nice) {
  if (policy == SCHED_FIFO || policy == SCHED_RR) return "realtime";
  if (policy == SCHED_IDLE || nice >= 15) return "idle";
  if (nice > 0) return "below normal";
  if (nice == 0) return "normal";
  if (nice > -10) return "above normal";
  return "high";
}

std::vector<ProcessLine> RunningProcesses() {
  std::vector<ProcessLine> processes;
  for (const std::string& name : platform::FolderEntries("/proc")) {
    char* end = nullptr;
    const long id = std::strtol(name.c_str(), &end, 10);
    if (*end != '\0' || id <= 0) continue;
    if (auto line = ProcessOf(static_cast<pid_t>(id))) processes.push_back(std::move(*line));
  }
  return processes;
}

std::string ProcessesText(const std::vector<ProcessLine>& processes) {
  size_t id_digits = 0, name_width = 0, session_width = 0, class_width = 0;
  bool sessions = false;
  for (const ProcessLine& process : processes) {
    id_digits = std::max(id_digits, HexText(static_cast<uint64_t>(process.id)).size());
    name_width = std::max(name_width, process.name.size());
    if (process.session) {
      sessions = sessions || *process.session != 0;
      session_width = std::max(session_width, std::to_string(*process.session).size());
    }
    class_width = std::max(class_width, process.priority_class.size());
  }
  std::string text;
  for (const ProcessLine& process : processes) {
    if (!text.empty()) text += "\r\n";
    const std::string id = HexText(static_cast<uint64_t>(process.id));
    text += std::string(id_digits - id.size(), '0') + id + " ";
    text += PadRight(process.name, name_width + 1);
    if (sessions) {
      text += PadRight(process.session ? std::to_string(*process.session) : "", session_width + 1);
    }
    text += PadRight(process.priority_class, class_width + 1);
    text += process.folder;
  }
  return text;
}

std::string ProcessesSection() {
  return ProcessesText(RunningProcesses());
}

}  // namespace userdb::crash
