#include "crash/stack/module_list.h"

#include <sys/auxv.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "tests/crash/stack/symbol_test_support.h"

namespace userdb::crash {
namespace {

int a_variable_of_the_program = 1;

void AFunctionOfTheProgram() {}

uintptr_t Address(const void* pointer) {
  return reinterpret_cast<uintptr_t>(pointer);
}

TEST(ModuleListTest, DescribesTheProgramTheFirstTimeAnAddressInItIsMet) {
  ModuleList modules;
  EXPECT_EQ(modules.Count(), 0u);
  const uintptr_t function = Address(reinterpret_cast<const void*>(&AFunctionOfTheProgram));
  const auto index = modules.Add(function);
  ASSERT_TRUE(index);
  EXPECT_EQ(modules.Add(function), index);
  EXPECT_EQ(modules.AddMain(), index);
  EXPECT_EQ(modules.Count(), 1u);

  const ModuleInfo& program = *modules.At(*index).info;
  EXPECT_TRUE(program.is_main);
  EXPECT_EQ(program.path, std::filesystem::canonical("/proc/self/exe").string());
  EXPECT_EQ(program.file_name, "crash_stack_tests");
  EXPECT_EQ(program.readable_path, "/proc/self/exe");
  EXPECT_TRUE(InModuleRange(program.code, function));
  EXPECT_TRUE(InModuleRange(program.data, Address(&a_variable_of_the_program)));
  EXPECT_LE(program.handle, program.code.start);
  EXPECT_EQ(program.entry_point, getauxval(AT_ENTRY));
  EXPECT_EQ(program.build_id, ModuleInfoOfFile(program.path)->build_id);
  EXPECT_FALSE(program.build_id.empty());
  EXPECT_FALSE(modules.At(*index).table) << "no table until one is built";
}

TEST(ModuleListTest, ARangeHoldsWhatLiesAboveItsStartUpToItsEnd) {
  test::LoadedLibrary library(SYMTEST_DWARF);
  ModuleList modules;
  const auto index = modules.Add(library.Address("symtest_first"));
  ASSERT_TRUE(index);
  const ModuleInfo& module = *modules.At(*index).info;
  EXPECT_EQ(module.path, SYMTEST_DWARF);
  EXPECT_EQ(module.file_name, "libsymtest_dwarf.so");
  EXPECT_EQ(modules.IndexHolding(module.code.end), index);
  EXPECT_EQ(modules.IndexHolding(module.code.start + 1), index);
  EXPECT_FALSE(modules.IndexHolding(module.code.start));
  EXPECT_EQ(modules.IndexHolding(module.data.end), index);
  EXPECT_EQ(modules.IndexOfHandle(module.handle), index);
}

TEST(ModuleListTest, AnAddressInNoModuleAddsNothing) {
  ModuleList modules;
  EXPECT_FALSE(modules.Add(0x10));
  EXPECT_FALSE(modules.IndexHolding(0x10));
  const std::vector<char> heap(16);
  EXPECT_FALSE(modules.Add(Address(heap.data())));
  EXPECT_EQ(modules.Count(), 0u);
}

TEST(ModuleListTest, ExportsAreReadOnceAndShared) {
  test::LoadedLibrary library(SYMTEST_EXPORTS);
  ModuleList modules;
  const auto index = modules.Add(library.Address("symtest_first"));
  ASSERT_TRUE(index);
  const auto exports = modules.Exports(*index);
  EXPECT_EQ(modules.Exports(*index), exports);
  EXPECT_EQ(exports->NameAt(library.Address("symtest_second")), "symtest_second");
}

}  // namespace
}  // namespace userdb::crash
