#include "crash/report/call_stack_text.h"

#include <gtest/gtest.h>

#include "crash/report/report_worker.h"

namespace userdb::crash {

namespace {

StackItem Item(uintptr_t address, std::optional<uintptr_t> start, std::string module,
               std::string unit, int line, int first_line, std::string function) {
  StackItem item;
  item.address = address;
  item.function_start = start;
  item.module_name = std::move(module);
  item.unit = std::move(unit);
  item.line = line;
  item.function_first_line = first_line;
  item.function_name = std::move(function);
  return item;
}

// The three items of the documented example, at another load address each time.
std::vector<StackItem> ExampleStack(uintptr_t program_base, uintptr_t library_base) {
  return {
      Item(program_base + 0x4a1b2, program_base + 0x4a1a4, "x.exe", "MainUnit", 41, 38,
           "TMainWindow.Transform"),
      Item(program_base + 0x4a5c0, program_base + 0x4a590, "x.exe", "MainUnit", 118, 109,
           "TMainWindow.TransformClick"),
      Item(library_base + 0x16d4f, library_base + 0x16d18, "kernel32.dll", "", 0, 0,
           "BaseProcessStart"),
  };
}

TEST(CallStackText, LaysOutTheDocumentedExampleInColumns) {
  const PrintedStack printed = PrintCallStack(ExampleStack(0x400000, 0x7c800000), {});
  EXPECT_EQ(printed.lines,
            (std::vector<std::string>{
                "000000000044a1b2 +0e x.exe        MainUnit  41 +3 TMainWindow.Transform",
                "000000000044a5c0 +30 x.exe        MainUnit 118 +9 TMainWindow.TransformClick",
                "000000007c816d4f +37 kernel32.dll                 BaseProcessStart",
            }));
}

TEST(CallStackText, WithoutRelativeLinesTheLineColumnHoldsAbsoluteNumbers) {
  StackTextOptions options;
  options.show_relative_lines = false;
  options.show_relative_addresses = false;
  const PrintedStack printed = PrintCallStack(ExampleStack(0x400000, 0x7c800000), options);
  EXPECT_EQ(printed.lines[0], "000000000044a1b2 x.exe        MainUnit  41 TMainWindow.Transform");
  EXPECT_EQ(printed.lines[2], "000000007c816d4f kernel32.dll              BaseProcessStart");
}

TEST(CallStackText, PrintsTwoItemsAtOneAddressOnceAndLeavesOutNamelessOnes) {
  std::vector<StackItem> items = ExampleStack(0x400000, 0x7c800000);
  items.insert(items.begin() + 1, items[0]);
  items.insert(items.begin() + 2, Item(0x401000, std::nullopt, "x.exe", "", 0, 0, ""));
  const PrintedStack printed = PrintCallStack(items, {});
  ASSERT_EQ(printed.lines.size(), 3u);
  EXPECT_EQ(printed.checksums.second,
            PrintCallStack(ExampleStack(0x400000, 0x7c800000), {}).checksums.second);
}

TEST(CallStackText, HidesItemsWithoutLinesWhenAskedButNotThoseAlwaysPrinted) {
  StackTextOptions options;
  options.hide_ugly_items = true;
  std::vector<StackItem> items = ExampleStack(0x400000, 0x7c800000);
  EXPECT_EQ(PrintCallStack(items, options).lines.size(), 2u);
  items[2].always_printed = true;
  EXPECT_EQ(PrintCallStack(items, options).lines.size(), 3u);
}

TEST(CallStackText, AnItemWithoutAFunctionStartShowsZeroOffset) {
  std::vector<StackItem> items = ExampleStack(0x400000, 0x7c800000);
  items[2].function_start.reset();
  EXPECT_EQ(PrintCallStack(items, {}).lines[2],
            "000000007c816d4f +00 kernel32.dll                 BaseProcessStart");
}

TEST(CallStackText, ChecksumsStayTheSameAtOtherLoadAddresses) {
  const PrintedStack first = PrintCallStack(ExampleStack(0x400000, 0x7c800000), {});
  const PrintedStack second = PrintCallStack(ExampleStack(0x55d0c3a00000, 0x7f3e21000000), {});
  EXPECT_EQ(first.checksums.first, second.checksums.first);
  EXPECT_EQ(first.checksums.second, second.checksums.second);
  EXPECT_TRUE(first.checksums.has_line_information);
  EXPECT_NE(first.checksums.first, first.checksums.second);
}

TEST(CallStackText, ChecksumsTellAnotherCallStackApart) {
  std::vector<StackItem> other = ExampleStack(0x400000, 0x7c800000);
  other[1].function_name = "TMainWindow.FormCreate";
  const auto checksums = PrintCallStack(other, {}).checksums;
  const auto example = PrintCallStack(ExampleStack(0x400000, 0x7c800000), {}).checksums;
  EXPECT_EQ(checksums.first, example.first);
  EXPECT_NE(checksums.second, example.second);
}

// A frame of the traced chain in a function that no symbol names: shown by its module and its
// offset from the function's start, and entering the checksums by these, whatever address the
// module was loaded at.
TEST(CallStackText, ATracedFrameWithoutANameIsShownByItsModuleAndOffset) {
  const auto stack = [](uintptr_t library_base) {
    std::vector<StackItem> items = ExampleStack(0x400000, 0x7c800000);
    StackItem unnamed =
        Item(library_base + 0x2b17, library_base + 0x2a40, "libwidgets.so.6", "", 0, 0, "");
    unnamed.traced_frame = true;
    items.insert(items.begin() + 2, unnamed);
    return items;
  };
  const PrintedStack printed = PrintCallStack(stack(0x7f3e10000000), {});
  ASSERT_EQ(printed.lines.size(), 4u);
  // The report cuts the blanks of the empty columns at the line's end.
  const std::string& line = printed.lines[2];
  EXPECT_EQ(line.substr(0, line.find_last_not_of(' ') + 1), "00007f3e10002b17 +d7 libwidgets.so.6");
  const PrintedStack elsewhere = PrintCallStack(stack(0x7f0a55000000), {});
  EXPECT_EQ(printed.checksums.second, elsewhere.checksums.second);
  EXPECT_NE(printed.checksums.second,
            PrintCallStack(ExampleStack(0x400000, 0x7c800000), {}).checksums.second);

  StackTextOptions hide_ugly;
  hide_ugly.hide_ugly_items = true;
  EXPECT_EQ(PrintCallStack(stack(0x7f3e10000000), hide_ugly).lines.size(), 2u);
}

TEST(CallStackText, AnItemWithoutNamesEntersWithItsAddressesLow32Bits) {
  StackItem item = Item(0x7f0012345678, std::nullopt, "", "", 0, 0, "x");
  item.always_printed = true;
  EXPECT_EQ(PrintCallStack({item}, {}).checksums.first, 0x12345678u);
}

TEST(CallStackText, Crc32UpdateIsTheReflectedTableWithoutInversion) {
  // With the common inversions, "123456789" gives 0xCBF43926.
  EXPECT_EQ(~Crc32Update(0xFFFFFFFF, "123456789"), 0xCBF43926u);
  EXPECT_EQ(Crc32Update(0, ""), 0u);
}

TEST(CallStackText, TheReportChecksumsTakeOtherThreadsWithLineInformationOnly) {
  const StackChecksums first{1, 2, true};
  const StackChecksums with_lines{7, 8, true};
  const StackChecksums without_lines{5, 6, false};
  const ReportChecksums alone = CombineChecksums(first, {without_lines});
  EXPECT_EQ(alone.all_threads, 2u);
  const ReportChecksums both = CombineChecksums(first, {without_lines, with_lines});
  EXPECT_EQ(both.first, 1u);
  EXPECT_EQ(both.second, 2u);
  EXPECT_NE(both.all_threads, 2u);
  const std::string text = ChecksumsText({0x0a1b2c3d, 0x00ff00ff, 0x12345678});
  EXPECT_EQ(text, "$0a1b2c3d, $00ff00ff, $12345678");
  EXPECT_EQ(text.size(), 31u);
}

struct LocationCase {
  StackItem item;
  StackTextOptions options;
  std::string line;
};

class LocationLines : public ::testing::TestWithParam<LocationCase> {};

TEST_P(LocationLines, AreNotColumned) {
  EXPECT_EQ(LocationLine(GetParam().item, GetParam().options), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    CallStackText, LocationLines,
    ::testing::Values(
        LocationCase{Item(0x44a1b2, 0x44a1a4, "x.exe", "MainUnit", 41, 38, "TMainWindow.Transform"),
                     {},
                     "000000000044a1b2 +e x.exe MainUnit 41 +3 TMainWindow.Transform"},
        LocationCase{Item(0x44a1b2, 0x44a1a4, "x.exe", "MainUnit", 41, 0, "TMainWindow.Transform"),
                     {},
                     "000000000044a1b2 +e x.exe MainUnit 41 +0 TMainWindow.Transform"},
        LocationCase{Item(0x44a1b2, 0x44a1a4, "x.exe", "MainUnit", 41, 38, "TMainWindow.Transform"),
                     {false, false, false},
                     "000000000044a1b2 x.exe MainUnit 41 TMainWindow.Transform"},
        LocationCase{Item(0x7c816d4f, 0x7c816d18, "kernel32.dll", "", 0, 0, "BaseProcessStart"),
                     {},
                     "000000007c816d4f +37 kernel32.dll  BaseProcessStart"},
        LocationCase{
            Item(0x12345678, std::nullopt, "", "", 0, 0, ""), {}, "0000000012345678 +0 ???"},
        LocationCase{Item(0x12345678, std::nullopt, "", "", 0, 0, ""),
                     {false, true, false},
                     "0000000012345678 ???"}));

TEST(ThreadStackText, InsertsTheCreatorBeforeTheCreationLocation) {
  ThreadStackEntry thread;
  thread.creator_address = 0x44a5c0;
  thread.creator_title = "main thread ($5ac)";
  TracedStack stack;
  stack.items = ExampleStack(0x400000, 0x7c800000);
  stack.items.back().always_printed = true;
  const std::string text = PrintThreadStack(thread, stack, {}).text;
  EXPECT_EQ(text,
            "000000000044a1b2 +0e x.exe        MainUnit  41 +3 TMainWindow.Transform\r\n"
            "000000000044a5c0 +30 x.exe        MainUnit 118 +9 TMainWindow.TransformClick\r\n"
            ">> created by main thread ($5ac) at:\r\n"
            "000000007c816d4f +37 kernel32.dll                 BaseProcessStart");
}

TEST(ThreadStackText, AFailedTraceStandsAsItsInternalErrorWithoutCreator) {
  ThreadStackEntry thread;
  thread.creator_address = 0x44a5c0;
  thread.creator_title = "main thread ($5ac)";
  const std::vector<StackItem> example = ExampleStack(0x400000, 0x7c800000);
  StackItem unnamed;
  unnamed.address = 0x401000;
  const struct {
    std::optional<StackItem> failure, exception;
    const char* text;
  } cases[] = {
      {example[1], std::nullopt,
       ">> internal error in InDeepChecks:\r\n"
       "000000000044a5c0 +30 x.exe MainUnit 118 +9 TMainWindow.TransformClick"},
      {unnamed, example[0],
       ">> internal error in InDeepChecks:\r\n0000000000401000 +0 ???\r\n"
       ">> original exception location: \r\n"
       "000000000044a1b2 +e x.exe MainUnit 41 +3 TMainWindow.Transform"},
      {std::nullopt, std::nullopt, ">> internal error in InDeepChecks"},
  };
  for (const auto& c : cases) {
    TracedStack stack;
    stack.items = example;
    stack.failed_stage = "InDeepChecks";
    stack.failure_location = c.failure;
    stack.exception_location = c.exception;
    const ThreadStackText printed = PrintThreadStack(thread, stack, {});
    EXPECT_EQ(printed.text, c.text);
    EXPECT_EQ(printed.checksums.second, 0u);
  }
}

}  // namespace

}  // namespace userdb::crash
