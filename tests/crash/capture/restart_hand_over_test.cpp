// The restart hand-over between two processes, and the integrity checksum of a program file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

#include "crash/capture/file_checksum.h"
#include "crash/capture/restart_hand_over.h"
#include "platform/module_section.h"
#include "tests/support/temp_folder.h"

namespace userdb::crash {

namespace {

TEST(RestartHandOver, TheNewInstanceWaitsForTheOldOneAndTakesItsTimes) {
  // The old instance runs until the test lets it end.
  int release[2];
  ASSERT_EQ(pipe(release), 0);
  const pid_t old_instance = fork();
  if (old_instance == 0) {
    close(release[1]);
    char go;
    _exit(read(release[0], &go, 1) == 1 ? 0 : 1);
  }
  close(release[0]);
  // This process plays the new instance: the hand-over is written under its id.
  const ExceptionTimes::Table times{10, 9, 8, 7, 6, 5, 4, 3, 2, 1};
  ASSERT_TRUE(WriteRestartHandOver(getpid(), {old_instance, times}));
  struct stat status;
  const int fd = shm_open(RestartMemoryName(getpid()).c_str(), O_RDONLY, 0);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(fstat(fd, &status), 0);
  close(fd);
  EXPECT_EQ(status.st_mode & 0777, 0600u);
  EXPECT_EQ(status.st_size, 88);

  std::atomic<bool> released{false};
  bool old_ended_first = false;
  std::optional<RestartHandOver> hand_over;
  std::thread new_instance([&] {
    hand_over = TakeRestartHandOver();
    // Not reaped yet: the old instance's end is seen without taking its status.
    siginfo_t ended{};
    old_ended_first =
        released &&
        waitid(P_PID, static_cast<id_t>(old_instance), &ended, WEXITED | WNOHANG | WNOWAIT) == 0 &&
        ended.si_pid == old_instance;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  released = true;
  ASSERT_EQ(write(release[1], "x", 1), 1);
  new_instance.join();
  close(release[1]);
  waitpid(old_instance, nullptr, 0);
  EXPECT_TRUE(old_ended_first) << "the hand-over is taken once the old instance has ended";
  ASSERT_TRUE(hand_over.has_value());
  EXPECT_EQ(hand_over->old_process, old_instance);
  EXPECT_EQ(hand_over->times, times);
  // Taken once: the memory is gone.
  EXPECT_LT(shm_open(RestartMemoryName(getpid()).c_str(), O_RDONLY, 0), 0);
  EXPECT_FALSE(TakeRestartHandOver().has_value());
}

TEST(RestartHandOver, LeavesMemoryWithOtherPermissionsAlone) {
  const std::string name = RestartMemoryName(getpid());
  const int fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0644);
  ASSERT_GE(fd, 0);
  fchmod(fd, 0644);
  ASSERT_EQ(ftruncate(fd, 88), 0);
  close(fd);
  EXPECT_FALSE(TakeRestartHandOver().has_value());
  EXPECT_EQ(shm_unlink(name.c_str()), 0);  // still there: not taken
}

TEST(RestartHandOver, NamesTheMemoryByTheNewProcessInLowerCaseHex) {
  EXPECT_EQ(RestartMemoryName(0x1a2b), "/QuorvexRestart$1a2b");
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

TEST(FileChecksum, HoldsThroughStrippingAndFailsOnAChangedByte) {
  test_support::TempFolder folder;
  const std::string program = folder.Path() + "/program";
  const std::string checksum = folder.Path() + "/checksum";
  const std::string copy = "cp " + platform::ExecutablePath() + " " + program;
  ASSERT_EQ(std::system(copy.c_str()), 0);
  const auto sum = LoadedContentChecksum(program);
  ASSERT_TRUE(sum.has_value());
  EXPECT_EQ(CheckFileIntegrity(program), IntegrityCheck::kNotChecked);
  std::ofstream(checksum, std::ios::binary) << ChecksumSectionBytes(*sum);
  const std::string add = "objcopy --add-section TFILECRC=" + checksum + " " + program;
  ASSERT_EQ(std::system(add.c_str()), 0);
  EXPECT_EQ(CheckFileIntegrity(program), IntegrityCheck::kIntact);
  ASSERT_EQ(std::system(("strip " + program).c_str()), 0);
  EXPECT_EQ(CheckFileIntegrity(program), IntegrityCheck::kIntact);

  // A byte of the code changed.
  std::string bytes = ReadAll(program);
  const auto image = platform::ReadElfImage(program);
  ASSERT_TRUE(image.has_value());
  for (const platform::ElfSegment& segment : image->segments) {
    if (segment.type == 1 && (segment.flags & 1) != 0) {  // PT_LOAD, executable
      bytes[segment.offset + segment.filesz / 2] ^= 0x5a;
      break;
    }
  }
  std::ofstream(program, std::ios::binary | std::ios::trunc) << bytes;
  EXPECT_EQ(CheckFileIntegrity(program), IntegrityCheck::kDamaged);
}

}  // namespace

}  // namespace userdb::crash
