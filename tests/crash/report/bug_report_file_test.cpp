// Saving reports into the bug report file: where the file is, appending, duplicate removal
// with its count, the size limit, files that hold no reports, refused access, a full disk
// and another writer holding the file.
#include "crash/report/bug_report_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <thread>

#include <gtest/gtest.h>

#include "crash/report/report_header.h"
#include "platform/display_text.h"
#include "tests/crash/report/sample_report.h"
#include "tests/support/case_name.h"
#include "tests/support/file_held_elsewhere.h"
#include "tests/support/temp_folder.h"
#include "tests/support/unprivileged_child.h"

namespace userdb::crash {

namespace {

using test_support::FileHeldElsewhere;
using test_support::ReadFile;
using test_support::SampleReport;
using test_support::TempFolder;
using test_support::WriteFile;

constexpr std::string_view kSeparator = "\r\n\r\n";

std::string Checksums(unsigned first, unsigned second, unsigned third) {
  char text[40];
  std::snprintf(text, sizeof text, "$%08x, $%08x, $%08x", first, second, third);
  return text;
}

SampleReport WithChecksums(std::string checksums) {
  SampleReport report;
  report.checksums = std::move(checksums);
  return report;
}

SampleReport Freeze(std::string checksums) {
  SampleReport report = WithChecksums(std::move(checksums));
  report.exception_class.reset();
  return report;
}

// The report as the file holds it after it replaced `count` - 1 earlier ones.
std::string Counted(const SampleReport& report, int count) {
  return InsertHeaderLineAfter(report.Text(), "callstack crc", "count", std::to_string(count));
}

std::string Whole(std::string_view report) {
  return std::string(report) + std::string(kSeparator);
}

// Whole reports of other exceptions, one after the other, exactly `size` bytes in all.
std::string ReportsOfSize(size_t size, size_t report_size = 5000) {
  std::string contents;
  unsigned number = 1000;
  const auto report_with_filler = [&](size_t filler) {
    SampleReport report = WithChecksums(Checksums(number, number, number));
    ++number;
    report.filler = std::string(filler, 'x');
    return Whole(report.Text());
  };
  const size_t frame = report_with_filler(1).size() - 1;  // a report without its filler
  while (size - contents.size() >= 2 * report_size)
    contents += report_with_filler(report_size - frame);
  contents += report_with_filler(size - contents.size() - frame);
  return contents;
}

class FakeSaveDialog : public ReportSaveDialog {
 public:
  explicit FakeSaveDialog(std::optional<std::string> choice) : choice_(std::move(choice)) {}
  std::optional<std::string> ChooseFile(std::string_view file_name) override {
    suggested_ = file_name;
    return choice_;
  }
  const std::string& Suggested() const { return suggested_; }

 private:
  std::optional<std::string> choice_;
  std::string suggested_;
};

class BugReportFileTest : public ::testing::Test {
 protected:
  bool Save(const std::string& report) {
    return writer_.Write(std::nullopt, report, nullptr, exception_, true);
  }
  std::string ProgramFile() const { return folders_.program + "bugreport.txt"; }
  std::string Saved() const { return ReadFile(ProgramFile()); }
  void Prepare(std::string_view contents) {
    std::filesystem::create_directories(folders_.program);
    WriteFile(ProgramFile(), contents);
  }
  SettingsOverlay& Settings() { return exception_.Settings(); }

