// Files dropped from a file manager onto the window: the dropped file becomes the input,
// wherever on the window it is dropped; other drops are left to the controls.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDropEvent>
#include <QMimeData>
#include <memory>
#include <string>

#include "tests/app/gui_test_support.h"

namespace userdb::app {

namespace {

using gui_test::WindowTest;
using test_support::WriteFile;
using ::testing::IsEmpty;

// A drop as a file manager offers it: the list of addresses and the same as plain text.
std::unique_ptr<QMimeData> FileManagerDrop(const std::string& address) {
  auto data = std::make_unique<QMimeData>();
  data->setData("text/uri-list", QByteArray::fromStdString(address + "\r\n"));
  data->setText(QString::fromStdString(address));
  return data;
}

struct DropResult {
  bool entered = false;  // the drag was welcome
  bool dropped = false;  // the drop was taken
  Qt::DropAction action = Qt::IgnoreAction;
};

// Drags `data` onto `target` and drops it there, as the window system delivers a drop.
DropResult DropOn(QWidget* target, const QMimeData& data,
                  Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction) {
  const QPoint at = target->rect().center();
  DropResult result;
  QDragEnterEvent enter(at, offered, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  result.entered = enter.isAccepted();
  if (!result.entered) return result;
  QDragMoveEvent move(at, offered, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &move);
  QDropEvent drop(QPointF(at), offered, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
  result.dropped = drop.isAccepted();
  result.action = drop.dropAction();
  return result;
}

class FileDropTest : public WindowTest {
 protected:
  void SetUp() override {
    WriteFile(input_, "1234567,Q1ABC,Anna Maria Muster,Neustadt,Bayern,,Germany\r\n");
    Start();
  }

  // The folder holds a file whose name has a blank and an umlaut, as an address.
  const std::string input_ = folder_ / "User Db\xC3\xA4.bin";
  const std::string address_ = "file://" + folder_.Path() + "/User%20Db%C3%A4.bin";
};

TEST_F(FileDropTest, AFileDroppedOnThePathFieldIsConverted) {
  const auto data = FileManagerDrop(address_);
  const DropResult result = DropOn(PathField(), *data);

  EXPECT_TRUE(result.dropped);
  EXPECT_EQ(result.action, Qt::CopyAction);  // never a move: the file stays where it is
  EXPECT_EQ(PathField()->text().toStdString(), input_);
  SelectRadioType(0);
  EXPECT_THAT(Transform(), IsEmpty());
  ASSERT_FALSE(LogLines().empty());
  EXPECT_EQ(LogLines().front(), "File name read: " + input_);
  EXPECT_TRUE(std::filesystem::exists(folder_ / "contacts_users_1.csv"));
}

TEST_F(FileDropTest, AFileDroppedAnywhereOnTheWindowBecomesThePath) {
  const auto data = FileManagerDrop(address_);
  for (QWidget* target : {static_cast<QWidget*>(window_.get()), static_cast<QWidget*>(Log())}) {
    TypePath("");
    EXPECT_TRUE(DropOn(target, *data).dropped) << target->objectName().toStdString();
    EXPECT_EQ(PathField()->text().toStdString(), input_) << target->objectName().toStdString();
  }
  EXPECT_EQ(Log()->toPlainText(), "");  // the log pane took nothing in
}

TEST_F(FileDropTest, AFileOfferedOnlyForMovingIsRefused) {
  const auto data = FileManagerDrop(address_);
  TypePath("typed");
  const DropResult result = DropOn(PathField(), *data, Qt::MoveAction);
  EXPECT_FALSE(result.entered);
  EXPECT_EQ(PathField()->text(), "typed");
}

TEST_F(FileDropTest, DroppedTextIsStillText) {
  QMimeData data;
  data.setText("typed by drop");
  TypePath("");
  EXPECT_TRUE(DropOn(PathField(), data).dropped);
  EXPECT_EQ(PathField()->text(), "typed by drop");
}

}  // namespace

}  // namespace userdb::app
