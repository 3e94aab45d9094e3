#include "crash/stack/symbol_cache.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "crash/stack/map_file_lookup.h"
#include "tests/crash/stack/symbol_test_support.h"
#include "tests/support/temp_folder.h"

namespace userdb::crash {
namespace {

using test::WriteInPlace;
using test_support::TempFolder;

class SymbolCacheTest : public ::testing::Test {
 protected:
  ModuleInfo Module() const { return *ModuleInfoOfFile(path_); }

  TempFolder folder_;
  const std::string path_ = folder_ / "libcached.so";
  const test::LibraryBuilds builds_ = test::LibraryBuildsOfOneSize(SYMTEST_DWARF, SYMTEST_REBUILT);
  const std::string& first_ = builds_.first;
  const std::string& rebuilt_ = builds_.rebuilt;
  SymbolCache cache_;
};

TEST_F(SymbolCacheTest, AnUnchangedFileKeepsItsTable) {
  WriteInPlace(path_, first_, {1'700'000'000, 5});
  const auto table = cache_.TableFor(Module());
  ASSERT_TRUE(table->Valid());
  EXPECT_EQ(cache_.TableFor(Module()), table);
  EXPECT_EQ(cache_.Count(), 1u);
}

TEST_F(SymbolCacheTest, AFileRewrittenWithinTheSameSecondGetsANewTable) {
  WriteInPlace(path_, first_, {1'700'000'000, 5});
  const auto old_table = cache_.TableFor(Module());
  WriteInPlace(path_, rebuilt_, {1'700'000'000, 6});

  const auto new_table = cache_.TableFor(Module());
  ASSERT_TRUE(new_table->Valid());
  EXPECT_NE(new_table, old_table);
  EXPECT_NE(FindPublicByName(*new_table, true, "symbol_test_library_rebuilt.cpp", true,
                             "symtest_padding"),
            0u);
  EXPECT_EQ(cache_.Count(), 1u) << "the old entry was dropped";
  // Whoever still holds the old table goes on using it.
  EXPECT_NE(FindPublicByName(*old_table, true, "symbol_test_library.cpp", true, "symtest_first"),
            0u);
}

TEST_F(SymbolCacheTest, InvalidTablesStayOutOfTheCache) {
  test_support::WriteFile(path_, "no ELF file");
  ModuleInfo module;
  module.path = module.readable_path = path_;
  const auto first = cache_.TableFor(module);
  EXPECT_FALSE(first->Valid());
  EXPECT_NE(cache_.TableFor(module), first);
  EXPECT_EQ(cache_.Count(), 0u);
}

TEST_F(SymbolCacheTest, AVanishedFileDropsItsEntry) {
  WriteInPlace(path_, first_, {1'700'000'000, 5});
  const ModuleInfo module = Module();
  ASSERT_TRUE(cache_.TableFor(module)->Valid());
  std::filesystem::remove(path_);
  EXPECT_FALSE(cache_.TableFor(module)->Valid());
  EXPECT_EQ(cache_.Count(), 0u);
}

TEST_F(SymbolCacheTest, OneFileAtTwoPlacesHasTwoTables) {
  WriteInPlace(path_, first_, {1'700'000'000, 5});
  ModuleInfo elsewhere = Module();
  elsewhere.handle += 0x100000;
  elsewhere.bias += 0x100000;
  const auto here = cache_.TableFor(Module());
  const auto there = cache_.TableFor(elsewhere);
  EXPECT_NE(here, there);
  EXPECT_EQ(there->Publics().front().address, here->Publics().front().address + 0x100000);
  EXPECT_EQ(cache_.Count(), 2u);
}

}  // namespace
}  // namespace userdb::crash
