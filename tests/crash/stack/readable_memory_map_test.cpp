#include "crash/stack/readable_memory_map.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>

namespace userdb::crash {
namespace {

TEST(ReadableMemoryMapTest, MergesReadableNeighboursAndLeavesGuardPagesOut) {
  const ReadableMemoryMap map = ReadableMemoryMap::Parse(
      "00400000-00401000 r--p 00000000 08:01 1 /usr/bin/program\n"
      "00401000-00402000 r-xp 00001000 08:01 1 /usr/bin/program\n"
      "00402000-00403000 ---p 00000000 00:00 0\n"
      "00403000-00404000 rw-p 00000000 00:00 0 [heap]\n"
      "00405000-00406000 rwxp 00000000 00:00 0\n"
      "not a line of the maps file\n");
  EXPECT_EQ(map.RangeCount(), 3u);
  const auto merged = map.ReadableRangeAt(0x401800);
  ASSERT_TRUE(merged.has_value());
  EXPECT_EQ(merged->start, 0x400000u);
  EXPECT_EQ(merged->end, 0x402000u);
  EXPECT_FALSE(map.IsReadable(0x402000));  // the guard page
  EXPECT_TRUE(map.IsReadable(0x403000));
  EXPECT_FALSE(map.IsReadable(0x404800));  // the gap
  EXPECT_TRUE(map.IsReadable(0x405fff));
  EXPECT_FALSE(map.IsReadable(0x406000));
  EXPECT_TRUE(map.IsReadable(0x400000, 0x402000));
  EXPECT_FALSE(map.IsReadable(0x400000, 0x402001));
}

class SafeReadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    page_ = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    pages_ = static_cast<char*>(
        mmap(nullptr, 3 * page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(pages_, MAP_FAILED);
    std::memset(pages_, 0x5A, 3 * page_);
  }
  void TearDown() override { munmap(pages_, 3 * page_); }

  size_t page_ = 0;
  char* pages_ = nullptr;
};

TEST_F(SafeReadTest, ReadsReadableMemoryAndRefusesTheRest) {
  ASSERT_EQ(mprotect(pages_ + page_, page_, PROT_NONE), 0);
  const ReadableMemoryMap map = ReadableMemoryMap::Take();
  char buffer[16];
  EXPECT_TRUE(map.Read(reinterpret_cast<uintptr_t>(pages_), buffer, sizeof buffer));
  EXPECT_EQ(buffer[0], 0x5A);
  EXPECT_FALSE(map.Read(reinterpret_cast<uintptr_t>(pages_ + page_), buffer, sizeof buffer));
  // A read that runs from readable memory into the guard page fails whole.
  EXPECT_FALSE(map.Read(reinterpret_cast<uintptr_t>(pages_ + page_ - 8), buffer, sizeof buffer));
  EXPECT_FALSE(map.Read(0, buffer, sizeof buffer));
}

// Memory unmapped after the map was taken is refused by the kernel's copy.
TEST_F(SafeReadTest, RefusesMemoryUnmappedSinceTheMapWasTaken) {
  const ReadableMemoryMap map = ReadableMemoryMap::Take();
  ASSERT_TRUE(map.IsReadable(reinterpret_cast<uintptr_t>(pages_ + 2 * page_)));
  ASSERT_EQ(munmap(pages_ + 2 * page_, page_), 0);
  char buffer[16];
  EXPECT_FALSE(map.Read(reinterpret_cast<uintptr_t>(pages_ + 2 * page_), buffer, sizeof buffer));
}

TEST(KernelMemoryReaderTest, RefusesNullAndUnmappedAddresses) {
  const KernelMemoryReader reader;
  uint64_t value = 0;
  EXPECT_FALSE(reader.ReadValue(0, value));
  EXPECT_FALSE(reader.ReadValue(0x1000, value));
  const uint64_t known = 0x1122334455667788;
  EXPECT_TRUE(reader.ReadValue(reinterpret_cast<uintptr_t>(&known), value));
  EXPECT_EQ(value, known);
}

}  // namespace
}  // namespace userdb::crash
