#include "crash/config/module_version_text.h"

#include <sys/mman.h>

#include <gtest/gtest.h>

namespace userdb::crash {

namespace {

// A program that keeps its version in a variable, as "VersionVar" names it.
const char* volatile version_variable = "2.3.4.5 beta";
const char* volatile empty_variable = nullptr;
const char* volatile unmapped_variable = nullptr;

class ModuleVersionTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto found = platform::ModuleContaining(const_cast<const char**>(&version_variable));
    ASSERT_TRUE(found);
    module_ = *found;
  }

  // The variable's offset from the module's start, as a deployer would set "VersionVar".
  int32_t OffsetOf(const char* volatile* variable) const {
    return static_cast<int32_t>(reinterpret_cast<uintptr_t>(variable) - module_.load_bias);
  }

  platform::LoadedModule module_;
};

TEST_F(ModuleVersionTextTest, TheFileVersionWithoutVersionVariable) {
  EXPECT_EQ(ModuleVersionText(module_, 0, "1.0.1.16"), "1.0.1.16");
  EXPECT_EQ(ModuleVersionText(module_, 0, ""), "?");
}

TEST_F(ModuleVersionTextTest, TheTextOfTheVersionVariableWhenSet) {
  EXPECT_EQ(ModuleVersionText(module_, OffsetOf(&version_variable), "1.0.1.16"), "2.3.4.5 beta");
}

TEST_F(ModuleVersionTextTest, TheFileVersionWhenTheVariableLeadsNowhere) {
  void* page = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(page, MAP_FAILED);
  unmapped_variable = static_cast<const char*>(page);
  EXPECT_EQ(ModuleVersionText(module_, OffsetOf(&empty_variable), "1.0.1.16"), "1.0.1.16");
  EXPECT_EQ(ModuleVersionText(module_, OffsetOf(&unmapped_variable), "1.0.1.16"), "1.0.1.16");
  EXPECT_EQ(ModuleVersionText(module_, -8, "1.0.1.16"), "1.0.1.16");
  EXPECT_EQ(ModuleVersionText(module_, INT32_MAX, ""), "?");
  munmap(page, 4096);
}

}  // namespace

}  // namespace userdb::crash
