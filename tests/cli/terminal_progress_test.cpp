// The terminal's progress line: only on a terminal, only after the quiet time, and
// wiped before other output.
#include "cli/terminal_progress.h"

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

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

}  // namespace

}  // namespace userdb::cli
