// The browse button of the path field and its dialog, driven as a user would: what the
// dialog offers, where it opens, how a typed name is completed, and what reaches the
// path field and the process's current folder.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QListView>
#include <QToolButton>
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/app/gui_test_support.h"

namespace userdb::app {

namespace {

using gui_test::ModalWindowHandler;
using gui_test::ShownBox;
using gui_test::WaitUntil;
using gui_test::WindowTest;
using test_support::WriteFile;
using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

// What the dialog showed when it came up.
struct SeenDialog {
  std::string title;
  std::vector<std::string> file_types;
  std::string selected_type;
  std::string folder;
  std::string file_name;
  std::vector<std::string> listed;  // with the type the user chose selected
};

std::vector<std::string> Listed(QFileDialog* dialog) {
  auto* view = dialog->findChild<QListView*>("listView");
  std::vector<std::string> names;
  for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row) {
    names.push_back(
        view->model()->index(row, 0, view->rootIndex()).data().toString().toStdString());
  }
  return names;
}

class DialogTest : public WindowTest {
 protected:
  DialogTest() : starting_folder_(QDir::currentPath()) {
    std::filesystem::create_directories(In("elsewhere"));
    for (const char* name : {"UserDb.bin", ".hidden.Bin", "Other.CSV", "notes.txt"}) {
      WriteFile(In(name), "");
    }
    WriteFile(In("elsewhere/Second.bin"), "");
  }
  ~DialogTest() override { QDir::setCurrent(starting_folder_); }

  void RememberFolder(const std::string& folder) {
    WriteHive("[HKEY_CURRENT_USER\\Software\\ZID\\DefaultUserbinPath]\n\"Path\"=\"" + folder +
              "\"\n");
  }

  // Clicks the path field's button; in the dialog, selects `file_type` (when given), waits
  // until `wait_for` is listed (when given), types `typed_name` (when given) and confirms,
  // or cancels when `typed_name` is empty.
  SeenDialog Browse(const std::string& typed_name, const QString& file_type = {},
                    const std::string& wait_for = {}) {
    SeenDialog seen;
    ModalWindowHandler handler([&](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      ASSERT_NE(dialog, nullptr);
      auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
      auto* name_field = dialog->findChild<QLineEdit*>("fileNameEdit");
      auto* buttons = dialog->findChild<QDialogButtonBox*>("buttonBox");
      seen.title = dialog->windowTitle().toStdString();
      for (int i = 0; i < types->count(); ++i)
        seen.file_types.push_back(types->itemText(i).toStdString());
      seen.selected_type = types->currentText().toStdString();
      seen.folder = dialog->directory().absolutePath().toStdString();
      seen.file_name = name_field->text().toStdString();
      // As with the keyboard: the dialog follows the type the user activates.
      while (!file_type.isEmpty() && types->currentText() != file_type &&
             types->currentIndex() + 1 < types->count()) {
        QTest::keyClick(types, Qt::Key_Down);
      }
      if (!wait_for.empty()) {
        WaitUntil([&] {
          const std::vector<std::string> names = Listed(dialog);
          return std::find(names.begin(), names.end(), wait_for) != names.end();
        });
        QTest::qWait(100);  // the rest of the folder
        seen.listed = Listed(dialog);
      }
      if (typed_name.empty()) {
        QTest::mouseClick(buttons->button(QDialogButtonBox::Cancel), Qt::LeftButton);
        return;
      }
      name_field->clear();
      QTest::keyClicks(name_field, QString::fromStdString(typed_name));
      // The name field offers completions in a popup, which takes the first click
      // elsewhere for itself: the user closes it and confirms again.
      for (int attempt = 0; attempt < 3 && dialog->isVisible(); ++attempt) {
        if (QWidget* popup = QApplication::activePopupWidget()) {
          QTest::keyClick(popup, Qt::Key_Escape);
        }
        QTest::mouseClick(buttons->button(QDialogButtonBox::Open), Qt::LeftButton);
        WaitUntil([dialog] { return !dialog->isVisible(); }, 1000);
      }
    });
    QTest::mouseClick(PathField()->findChild<QToolButton*>(), Qt::LeftButton);
    EXPECT_EQ(handler.Handled(), 1);
    return seen;
  }

  std::string Path() const { return PathField()->text().toStdString(); }
  // The files of a test lie in a folder of their own.
  std::string In(const std::string& name) const { return data_ + "/" + name; }

