// The real programs, copied with the crash helper into a test's folder (so that their bug
// report file lands there), started as a user starts them with the failure hook preloaded,
// and driven through the X server: the window's controls, the crash helper's box.
#pragma once

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/temp_folder.h"

namespace userdb::test_support {

inline constexpr char kWindowTitle[] = "Transform UserDb.bin for VI9600/MD2017 usage";

// The failure hook's raising functions, as a report names them.
inline constexpr char kThrowTestFailure[] = "userdb.test_hook.ThrowTestFailure";
inline constexpr char kWriteThroughNull[] = "userdb.test_hook.WriteThroughNull";

inline std::string Command(const std::string& command) {
  std::string output;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
    pclose(pipe);
  }
  while (!output.empty() && (output.back() == '\n' || output.back() == ' ')) output.pop_back();
  return output;
}

inline std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

inline size_t Occurrences(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// The first visible window that `search` (xdotool search arguments) finds within `limit`.
inline std::string WaitForWindow(const std::string& search,
                                 std::chrono::milliseconds limit = std::chrono::seconds(15)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    const std::string found = Command("xdotool search --onlyvisible " + search + " 2>/dev/null");
    if (!found.empty()) return found.substr(0, found.find('\n'));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return {};
}

// A box of the crash helper, not its please-wait box, which comes and goes while a report is
// composed: both the class ("userdb-crash-helper") and the title (the program's name) of a box
// start with "userdb".
inline std::string WaitForBox(std::chrono::milliseconds limit = std::chrono::seconds(15)) {
  return WaitForWindow("--all --classname --name '^userdb'", limit);
}

// The process that shows `window`; empty when it is gone.
inline std::string WindowProcess(const std::string& window) {
  return Command("xdotool getwindowpid " + window + " 2>/dev/null");
}

// Whether the window went within `limit`. (The X server may give a later window of another
// process the same id: the window's process tells them apart.)
inline bool WindowGone(const std::string& window, std::chrono::milliseconds limit) {
  const std::string process = WindowProcess(window);
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (process.empty() || WindowProcess(window) != process) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

inline void Keys(const std::string& window, const std::string& keys) {
  Command("xdotool windowactivate --sync " + window + " 2>/dev/null; xdotool key --delay 50 " +
          keys);
}

// Types `path` into the path field of the program's `window`, selects the first radio type
// and presses "Transform".
inline void TransformInWindow(const std::string& window, const std::string& path) {
  Command("xdotool windowactivate --sync " + window);
  Command("xdotool mousemove --window " + window + " 28 80 click 1");
  Command("xdotool mousemove --window " + window + " 255 34 click 1 key ctrl+a type --delay 1 '" +
          path + "'");
  Command("xdotool mousemove --window " + window + " 55 116 click 1");
}

class FailingProgram {
 public:
  // Copies `program` (and the crash helper beside it) into a folder of its own; `settings`,
  // when given, replaces its crash reporter's settings record (a stream file).
  explicit FailingProgram(const std::string& program, const std::string& settings = {}) {
    const std::filesystem::path source(program);
    program_ = folder_.Path() + "/" + source.filename().string();
    std::filesystem::copy_file(source, program_);
    std::filesystem::copy_file(source.parent_path() / "userdb-crash-helper",
                               folder_.Path() + "/userdb-crash-helper");
    if (!settings.empty()) {
      std::system(("objcopy --update-section TQUORVEX=" + settings + " " + program_).c_str());
    }
    std::filesystem::create_directory(folder_.Path() + "/config");
    std::filesystem::create_directory(folder_.Path() + "/runtime");
    std::filesystem::permissions(folder_.Path() + "/runtime", std::filesystem::perms::owner_all);
    std::filesystem::copy_file(USERDB_SAMPLE_DATABASE, folder_.Path() + "/UserDb.bin");
  }
  ~FailingProgram() {
    if (pid_ > 0 && !ended_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }

  const std::string& Folder() const { return folder_.Path(); }
  pid_t Pid() const { return pid_; }
  // A copy of the sample database named so that opening it fails as `failure` says.
  std::string FailingInput(const std::string& failure) const {
    const std::string path = folder_.Path() + "/fail-" + failure + ".bin";
    if (!std::filesystem::exists(path)) {
      std::filesystem::copy_file(folder_.Path() + "/UserDb.bin", path);
    }
    return path;
  }
  std::string ReportFile() const { return FileText(folder_.Path() + "/bugreport.txt"); }
  // What the crash helper's box shows (its description), once it contains `part`.
  std::string BoxDescription(const std::string& part = "button:") const {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::string description = FileText(folder_.Path() + "/box.txt");
    while (description.find(part) == std::string::npos && std::chrono::steady_clock::now() < end) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      description = FileText(folder_.Path() + "/box.txt");
    }
    return description;
  }
  std::string Output() const { return FileText(folder_.Path() + "/out.txt"); }
  std::string Errors() const { return FileText(folder_.Path() + "/err.txt"); }

  // Programs of the test's own (a fake mail program) found first on the search path.
  void PutFirstOnSearchPath(const std::string& folder) { search_path_first_ = folder; }

  // What the report assistant's page shows (its description), once it contains every one
  // of `parts`; empty when it does not within ten seconds.
  std::string AssistantPage(std::initializer_list<std::string> parts) const {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < end) {
      const std::string description = FileText(folder_.Path() + "/assistant.txt");
      bool all = true;
      for (const std::string& part : parts)
        all = all && description.find(part) != std::string::npos;
      if (all) return description;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return {};
  }

  void Start(const std::vector<std::string>& arguments = {}) {
    pid_ = fork();
    if (pid_ == 0) {
      setenv("XDG_CONFIG_HOME", (folder_.Path() + "/config").c_str(), 1);
      // The crash reporter's temporary folder is one per program name and user, and every
      // instance empties it when it starts and ends: the programs of tests that run at the
      // same time would take each other's attachments away.
      setenv("XDG_RUNTIME_DIR", (folder_.Path() + "/runtime").c_str(), 1);
      setenv("LD_PRELOAD", USERDB_FAILURE_HOOK, 1);
      setenv("USERDB_CRASH_HELPER_DESCRIBE", (folder_.Path() + "/box.txt").c_str(), 1);
      setenv("USERDB_CRASH_ASSISTANT_DESCRIBE", (folder_.Path() + "/assistant.txt").c_str(), 1);
      if (!search_path_first_.empty()) {
        const char* path = std::getenv("PATH");
        setenv("PATH", (search_path_first_ + ":" + (path != nullptr ? path : "")).c_str(), 1);
      }
      const rlimit no_core{0, 0};
      setrlimit(RLIMIT_CORE, &no_core);
      freopen((folder_.Path() + "/out.txt").c_str(), "w", stdout);
      freopen((folder_.Path() + "/err.txt").c_str(), "w", stderr);
      std::vector<char*> argv{program_.data()};
      for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
      argv.push_back(nullptr);
      execv(program_.c_str(), argv.data());
      _exit(127);
    }
  }

  // The wait status once the program ended within `limit`; none while it runs.
  std::optional<int> WaitForEnd(std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (std::chrono::steady_clock::now() < end) {
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        ended_ = true;
        return status;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return std::nullopt;
  }

  // Whether the program still runs: one that ended is not running, even while it waits to
  // be reaped (a zombie still answers kill(pid, 0)). Leaves its status for WaitForEnd.
  bool Running() const {
    if (ended_ || pid_ <= 0) return false;
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == 0;
  }

  // The window, once shown.
  std::string Window() {
    if (window_.empty()) {
      window_ = WaitForWindow("--name '^" + std::string(kWindowTitle) + "$'");
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    return window_;
  }

  // Types `path` into the window's path field, selects the first radio type and presses
  // "Transform".
  void Transform(const std::string& path) { TransformInWindow(Window(), path); }

 private:
  TempFolder folder_;
  std::string program_;
  std::string window_;
  std::string search_path_first_;
  pid_t pid_ = -1;
  bool ended_ = false;
};

}  // namespace userdb::test_support
