#include "crash/capture/thread_states.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "crash/capture/thread_registry.h"
#include "platform/module_section.h"

namespace userdb::crash {

namespace {

class WaitingThread {
 public:
  explicit WaitingThread(bool block_signal) {
    thread_ = std::thread([this, block_signal] {
      if (block_signal) {
        sigset_t blocked;
        sigemptyset(&blocked);
        sigaddset(&blocked, SIGRTMIN + kThreadStateSignalOffset);
        pthread_sigmask(SIG_BLOCK, &blocked, nullptr);
      }
      id_ = CurrentThreadId();
      while (!stop_) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    while (id_ == 0) std::this_thread::yield();
  }
  ~WaitingThread() {
    stop_ = true;
    thread_.join();
  }
  pid_t Id() const { return id_; }

 private:
  std::atomic<pid_t> id_{0};
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

TEST(ThreadStates, EveryThreadAnswersWithItsRegisters) {
  ThreadStateCollector collector;
  WaitingThread first(false), second(false);
  const pid_t threads[] = {first.Id(), CurrentThreadId(), second.Id()};
  const std::vector<ThreadState> states = collector.Collect(threads);
  ASSERT_EQ(states.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(states[i].id, threads[i]);
    EXPECT_TRUE(states[i].answered) << i;
    EXPECT_TRUE(platform::ModuleContaining(
        reinterpret_cast<const void*>(states[i].context.InstructionPointer())))
        << "its instruction lies in a module";
    EXPECT_NE(states[i].context.StackPointer(), 0u);
  }
}

TEST(ThreadStates, AThreadThatBlocksTheSignalStaysUnansweredAfterTheLimit) {
  ThreadStateCollector collector;
  WaitingThread blocking(true), answering(false);
  const pid_t threads[] = {blocking.Id(), answering.Id()};
  const auto start = std::chrono::steady_clock::now();
  const std::vector<ThreadState> states = collector.Collect(threads, std::chrono::milliseconds(50));
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_FALSE(states[0].answered);
  EXPECT_TRUE(states[1].answered);
  EXPECT_GE(elapsed, std::chrono::milliseconds(50));
  // Its answer, should it come later, finds its request given up; a new collection works.
  const pid_t again[] = {answering.Id()};
  EXPECT_TRUE(collector.Collect(again)[0].answered);
}

TEST(ThreadStates, AThreadThatEndedIsNotAnswered) {
  ThreadStateCollector collector;
  pid_t ended = 0;
  std::thread([&] { ended = CurrentThreadId(); }).join();
  const pid_t threads[] = {ended};
  EXPECT_FALSE(collector.Collect(threads, std::chrono::milliseconds(10))[0].answered);
}

TEST(ThreadStates, ASignalOfAnotherSenderIsIgnored) {
  ThreadStateCollector collector;
  // Sent as a plain kill: no request of ours, and the process goes on.
  raise(SIGRTMIN + kThreadStateSignalOffset);
  SUCCEED();
}

// A thread blocked in read() on a pipe: the kernel restarts the call after the signal.
class ReadingThread {
 public:
  ReadingThread() {
    if (pipe(ends_) != 0) return;
    thread_ = std::thread([this] {
      id_ = CurrentThreadId();
      char byte;
      [[maybe_unused]] const ssize_t got = read(ends_[0], &byte, 1);
    });
    while (id_ == 0) std::this_thread::yield();
    // Until it waits in the call ("0" is read's number).
    const std::string syscall = "/proc/self/task/" + std::to_string(id_) + "/syscall";
    for (int i = 0; i < 5000 && !FirstWordIs(syscall, "0"); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  ~ReadingThread() {
    [[maybe_unused]] const ssize_t written = write(ends_[1], "x", 1);
    thread_.join();
    close(ends_[0]);
    close(ends_[1]);
  }
  pid_t Id() const { return id_; }

 private:
  static bool FirstWordIs(const std::string& path, const std::string& word) {
    std::ifstream in(path);
    std::string first;
    in >> first;
    return first == word;
  }

  int ends_[2] = {-1, -1};
  std::atomic<pid_t> id_{0};
  std::thread thread_;
};

TEST(ThreadStates, AThreadWaitingInASystemCallStandsAfterItsSyscallInstruction) {
  ThreadStateCollector collector;
  ReadingThread reading;
  const pid_t threads[] = {reading.Id()};
  for (int round = 0; round < 3; ++round) {
    const std::vector<ThreadState> states = collector.Collect(threads, std::chrono::seconds(5));
    ASSERT_TRUE(states[0].answered);
    const auto* at = reinterpret_cast<const uint8_t*>(states[0].context.InstructionPointer());
    EXPECT_EQ(at[-2], 0x0f) << round;
    EXPECT_EQ(at[-1], 0x05) << round;
  }
}

}  // namespace

}  // namespace userdb::crash
