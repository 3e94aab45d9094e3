// The crash helper's windows built in this process from this program's settings and a
// traced report, driven with key events: the full box's texts, buttons and focus, its close
// requests and Ctrl+C, the report viewer's tabs and views, resizing, the simple box and the
// progress box. With USERDB_SCREENSHOT_FOLDER set, each window is photographed there.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStyleFactory>
#include <QTabBar>
#include <QTest>
#include <QTreeView>
#include <cstdlib>

#include "crash/helper/exception_box_window.h"
#include "crash/helper/progress_window.h"
#include "crash/helper/report_viewer.h"
#include "crash/helper/simple_box_window.h"
#include "tests/crash/box/report_fixture.h"
#include "tests/support/program_crash_settings.h"

namespace userdb::crash {

namespace {

using test_support::ProgramCrashSettings;

constexpr char kMessage[] = "Testfehler in Zeile 12. Die Datei ist leer.";

BoxRequest ProgramRequest(bool can_continue = true, int show_setting = 0) {
  BoxRequest request;
  request.settings = ReadBoxSettings(*ProgramCrashSettings(PROGRAM_SETTINGS_SOURCE));
  request.exception = {kMessage, false, can_continue};
  request.show_setting = show_setting;
  return request;
}

ReportContents ReportOf(const char* fixture) {
  const std::string text = test_support::ReadFile(fixture);
  const test_support::ReportLists lists = test_support::ParseReportText(text);
  return {text, true, lists.header, lists.sections};
}

// The report of a trace request of the running window.
ReportContents FixtureReport() {
  return ReportOf(TRACE_REPORT_FIXTURE);
}

// The report of a real crash of the window (a throw in its Transform click, made by the
// tests' failure hook), with the machine's names and foreign processes taken out.
ReportContents CrashReport() {
  return ReportOf(CRASH_REPORT_FIXTURE);
}

// The commands a window chose, by key presses or clicks.
std::vector<BoxCommand> Commands(const QSignalSpy& spy) {
  std::vector<BoxCommand> commands;
  for (const QList<QVariant>& arguments : spy)
    commands.push_back(arguments.at(0).value<BoxCommand>());
  return commands;
}

void Show(QWidget& window) {
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
}

// The window with its frame, as the screen shows it, into the screenshot folder when one is
// named.
void Photograph(QWidget& window, const QString& name) {
  const char* folder = std::getenv("USERDB_SCREENSHOT_FOLDER");
  if (folder == nullptr) return;
  QTest::qWait(300);  // the window manager's frame and the fades settle
  const QRect frame = window.frameGeometry();
  const QPixmap shot =
      window.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
  EXPECT_TRUE(shot.save(QString(folder) + "/" + name + ".png"));
}

QString ClipboardAfterCtrlC(QWidget& window) {
  QGuiApplication::clipboard()->clear();
  QTest::keyClick(&window, Qt::Key_C, Qt::ControlModifier);
  return QGuiApplication::clipboard()->text();
}

TEST(FullBox, ShowsTheProgramsTextsWithSaveFocused) {
  ExceptionBoxWindow box(ProgramRequest(), false, true, ChooseBoxFonts());
  Show(box);
  Photograph(box, "box");
  EXPECT_EQ(box.Describe(),
            "title: userdb-transform\n"
            "text: In der Anwendung trat ein Fehler auf\n"
            "button: Sende einen Fehlerbericht\n"
            "button: Fehlerbericht speichern (focused)\n"
            "button: Fehlerbericht anzeigen\n"
            "button: Anwendung fortsetzen\n"
            "button: Anwendung neu starten\n"
            "button: Anwendung schlie\u00dfen\n");
  // The fixed size of the rules: not resizable.
  EXPECT_EQ(box.minimumSize(), box.maximumSize());
}

TEST(FullBox, ContinueIsDisabledWithItsOwnPictureWhenTheExceptionCannotContinue) {
  ExceptionBoxWindow box(ProgramRequest(false), false, true, ChooseBoxFonts());
  Show(box);
  EXPECT_NE(box.Describe().find("button: Anwendung fortsetzen (disabled)\n"), std::string::npos);
}

struct CloseCase {
  const char* name;
  bool can_continue;
  int key;
  Qt::KeyboardModifiers modifiers;
  BoxCommand expected;
};

class FullBoxCloseRequest : public ::testing::TestWithParam<CloseCase> {};

TEST_P(FullBoxCloseRequest, ContinuesWhenItCanElseClosesTheApplication) {
  const CloseCase& c = GetParam();
  ExceptionBoxWindow box(ProgramRequest(c.can_continue), false, true, ChooseBoxFonts());
  QSignalSpy chosen(&box, &BoxWindow::CommandChosen);
  Show(box);
  if (c.key == 0) {
    box.close();  // the title bar's close button and Alt+F4 ask the same
  } else {
    QTest::keyClick(&box, static_cast<Qt::Key>(c.key), c.modifiers);
  }
  EXPECT_EQ(Commands(chosen), std::vector<BoxCommand>{c.expected});
  EXPECT_TRUE(box.isVisible()) << "the helper closes the box once it told the command";
}

INSTANTIATE_TEST_SUITE_P(
    Requests, FullBoxCloseRequest,
    ::testing::Values(CloseCase{"EscapeContinues", true, Qt::Key_Escape, {}, BoxCommand::kContinue},
                      CloseCase{
                          "EscapeCloses", false, Qt::Key_Escape, {}, BoxCommand::kCloseApplication},
                      CloseCase{"CloseButtonContinues", true, 0, {}, BoxCommand::kContinue},
                      CloseCase{"CloseButtonCloses", false, 0, {}, BoxCommand::kCloseApplication},
                      CloseCase{"ReturnSaves", true, Qt::Key_Return, {}, BoxCommand::kSave}),
    [](const auto& test_case) { return std::string(test_case.param.name); });

struct CountdownCase {
  const char* name;
  bool close_holds;
  bool restart_holds;
  bool auto_continue;
  std::vector<BoxCommand> chosen;  // within the delay and a little more
};

class FullBoxCountdown : public ::testing::TestWithParam<CountdownCase> {};

// The automatic button counts down "AutoDelay" and then is clicked: close before restart
// before continue.
TEST_P(FullBoxCountdown, ClicksTheAutomaticButtonWhenTheDelayIsOver) {
  BoxRequest request = ProgramRequest();
  request.settings.auto_delay_seconds = 1;
  request.settings.auto_continue = GetParam().auto_continue;
  request.automatic = {GetParam().close_holds, GetParam().restart_holds};
  ExceptionBoxWindow box(request, false, true, ChooseBoxFonts());
  QSignalSpy chosen(&box, &BoxWindow::CommandChosen);
  Show(box);
  QTest::qWait(1600);
  EXPECT_EQ(Commands(chosen), GetParam().chosen);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, FullBoxCountdown,
    ::testing::Values(CountdownCase{"NoneHolds", false, false, false, {}},
                      CountdownCase{
                          "CloseHolds", true, true, true, {BoxCommand::kCloseApplication}},
                      CountdownCase{"RestartHolds", false, true, true, {BoxCommand::kRestart}},
                      CountdownCase{"AutoContinue", false, false, true, {BoxCommand::kContinue}}),
    [](const auto& test_case) { return std::string(test_case.param.name); });

TEST(FullBox, TabAndArrowsMoveBetweenTheEnabledButtons) {
  ExceptionBoxWindow box(ProgramRequest(false), false, true, ChooseBoxFonts());
  QSignalSpy chosen(&box, &BoxWindow::CommandChosen);
  Show(box);
  // save → show → (continue disabled) → restart
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
  EXPECT_NE(box.Describe().find("button: Anwendung neu starten (focused)"), std::string::npos)
      << box.Describe();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
  EXPECT_EQ(Commands(chosen), std::vector<BoxCommand>{BoxCommand::kShowReport});
}

TEST(FullBox, CtrlCCopiesTheMessageAndWithTheReportShownTheWholeReport) {
  const ReportContents report = FixtureReport();
  ExceptionBoxWindow box(ProgramRequest(), false, true, ChooseBoxFonts());
  box.UpdateReport(report);
  Show(box);
  EXPECT_EQ(ClipboardAfterCtrlC(box).toStdString(), kMessage);

  ExceptionBoxWindow shown(ProgramRequest(), true, false, ChooseBoxFonts());
  shown.UpdateReport(report);
  Show(shown);
  EXPECT_EQ(ClipboardAfterCtrlC(shown).toStdString(), report.text);
}

TEST(ReportShown, TheBoxIsWiderResizableWithoutShowButtonAndWithATabPerSection) {
  ExceptionBoxWindow small(ProgramRequest(), false, true, ChooseBoxFonts());
  ExceptionBoxWindow box(ProgramRequest(), true, false, ChooseBoxFonts());
  box.UpdateReport(CrashReport());
  Show(box);
  EXPECT_GE(box.width(), 664);
  EXPECT_GT(box.height(), small.height() + 400);
  EXPECT_EQ(box.Describe().find("Fehlerbericht anzeigen"), std::string::npos);
  ReportViewer& viewer = *box.Viewer();
  EXPECT_EQ(viewer.TabNames(),
            (std::vector<std::string>{"general", "call stacks", "modules", "processes", "hardware",
                                      "stack dump", "disasm"}));

  // Every tab shows its view: a list with the columns of its kind, or text.
  const std::vector<std::string> names = viewer.TabNames();
  for (int index = 0; index < viewer.count(); ++index) {
    viewer.setCurrentIndex(index);
    QCoreApplication::processEvents();
    const auto* list = viewer.currentWidget()->findChild<QTreeView*>();
    const auto* text = viewer.currentWidget()->findChild<QPlainTextEdit*>();
    ASSERT_TRUE(list != nullptr || text != nullptr) << names[static_cast<size_t>(index)];
    if (list != nullptr) {
      EXPECT_GT(list->model()->rowCount(), 0) << names[static_cast<size_t>(index)];
    }
    QString file = QString::fromStdString("box-report-" + names[static_cast<size_t>(index)]);
    Photograph(box, file.replace(' ', '-'));
  }
  viewer.setCurrentIndex(0);
  const auto* general = viewer.currentWidget()->findChild<QTreeView*>();
  ASSERT_NE(general, nullptr);
  EXPECT_EQ(general->model()->headerData(0, Qt::Horizontal).toString(), "description");
  EXPECT_EQ(general->model()->headerData(1, Qt::Horizontal).toString(), "value");
}

TEST(ReportShown, TabsFollowTheReportWhileTheCurrentTabStays) {
  ReportContents report = FixtureReport();
  const std::vector<ReportEntry> all_sections = report.sections;
  report.sections.resize(1);
  ExceptionBoxWindow box(ProgramRequest(), true, false, ChooseBoxFonts());
  box.UpdateReport(report);
  Show(box);
  ReportViewer& viewer = *box.Viewer();
  EXPECT_EQ(viewer.TabNames(), (std::vector<std::string>{"general", "call stack"}));
  viewer.setCurrentIndex(1);
  report.sections = all_sections;
  box.UpdateReport(report);
  EXPECT_EQ(viewer.TabNames().size(), 5u);
  EXPECT_EQ(viewer.currentIndex(), 1);
  EXPECT_EQ(viewer.tabText(1), "call stacks");
}

TEST(ReportShown, ResizingMovesTheColumnAndStretchesTheTabsButNeverBelowTheFirstSize) {
  ExceptionBoxWindow box(ProgramRequest(), true, false, ChooseBoxFonts());
  box.UpdateReport(FixtureReport());
  Show(box);
  const QSize first = box.size();
  auto* close = box.findChild<QPushButton*>(QString::number(IndexOf(ButtonKind::kClose)));
  ASSERT_NE(close, nullptr);
  const int right_gap = box.width() - close->geometry().right();
  box.resize(first.width() + 120, first.height() + 80);
  QCoreApplication::processEvents();
  EXPECT_EQ(box.width() - close->geometry().right(), right_gap);
  EXPECT_EQ(box.Viewer()->width(), box.width() - 15);
  box.resize(first.width() - 100, first.height() - 100);
  QCoreApplication::processEvents();
  EXPECT_EQ(box.size(), first);
}

struct SimpleCase {
  bool can_continue;
  BoxCommand expected;
};

class SimpleBox : public ::testing::TestWithParam<SimpleCase> {};

TEST_P(SimpleBox, ShowsTheMessageUnderTheProgramsNameAndOkContinuesOrCloses) {
  SimpleBoxWindow box(ProgramRequest(GetParam().can_continue, 3), BoxForm::kSimple,
                      ChooseBoxFonts());
  QSignalSpy chosen(&box, &BoxWindow::CommandChosen);
  Show(box);
  if (GetParam().can_continue) Photograph(box, "simple-box");
  EXPECT_EQ(box.Describe(),
            "title: userdb-transform\n"
            "text: Testfehler in Zeile 12.|Die Datei ist leer.\n"
            "button: &OK (focused)\n");
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  EXPECT_EQ(Commands(chosen), std::vector<BoxCommand>{GetParam().expected});
}

INSTANTIATE_TEST_SUITE_P(Continuing, SimpleBox,
                         ::testing::Values(SimpleCase{true, BoxCommand::kContinue},
                                           SimpleCase{false, BoxCommand::kCloseApplication}));

TEST(DetailBox, DetailsShowsTheReport) {
  SimpleBoxWindow box(ProgramRequest(true, 2), BoxForm::kDetail, ChooseBoxFonts());
  QSignalSpy chosen(&box, &BoxWindow::CommandChosen);
  Show(box);
  EXPECT_NE(box.Describe().find("button: &Details\n"), std::string::npos) << box.Describe();
  box.findChild<QPushButton*>(QString::number(IndexOf(ButtonKind::kShow)))->click();
  EXPECT_EQ(Commands(chosen), std::vector<BoxCommand>{BoxCommand::kShowReport});
}

ProgressRequest PleaseWait(bool activate) {
  ProgressRequest request;
  request.title = "Information";
  request.areas = {{"Einen Moment bitte...", 3000}, {"Einen Moment bitte...", 1000}};
  request.current_area = 1;
  request.position = 500;
  request.activate = activate;
  return request;
}

TEST(ProgressBox, ShowsTheBarOverItsWeightedAreasInTheMiddleWhenActivated) {
  ProgressWindow* window = new ProgressWindow(ChooseBoxFonts());
  window->Apply(PleaseWait(true));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
  Photograph(*window, "progress-box");
  EXPECT_EQ(window->BarPosition(), (3000 + 1000 * 500 / 1000) * 1000 / 4000);
  const QRect screen = window->screen()->geometry();
  EXPECT_LE(std::abs(window->geometry().center().x() - screen.center().x()), 2);
  EXPECT_EQ(window->windowTitle(), "Information");
  // The user cannot close it.
  QTest::keyClick(window, Qt::Key_Escape);
  EXPECT_TRUE(window->isVisible());
  window->close();
}

TEST(ProgressBox, StandsAtTheBottomRightOfTheWorkAreaWhenNotActivated) {
  ProgressWindow* window = new ProgressWindow(ChooseBoxFonts());
  window->Apply(PleaseWait(false));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
  const QRect work_area = window->screen()->availableGeometry();
  EXPECT_EQ(window->geometry().right(), work_area.right());
  EXPECT_EQ(window->geometry().bottom(), work_area.bottom());
  window->close();
}

}  // namespace

}  // namespace userdb::crash

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setStyle(QStyleFactory::create("Fusion"));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
