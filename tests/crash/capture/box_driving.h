// What the end-to-end tests of the window program do with the crash helper's windows, and
// how they read what came of it: the box's copied text, the program's exit status, a value
// of the report's header, a report assistant walked as a user walks it, and a mail program
// of the test's own.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <optional>
#include <string>

#include "tests/crash/capture/failing_program.h"

namespace userdb::test_support {

// What Ctrl+C on the box copies: the exception message, or the report while it is shown.
inline std::string CopiedText(const std::string& box) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->clear();
  Keys(box, "ctrl+c");
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (clipboard->text().isEmpty() && std::chrono::steady_clock::now() < end) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return clipboard->text().toStdString();
}

inline bool Exited(const std::optional<int>& status, int code) {
  return status && WIFEXITED(*status) && WEXITSTATUS(*status) == code;
}

inline bool Killed(const std::optional<int>& status, int signal) {
  return status && WIFSIGNALED(*status) && WTERMSIG(*status) == signal;
}

inline std::string HeaderValue(const std::string& report, const std::string& name) {
  const size_t at = report.find("\r\n" + name);
  if (at == std::string::npos) return {};
  const size_t start = report.find(": ", at) + 2;
  return report.substr(start, report.find("\r\n", start) - start);
}

inline void TypeInto(const std::string& window, const std::string& text) {
  Command("xdotool windowactivate --sync " + window + " 2>/dev/null; xdotool type --delay 30 '" +
          text + "'");
}

// The assistant page `page` (its description's first line) once it has the focus on one of
// `focused`; empty when it does not within ten seconds.
inline std::string AssistantPageFocused(const FailingProgram& program, const std::string& page,
                                        std::initializer_list<std::string> focused) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < end) {
    const std::string description = FileText(program.Folder() + "/assistant.txt");
    if (description.starts_with(page + "\n")) {
      for (const std::string& item : focused) {
        if (description.find("\nfocus " + item + "\n") != std::string::npos) return description;
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return {};
}

// Walks a report assistant of the real box (`title`, `pages` pages) as a user does: an
// address on the contact page, a few words on the details page, the screenshot page left
// as it is. A page that the earlier assistants of the process filled in (its continue
// button focused) is continued as it is.
inline void WalkAssistant(const FailingProgram& program, const std::string& title, int pages) {
  const std::string of = " of " + std::to_string(pages) + " ";
  const std::string search = "--name '^" + title + "$'";
  std::string page =
      AssistantPageFocused(program, "page 1" + of + "ContactForm", {"NameEdit", "ContinueBtn"});
  ASSERT_FALSE(page.empty()) << FileText(program.Folder() + "/assistant.txt");
  std::string window = WaitForWindow(search);
  if (page.find("\nfocus NameEdit\n") != std::string::npos) {
    Keys(window, "Tab");
    TypeInto(window, "ann@example.org");
    ASSERT_FALSE(program.AssistantPage({"ContinueBtn enabled=1"}).empty());
    Keys(window, "Tab Tab Return");
  } else {
    Keys(window, "Return");
  }
  page =
      AssistantPageFocused(program, "page 2" + of + "DetailsForm", {"DetailsMemo", "ContinueBtn"});
  ASSERT_FALSE(page.empty()) << FileText(program.Folder() + "/assistant.txt");
  window = WaitForWindow(search);
  if (page.find("\nfocus DetailsMemo\n") != std::string::npos) {
    TypeInto(window, "it broke");
    ASSERT_FALSE(program.AssistantPage({"text=it broke"}).empty());
    Keys(window, "Tab Return");
  } else {
    Keys(window, "Return");
  }
  if (pages < 3) return;
  ASSERT_FALSE(program.AssistantPage({"page 3" + of + "ScrShotForm", "focus ContinueBtn"}).empty());
  Keys(WaitForWindow(search), "Return");
}

// Types `path` into the crash helper's save dialog and accepts it; typed again while the
// dialog stays (its file name field may not have had the focus yet). Whether it went.
inline bool ChooseInSaveDialog(const std::string& dialog, const std::string& path) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    Command("xdotool windowactivate --sync " + dialog + " key ctrl+a type --delay 1 '" + path +
            "'");
    Command("xdotool key Return");
    if (WindowGone(dialog, std::chrono::seconds(5))) return true;
  }
  return false;
}

// A mail program of the test's own that keeps what it was given: its arguments, one per
// line at once, and after `seconds` (a mail program reads its attachments when it gets to
// them) a copy of each attachment; then it notes that it ended.
inline std::string FakeMailProgram(const std::string& folder, int exit_status, double seconds = 0) {
  const std::string bin = folder + "/bin";
  std::filesystem::create_directories(bin);
  std::filesystem::create_directories(folder + "/attached");
  std::ofstream script(bin + "/xdg-email");
  script << "#!/bin/sh\n"
         << "printf '%s\\n' \"$@\" > '" << folder << "/mail-arguments.txt'\n"
         << "sleep " << seconds << "\n"
         << "while [ $# -gt 0 ]; do\n"
         << "  if [ \"$1\" = --attach ]; then cp \"$2\" '" << folder << "/attached/'; shift; fi\n"
         << "  shift\n"
         << "done\n"
         << "touch '" << folder << "/mail-ended'\n"
         << "exit " << exit_status << "\n";
  script.close();
  std::filesystem::permissions(bin + "/xdg-email", std::filesystem::perms::owner_all);
  // No mail handler of the desktop either: what the mail program refuses is not delivered.
  std::ofstream query(bin + "/xdg-mime");
  query << "#!/bin/sh\nexit 0\n";
  query.close();
  std::filesystem::permissions(bin + "/xdg-mime", std::filesystem::perms::owner_all);
  return bin;
}

// A window as it was found: its id, and the process that showed it (the X server gives a
// window of a later client, such as the next crash helper, the same id).
struct ShownWindow {
  std::string id;
  std::string process;

  bool Found() const { return !id.empty(); }
  // Whether it went (its id is gone, or another process's now) within `limit`.
  bool Gone(std::chrono::milliseconds limit) const {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
      if (WindowProcess(id) != process) return true;
      if (std::chrono::steady_clock::now() >= end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
};

// Whether the window stands above the others (the window manager's "above" state).
inline bool Topmost(const std::string& window) {
  return Command("xprop -id " + window + " _NET_WM_STATE").find("_NET_WM_STATE_ABOVE") !=
         std::string::npos;
}

// The crash helper's box, once one is shown within `limit`; not found when none is.
inline ShownWindow FindBox(std::chrono::milliseconds limit = std::chrono::seconds(15)) {
  const std::string box = WaitForBox(limit);
  return {box, box.empty() ? std::string() : WindowProcess(box)};
}

// Leaves `box` with Escape (continue where the exception can be continued), pressed again
// while the box is still busy with a save or send that just ended.
inline bool LeaveBox(const ShownWindow& box) {
  for (int attempt = 0; attempt < 5; ++attempt) {
    Keys(box.id, "Escape");
    if (box.Gone(std::chrono::seconds(2))) return true;
  }
  return false;
}

}  // namespace userdb::test_support
