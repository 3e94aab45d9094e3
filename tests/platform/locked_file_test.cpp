// Locked files: how long an open waits for another holder, and the temporary files that
// writers killed before their rename leave behind.
#include "platform/locked_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/whole_file.h"
#include "tests/support/file_held_elsewhere.h"
#include "tests/support/temp_folder.h"

namespace userdb::platform {

namespace {

using namespace std::chrono_literals;
using test_support::FileHeldElsewhere;
using test_support::ReadFile;
using test_support::TempFolder;
using test_support::WriteFile;

using Clock = std::chrono::steady_clock;

constexpr LockedFile::Options kReadWrite{.access = O_RDWR};

TEST(LockedFileTest, AnOpenWaitsForTheLockAsLongAsItIsTold) {
  TempFolder folder;
  const std::string path = folder / "f";
  WriteFile(path, "theirs");
  FileHeldElsewhere holder(path, FileHeldElsewhere::Hold::kExclusiveLock);
  ASSERT_TRUE(holder.Held());

  const auto start = Clock::now();
  EXPECT_EQ(LockedFile::Open(path, kReadWrite, LockWait::None()).OpenError(), EWOULDBLOCK);
  EXPECT_EQ(LockedFile::Open(path, kReadWrite, LockWait::For(200ms)).OpenError(), EWOULDBLOCK);
  EXPECT_GE(Clock::now() - start, 200ms);

  std::thread release([&] {
    std::this_thread::sleep_for(200ms);
    holder.Release();
  });
  LockedFile file = LockedFile::Open(path, kReadWrite, LockWait::Unlimited());
  release.join();
  ASSERT_TRUE(file.IsOpen());
  EXPECT_EQ(file.ReadAll(100), "theirs");
}

TEST(LockedFileTest, ReadingStopsAtTheLimit) {
  TempFolder folder;
  WriteFile(folder / "f", "0123456789");
  LockedFile file = LockedFile::Open(folder / "f", kReadWrite, LockWait::None());
  ASSERT_TRUE(file.IsOpen());
  EXPECT_EQ(file.ReadAll(10), "0123456789");
  EXPECT_EQ(file.ReadAll(9), std::nullopt);
}

// A writer holds a lock on its temporary file until it has renamed it into place: an old
// one nobody holds was left by a writer that was killed, and the next write removes it.
TEST(LockedFileTest, StaleTemporaryFilesOfTheSameFileAreRemovedOnTheNextWrite) {
  TempFolder folder;
  struct Case {
    const char* name;
    std::chrono::seconds age;
    bool removed;
  };
  const Case cases[] = {
      {".out.csv.AbC123", 120s, true},    {".out.csv.zz0099", 61s, true},
      {".out.csv.XyZ789", 10s, false},     // its writer may still be on its way
      {".out.csv.held00", 120s, false},    // its writer still holds it
      {".out.csv.bak", 120s, false},       // not a name of ours
      {".out.csv.AbC12", 120s, false},     // nor this
      {".out.csv.AbC-23", 120s, false},    // nor this
      {".other.csv.AbC123", 120s, false},  // another file's
      {"out.csv.AbC123", 120s, false},
  };
  for (const Case& c : cases) {
    WriteFile(folder / c.name, "half written");
    test_support::MakeOlder(folder / c.name, c.age);
  }
  FileHeldElsewhere holder(folder / ".out.csv.held00", FileHeldElsewhere::Hold::kExclusiveLock);
  ASSERT_TRUE(holder.Held());
  // A link of that name is never followed nor removed.
  ASSERT_EQ(symlink("out.csv.AbC123", (folder / ".out.csv.Link00").c_str()), 0);
  test_support::MakeOlder(folder / ".out.csv.Link00", 120s);

  WriteWholeFile(folder / "out.csv", "new");

  EXPECT_EQ(ReadFile(folder / "out.csv"), "new");
  for (const Case& c : cases) {
    EXPECT_EQ(std::filesystem::exists(folder / c.name), !c.removed) << c.name;
  }
  EXPECT_TRUE(std::filesystem::is_symlink(folder / ".out.csv.Link00"));
  EXPECT_EQ(ReadFile(folder / "out.csv.AbC123"), "half written");
}

}  // namespace

}  // namespace userdb::platform