  const std::string data_ = folder_ / "data";
  const QString starting_folder_;
};

TEST_F(DialogTest, OffersBothTypesInAnyLetterCaseWithHiddenFiles) {
  RememberFolder(data_ + "/");
  Start();

  const SeenDialog bin = Browse("", {}, "UserDb.bin");
  EXPECT_EQ(bin.title, "Laden der USERDB.BIN");
  EXPECT_THAT(bin.file_types, ElementsAre("BIN", "CSV"));
  EXPECT_EQ(bin.selected_type, "BIN");
  EXPECT_EQ(bin.folder, data_);
  EXPECT_THAT(bin.listed, UnorderedElementsAre("UserDb.bin", ".hidden.Bin", "elsewhere"));

  const SeenDialog csv = Browse("", "CSV", "Other.CSV");
  EXPECT_THAT(csv.listed, UnorderedElementsAre("Other.CSV", "elsewhere"));
}

TEST_F(DialogTest, CancelEmptiesThePathFieldAndLeavesTheShownFolderCurrent) {
  RememberFolder(data_ + "/elsewhere/");
  Start();
  ASSERT_EQ(Path(), data_ + "/elsewhere/");

  Browse("");

  EXPECT_EQ(Path(), "");
  EXPECT_EQ(QDir::currentPath().toStdString(), data_ + "/elsewhere");
}

// A name typed into the dialog and what reaches the path field.
struct TypedCase {
  const char* name;
  std::string typed;
  QString file_type;
  std::string chosen;  // in the test's folder
};

void PrintTo(const TypedCase& c, std::ostream* out) {
  *out << c.name;
}

class TypedNameTest : public DialogTest, public ::testing::WithParamInterface<TypedCase> {};

TEST_P(TypedNameTest, ReachesThePathFieldCompleted) {
  RememberFolder(data_ + "/");
  Start();
  Browse(GetParam().typed, GetParam().file_type);
  EXPECT_EQ(Path(), In(GetParam().chosen));
  // Typing a folder's path may take the dialog into that folder before it is confirmed.
  if (GetParam().typed.find('/') == std::string::npos) {
    EXPECT_EQ(QDir::currentPath().toStdString(), data_);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TypedNameTest,
    ::testing::Values(TypedCase{"WithoutExtension", "UserDb", {}, "UserDb.Bin"},
                      TypedCase{"WithoutExtensionAsCsv", "UserDb", "CSV", "UserDb.Csv"},
                      TypedCase{"EndingInADot", "Contacts.", {}, "Contacts.Bin"},
                      TypedCase{"TypesExtensionInOtherCase", "new.BIN", {}, "new.BIN"},
                      TypedCase{"KnownExtension", "list.txt", {}, "list.txt"},
                      TypedCase{"UnknownExtension", "data.xyz", {}, "data.xyz.Bin"},
                      TypedCase{"ExistingFile", "notes.txt", {}, "notes.txt"},
                      TypedCase{"InAFolder", "elsewhere/Second.bin", {}, "elsewhere/Second.bin"}),
    [](const auto& case_info) { return std::string(case_info.param.name); });

TEST_F(DialogTest, OpensInTheCurrentFolderThenWhereTheLastFileWas) {
  QDir::setCurrent(QString::fromStdString(data_));
  Start();

  const SeenDialog first = Browse(In("elsewhere/Second.bin"));
  EXPECT_EQ(first.folder, data_);
  EXPECT_EQ(first.file_name, "");
  EXPECT_EQ(Path(), In("elsewhere/Second.bin"));

  QDir::setCurrent("/");
  const SeenDialog second = Browse("");
  EXPECT_EQ(second.folder, data_ + "/elsewhere");
  EXPECT_EQ(second.file_name, "Second.bin");

  // A cancel forgets the file: back to the current folder, which the dialog just set.
  QDir::setCurrent("/");
  const SeenDialog third = Browse("");
  EXPECT_EQ(third.folder, "/");
  EXPECT_EQ(third.file_name, "");
}

TEST_F(DialogTest, AlwaysOpensInTheRememberedFolder) {
  RememberFolder(data_ + "/");
  Start();
  Browse(In("elsewhere/Second.bin"));

  const SeenDialog again = Browse("");
  EXPECT_EQ(again.folder, data_);
  EXPECT_EQ(again.file_name, "Second.bin");
}

TEST_F(DialogTest, AMissingFileConfirmedIsRefusedByTransform) {
  RememberFolder(data_ + "/");
  Start();
  SelectRadioType(0);
  Browse("Missing");
  ASSERT_EQ(Path(), In("Missing.Bin"));

  const std::vector<ShownBox> boxes = Transform();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "File not exists or blocked");
}

}  // namespace

}  // namespace userdb::app
