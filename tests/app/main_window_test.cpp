// The window through its controls, as a user meets it: the first start, the Transform
// command's checks, real conversions, the remembered selections, the coupling of the two
// option groups, failures on the way, and the layout when the window is resized.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QPixmap>
#include <QScreen>
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "platform/display_text.h"
#include "platform/registry/registry_errors.h"
#include "tests/app/gui_test_support.h"
#include "tests/support/file_held_elsewhere.h"

namespace userdb::app {

namespace {

using gui_test::App;
using gui_test::Dword;
using gui_test::MessageBoxAnswerer;
using gui_test::ShownBox;
using gui_test::String;
using gui_test::WindowTest;
using test_support::FileHeldElsewhere;
using test_support::ReadFile;
using test_support::WriteFile;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr char kFileMissing[] = "File not exists or blocked";
constexpr char kNoRadioType[] = "Select your radio type please";

const std::string kTwoContacts =
    "1234567,Q1ABC,Anna Maria Muster,Neustadt,Bayern,,Germany\r\n"
    "7654321,Q2XYZ,Bob Beispiel,Town,,,United States\r\n";

// A notice of the window: the application's title, the text, "OK" alone, no icon, modal,
// centred on the screen, shown while "Transform" is disabled.
void ExpectNotice(const ShownBox& box, const std::string& text) {
  EXPECT_EQ(box.title, App().Title().toStdString());
  EXPECT_EQ(box.text, text);
  EXPECT_EQ(box.icon, QMessageBox::NoIcon);
  EXPECT_EQ(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
  EXPECT_TRUE(box.application_modal);
  EXPECT_TRUE(box.centred_on_screen);
  EXPECT_FALSE(box.transform_enabled);
}

// A failure reported by the application: its message under the application's title.
void ExpectFailure(const ShownBox& box, const std::string& message) {
  EXPECT_EQ(box.title, App().Title().toStdString());
  EXPECT_EQ(box.text, platform::DisplayUtf8(message));
  EXPECT_EQ(box.icon, QMessageBox::Critical);
  EXPECT_EQ(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
  EXPECT_TRUE(box.application_modal);
}

TEST_F(WindowTest, VeryFirstStart) {
  Start();

  EXPECT_EQ(window_->windowTitle(), "Transform UserDb.bin for VI9600/MD2017 usage");
  EXPECT_EQ(App().Title(), "main_window_test");  // the caption of the message boxes
  EXPECT_EQ(window_->frameGeometry(), QRect(286, 242, 520, 378));
  EXPECT_EQ(PathField()->text(), "");
  EXPECT_EQ(RadioTypes()->ItemIndex(), -1);
  EXPECT_EQ(DisplayFormats()->ItemIndex(), 1);
  EXPECT_FALSE(DisplayFormats()->isEnabled());
  EXPECT_TRUE(TransformButton()->isEnabled());
  EXPECT_EQ(Find<QLabel>("lblVersion")->text(), "Ver.: 1.0.1.16 @ 2018-01-11");
  EXPECT_EQ(Log()->toPlainText(), "");
  EXPECT_EQ(Progress()->Percentage(), 0);

  EXPECT_TRUE(KeyExists("Software\\ZID"));
  EXPECT_TRUE(KeyExists("Software\\ZID\\RadioType"));
  EXPECT_TRUE(KeyExists("Software\\ZID\\LineType"));
  EXPECT_THAT(StoredHive().FindKey("Software\\ZID\\RadioType")->Values(), IsEmpty());
  EXPECT_THAT(StoredHive().FindKey("Software\\ZID\\LineType")->Values(), IsEmpty());
  EXPECT_FALSE(KeyExists("Software\\ZID\\DefaultUserbinPath"));
}

TEST_F(WindowTest, CaptionsAndItemsAsDrawn) {
  Start();
  EXPECT_EQ(Find<QLabel>("lblUserdbauswahl")->text(), "Select UserDb.bin first");
  EXPECT_EQ(Find<QLabel>("lblAction")->text(), "Process action");
  EXPECT_EQ(TransformButton()->text(), "Transform");
  EXPECT_EQ(RadioTypes()->title(), "Select radio type for output format");
  EXPECT_EQ(RadioTypes()->Item(0)->text(), "MD-9600/RT90");
  EXPECT_EQ(RadioTypes()->Item(1)->text(), "MD-2017/RT82");
  EXPECT_EQ(DisplayFormats()->title(), "Display format (MD2017 only)");
  EXPECT_EQ(DisplayFormats()->Item(0)->text(), "field per line");
  EXPECT_EQ(DisplayFormats()->Item(1)->text(), "compact it");
  EXPECT_FALSE(Log()->isReadOnly());
  EXPECT_EQ(Log()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(Log()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  // Every caption fits its control at the window's font.
  for (QRadioButton* option : window_->findChildren<QRadioButton*>()) {
    EXPECT_GE(option->width(), option->sizeHint().width()) << option->text().toStdString();
  }
  for (QLabel* label : window_->findChildren<QLabel*>()) {
    EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString();
    EXPECT_LE(label->geometry().right(), window_->width()) << label->text().toStdString();
  }
}

// The checks of the Transform command, each ending it with one notice.
struct CheckCase {
  const char* name;
  bool remembered_folder;  // the folder of the test is stored: the path field shows it
  std::string typed_path;  // "<folder>" is replaced by the test's folder; empty: as started
  int radio_type;          // -1: none selected
  std::string expected_text;
};

void PrintTo(const CheckCase& c, std::ostream* out) {
  *out << c.name;
}

class TransformCheckTest : public WindowTest, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(TransformCheckTest, ShowsOneNoticeAndNeitherLogsNorStores) {
  const CheckCase& c = GetParam();
  WriteFile(folder_ / "UserDb.bin", kTwoContacts);
  if (c.remembered_folder) {
    WriteHive("[HKEY_CURRENT_USER\\Software\\ZID\\DefaultUserbinPath]\n\"Path\"=\"" +
              folder_.Path() + "/\"\n");
  }
  Start();
  std::string path = c.typed_path;
  if (const size_t at = path.find("<folder>"); at != std::string::npos) {
    path.replace(at, 8, folder_.Path());
  }
  if (!c.remembered_folder) TypePath(path);
  if (c.radio_type >= 0) SelectRadioType(c.radio_type);
  const registry::Hive before = StoredHive();

  const std::vector<ShownBox> boxes = Transform();

  ASSERT_EQ(boxes.size(), 1u);
  ExpectNotice(boxes[0], c.expected_text);
  EXPECT_TRUE(TransformButton()->isEnabled());
  EXPECT_EQ(Log()->toPlainText(), "");
  EXPECT_EQ(StoredHive(), before);
  EXPECT_FALSE(std::filesystem::exists(folder_ / "contacts_users_2.csv"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TransformCheckTest,
    ::testing::Values(CheckCase{"RememberedFolderRightAfterStart", true, "", 0, kFileMissing},
                      CheckCase{"EmptyPath", false, "", 1, kFileMissing},
                      CheckCase{"Folder", false, "<folder>", 1, kFileMissing},
                      CheckCase{"MissingFile", false, "<folder>/Missing.bin", 0, kFileMissing},
                      CheckCase{"NoRadioType", false, "<folder>/UserDb.bin", -1, kNoRadioType},
                      CheckCase{"MissingFileAndNoRadioType", false, "<folder>/Missing.bin", -1,
                                kFileMissing}),
    [](const auto& case_info) { return std::string(case_info.param.name); });

TEST_F(WindowTest, ConvertsThroughTheWindow) {
  const std::string input = folder_ / "UserDb.bin";
  WriteFile(input, kTwoContacts);
  Start();
  Choose(input, 1, 0);

  EXPECT_THAT(Transform(), IsEmpty());

  const std::string output = folder_ / "contacts_users_2.csv";
  EXPECT_THAT(LogLines(),
              ElementsAre("File name read: " + input, "Lines found: 2", "Lines accepted : 2",
                          "Lines ignored  : 0", "Output format used for type: MD-2017/RT82",
                          "Display format used : field per line", "File written to: " + output,
                          "=====> Done <======"));
  EXPECT_EQ(ReadFile(output),
            "1234567,Q1ABC Anna     ,Anna Maria Muster        Neustadt                BAY      "
            "               GER\r\n"
            "7654321,Q2XYZ Bob      ,Bob Beispiel             Town                    USA\r\n");
  EXPECT_EQ(Progress()->Percentage(), 100);
  EXPECT_TRUE(TransformButton()->isEnabled());
  EXPECT_EQ(StoredValue("Software\\ZID\\DefaultUserbinPath", "Path"),
            String("Path", folder_.Path() + "/"));
  EXPECT_EQ(StoredValue("Software\\ZID\\RadioType", "Type"), Dword("Type", 1));
  EXPECT_EQ(StoredValue("Software\\ZID\\LineType", "Format"), Dword("Format", 0));
}

// Records the bar's percentage at each of its paints.
class PaintRecorder : public QObject {
 public:
  explicit PaintRecorder(GradientProgressBar* bar) : bar_(bar) { bar->installEventFilter(this); }
  std::vector<int> TakePercentages() { return std::exchange(percentages_, {}); }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) percentages_.push_back(bar_->Percentage());
    return false;
  }

 private:
  GradientProgressBar* bar_;
  std::vector<int> percentages_;
};

// `count` contact lines.
std::string Contacts(int count) {
  std::string lines;
  for (int i = 0; i < count; ++i)
    lines += std::to_string(2000000 + i) + ",Q" + std::to_string(i) + ",Name,City,,,\r\n";
  return lines;
}

TEST_F(WindowTest, RunsInARowKeepTheLogAndStartTheBarAgain) {
  const std::string first = folder_ / "first.bin";
  const std::string other = folder_ / "other.bin";
  WriteFile(first, Contacts(250));  // parts 0 to 249: 0, 40, 80 and 100 %
  WriteFile(other, Contacts(201));  // parts 0 to 200: 0, 50 and 100 %
  Start();
  SelectRadioType(0);
  PaintRecorder paints(Progress());

  TypePath(first);
  EXPECT_THAT(Transform(), IsEmpty());
  // The bar repaints during the run, at each change of its percentage and only then.
  EXPECT_THAT(paints.TakePercentages(), ElementsAre(40, 80, 100));
  EXPECT_THAT(Transform(), IsEmpty());
  EXPECT_THAT(paints.TakePercentages(), ElementsAre(0, 40, 80, 100));
  TypePath(other);
  EXPECT_THAT(Transform(), IsEmpty());
  EXPECT_THAT(paints.TakePercentages(), ElementsAre(0, 50, 100));

  const std::vector<std::string> log = LogLines();
  EXPECT_EQ(std::count(log.begin(), log.end(), "=====> Done <======"), 3);
  EXPECT_EQ(log.front(), "File name read: " + first);
  EXPECT_EQ(log.back(), "=====> Done <======");
  EXPECT_TRUE(std::filesystem::exists(folder_ / "contacts_users_250.csv"));
  EXPECT_TRUE(std::filesystem::exists(folder_ / "contacts_users_201.csv"));
}

TEST_F(WindowTest, DisplayFormatsOnlyForTheMd2017) {
  Start();
  std::vector<std::pair<int, int>> changing;  // the new index, and the selection meanwhile
  QObject::connect(RadioTypes(), &OptionGroup::Changing, [&](int new_index) {
    changing.emplace_back(new_index, RadioTypes()->ItemIndex());
  });

  SelectRadioType(1);
  EXPECT_TRUE(DisplayFormats()->isEnabled());
  SelectDisplayFormat(0);
  SelectRadioType(0);
  EXPECT_FALSE(DisplayFormats()->isEnabled());
  EXPECT_EQ(DisplayFormats()->ItemIndex(), 0);
  SelectRadioType(0);  // already selected: no change
  RadioTypes()->Item(0)->setFocus();
  QTest::keyClick(RadioTypes()->Item(0), Qt::Key_Right);
  EXPECT_EQ(RadioTypes()->ItemIndex(), 1);
  EXPECT_TRUE(DisplayFormats()->isEnabled());
  EXPECT_EQ(DisplayFormats()->ItemIndex(), 0);

  EXPECT_THAT(changing, ElementsAre(std::pair(1, -1), std::pair(0, 1), std::pair(1, 0)));
}

TEST_F(WindowTest, TheNextStartShowsWhatTheLastTransformStored) {
  const std::string input = folder_ / "UserDb.bin";
  WriteFile(input, kTwoContacts);
  Start();
  Choose(input, 1, 0);
  EXPECT_THAT(Transform(), IsEmpty());

  Restart();

  EXPECT_EQ(PathField()->text().toStdString(), folder_.Path() + "/");
  EXPECT_EQ(RadioTypes()->ItemIndex(), 1);
  EXPECT_EQ(DisplayFormats()->ItemIndex(), 0);
  EXPECT_TRUE(DisplayFormats()->isEnabled());
  EXPECT_EQ(Log()->toPlainText(), "");
}

// Stored selections as the window shows them at start.
struct StoredCase {
  const char* name;
  std::string type_line;    // in "\Software\ZID\RadioType"
  std::string format_line;  // in "\Software\ZID\LineType"
  int radio_type;
  int display_format;
  bool display_format_enabled;
};

void PrintTo(const StoredCase& c, std::ostream* out) {
  *out << c.name;
}

class StoredSelectionTest : public WindowTest, public ::testing::WithParamInterface<StoredCase> {};

TEST_P(StoredSelectionTest, ReachTheControls) {
  const StoredCase& c = GetParam();
  WriteHive("[HKEY_CURRENT_USER\\Software\\ZID\\RadioType]\n" + c.type_line +
            "\n\n[HKEY_CURRENT_USER\\Software\\ZID\\LineType]\n" + c.format_line + "\n");
  Start();
  EXPECT_EQ(RadioTypes()->ItemIndex(), c.radio_type);
  EXPECT_EQ(DisplayFormats()->ItemIndex(), c.display_format);
  EXPECT_EQ(DisplayFormats()->isEnabled(), c.display_format_enabled);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StoredSelectionTest,
    ::testing::Values(
        StoredCase{"Md2017FieldPerLine", "\"Type\"=dword:00000001", "\"Format\"=dword:00000000", 1,
                   0, true},
        StoredCase{"Md9600", "\"Type\"=dword:00000000", "\"Format\"=dword:00000000", 0, 0, false},
        StoredCase{"TypeBeyondTheItems", "\"Type\"=dword:00000005", "", 0, 1, false},
        StoredCase{"NegativeType", "\"Type\"=dword:fffffff9", "\"Format\"=dword:00000002", -1, 1,
                   false},
        StoredCase{"TypeAsString", "\"Type\"=\"1\"", "\"Format\"=dword:ffffffff", -1, 1, false},
        StoredCase{"FormatAsString", "\"Type\"=dword:00000001", "\"Format\"=\"0\"", 1, 1, true}),
    [](const auto& case_info) { return std::string(case_info.param.name); });

TEST_F(WindowTest, FailureDuringTheRunIsShownAfterTheButtonIsBack) {
  const std::string input = folder_ / "UserDb.bin";
  WriteFile(input, kTwoContacts);
  Start();
  Choose(input, 1, 0);
  std::vector<ShownBox> boxes;
  {
    FileHeldElsewhere writer(input, FileHeldElsewhere::Hold::kOpenForWriting);
    ASSERT_TRUE(writer.Held());
    boxes = Transform();
  }

  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_TRUE(boxes[0].transform_enabled);
  EXPECT_EQ(boxes[0].title, App().Title().toStdString());
  EXPECT_THAT(boxes[0].text, ::testing::StartsWith(platform::DisplayUtf8("Datei " + input +
                                                                         " kann nicht ge\xF6"
                                                                         "ffnet werden.")));
  EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
  EXPECT_TRUE(TransformButton()->isEnabled());
  EXPECT_EQ(Log()->toPlainText(), "");
  // The selections were stored before the file was read.
  EXPECT_EQ(StoredValue("Software\\ZID\\RadioType", "Type"), Dword("Type", 1));
  EXPECT_EQ(StoredValue("Software\\ZID\\LineType", "Format"), Dword("Format", 0));

  // The window goes on working: once the other program lets go, the file converts.
  EXPECT_THAT(Transform(), IsEmpty());
  EXPECT_EQ(LogLines().back(), "=====> Done <======");
}

TEST_F(WindowTest, OutputThatCannotBeWrittenLeavesTheLogOfTheRun) {
  const std::string input = folder_ / "UserDb.bin";
  const std::string output = folder_ / "contacts_users_2.csv";
  WriteFile(input, kTwoContacts);
  std::filesystem::create_directory(output);  // in the way of the output file
  Start();
  Choose(input, 1, 0);

  const std::vector<ShownBox> boxes = Transform();

  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_TRUE(boxes[0].transform_enabled);
  EXPECT_THAT(boxes[0].text,
              ::testing::StartsWith("Datei \"" + output + "\" kann nicht erstellt werden."));
  EXPECT_THAT(LogLines(),
              ElementsAre("File name read: " + input, "Lines found: 2", "Lines accepted : 2",
                          "Lines ignored  : 0", "Output format used for type: MD-2017/RT82",
                          "Display format used : field per line"));
  EXPECT_TRUE(TransformButton()->isEnabled());
}

TEST_F(WindowTest, RefusedSettingsEndTheCommandBeforeTheRun) {
  const std::string input = folder_ / "UserDb.bin";
  WriteFile(input, kTwoContacts);
  MakeSettingsUnwritable();
  Start();
  Choose(input, 0);

  const std::vector<ShownBox> boxes = Transform();

  ASSERT_EQ(boxes.size(), 1u);
  ExpectFailure(boxes[0], registry::RegistryDataWriteError("Path").Message());
  EXPECT_TRUE(boxes[0].transform_enabled);
  EXPECT_TRUE(TransformButton()->isEnabled());
  // The log holds the settings store's notice of the start, as on standard error, and
  // nothing of a run.
  EXPECT_THAT(LogLines(), ::testing::Not(IsEmpty()));
  EXPECT_EQ(LogLines(), StandardErrorLines());
  EXPECT_FALSE(std::filesystem::exists(folder_ / "contacts_users_2.csv"));
}

TEST_F(WindowTest, UnreadableStoredFolderIsReportedAndTheWindowStillConverts) {
  WriteHive(
      "[HKEY_CURRENT_USER\\Software\\ZID\\DefaultUserbinPath]\n\"Path\"=dword:00000001\n\n"
      "[HKEY_CURRENT_USER\\Software\\ZID\\RadioType]\n\"Type\"=dword:00000001\n");
  MessageBoxAnswerer answerer;
  Start();

  ASSERT_EQ(answerer.Boxes().size(), 1u);
  ExpectFailure(answerer.Boxes()[0], registry::RegistryDataTypeError("Path").Message());
  ASSERT_TRUE(window_->isVisible());
  EXPECT_EQ(PathField()->text(), "");
  EXPECT_EQ(RadioTypes()->ItemIndex(), 0);
  EXPECT_EQ(DisplayFormats()->ItemIndex(), 1);
  EXPECT_EQ(Find<QLabel>("lblVersion")->text(), "Ver.: 1.0.1.16 @ 2018-01-11");

  // The region table was filled all the same: regions are abbreviated.
  const std::string input = folder_ / "UserDb.bin";
  WriteFile(input, kTwoContacts);
  Choose(input, 1);
  EXPECT_THAT(Transform(), IsEmpty());
  EXPECT_EQ(ReadFile(folder_ / "contacts_users_2.csv"),
            "1234567,Q1ABC Anna     ,Anna Maria Muster|Neustadt|BAY|GER\r\n"
            "7654321,Q2XYZ Bob      ,Bob Beispiel|Town|USA\r\n");
}

TEST_F(WindowTest, ADamagedSettingsFileIsToldInTheLogOnce) {
  WriteHive("[HKEY_CURRENT_USER\\Software\\ZID\\RadioType]\n\"Type\"=dword:not-a-number\n");
  Start();

  const std::string kept = HivePath() + ".bad";
  EXPECT_TRUE(std::filesystem::exists(kept));
  // Told once, with the name of the kept copy, in the log and on standard error alike.
  ASSERT_THAT(LogLines(), ElementsAre(::testing::HasSubstr(kept)));
  EXPECT_EQ(LogLines(), StandardErrorLines());

  // Later runs add their own lines only.
  const std::string input = folder_ / "UserDb.bin";
  WriteFile(input, kTwoContacts);
  Choose(input, 0);
  EXPECT_THAT(Transform(), IsEmpty());
  const std::vector<std::string> log = LogLines();
  ASSERT_EQ(log.size(), 8u);
  EXPECT_THAT(log[0], ::testing::HasSubstr(kept));
  EXPECT_EQ(log[1], "File name read: " + input);
  EXPECT_EQ(log.back(), "=====> Done <======");
}

// After a run, a notice or a failure the keyboard focus is back on "Transform", which Enter
// then activates, as Space does.
TEST_F(WindowTest, TransformKeepsTheKeyboardFocus) {
  const std::string input = folder_ / "UserDb.bin";
  WriteFile(input, kTwoContacts);
  Start();
  const auto focus_on_transform = [this] {
    return gui_test::WaitUntil([this] { return QApplication::focusWidget() == TransformButton(); });
  };

  Choose(folder_ / "Missing.bin", 0);
  EXPECT_THAT(Transform(), ::testing::SizeIs(1));
  EXPECT_TRUE(focus_on_transform()) << "after a notice";

  TypePath(input);
  EXPECT_THAT(Transform(), IsEmpty());
  EXPECT_TRUE(focus_on_transform()) << "after a run";

  {
    FileHeldElsewhere writer(input, FileHeldElsewhere::Hold::kOpenForWriting);
    ASSERT_TRUE(writer.Held());
    EXPECT_THAT(Transform(), ::testing::SizeIs(1));
  }
  EXPECT_TRUE(focus_on_transform()) << "after a failure";

  for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
    QTest::keyClick(QApplication::focusWidget(), key);
    EXPECT_TRUE(focus_on_transform());
  }
  const std::vector<std::string> log = LogLines();
  EXPECT_EQ(std::count(log.begin(), log.end(), "=====> Done <======"), 4);
}

TEST_F(WindowTest, TabOrder) {
  Start();
  SelectRadioType(1);
  PathField()->setFocus();
  std::vector<std::string> order;
  for (int i = 0; i < 6; ++i) {
    QWidget* focus = QApplication::focusWidget();
    order.push_back(focus->objectName().isEmpty()
                        ? focus->parentWidget()->objectName().toStdString()
                        : focus->objectName().toStdString());
    QTest::keyClick(focus, Qt::Key_Tab);
  }
  EXPECT_THAT(order, ElementsAre("edtUserdbauswahl", "btnWeiter", "Memo", "grpRadioType",
                                 "grpDataType", "edtUserdbauswahl"));
}

// Where each control lies for a client area `growth` larger than drawn.
struct Placement {
  const char* control;
  QRect designed;
  bool grows_wide, grows_high, moves_right;
};

const Placement kPlacements[] = {
    {"lblUserdbauswahl", QRect(16, 8, 0, 13), false, false, false},
    {"lblVersion", QRect(362, 8, 0, 13), false, false, true},
    {"edtUserdbauswahl", QRect(18, 24, 474, 21), true, false, false},
    {"grpRadioType", QRect(18, 56, 217, 41), false, false, false},
    {"grpDataType", QRect(248, 56, 169, 41), false, false, false},
    {"btnWeiter", QRect(18, 104, 75, 25), false, false, false},
    {"lblAction", QRect(18, 136, 0, 13), false, false, false},
    {"ProgressBar", QRect(104, 140, 385, 9), true, false, false},
    {"Memo", QRect(18, 152, 475, 180), true, true, false},
};

void ExpectControlsPlaced(const QWidget& window, QSize growth) {
  for (const Placement& p : kPlacements) {
    auto* control = window.findChild<QWidget*>(p.control);
    ASSERT_NE(control, nullptr) << p.control;
    QRect expected = p.designed;
    if (p.moves_right) expected.translate(growth.width(), 0);
    if (p.grows_wide) expected.setWidth(expected.width() + growth.width());
    if (p.grows_high) expected.setHeight(expected.height() + growth.height());
    // Labels are as wide as their text.
    if (expected.width() == 0) expected.setWidth(control->sizeHint().width());
    EXPECT_EQ(control->geometry(), expected) << p.control;
  }
}

TEST_F(WindowTest, ControlsFollowTheirAnchorsWhenResized) {
  Start();
  window_->resize(504, 340);  // the client area as drawn
  ASSERT_TRUE(gui_test::WaitUntil([&] { return window_->size() == QSize(504, 340); }));
  ExpectControlsPlaced(*window_, QSize(0, 0));

  window_->resize(504 + 180, 340 + 120);
  ASSERT_TRUE(gui_test::WaitUntil([&] { return window_->size() == QSize(684, 460); }));
  ExpectControlsPlaced(*window_, QSize(180, 120));
  EXPECT_GE(TransformButton()->minimumWidth(), 75);
}

TEST_F(WindowTest, CannotBeMadeSmallerThanItsMinimum) {
  Start();
  window_->resize(100, 100);
  EXPECT_TRUE(gui_test::WaitUntil([&] {
    return window_->frameGeometry().size() == QSize(400, 310);
  })) << window_->frameGeometry().width()
      << " x " << window_->frameGeometry().height();
}

// The bundled sample database through the window, and the picture of it for the README.
TEST_F(WindowTest, ScreenshotAfterConvertingTheSample) {
  const std::string input = folder_ / "UserDb.bin";
  WriteFile(input, ReadFile(SAMPLE_DATABASE));
  Start();
  Choose(input, 1, 1);
  EXPECT_THAT(Transform(), IsEmpty());
  const std::vector<std::string> log = LogLines();
  EXPECT_THAT(log, ::testing::Contains("Lines accepted : 293"));
  EXPECT_EQ(log.back(), "=====> Done <======");
  EXPECT_EQ(ReadFile(folder_ / "contacts_users_293.csv"), ReadFile(SAMPLE_CONTACTS));

  QTest::qWait(100);
  const QRect frame = window_->frameGeometry();
  const QPixmap shot =
      window_->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
  EXPECT_TRUE(shot.save(SCREENSHOT_PATH));
}

}  // namespace

}  // namespace userdb::app