  TempFolder temp_;
  ReportFolders folders_{temp_ / "program/", temp_ / "state/"};
  CaughtException exception_{test_support::ReportFileSettings()};
  BugReportFileWriter writer_{folders_};
};

TEST_F(BugReportFileTest, TheFirstReportCreatesTheFileInTheProgramsFolder) {
  const std::string report = SampleReport().Text();
  ASSERT_TRUE(Save(report));
  EXPECT_EQ(Saved(), Whole(report));
  EXPECT_TRUE(exception_.ReportSaved());
  EXPECT_FALSE(std::filesystem::exists(folders_.user_state));
}

TEST_F(BugReportFileTest, ReportsOfOtherExceptionsFollowOneAnother) {
  const std::string first = WithChecksums(Checksums(1, 2, 3)).Text();
  const std::string second = WithChecksums(Checksums(4, 5, 6)).Text();
  ASSERT_TRUE(Save(first));
  ASSERT_TRUE(Save(second));
  EXPECT_EQ(Saved(), Whole(first) + Whole(second));
}

TEST_F(BugReportFileTest, TheSameExceptionReplacesItsEarlierReportAndCountsIt) {
  const SampleReport repeated;
  const std::string other = WithChecksums(Checksums(4, 5, 6)).Text();
  ASSERT_TRUE(Save(repeated.Text()));
  ASSERT_TRUE(Save(other));
  ASSERT_TRUE(Save(repeated.Text()));
  const std::string twice = Saved();
  EXPECT_EQ(twice, Whole(other) + Whole(Counted(repeated, 2)));
  EXPECT_NE(twice.find("\r\ncallstack crc     : $0a1b2c3d, $00ff00ff, $12345678\r\n"
                       "count             : 2\r\nexception number  : 1\r\n"),
            std::string::npos)
      << platform::DisplayUtf8(twice);
  ASSERT_TRUE(Save(repeated.Text()));
  EXPECT_EQ(Saved(), Whole(other) + Whole(Counted(repeated, 3)));
}

TEST_F(BugReportFileTest, TheLatestEarlierReportIsTheOneReplaced) {
  const SampleReport repeated;
  const std::string other = WithChecksums(Checksums(4, 5, 6)).Text();
  Prepare(Whole(Counted(repeated, 4)) + Whole(other) + Whole(Counted(repeated, 7)));
  ASSERT_TRUE(Save(repeated.Text()));
  EXPECT_EQ(Saved(), Whole(Counted(repeated, 4)) + Whole(other) + Whole(Counted(repeated, 8)));
}

struct DuplicateCase {
  const char* what;
  SampleReport earlier;
  SampleReport report;
  int exception_definition = 1;
  bool replaced = false;
  bool no_duplicate_exceptions = true;
  bool no_duplicate_freezes = true;
};

void PrintTo(const DuplicateCase& c, std::ostream* out) {
  *out << c.what;
}

class DuplicateRuleTest : public BugReportFileTest,
                          public ::testing::WithParamInterface<DuplicateCase> {};

TEST_P(DuplicateRuleTest, TheEarlierReportIsReplacedOnlyWhenTheRulesSaySo) {
  const DuplicateCase& c = GetParam();
  Settings().WriteInteger("DupExceptDef", c.exception_definition);
  Settings().WriteBoolean("NoDupExcepts", c.no_duplicate_exceptions);
  Settings().WriteBoolean("NoDupFreezes", c.no_duplicate_freezes);
  const std::string earlier = Whole(c.earlier.Text());
  Prepare(earlier);
  ASSERT_TRUE(Save(c.report.Text()));
  if (c.replaced) {
    EXPECT_EQ(Saved(), Whole(Counted(c.report, 2)));
  } else {
    EXPECT_EQ(Saved(), earlier + Whole(c.report.Text()));
  }
}

SampleReport Changed(void (*change)(SampleReport&)) {
  SampleReport report;
  change(report);
  return report;
}

INSTANTIATE_TEST_SUITE_P(
    Checksums, DuplicateRuleTest,
    ::testing::Values(
        DuplicateCase{"first two checksums agree", WithChecksums(Checksums(1, 2, 3)),
                      WithChecksums(Checksums(1, 2, 9)), 1, true},
        DuplicateCase{"another call stack of the crashed thread", WithChecksums(Checksums(1, 2, 3)),
                      WithChecksums(Checksums(1, 8, 3)), 1, false},
        DuplicateCase{"another call stack, first checksum only", WithChecksums(Checksums(1, 2, 3)),
                      WithChecksums(Checksums(1, 8, 3)), 0, true},
        DuplicateCase{"another location, first checksum only", WithChecksums(Checksums(1, 2, 3)),
                      WithChecksums(Checksums(7, 2, 3)), 0, false},
        DuplicateCase{"all three checksums asked", WithChecksums(Checksums(1, 2, 3)),
                      WithChecksums(Checksums(1, 2, 9)), 2, false},
        DuplicateCase{"an unknown definition asks for all three", WithChecksums(Checksums(1, 2, 3)),
                      WithChecksums(Checksums(1, 2, 9)), 7, false},
        DuplicateCase{"a freeze: all three checksums, whatever exceptions use",
                      Freeze(Checksums(1, 2, 3)), Freeze(Checksums(1, 2, 9)), 0, false},
        DuplicateCase{"a freeze with all three checksums equal", Freeze(Checksums(1, 2, 3)),
                      Freeze(Checksums(1, 2, 3)), 0, true},
        DuplicateCase{"a freeze does not replace an exception's report",
                      WithChecksums(Checksums(1, 2, 3)), Freeze(Checksums(1, 2, 3)), 1, false},
        DuplicateCase{"duplicates of exceptions kept", SampleReport(), SampleReport(), 1, false,
                      false, true},
        DuplicateCase{"duplicates of freezes kept", Freeze(Checksums(1, 2, 3)),
                      Freeze(Checksums(1, 2, 3)), 1, false, true, false},
        DuplicateCase{"exceptions replaced while freezes are kept", SampleReport(), SampleReport(),
                      1, true, true, false},
        DuplicateCase{"a report still being completed", WithChecksums("will be calculated soon"),
                      WithChecksums("will be calculated soon"), 1, false}),
    [](const auto& case_info) { return test_support::CaseName(case_info.param.what); });

INSTANTIATE_TEST_SUITE_P(
    SameProgram, DuplicateRuleTest,
    ::testing::Values(
        DuplicateCase{"another executable", Changed([](SampleReport& r) { r.executable = "x"; }),
                      SampleReport(), 1, false},
        DuplicateCase{"another module", Changed([](SampleReport& r) { r.current_module = "m.so"; }),
                      SampleReport(), 1, false},
        DuplicateCase{"another class",
                      Changed([](SampleReport& r) { r.exception_class = "FileCreateError"; }),
                      SampleReport(), 1, false},
        DuplicateCase{"another version", Changed([](SampleReport& r) { r.version = "1.0.1.17"; }),
                      SampleReport(), 1, false},
        DuplicateCase{"with a version, the build time does not count",
                      Changed([](SampleReport& r) { r.module_date_time = "2019-01-01 00:00"; }),
                      SampleReport(), 1, true},
        DuplicateCase{"without a version, another build time", Changed([](SampleReport& r) {
                        r.version.clear();
                        r.module_date_time = "2019-01-01 00:00";
                      }),
                      Changed([](SampleReport& r) { r.version.clear(); }), 1, false},
        DuplicateCase{"without a version, the same build time",
                      Changed([](SampleReport& r) { r.version.clear(); }),
                      Changed([](SampleReport& r) { r.version.clear(); }), 1, true},
        DuplicateCase{"without a version, a build time against none", Changed([](SampleReport& r) {
                        r.version.clear();
                        r.current_module = "";
                      }),
                      Changed([](SampleReport& r) {
                        r.version.clear();
                        r.current_module = "";
                        r.module_date_time.clear();
                      }),
                      1, false}),
    [](const auto& case_info) { return test_support::CaseName(case_info.param.what); });

TEST_F(BugReportFileTest, TheChecksumFiguresElsewhereInAReportDoNotMakeADuplicate) {
  // The same figures in a line of a section: the report's own checksums differ.
  SampleReport earlier = WithChecksums(Checksums(7, 7, 7));
  earlier.main_thread = "lookup table : $0a1b2c3d, $00ff00ff";
  Prepare(Whole(earlier.Text()));
  ASSERT_TRUE(Save(SampleReport().Text()));
  EXPECT_EQ(Saved(), Whole(earlier.Text()) + Whole(SampleReport().Text()));
}

TEST_F(BugReportFileTest, ACountThatIsNoNumberCountsAsOne) {
  const SampleReport repeated;
  Prepare(Whole(InsertHeaderLineAfter(repeated.Text(), "callstack crc", "count", "many")));
  ASSERT_TRUE(Save(repeated.Text()));
  EXPECT_EQ(Saved(), Whole(Counted(repeated, 2)));
}

TEST_F(BugReportFileTest, AFileOfExactlyTheLimitIsLeftAlone) {
  const std::string contents = ReportsOfSize(200000);
  ASSERT_EQ(contents.size(), 200000u);
  Prepare(contents);
  ASSERT_TRUE(Save(SampleReport().Text()));
  EXPECT_EQ(Saved(), contents + Whole(SampleReport().Text()));
}

// What remains of `contents` in `saved` before the new report: the oldest reports dropped,
// whole, as few as leave less than three quarters of the limit.
void ExpectOldestReportsDropped(const std::string& contents, const std::string& saved,
                                const std::string& report) {
  ASSERT_TRUE(saved.ends_with(Whole(report)));
  const std::string remaining = saved.substr(0, saved.size() - Whole(report).size());
  ASSERT_TRUE(contents.ends_with(remaining));
  EXPECT_LT(remaining.size(), 150000u);
  EXPECT_TRUE(remaining.starts_with("date/time"));
  const size_t cut = contents.size() - remaining.size();
  ASSERT_GE(cut, 2u);
  EXPECT_EQ(contents.substr(cut - 2, 2), "\r\n");
  // The report start before the cut would have left too much.
  const size_t previous = contents.rfind("\r\ndate/time", cut - 3);
  ASSERT_NE(previous, std::string::npos);
  EXPECT_GE(contents.size() - previous, 150000u);
}

TEST_F(BugReportFileTest, AFileBeyondTheLimitLosesItsOldestWholeReports) {
  const std::string contents = ReportsOfSize(200001);
  Prepare(contents);
  ASSERT_TRUE(Save(SampleReport().Text()));
  ExpectOldestReportsDropped(contents, Saved(), SampleReport().Text());
}

TEST_F(BugReportFileTest, TheLimitLooksAtTheSizeBeforeTheDuplicateWasCut) {
  const SampleReport repeated;
  const std::string older = ReportsOfSize(150000);
  const std::string newer = ReportsOfSize(50001 - Whole(repeated.Text()).size());
  Prepare(older + Whole(repeated.Text()) + newer);
  ASSERT_TRUE(Save(repeated.Text()));
  ExpectOldestReportsDropped(older + newer, Saved(), Counted(repeated, 2));
}

TEST_F(BugReportFileTest, NothingIsDroppedFromASingleReportBeyondTheLimit) {
  const std::string contents = ReportsOfSize(200001, 200001);
  Prepare(contents);
  ASSERT_TRUE(Save(SampleReport().Text()));
  EXPECT_EQ(Saved(), contents + Whole(SampleReport().Text()));
}

TEST_F(BugReportFileTest, AReportStartCountsWhenLessThanThreeQuartersOfTheLimitFollowIt) {
  // The last report's CR LF lies `last` + 2 bytes before the end.
  for (const size_t last : {size_t{149997}, size_t{149998}}) {
    const std::string older = ReportsOfSize(200001 - last);
    const std::string newest = ReportsOfSize(last, last);
    Prepare(older + newest);
    ASSERT_TRUE(Save(SampleReport().Text()));
    const std::string remaining = last + 2 < 150000 ? newest : older + newest;
    EXPECT_EQ(Saved(), remaining + Whole(SampleReport().Text())) << last;
  }
}

TEST_F(BugReportFileTest, ALimitOfZeroKeepsEverything) {
  Settings().WriteInteger("BugRepFileSize", 0);
  const std::string contents = ReportsOfSize(300000);
  Prepare(contents);
  ASSERT_TRUE(Save(SampleReport().Text()));
  EXPECT_EQ(Saved(), contents + Whole(SampleReport().Text()));
}

TEST_F(BugReportFileTest, WithoutAppendingTheReportReplacesTheFile) {
  Settings().WriteBoolean("AppendBugReps", false);
  const SampleReport repeated;
  Prepare(Whole(repeated.Text()) + Whole(WithChecksums(Checksums(4, 5, 6)).Text()));
  ASSERT_TRUE(Save(repeated.Text()));
  EXPECT_EQ(Saved(), Whole(repeated.Text()));
}

struct ForeignContentsCase {
  const char* what;
  std::string contents;
};

void PrintTo(const ForeignContentsCase& c, std::ostream* out) {
  *out << c.what;
}

std::string BinaryWithKey() {
  std::string bytes;
  for (int i = 0; i < 512; ++i) bytes += static_cast<char>(i * 7);
  return bytes + "\r\n: $0a1b2c3d, $00ff00ff, $12345678\r\n" + bytes;
}

class ForeignContentsTest : public BugReportFileTest,
                            public ::testing::WithParamInterface<ForeignContentsCase> {};

TEST_P(ForeignContentsTest, StayWholeAndTheReportFollowsThem) {
  const std::string& contents = GetParam().contents;
  Prepare(contents);
  ASSERT_TRUE(Save(SampleReport().Text()));
  EXPECT_EQ(Saved(), contents + Whole(SampleReport().Text()));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ForeignContentsTest,
    ::testing::Values(
        ForeignContentsCase{"binary bytes holding the checksums", BinaryWithKey()},
        ForeignContentsCase{
            "a report cut off after its checksums",
            SampleReport().Text().substr(0, SampleReport().Text().find("\r\nexception number"))},
        ForeignContentsCase{"a report without its date/time line",
                            SampleReport().Text().substr(SampleReport().Text().find("\r\n") + 2) +
                                std::string(kSeparator)},
        ForeignContentsCase{"text without a line break", "hello"},
        ForeignContentsCase{"a file of 200001 bytes without a report start",
                            std::string(200001, 'z')}),
    [](const auto& case_info) { return test_support::CaseName(case_info.param.what); });

TEST_F(BugReportFileTest, ForeignBytesBeforeADuplicateStayWhenItIsCut) {
  const std::string foreign = BinaryWithKey() + "\r\n";
  Prepare(foreign + Whole(SampleReport().Text()));
  ASSERT_TRUE(Save(SampleReport().Text()));
  EXPECT_EQ(Saved(), foreign + Whole(Counted(SampleReport(), 2)));
}

TEST_F(BugReportFileTest, ANameWithAFolderFromTheRootIsTakenAsItIs) {
  const std::string path = temp_ / "reports/of/today.txt";
  Settings().WriteText("BugRepFile", path);
  ASSERT_TRUE(Save(SampleReport().Text()));
  EXPECT_EQ(ReadFile(path), Whole(SampleReport().Text()));
  EXPECT_FALSE(std::filesystem::exists(folders_.program));
}

TEST_F(BugReportFileTest, ARelativeNameWithFoldersLiesInTheProgramsFolder) {
  Settings().WriteText("BugRepFile", "reports/bugreport.txt");
  ASSERT_TRUE(Save(SampleReport().Text()));
  EXPECT_EQ(ReadFile(folders_.program + "reports/bugreport.txt"), Whole(SampleReport().Text()));
}

TEST_F(BugReportFileTest, AnExplicitFileIsWrittenButDoesNotMarkTheReportSaved) {
  const std::string path = temp_ / "copy/bugreport.txt";
  ASSERT_TRUE(writer_.Write(path, SampleReport().Text(), nullptr, exception_, false));
  EXPECT_EQ(ReadFile(path), Whole(SampleReport().Text()));
  EXPECT_FALSE(exception_.ReportSaved());
  EXPECT_FALSE(std::filesystem::exists(ProgramFile()));
}

TEST_F(BugReportFileTest, TheSaveCommandWritesTheFileTheUserPicks) {
  Settings().WriteText("BugRepFile", "reports/bugreport.txt");
  const std::string picked = temp_ / "desktop/mine.txt";
  FakeSaveDialog dialog(picked);
  ASSERT_TRUE(writer_.Write(std::nullopt, SampleReport().Text(), &dialog, exception_, false));
  EXPECT_EQ(dialog.Suggested(), "bugreport.txt");
  EXPECT_EQ(ReadFile(picked), Whole(SampleReport().Text()));
  EXPECT_TRUE(exception_.ReportSaved());
}

TEST_F(BugReportFileTest, ACancelledSaveDialogSavesNothing) {
  FakeSaveDialog dialog(std::nullopt);
  EXPECT_FALSE(writer_.Write(std::nullopt, SampleReport().Text(), &dialog, exception_, false));
  EXPECT_FALSE(writer_.Write(std::nullopt, SampleReport().Text(), nullptr, exception_, false));
  EXPECT_FALSE(exception_.ReportSaved());
  EXPECT_FALSE(std::filesystem::exists(ProgramFile()));
}

TEST_F(BugReportFileTest, AFolderInPlaceOfTheFileSavesNothing) {
  std::filesystem::create_directories(ProgramFile());
  EXPECT_FALSE(Save(SampleReport().Text()));
  EXPECT_FALSE(exception_.ReportSaved());
  EXPECT_FALSE(std::filesystem::exists(folders_.user_state));
}

TEST_F(BugReportFileTest, AProgramFolderThatTakesNoFilesSendsTheReportToTheStateFolder) {
  std::filesystem::create_directories(folders_.program);
  chmod(folders_.program.c_str(), 0555);
  const int result = test_support::RunInUnprivilegedChild(
      [&] { return Save(SampleReport().Text()) && exception_.ReportSaved() ? 0 : 1; });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(ReadFile(folders_.user_state + "bugreport.txt"), Whole(SampleReport().Text()));
  EXPECT_FALSE(std::filesystem::exists(ProgramFile()));
}

TEST_F(BugReportFileTest, ReadOnlyFilesEverywhereSaveNothing) {
  Prepare("old");
  chmod(ProgramFile().c_str(), 0444);
  std::filesystem::create_directories(folders_.user_state);
  chmod(folders_.user_state.c_str(), 0555);
  const int result = test_support::RunInUnprivilegedChild(
      [&] { return Save(SampleReport().Text()) || exception_.ReportSaved() ? 1 : 0; });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(Saved(), "old");
  EXPECT_FALSE(std::filesystem::exists(folders_.user_state + "bugreport.txt"));
}

TEST_F(BugReportFileTest, AFileInAFolderThatTakesNoFilesIsRewrittenInPlace) {
  Prepare(Whole(SampleReport().Text()));
  chmod(ProgramFile().c_str(), 0666);
  chmod(folders_.program.c_str(), 0555);
  const int result =
      test_support::RunInUnprivilegedChild([&] { return Save(SampleReport().Text()) ? 0 : 1; });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(Saved(), Whole(Counted(SampleReport(), 2)));
  EXPECT_FALSE(std::filesystem::exists(folders_.user_state));
}

TEST_F(BugReportFileTest, ALinkedFileIsReplacedBehindItsLink) {
  const std::string real = temp_ / "real.txt";
  WriteFile(real, Whole(SampleReport().Text()));
  chmod(real.c_str(), 0640);
  std::filesystem::create_directories(folders_.program);
  std::filesystem::create_symlink(real, ProgramFile());
  ASSERT_TRUE(Save(SampleReport().Text()));
  EXPECT_TRUE(std::filesystem::is_symlink(ProgramFile()));
  EXPECT_EQ(ReadFile(real), Whole(Counted(SampleReport(), 2)));
  struct stat status {};
  ASSERT_EQ(stat(real.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0640u);
}

TEST_F(BugReportFileTest, AFileWithASecondNameKeepsItsBothNames) {
  Prepare(Whole(SampleReport().Text()));
  const std::string second_name = temp_ / "second-name.txt";
  ASSERT_EQ(link(ProgramFile().c_str(), second_name.c_str()), 0);
  ASSERT_TRUE(Save(SampleReport().Text()));
  EXPECT_EQ(Saved(), Whole(Counted(SampleReport(), 2)));
  EXPECT_EQ(ReadFile(second_name), Saved());
}

// A full disk, for each way of writing: appending, replacing by a new file, rewriting in
// place (a file with a second name cannot be replaced).
struct FullDiskCase {
  const char* what;
  bool duplicate;
  bool second_name;
};

void PrintTo(const FullDiskCase& c, std::ostream* out) {
  *out << c.what;
}

class FullDiskTest : public BugReportFileTest,
                     public ::testing::WithParamInterface<FullDiskCase> {};

TEST_P(FullDiskTest, LeavesTheFileAsItWasAndSavesNothing) {
  const FullDiskCase& c = GetParam();
  const SampleReport report;
  const std::string contents =
      c.duplicate ? ReportsOfSize(3000) + Whole(report.Text()) : ReportsOfSize(5000);
  Prepare(contents);
  if (c.second_name) {
    ASSERT_EQ(link(ProgramFile().c_str(), (temp_ / "second").c_str()), 0);
  }
  const int result = test_support::RunWithFileSizeLimit(contents.size() + 10, [&] {
    return Save(report.Text()) || exception_.ReportSaved() ? 1 : 0;
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(Saved(), contents);
  const auto files = std::distance(std::filesystem::directory_iterator(folders_.program),
                                   std::filesystem::directory_iterator());
  EXPECT_EQ(files, 1) << "no temporary file is left";
}

INSTANTIATE_TEST_SUITE_P(Cases, FullDiskTest,
                         ::testing::Values(FullDiskCase{"append", false, false},
                                           FullDiskCase{"replace", true, false},
                                           FullDiskCase{"rewrite in place", true, true}),
                         [](const auto& case_info) {
                           return test_support::CaseName(case_info.param.what);
                         });

TEST_F(BugReportFileTest, AWriterWaitsForAnotherThatHoldsTheFile) {
  Prepare(Whole(WithChecksums(Checksums(4, 5, 6)).Text()));
  FileHeldElsewhere holder(ProgramFile(), FileHeldElsewhere::Hold::kExclusiveLock);
  ASSERT_TRUE(holder.Held());
  std::thread release([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    holder.Release();
  });
  const bool saved = Save(SampleReport().Text());
  release.join();
  EXPECT_TRUE(saved);
  EXPECT_EQ(Saved(),
            Whole(WithChecksums(Checksums(4, 5, 6)).Text()) + Whole(SampleReport().Text()));
}

TEST_F(BugReportFileTest, AFileHeldLongerThanTheWaitSavesNothing) {
  Prepare("old");
  FileHeldElsewhere holder(ProgramFile(), FileHeldElsewhere::Hold::kExclusiveLock);
  ASSERT_TRUE(holder.Held());
  const BugReportFileWriter impatient(folders_, std::chrono::milliseconds(200));
  EXPECT_FALSE(impatient.Write(std::nullopt, SampleReport().Text(), nullptr, exception_, true));
  EXPECT_FALSE(exception_.ReportSaved());
  holder.Release();
  EXPECT_EQ(Saved(), "old");
}

struct StateFolderCase {
  const char* xdg_state_home;
  const char* home;
  const char* folder;
};

TEST(UserStateFolderTest, FollowsXdgStateHomeOrTheHomeFolder) {
  const StateFolderCase cases[] = {
      {"/var/state", "/home/op", "/var/state/userdb-transform/"},
      {"/var/state/", "/home/op", "/var/state/userdb-transform/"},
      {nullptr, "/home/op", "/home/op/.local/state/userdb-transform/"},
      {"", "/home/op/", "/home/op/.local/state/userdb-transform/"},
      {"relative/state", "/home/op", "/home/op/.local/state/userdb-transform/"},
  };
  for (const StateFolderCase& c : cases) {
    EXPECT_EQ(UserStateFolder(c.xdg_state_home, c.home), c.folder)
        << (c.xdg_state_home ? c.xdg_state_home : "(unset)");
  }
  EXPECT_TRUE(UserStateFolder(nullptr, nullptr).ends_with("/.local/state/userdb-transform/"));
}

}  // namespace

}  // namespace userdb::crash
