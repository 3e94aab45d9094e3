// Driving the real window on a display as a user would: waiting for what the event loop
// brings, answering modal boxes from inside the loop that shows them, and a fixture that
// starts the program's window on settings of its own.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "app/application.h"
#include "app/gradient_progress_bar.h"
#include "app/main_window.h"
#include "app/notice_stream.h"
#include "app/option_group.h"
#include "platform/registry/regedit_reader.h"
#include "platform/registry/registry_file_location.h"
#include "platform/registry/registry_store.h"
#include "tests/platform/registry/registry_value_printer.h"
#include "tests/support/temp_folder.h"

namespace userdb::app {

namespace gui_test {

// Stored values as the settings file holds them.
inline registry::RegistryValue Dword(const std::string& name, int32_t number) {
  return {name, registry::registry_type::kDword,
          registry::DwordData(static_cast<uint32_t>(number))};
}
inline registry::RegistryValue String(const std::string& name, const std::string& text) {
  return {name, registry::registry_type::kString, text + '\0'};
}

// How long a test waits at most for what the window system does, in milliseconds: a busy
// machine may take seconds where a quiet one takes milliseconds.
inline constexpr int kPatience = 20000;

inline Application& App() {
  return *static_cast<Application*>(QApplication::instance());
}

// Lets the event loop run until `condition` holds; false when it has not after `timeout_ms`.
inline bool WaitUntil(const std::function<bool()>& condition, int timeout_ms = kPatience) {
  QElapsedTimer timer;
  timer.start();
  while (!condition()) {
    if (timer.elapsed() > timeout_ms) return false;
    QTest::qWait(10);
  }
  return true;
}

// Runs `act` on each modal window that shows up while this object lives, from inside the
// event loop that shows it, once the window is on the screen. `act` must close it.
class ModalWindowHandler {
 public:
  explicit ModalWindowHandler(std::function<void(QWidget*)> act) : act_(std::move(act)) {
    QObject::connect(&poll_, &QTimer::timeout, [this] { Poll(); });
    poll_.start(10);
  }
  int Handled() const { return handled_; }

 private:
  void Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || busy_ || !modal->isVisible() || !modal->windowHandle() ||
        !modal->windowHandle()->isExposed()) {
      return;
    }
    busy_ = true;
    ++handled_;
    act_(modal);
    busy_ = false;
  }

  std::function<void(QWidget*)> act_;
  QTimer poll_;
  bool busy_ = false;
  int handled_ = 0;
};

struct ShownBox {
  std::string title;  // UTF-8, as on the screen
  std::string text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
  bool application_modal = false;
  bool centred_on_screen = false;
  bool transform_enabled = false;  // the main window's button while the box was shown
};

// Closes every message box with its "OK" button, as a user would, and tells what it showed.
class MessageBoxAnswerer {
 public:
  MessageBoxAnswerer() : handler_([this](QWidget* modal) { Answer(modal); }) {}

  const std::vector<ShownBox>& Boxes() const { return boxes_; }

 private:
  void Answer(QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr) << "not a message box: " << modal->metaObject()->className();
    ShownBox shown;
    shown.title = box->windowTitle().toStdString();
    shown.text = box->text().toStdString();
    shown.icon = box->icon();
    shown.buttons = box->standardButtons();
    shown.application_modal = box->windowModality() == Qt::ApplicationModal;
    // The window manager may still be placing the box when it is first exposed.
    shown.centred_on_screen = WaitUntil(
        [box] {
          const QPoint offset =
              box->frameGeometry().center() - box->screen()->availableGeometry().center();
          return offset.manhattanLength() <= 40;
        },
        kPatience);
    for (QWidget* window : QApplication::topLevelWidgets()) {
      if (auto* button = window->findChild<QPushButton*>("btnWeiter")) {
        shown.transform_enabled = button->isEnabled();
      }
    }
    boxes_.push_back(shown);
    QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
  }

  std::vector<ShownBox> boxes_;
  ModalWindowHandler handler_;
};

// The program's window on settings of its own (XDG_CONFIG_HOME in a temporary folder),
// started, restarted and driven through its controls.
class WindowTest : public ::testing::Test {
 protected:
  WindowTest() {
    setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
    store_ =
        std::make_unique<registry::RegistryStore>(registry::DefaultRegistryFilePath(), notices_);
  }
  ~WindowTest() override { window_.reset(); }

