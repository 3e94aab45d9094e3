// Small bug reports in the text form the crash reporter composes: header lines with names
// padded to the longest name plus one, ": " and the value, then sections after an empty
// line, lines joined by CR LF, no line break at the end.
#pragma once

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "crash/config/module_settings.h"

namespace userdb::test_support {

struct SampleReport {
  std::string date_time = "2024-03-07, 14:05:09, 87ms";
  std::string executable = "userdb-transform";
  std::string current_module;  // empty: the crash reporter lives in the executable
  std::string module_date_time = "2018-01-11 10:00";
  std::string version = "1.0.1.16";
  std::string checksums = "$0a1b2c3d, $00ff00ff, $12345678";
  std::optional<std::string> exception_class = "FileOpenError";  // none: a freeze
  std::string main_thread = "00401a2b +0e userdb-transform MainWindow 41 +3 Transform";
  std::string filler;  // an extra section of this text, to give a report a size

  // The header lines in their order; values left empty are left out.
  std::vector<std::pair<std::string, std::string>> Header() const {
    std::vector<std::pair<std::string, std::string>> header = {
        {"date/time", date_time},
        {"computer name", "OFFICE-PC"},
        {"user name", "operator"},
        {"operating system", "Debian GNU/Linux 12 (bookworm) build 6.1"},
        {"process id", "$5ac"},
        {"executable", executable},
        {"current module", current_module},
        {current_module.empty() ? "exec. date/time" : "module date/time", module_date_time},
        {"version", version},
        {"compiled with", "g++ 12.2.0"},
        {"Quorvex version", "3.0e"},
        {"callstack crc", checksums},
        {"exception number", "1"},
    };
    if (exception_class) {
      header.emplace_back("exception class", *exception_class);
      header.emplace_back("exception message",
                          "Datei /tmp/x kann nicht ge\xF6"
                          "ffnet werden.");
    } else {
      header.emplace_back("exception message", "Die Anwendung reagiert nicht mehr.");
    }
    return header;
  }

  std::string Text() const {
    const auto header = Header();
    size_t width = 0;
    for (const auto& [name, value] : header) width = std::max(width, name.size() + 1);
    std::string text;
    for (const auto& [name, value] : header) {
      if (value.empty()) continue;
      if (!text.empty()) text += "\r\n";
      text += name + std::string(width - name.size(), ' ') + ": " + value;
    }
    text += "\r\n\r\nmain thread ($5ac):\r\n" + main_thread;
    if (!filler.empty()) text += "\r\n\r\nfiller:\r\n" + filler;
    return text;
  }
};

// The settings of this program that the bug report file uses.
inline std::shared_ptr<const crash::ModuleSettings> ReportFileSettings() {
  crash::PropertyList properties;
  properties.Append(crash::TextProperty("BugRepFile", "bugreport.txt"));
  properties.Append(crash::BooleanProperty("AppendBugReps", true));
  properties.Append(crash::IntegerProperty("BugRepFileSize", 200000));
  properties.Append(crash::BooleanProperty("NoDupExcepts", true));
  properties.Append(crash::BooleanProperty("NoDupFreezes", true));
  properties.Append(crash::IntegerProperty("DupExceptDef", 1));
  properties.Append(crash::IntegerProperty("DupFreezeDef", 2));
  return std::make_shared<crash::ModuleSettings>(crash::SettingsOrigin{}, std::move(properties),
                                                 nullptr);
}

}  // namespace userdb::test_support
