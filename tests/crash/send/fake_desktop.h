// Stand-ins for the desktop's xdg-email, xdg-mime and xdg-open in a folder of their own,
// for a search path of the test's own: each records the arguments it was given, prints
// what it is told, may take its time, and ends with the exit status it is told.
#pragma once

#include <sys/stat.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "crash/send/mail_delivery.h"
#include "tests/support/temp_folder.h"

namespace userdb::test_support {

class FakeDesktop {
 public:
  FakeDesktop() {
    mkdir(Bin().c_str(), 0755);
    mkdir(Log().c_str(), 0755);
  }

  // Installs `name`. `output` is printed as it is; `seconds` are slept before the end, which
  // the program notes when it gets there.
  void Program(const std::string& name, int exit_status, const std::string& output = "",
               double seconds = 0) {
    const std::string path = Bin() + "/" + name;
    std::string script = "#!/bin/sh\nprintf '%s\\0' \"$@\" > '" + Log() + "/" + name + "'\n";
    script += "printf '%s' '" + output + "'\n";
    if (seconds > 0) script += "sleep " + std::to_string(seconds) + "\n";
    script += "touch '" + Log() + "/" + name + ".ended'\n";
    script += "exit " + std::to_string(exit_status) + "\n";
    WriteFile(path, script);
    chmod(path.c_str(), 0755);
  }

  // The arguments `name` was called with (without its own path); none when it was not
  // called.
  std::optional<std::vector<std::string>> ArgumentsOf(const std::string& name) const {
    std::string recorded;
    try {
      recorded = ReadFile(Log() + "/" + name);
    } catch (const std::exception&) {
      return std::nullopt;
    }
    std::vector<std::string> arguments;
    for (size_t start = 0; start < recorded.size();) {
      const size_t end = recorded.find('\0', start);
      arguments.push_back(recorded.substr(start, end - start));
      start = end + 1;
    }
    return arguments;
  }

  // Whether `name` got to its end by itself (it was neither stopped nor is it still running).
  bool EndedOnItsOwn(const std::string& name) const {
    struct stat status;
    return stat((Log() + "/" + name + ".ended").c_str(), &status) == 0;
  }

  // The fake programs, with short limits so that the time-outs of the tests stay short.
  crash::MailPrograms Programs() const {
    crash::MailPrograms programs;
    programs.search_path = Bin();
    programs.mail_program_limit = std::chrono::milliseconds(2000);
    programs.query_limit = std::chrono::milliseconds(1000);
    programs.open_watch = std::chrono::milliseconds(300);
    return programs;
  }

 private:
  std::string Bin() const { return folder_ / "bin"; }
  std::string Log() const { return folder_ / "log"; }

  TempFolder folder_;
};

}  // namespace userdb::test_support
