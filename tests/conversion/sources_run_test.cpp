// Runs over several sources, one entry per ID and ascending ID order, and large runs whose
// contacts are written as they are composed.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "conversion/conversion_run.h"
#include "conversion/transform_command.h"
#include "platform/file_errors.h"
#include "tests/conversion/recorded_run.h"
#include "tests/support/temp_folder.h"
#include "tests/support/unprivileged_child.h"

namespace userdb::conversion {

namespace {

using test_support::ReadFile;
using test_support::WriteFile;
using ::testing::ElementsAre;

class SourcesRunTest : public RecordedRunTest {
 protected:
  // The files the folder holds, beside the inputs: no temporary file may be left.
  std::vector<std::string> FolderEntries() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder_.Path())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(SourcesRunTest, LaterFilesReplaceEntriesOfTheSameIdInPlace) {
  const std::string database = folder_ / "UserDb.bin";
  const std::string corrections = folder_ / "corrections.csv";
  const std::string specials = folder_ / "special.bin";
  WriteFile(database,
            "1000001,A1AA,Anna,Town,,,\r\n"
            "1000002,B2BB,Bert,Town,,,\r\n"
            "1000002,B2BB,Bert Twice,Town,,,\r\n"  // kept: one file may hold an ID twice
            "1000003,C3CC,Carl,Town,,,\r\n");
  WriteFile(corrections,
            "RADIO_ID,CALLSIGN,FIRST_NAME,LAST_NAME,CITY,STATE,COUNTRY\r\n"
            "1000002,B2NEW,Bert,Neu,Stadt,,\r\n"
            "1000004,D4DD,Dora,,Stadt,,\r\n");
  WriteFile(specials, "9990001,PARROT,Echo,Test,,,\r\n1000001,A1AA,Anna,Moved,,,\r\n");

  Run({database, kMd9600, kCompact, {corrections, specials}});

  EXPECT_THAT(
      log_,
      ElementsAre("File name read: " + database, "Lines found: 4", "Entries added: 4",
                  "Entries replaced: 0", "Input format: radioid.net CSV",
                  "File name read: " + corrections, "Lines found: 2", "Entries added: 1",
                  "Entries replaced: 2", "File name read: " + specials, "Lines found: 2",
                  "Entries added: 1", "Entries replaced: 1", "Lines accepted : 8",
                  "Lines ignored  : 0", "Output format used for type: MD-9600/RT90",
                  "File written to: " + (folder_ / "contacts_users_5.csv"), "=====> Done <======"));
  EXPECT_EQ(ReadFile(folder_ / "contacts_users_5.csv"),
            "1000001,A1AA Anna      ,Moved|\r\n"
            "1000002,B2NEW Bert     ,Stadt|\r\n"
            "1000003,C3CC Carl      ,Town|\r\n"
            "1000004,D4DD Dora      ,Stadt|\r\n"
            "9990001,PARROT Echo    ,Test|\r\n");
  // One progress over the lines of every file.
  EXPECT_EQ(progress_.front(), std::pair('T', 7));
  EXPECT_EQ(progress_.back(), std::pair('P', 7));
}

TEST_F(SourcesRunTest, UniqueIdsKeepsTheLastEntryOfAnIdWithinOneFile) {
  const std::string database = folder_ / "UserDb.bin";
  WriteFile(database,
            "2000002,OLD,First,Here,,,\r\n"
            "2000001,ONE,One,There,,,\r\n"
            "2000002,NEW,Second,Here,,,\r\n"
            "2000002,NEWER,Third,Here,,,\r\n");
  TransformSelections selections{database, kMd9600, kCompact};
  selections.unique_ids = true;
  Run(selections);
  EXPECT_EQ(log_[2], "Entries added: 2");
  EXPECT_EQ(log_[3], "Entries replaced: 2");
  EXPECT_EQ(ReadFile(folder_ / "contacts_users_2.csv"),
            "2000002,NEWER Third    ,Here|\r\n"
            "2000001,ONE One        ,There|\r\n");
}

TEST_F(SourcesRunTest, SortByIdWritesAscendingIdsAndKeepsTheOrderOfEqualOnes) {
  const std::string database = folder_ / "UserDb.bin";
  WriteFile(database,
            "3000003,C,x,T,,,\r\n"
            "1000001,A,first,T,,,\r\n"
            "2000002,B,x,T,,,\r\n"
            "1000001,A,second,T,,,\r\n"
            "1000000,Z,x,T,,,\r\n");
  TransformSelections selections{database, kMd9600, kCompact};
  selections.sort_by_id = true;
  Run(selections);
  // Sorting alone adds no log line.
  EXPECT_EQ(log_.size(), 7u);
  EXPECT_EQ(ReadFile(folder_ / "contacts_users_5.csv"),
            "1000000,Z x            ,T|\r\n"
            "1000001,A first        ,T|\r\n"
            "1000001,A second       ,T|\r\n"
            "2000002,B x            ,T|\r\n"
            "3000003,C x            ,T|\r\n");
}

TEST_F(SourcesRunTest, AMissingFurtherSourceFailsBeforeAnythingIsLogged) {
  const std::string database = folder_ / "UserDb.bin";
  WriteFile(database, "1000001,A,B,C,D,E,F\r\n");
  EXPECT_THROW(Run({database, kMd9600, kCompact, {folder_ / "missing.csv"}}),
               platform::FileOpenError);
  EXPECT_TRUE(log_.empty());
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"UserDb.bin"});
}