  std::string HivePath() const { return folder_ / "config/userdb-transform/registry.reg"; }
  void WriteHive(const std::string& sections) const {
    std::filesystem::create_directories(folder_ / "config/userdb-transform");
    test_support::WriteFile(HivePath(), "REGEDIT4\n\n" + sections);
  }
  // Where the settings file would be, a plain file: no setting can be written.
  void MakeSettingsUnwritable() const {
    std::filesystem::create_directories(folder_ / "config");
    test_support::WriteFile(folder_ / "config/userdb-transform", "");
  }
  registry::Hive StoredHive() const {
    if (!std::filesystem::exists(HivePath())) return registry::Hive();
    return registry::ParseRegeditFile(test_support::ReadFile(HivePath()));
  }
  bool KeyExists(std::string_view key) const { return StoredHive().FindKey(key) != nullptr; }
  std::optional<registry::RegistryValue> StoredValue(std::string_view key,
                                                     std::string_view name) const {
    const registry::Hive hive = StoredHive();
    const registry::RegistryKey* stored_key = hive.FindKey(key);
    const registry::RegistryValue* value = stored_key ? stored_key->FindValue(name) : nullptr;
    if (value == nullptr) return std::nullopt;
    return *value;
  }

  // Creates and shows the window, as the program starts, and waits until the window
  // manager has framed and activated it.
  void Start() {
    window_ = std::make_unique<TfrmUserDb>(*store_, notices_, App().ErrorHandler(), App().Title());
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get(), kPatience));
    ASSERT_TRUE(WaitUntil([this] { return !window_->windowHandle()->frameMargins().isNull(); }))
        << "no window manager framed the window";
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get(), kPatience));
  }

  // Closes the window as the user does, which ends the program.
  void Close() {
    window_->close();
    window_.reset();
  }

  void Restart() {
    Close();
    Start();
  }

  template <typename Control>
  Control* Find(const char* name) const {
    auto* control = window_->findChild<Control*>(name);
    EXPECT_NE(control, nullptr) << name;
    return control;
  }
  QLineEdit* PathField() const { return Find<QLineEdit>("edtUserdbauswahl"); }
  QPushButton* TransformButton() const { return Find<QPushButton>("btnWeiter"); }
  OptionGroup* RadioTypes() const { return Find<OptionGroup>("grpRadioType"); }
  OptionGroup* DisplayFormats() const { return Find<OptionGroup>("grpDataType"); }
  GradientProgressBar* Progress() const { return Find<GradientProgressBar>("ProgressBar"); }
  QPlainTextEdit* Log() const { return Find<QPlainTextEdit>("Memo"); }

  // Replaces the path field's text by typing.
  void TypePath(const std::string& path) {
    QLineEdit* field = PathField();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Delete);
    QTest::keyClicks(field, QString::fromStdString(path));
  }

  // Clicks an option button near its left end, where the circle takes the click.
  static void ClickOption(QRadioButton* option) {
    QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(6, option->height() / 2));
  }
  void SelectRadioType(int index) { ClickOption(RadioTypes()->Item(index)); }
  void SelectDisplayFormat(int index) { ClickOption(DisplayFormats()->Item(index)); }
  // Types the input path and selects a radio type and, when given, a display format.
  void Choose(const std::string& path, int radio_type, int display_format = -1) {
    TypePath(path);
    SelectRadioType(radio_type);
    if (display_format >= 0) SelectDisplayFormat(display_format);
  }

  // Clicks "Transform" and answers the boxes it shows.
  std::vector<ShownBox> Transform() {
    MessageBoxAnswerer answerer;
    QTest::mouseClick(TransformButton(), Qt::LeftButton);
    return answerer.Boxes();
  }

  std::vector<std::string> LogLines() const {
    const QString text = Log()->toPlainText();
    if (text.isEmpty()) return {};
    std::vector<std::string> lines;
    for (const QString& line : text.split('\n')) lines.push_back(line.toStdString());
    return lines;
  }
  // What the program wrote to standard error, line by line.
  std::vector<std::string> StandardErrorLines() const {
    std::vector<std::string> lines;
    std::istringstream text(diagnostics_.str());
    for (std::string line; std::getline(text, line);) lines.push_back(line);
    return lines;
  }

  test_support::TempFolder folder_;
  std::ostringstream diagnostics_;  // the program's standard error
  NoticeStream notices_{diagnostics_};
  std::unique_ptr<registry::RegistryStore> store_;
  std::unique_ptr<TfrmUserDb> window_;
};

}  // namespace gui_test

}  // namespace userdb::app
