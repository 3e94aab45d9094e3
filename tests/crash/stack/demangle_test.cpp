#include "crash/stack/demangle.h"

#include <gtest/gtest.h>
#include "tests/support/case_name.h"

namespace userdb::crash {
namespace {

struct DemangleCase {
  const char* symbol;
  const char* name;
  const char* unit;
  bool accepted;
};

class DemangleNameTest : public ::testing::TestWithParam<DemangleCase> {};

TEST_P(DemangleNameTest, GivesNameUnitAndAcceptance) {
  const DemangleCase& expected = GetParam();
  const DemangledName result = DemangleName(expected.symbol);
  EXPECT_EQ(result.name, expected.name);
  EXPECT_EQ(result.unit, expected.unit);
  EXPECT_EQ(result.accepted, expected.accepted);
}

INSTANTIATE_TEST_SUITE_P(
    UnitNames, DemangleNameTest,
    ::testing::Values(DemangleCase{"@Unit1@TForm1@Button1Click$qqrp14System@TObject",
                                   "TForm1.Button1Click", "Unit1", true},
                      DemangleCase{"Unit1.TForm1.Button1Click", "Unit1.TForm1.Button1Click", "",
                                   false},
                      DemangleCase{"@Unit1@TThing@$bdtr$qqrv", "TThing.Destroy", "Unit1", true},
                      DemangleCase{"@Unit1@TThing@$bctr$qqrv", "TThing.Create", "Unit1", true},
                      DemangleCase{"", "", "", false},
                      DemangleCase{"Outer::Inner", "Outer.Inner", "", false},
                      // No "$": the unit and the rest, "@" turned into ".".
                      DemangleCase{"@System@Halt0", "Halt0", "System", true},
                      // A unit too long for the name is dropped; the "$" cut then takes the first
                      // character, and the name ending in "." is a constructor.
                      DemangleCase{"@Ab@$x", "Ab.Create", "", true},
                      // "%" second: what follows the last "%@" is appended to the cut name, and the
                      // leading "%" goes.
                      DemangleCase{"@%Set$i%@Unit1@Size$qv", "Set.Unit1@Size$qv", "", true},
                      // A name ending in "." only once trimmed gets "?".
                      DemangleCase{"@Unit1@X. ", "X.?", "Unit1", true}),
    [](const auto& case_info) {
      return test_support::CaseName(case_info.param.symbol, case_info.index);
    });

INSTANTIATE_TEST_SUITE_P(
    ItaniumNames, DemangleNameTest,
    ::testing::Values(
        DemangleCase{"_ZN2ns6Widget7ComputeEi", "ns.Widget.Compute", "", true},
        DemangleCase{"_Z5twiceIiET_S0_", "twice<int>", "", true},
        DemangleCase{"_ZNSt6vectorIiSaIiEE9push_backERKi",
                     "std.vector<int, std.allocator<int> >.push_back", "", true},
        // A long template argument list is shortened.
        DemangleCase{"_ZNKSt3mapINSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEEiSt4lessIS5_"
                     "ESaISt4pairIKS5_iEEE4findERS9_",
                     "std.map<...>.find", "", true},
        DemangleCase{"_ZZ4mainENKUlvE_clEv", "main.{lambda()#1}.operator()", "", true},
        DemangleCase{"_ZN3FooltERKS_", "Foo.operator<", "", true},
        DemangleCase{"_ZN3FoolsEi", "Foo.operator<<", "", true},
        DemangleCase{"_ZN3FoocviEv", "Foo.operator int", "", true},
        DemangleCase{"_ZN3FoonwEm", "Foo.operator new", "", true},
        DemangleCase{"_ZN12_GLOBAL__N_14StepEv", "(anonymous namespace).Step", "", true},
        DemangleCase{"_Z3foov.cold", "foo.cold", "", true},
        DemangleCase{"_Z3foov.constprop.0.isra.0", "foo", "", true},
        DemangleCase{"_Z3foov.part.0.cold", "foo.part.0.cold", "", true},
        DemangleCase{"_ZThn8_N3Foo3barEv", "non-virtual thunk to Foo.bar", "", true},
        DemangleCase{"_ZN3Foo3barB5cxx11Ev", "Foo.bar", "", true},
        DemangleCase{"_ZNK3Foo3getEv", "Foo.get", "", true},
        DemangleCase{"_ZN3FooC2Ev", "Foo.Foo", "", true},
        DemangleCase{"_ZN3FooD1Ev", "Foo.~Foo", "", true},
        DemangleCase{"_Zbroken", "_Zbroken", "", false},
        DemangleCase{"plain_c_function", "plain_c_function", "", false}),
    [](const auto& case_info) {
      return test_support::CaseName(case_info.param.symbol, case_info.index);
    });

TEST(ReadableNameTest, TakesMangledAndDemangledNames) {
  EXPECT_EQ(ReadableName("_ZN2ns6Widget7ComputeEi"), "ns.Widget.Compute");
  EXPECT_EQ(ReadableName("ns::Widget::Compute(int)"), "ns.Widget.Compute");
  EXPECT_EQ(ReadableName("int twice<int>(int)"), "twice<int>");
  EXPECT_EQ(ReadableName("symtest_first"), "symtest_first");
  EXPECT_EQ(ReadableName("compress_block.part.0"), "compress_block.part.0");
  EXPECT_EQ(ReadableName("main.cold"), "main.cold");
  EXPECT_EQ(ReadableName("deflate.constprop.0.isra.0"), "deflate");
  EXPECT_EQ(ReadableName("inflate.localalias"), "inflate");
  EXPECT_EQ(ReadableName("version.1.2"), "version.1.2");
  EXPECT_EQ(ReadableName("__libc_start_main@@GLIBC_2.34"), "__libc_start_main");
  EXPECT_EQ(ReadableName("memcpy@GLIBC_2.2.5"), "memcpy");
  EXPECT_EQ(ReadableName("@Unit1@TForm1@Button1Click$qqrp14System@TObject"), "TForm1.Button1Click");
}

TEST(SimplifyCppNameTest, DropsReturnTypeParametersAndQualifiers) {
  EXPECT_EQ(SimplifyCppName("std::vector<int, std::allocator<int> >& Foo::items() const &"),
            "Foo.items");
  EXPECT_EQ(SimplifyCppName("Foo::bar(int) const::{lambda(int)#1}::operator()(int) const"),
            "Foo.bar.{lambda(int)#1}.operator()");
  EXPECT_EQ(SimplifyCppName("Foo::operator()(int)"), "Foo.operator()");
  EXPECT_EQ(SimplifyCppName("guard variable for Foo::get()::instance"),
            "guard variable for Foo.get.instance");
  EXPECT_EQ(SimplifyCppName("Foo::operator delete[](void*)"), "Foo.operator delete[]");
}

TEST(SimplifyCppNameTest, KeepsTemplateArgumentsUpToTheLimitOnly) {
  const std::string short_arguments(kLongTemplateArguments, 'x');
  EXPECT_EQ(SimplifyCppName("Box<" + short_arguments + ">::open()"),
            "Box<" + short_arguments + ">.open");
  EXPECT_EQ(SimplifyCppName("Box<" + short_arguments + "y>::open()"), "Box<...>.open");
}

TEST(SimplifyCppNameTest, GivesAnUnparsableNameWithScopesChangedOnly) {
  EXPECT_EQ(SimplifyCppName("Foo::bar<int(int)"), "Foo.bar<int(int)");
}

}  // namespace
}  // namespace userdb::crash
