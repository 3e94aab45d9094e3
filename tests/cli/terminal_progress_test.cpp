// The terminal's progress line: only on a terminal, only after the quiet time, and
// wiped before other output.
#include "cli/terminal_progress.h"

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <poll.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

namespace userdb::cli {

namespace {

// A pseudo-terminal: the program side as a stream, the other side read back.
class PseudoTerminal {
 public:
  PseudoTerminal() {
    openpty(&controller_, &terminal_, nullptr, nullptr, nullptr);
    stream_ = fdopen(terminal_, "w");
  }
  ~PseudoTerminal() {
    std::fclose(stream_);
    close(controller_);
  }
  std::FILE* Stream() const { return stream_; }
  std::string Shown() {
    std::fflush(stream_);
    std::string shown;
    char buffer[256];
    ssize_t got;
    while ((got = read(controller_, buffer, sizeof buffer)) > 0) shown.append(buffer, got);
    return shown;
  }
  int controller_ = -1;

 private:
  int terminal_ = -1;
  std::FILE* stream_ = nullptr;
};

size_t Occurrences(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

TEST(TerminalProgressTest, ShowsThePercentageOnATerminalAndWipesIt) {
  PseudoTerminal terminal;
  fcntl(terminal.controller_, F_SETFL, O_NONBLOCK);
  TerminalProgress progress(terminal.Stream(), std::chrono::milliseconds(0));
  progress.SetTotalParts(1000);
  progress.SetPartsComplete(120);
  progress.SetPartsComplete(124);  // still 12 %: nothing new
  progress.Wipe();
  progress.Wipe();  // nothing shown any more: nothing to wipe
  EXPECT_EQ(terminal.Shown(), "\rConverting:  12 %\r\033[K");
}

TEST(TerminalProgressTest, QuietForShortRuns) {
  PseudoTerminal terminal;
  fcntl(terminal.controller_, F_SETFL, O_NONBLOCK);
  TerminalProgress progress(terminal.Stream());
  progress.SetTotalParts(10);
  progress.SetPartsComplete(5);
  progress.Wipe();
  EXPECT_EQ(terminal.Shown(), "");
}

TEST(TerminalProgressTest, NothingWhenNotATerminal) {
  std::FILE* file = std::tmpfile();
  TerminalProgress progress(file, std::chrono::milliseconds(0));
  progress.SetTotalParts(10);
  progress.SetPartsComplete(5);
  progress.Wipe();
  EXPECT_EQ(std::ftell(file), 0);
  std::fclose(file);
}

TEST(TerminalProgressTest, AHiddenLineStaysAwayWhileAnotherThreadWritesUntilReleased) {
  PseudoTerminal terminal;
  std::string shown;
  std::atomic<bool> reading{true};
  // Read while the line is written: a terminal whose output is not read stops its writers.
  std::thread reader([&] {
    char buffer[4096];
    while (reading) {
      pollfd ready{terminal.controller_, POLLIN, 0};
      if (poll(&ready, 1, 20) <= 0) continue;
      const ssize_t got = read(terminal.controller_, buffer, sizeof buffer);
      if (got > 0) shown.append(buffer, static_cast<size_t>(got));
    }
  });
  TerminalProgress progress(terminal.Stream(), std::chrono::milliseconds(0));
  progress.SetTotalParts(100000);
  std::atomic<bool> converting{true};
  std::thread converter([&] {
    for (int32_t part = 0; converting; part = (part + 1000) % 100000)
      progress.SetPartsComplete(part);
  });
  for (int round = 0; round < 20; ++round) {
    progress.Hide();
    std::fputs("[report]\n", terminal.Stream());
    std::fflush(terminal.Stream());
    progress.Release();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  converting = false;
  converter.join();
  progress.Wipe();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  reading = false;
  reader.join();
  // Each report starts on a line of its own: right after a wiped line, or on a new line.
  EXPECT_EQ(Occurrences(shown, "[report]"), 20u);
  for (size_t at = shown.find("[report]"); at != std::string::npos;
       at = shown.find("[report]", at + 1)) {
    const std::string before = shown.substr(at >= 4 ? at - 4 : 0, at >= 4 ? 4 : at);
    EXPECT_TRUE(at == 0 || before.ends_with("\r\033[K") || before.ends_with("\n"))
        << shown.substr(at >= 40 ? at - 40 : 0, 60);
  }
}

}  // namespace

}  // namespace userdb::cli