// A database of `lines` lines, every one a contact, and its contacts file as a run of the
// MD-9600/RT90 writes it.
struct LargeDatabase {
  std::string bytes;
  std::string contacts;
};
LargeDatabase MakeLargeDatabase(int lines) {
  LargeDatabase database;
  for (int i = 0; i < lines; ++i) {
    const std::string id = std::to_string(2000000 + i);
    database.bytes += id + ",DL" + std::to_string(i % 1000) + ",Hans Meier,Frankfurt am Main," +
                      "Hessen,,Germany\r\n";
    std::string display = "DL" + std::to_string(i % 1000) + " Hans";
    display.resize(15, ' ');
    database.contacts += id + "," + display + ",Frankfurt am Main|HE|GER\r\n";
  }
  return database;
}

// More than a megabyte of contacts goes through a temporary file beside the output.
TEST_F(SourcesRunTest, ALargeRunWritesItsContactsAsTheyComeAndLeavesNoTemporaryFile) {
  const LargeDatabase database = MakeLargeDatabase(40000);
  const std::string input = folder_ / "UserDb.bin";
  WriteFile(input, database.bytes);
  WriteFile(folder_ / "contacts_users_40000.csv", "an earlier file\r\n");
  for (int round = 0; round < 2; ++round) {
    Run({input, kMd9600, kCompact});
    // Compared whole, but not printed whole: two megabytes.
    EXPECT_TRUE(ReadFile(folder_ / "contacts_users_40000.csv") == database.contacts);
    EXPECT_EQ(FolderEntries(),
              (std::vector<std::string>{"UserDb.bin", "contacts_users_40000.csv"}));
  }
}

TEST_F(SourcesRunTest, ALargeRunThatFillsTheDiskKeepsTheEarlierFileAndNoTemporaryOne) {
  const LargeDatabase database = MakeLargeDatabase(40000);
  const std::string input = folder_ / "UserDb.bin";
  WriteFile(input, database.bytes);
  const std::string output = folder_ / "contacts_users_40000.csv";
  WriteFile(output, "earlier contacts\r\n");
  const int result = test_support::RunWithFileSizeLimit(1 << 20, [&] {
    try {
      Run({input, kMd9600, kCompact});
    } catch (const platform::StreamWriteError&) {
      return log_.back() == "Output format used for type: MD-9600/RT90" ? 0 : 1;
    }
    return 2;
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(ReadFile(output), "earlier contacts\r\n");
  EXPECT_EQ(FolderEntries(), (std::vector<std::string>{"UserDb.bin", "contacts_users_40000.csv"}));
}

TEST_F(SourcesRunTest, ALargeRunIntoAReadOnlyFolderRewritesAWritableEarlierFileInPlace) {
  const LargeDatabase database = MakeLargeDatabase(40000);
  const std::string input = folder_ / "UserDb.bin";
  WriteFile(input, database.bytes);
  const std::string output = folder_ / "contacts_users_40000.csv";
  WriteFile(output, "earlier contacts\r\n");
  chmod(output.c_str(), 0666);
  chmod(folder_.Path().c_str(), 0555);
  const int result = test_support::RunInUnprivilegedChild([&] {
    Run({input, kMd9600, kCompact});
    return ReadFile(output) == database.contacts ? 0 : 1;
  });
  EXPECT_EQ(result, 0);
}

}  // namespace

}  // namespace userdb::conversion
