// The window's rules that need no display: the application's title, the version label's
// text, where anchored controls go when the window is resized, and the message of an
// unhandled failure.
#include <gtest/gtest.h>

#include <QMimeData>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/anchored_layout.h"
#include "app/application_title.h"
#include "app/file_drop.h"
#include "app/notice_stream.h"
#include "app/unhandled_error_handler.h"
#include "app/version_caption.h"
#include "platform/exception.h"
#include "tests/support/case_name.h"

namespace userdb::app {

namespace {

struct TitleCase {
  const char* name;
  const char* program_path;
  const char* title;
};

class ApplicationTitleTest : public ::testing::TestWithParam<TitleCase> {};

TEST_P(ApplicationTitleTest, IsTheProgramNameLowerCasedAfterItsFirstCharacter) {
  EXPECT_EQ(ApplicationTitle(QString::fromUtf8(GetParam().program_path)).toStdString(),
            GetParam().title);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ApplicationTitleTest,
    ::testing::Values(TitleCase{"installed_program", "/usr/local/bin/userdb-transform",
                                "userdb-transform"},
                      TitleCase{"windows_name_with_extension", "/opt/Radio/USERDB.EXE", "Userdb"},
                      TitleCase{"dots_in_the_name", "build/bin/My.Tool.bin", "My.tool"},
                      TitleCase{"no_folder", "userdb-transform", "userdb-transform"},
                      TitleCase{"utf8_lower_first",
                                "/home/\xC3\xB6z/\xC3\xBC"
                                "berTOOL",
                                "\xC3\xBC"
                                "bertool"},
                      TitleCase{"utf8_upper_first",
                                "/home/\xC3\xB6z/\xC3\x9C"
                                "BERtool",
                                "\xC3\x9C"
                                "bertool"},
                      TitleCase{"empty", "", ""}),
    [](const auto& case_info) { return std::string(case_info.param.name); });

struct DropCase {
  const char* uri_list;
  std::optional<std::string> path;
};

class DroppedFilePathTest : public ::testing::TestWithParam<DropCase> {};

TEST_P(DroppedFilePathTest, IsTheFirstLocalFileAsTheFileSystemsBytes) {
  QMimeData data;
  data.setData("text/uri-list", GetParam().uri_list);
  EXPECT_EQ(DroppedFilePath(data), GetParam().path);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DroppedFilePathTest,
    ::testing::Values(
        DropCase{"file:///home/ann/UserDb.bin\r\n", "/home/ann/UserDb.bin"},
        DropCase{"file:///home/ann/User%20Db%2B%25.bin\r\n", "/home/ann/User Db+%.bin"},
        DropCase{"file:///home/ann/M%C3%BCller.bin\r\n", "/home/ann/M\xC3\xBCller.bin"},
        // A name that is not UTF-8 keeps its bytes.
        DropCase{"file:///home/ann/M%FCller.bin\r\n", "/home/ann/M\xFCller.bin"},
        DropCase{"file://localhost/srv/UserDb.bin\r\n", "/srv/UserDb.bin"},
        DropCase{"# from a file manager\r\nhttps://example.invalid/a.bin\r\n"
                 "file:///b.bin\r\nfile:///c.bin\r\n",
                 "/b.bin"},
        DropCase{"https://example.invalid/UserDb.bin\r\n", std::nullopt},
        DropCase{"file://otherhost/srv/UserDb.bin\r\n", std::nullopt}, DropCase{"", std::nullopt}),
    [](const auto& case_info) {
      return test_support::CaseName(case_info.param.uri_list, case_info.index);
    });

TEST(DroppedFilePathTest, NeedsAnAddressList) {
  QMimeData data;
  data.setText("file:///home/ann/UserDb.bin");
  EXPECT_EQ(DroppedFilePath(data), std::nullopt);
}

TEST(NoticeStreamTest, ForwardsEverythingAndKeepsCompleteLines) {
  std::ostringstream standard_error;
  NoticeStream notices(standard_error);
  notices << "Registry file a cannot be read" << std::endl << "second ";
  notices.write("part\nthird", 10);
  EXPECT_EQ(standard_error.str(), "Registry file a cannot be read\nsecond part\nthird");
  EXPECT_EQ(notices.TakeLines(),
            (std::vector<std::string>{"Registry file a cannot be read", "second part"}));
  EXPECT_TRUE(notices.TakeLines().empty());
  notices << "\n";
  EXPECT_EQ(notices.TakeLines(), std::vector<std::string>{"third"});
}

TEST(NoticeStreamTest, KeepsNoticesWhenTheForwardedStreamFails) {
  std::ostringstream standard_error;
  standard_error.setstate(std::ios::badbit);
  NoticeStream notices(standard_error);
  notices << "one" << std::endl << "two" << std::endl;
  EXPECT_TRUE(notices.good());
  EXPECT_EQ(notices.TakeLines(), (std::vector<std::string>{"one", "two"}));
}

TEST(VersionCaptionTest, FileVersionAndDateOfTheRecord) {
  EXPECT_EQ(VersionCaption("Ver.: ", platform::VersionRecord{"1.0.1.16", "2018-01-11"}),
            "Ver.: 1.0.1.16 @ 2018-01-11");
}

TEST(VersionCaptionTest, WithoutRecordNeitherIsAvailable) {
  EXPECT_EQ(VersionCaption("Ver.: ", std::nullopt),
            "Ver.: Value Not Available @ Value Not Available");
}

TEST(VersionCaptionTest, AFieldTheRecordLacksIsEmpty) {
  EXPECT_EQ(VersionCaption("Ver.: ", platform::VersionRecord{"1.0.1.16", ""}), "Ver.: 1.0.1.16 @ ");
  EXPECT_EQ(VersionCaption("Ver.: ", platform::VersionRecord{"", "2018-01-11"}),
            "Ver.:  @ 2018-01-11");
}

struct AnchorCase {
  const char* name;
  Anchors anchors;
  QSize client;
  QRect expected;
};

class AnchoredGeometryTest : public ::testing::TestWithParam<AnchorCase> {};

// Drawn at (20, 30) 100 x 40 in a client area of 500 x 300.
TEST_P(AnchoredGeometryTest, KeepsTheDistancesToTheAnchoredEdges) {
  EXPECT_EQ(AnchoredGeometry(QRect(20, 30, 100, 40), GetParam().anchors, QSize(500, 300),
                             GetParam().client),
            GetParam().expected);
}

constexpr Anchors kTopLeft = kAnchorLeft | kAnchorTop;

INSTANTIATE_TEST_SUITE_P(
    Cases, AnchoredGeometryTest,
    ::testing::Values(
        AnchorCase{"top_left_same_size", kTopLeft, QSize(500, 300), QRect(20, 30, 100, 40)},
        AnchorCase{"top_left_grown", kTopLeft, QSize(700, 450), QRect(20, 30, 100, 40)},
        AnchorCase{"top_right", kAnchorTop | kAnchorRight, QSize(700, 450),
                   QRect(220, 30, 100, 40)},
        AnchorCase{"left_right", kTopLeft | kAnchorRight, QSize(700, 450), QRect(20, 30, 300, 40)},
        AnchorCase{"top_bottom", kTopLeft | kAnchorBottom, QSize(700, 450),
                   QRect(20, 30, 100, 190)},
        AnchorCase{"left_bottom", kAnchorLeft | kAnchorBottom, QSize(700, 450),
                   QRect(20, 180, 100, 40)},
        AnchorCase{"all_edges_shrunk", kTopLeft | kAnchorRight | kAnchorBottom, QSize(450, 280),
                   QRect(20, 30, 50, 20)}),
    [](const auto& case_info) { return std::string(case_info.param.name); });

TEST(FailureMessageTest, OfEveryKindOfFailure) {
  EXPECT_EQ(FailureMessage(std::make_exception_ptr(Exception("Ung\xFCltiger Datentyp"))),
            "Ung\xFCltiger Datentyp");
  EXPECT_EQ(FailureMessage(std::make_exception_ptr(std::out_of_range("index 7"))), "index 7");
  EXPECT_EQ(FailureMessage(std::make_exception_ptr(42)), "Unknown failure");
}

}  // namespace

}  // namespace userdb::app
