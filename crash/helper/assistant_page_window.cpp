#include "crash/helper/assistant_page_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFile>
#include <QFontMetrics>
#include <QFrame>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <algorithm>

#include "crash/box/assistant_page_layout.h"
#include "platform/qt/screen_text.h"
#include "platform/text_encoding.h"

namespace userdb::crash {

namespace {

constexpr int kPanelLeft = 8;
constexpr int kPanelTop = 32;
constexpr int kItemGap = 6;
constexpr int kButtonHeight = 25;
constexpr int kMinimumButtonWidth = 75;
constexpr int kImageFrame = 1;

std::string PageText(const QString& text) {
  return platform::Windows1252FromUtf8Replacing(text.toStdString());
}

bool IsStandardButton(std::string_view name) {
  return name == kContinueButton || name == kSkipButton || name == kCancelButton;
}

QFont PixelFont(const char* family, int pixels, bool bold) {
  QFont font(QString::fromLatin1(family));
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

// A clickable image: a frame and the hand cursor; a click tells the page.
class ClickableImage : public QLabel {
 public:
  ClickableImage(QWidget* parent, std::function<void()> clicked)
      : QLabel(parent), clicked_(std::move(clicked)) {}

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override {
    QLabel::mouseReleaseEvent(event);
    if (rect().contains(event->position().toPoint())) clicked_();
  }
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Space) {
      clicked_();
      return;
    }
    QLabel::keyPressEvent(event);
  }

 private:
  std::function<void()> clicked_;
};

QImage ImageOf(const ScreenImage& picture) {
  QImage image(picture.width, picture.height, QImage::Format_RGB32);
  for (int y = 0; y < picture.height; ++y) {
    std::copy_n(picture.pixels.data() + static_cast<size_t>(y) * picture.width, picture.width,
                reinterpret_cast<uint32_t*>(image.scanLine(y)));
  }
  return image;
}

}  // namespace

AssistantPageWindow::AssistantPageWindow(AssistantPage& page, const QString& title,
                                         PageImageSource images, QString describe_file,
                                         QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      page_(page),
      images_(std::move(images)),
      describe_file_(std::move(describe_file)),
      item_font_(PixelFont("Tahoma", 11, false)) {
  setWindowTitle(title);
  setObjectName(QString::fromStdString(page_.Definition().name));
  if (owner != nullptr) setWindowModality(Qt::WindowModal);
  Build();
  if (page_.Definition().timer_ms > 0) {
    timer_ = new QTimer(this);
    timer_->setInterval(page_.Definition().timer_ms);
    connect(timer_, &QTimer::timeout, this, [this] {
      if (!page_.TimerRunning()) return;
      page_.TimerTick();
      AfterEvent();
    });
  }
}

void AssistantPageWindow::Build() {
  const PageDefinition& definition = page_.Definition();
  const QFont header_font = PixelFont("Arial", 15, true);
  const QFont number_font = PixelFont("Arial", 11, false);
  QFont current_number_font = number_font;
  current_number_font.setBold(true);

  // The buttons first: their widths set the page's width.
  int buttons_width = 0;
  for (const PageItem& item : page_.Items()) {
    if (item.kind != ItemKind::kButton || !IsStandardButton(item.name)) continue;
    auto* button = new QPushButton(platform::ScreenText(item.caption), this);
    button->setObjectName(QString::fromStdString(item.name));
    button->setFont(item_font_);
    button->resize(std::max(kMinimumButtonWidth, button->sizeHint().width()), kButtonHeight);
    button->setVisible(item.visible);
    if (item.visible) buttons_width += button->width();
    connect(button, &QPushButton::clicked, this, [this, name = item.name] { Press(name); });
    widgets_[item.name] = button;
  }
  const int message_width =
      QFontMetrics(header_font).horizontalAdvance(platform::ScreenText(definition.message));
  const int page_width =
      AssistantPageWidth({buttons_width, definition.minimum_width, message_width, page_.Count()});

  auto* header = new QLabel(platform::ScreenText(definition.message), this);
  header->setFont(header_font);
  header->move(kPageMessagePosition.x, kPageMessagePosition.y);
  header->adjustSize();
  for (int number = 1; number <= page_.Count(); ++number) {
    auto* label = new QLabel(QString::number(number), this);
    label->setAlignment(Qt::AlignCenter);
    label->setGeometry(PageNumberX(number, page_.Count(), page_width), kPageMessagePosition.y,
                       kPageNumberStep, kPageNumberStep);
    if (number == page_.Number()) {
      label->setFont(current_number_font);
      label->setFrameStyle(QFrame::Panel | QFrame::Raised);
    } else {
      label->setFont(number_font);
      QPalette palette = label->palette();
      palette.setColor(QPalette::WindowText, palette.color(QPalette::Dark));
      label->setPalette(palette);
    }
  }

  auto* panel = new QFrame(this);
  panel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  int y = kFirstItemPosition.y;
  QWidget* previous = nullptr;
  for (const PageItem& item : page_.Items()) {
    QWidget* widget = nullptr;
    if (item.kind == ItemKind::kButton && IsStandardButton(item.name)) {
      widget = widgets_[item.name];
    } else {
      widget = MakeItem(item, panel, page_width);
      y += item.spacing;
      widget->move(kFirstItemPosition.x - kPanelLeft, y - kPanelTop);
      y += widget->height() + kItemGap;
      widgets_[item.name] = widget;
    }
    // Tab and Shift+Tab follow the items' order.
    if (widget->focusPolicy() != Qt::NoFocus) {
      if (previous != nullptr) setTabOrder(previous, widget);
      previous = widget;
    }
  }
  panel->setGeometry(kPanelLeft, kPanelTop, page_width - 2 * kPanelLeft,
                     y - kPanelTop - kItemGap + kPanelLeft);
  const int buttons_y = panel->geometry().bottom() + 1 + kPanelLeft;
  PlaceButtons(page_width, buttons_y);
  setFixedSize(page_width, buttons_y + kButtonHeight + kPanelLeft);
  ShowState();
}

QWidget* AssistantPageWindow::MakeItem(const PageItem& item, QWidget* panel, int page_width) {
  const int width = page_width - 42;
  QWidget* widget = nullptr;
  switch (item.kind) {
    case ItemKind::kLabel:
    case ItemKind::kButton: {
      auto* label = new QLabel(platform::ScreenText(item.caption), panel);
      label->setFont(item_font_);
      label->adjustSize();
      widget = label;
      break;
    }
    case ItemKind::kEdit:
      if (item.lines > 1) {
        auto* memo = new QPlainTextEdit(panel);
        memo->setFont(item_font_);
        // Enter starts a new line; Tab leaves the memo.
        memo->setTabChangesFocus(true);
        memo->resize(width, item.lines * QFontMetrics(item_font_).lineSpacing() + 10);
        connect(memo, &QPlainTextEdit::textChanged, this, [this, memo, name = item.name] {
          if (showing_state_) return;
          page_.SetEditText(name, PageText(memo->toPlainText()));
          AfterEvent();
        });
        widget = memo;
      } else {
        auto* edit = new QLineEdit(panel);
        edit->setFont(item_font_);
        edit->resize(width, edit->sizeHint().height());
        edit->installEventFilter(this);
        connect(edit, &QLineEdit::textEdited, this, [this, name = item.name](const QString& text) {
          page_.SetEditText(name, PageText(text));
          AfterEvent();
        });
        widget = edit;
      }
      break;
    case ItemKind::kCheckBox: {
      auto* check = new QCheckBox(platform::ScreenText(item.caption), panel);
      check->setFont(item_font_);
      check->adjustSize();
      check->installEventFilter(this);
      connect(check, &QCheckBox::clicked, this, [this, name = item.name](bool checked) {
        page_.SetChecked(name, checked);
        AfterEvent();
      });
      widget = check;
      break;
    }
    case ItemKind::kImage: {
      QLabel* image = nullptr;
      if (item.clickable) {
        image = new ClickableImage(panel, [this, name = item.name] {
          page_.ClickImage(name);
          AfterEvent();
        });
        image->setCursor(Qt::PointingHandCursor);
        image->setFocusPolicy(Qt::StrongFocus);
      } else {
        image = new QLabel(panel);
      }
      if (item.border || item.clickable) {
        image->setFrameStyle(QFrame::Box | QFrame::Plain);
        image->setLineWidth(kImageFrame);
      }
      image->setProperty("page_width", page_width);
      ShowImage(*image);
      widget = image;
      break;
    }
  }
  widget->setObjectName(QString::fromStdString(item.name));
  return widget;
}

void AssistantPageWindow::ShowImage(QLabel& label) {
  const ScreenImage* picture = images_.picture ? images_.picture() : nullptr;
  shown_image_version_ = images_.version ? images_.version() : 0;
  if (picture == nullptr || picture->width <= 0 || picture->height <= 0) {
    label.clear();
    return;
  }
  const QScreen* screen = QGuiApplication::primaryScreen();
  const int screen_height = screen != nullptr ? screen->geometry().height() : 768;
  const int frame = label.frameWidth();
  const Size shown = ShownImageSize({picture->width, picture->height},
                                    label.property("page_width").toInt(), frame, screen_height);
  // Reduced with a smoothing filter, so that the window's text stays readable in the copy.
  label.setPixmap(QPixmap::fromImage(ImageOf(*picture).scaled(
      shown.width, shown.height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
  label.resize(shown.width + 2 * frame, shown.height + 2 * frame);
}

void AssistantPageWindow::PlaceButtons(int page_width, int y) {
  const auto width_of = [this](std::string_view name) {
    const auto found = widgets_.find(name);
    return found == widgets_.end() ? 0 : found->second->width();
  };
  const auto visible = [this](std::string_view name) {
    const PageItem* item = page_.Find(name);
    return item != nullptr && item->visible;
  };
  const StandardButtonPlaces places =
      PlaceStandardButtons({width_of(kContinueButton), width_of(kSkipButton),
                            width_of(kCancelButton), visible(kSkipButton), visible(kCancelButton)},
                           page_width);
  if (auto found = widgets_.find(kContinueButton); found != widgets_.end())
    found->second->move(places.continue_x, y);
  if (auto found = widgets_.find(kSkipButton); found != widgets_.end() && places.skip_x)
    found->second->move(*places.skip_x, y);
  if (auto found = widgets_.find(kCancelButton); found != widgets_.end() && places.cancel_x)
    found->second->move(*places.cancel_x, y);
}

void AssistantPageWindow::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->geometry().center() - rect().center());
  const auto focused = widgets_.find(page_.InitialFocus());
  if (focused != widgets_.end()) focused->second->setFocus();
  page_.Show();
  if (timer_ != nullptr && page_.TimerRunning()) timer_->start();
  AfterEvent();
}

void AssistantPageWindow::AfterEvent() {
  if (closed_) return;
  ShowState();
  if (page_.Result() == PageResult::kNone) return;
  closed_ = true;
  if (timer_ != nullptr) timer_->stop();
  hide();
  emit pageClosed();
}

void AssistantPageWindow::ShowState() {
  showing_state_ = true;
  for (const PageItem& item : page_.Items()) {
    QWidget* widget = widgets_[item.name];
    if (widget == nullptr) continue;
    widget->setEnabled(item.enabled);
    const QString text = platform::ScreenText(item.text);
    const Rgb colour = EditTextColour(item);
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Text, QColor(colour.red, colour.green, colour.blue));
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
      if (edit->text() != text) edit->setText(text);
      edit->setPalette(palette);
    } else if (auto* memo = qobject_cast<QPlainTextEdit*>(widget)) {
      if (memo->toPlainText() != text) memo->setPlainText(text);
      memo->setPalette(palette);
    } else if (auto* check = qobject_cast<QCheckBox*>(widget)) {
      check->setChecked(item.checked);
    } else if (auto* image = qobject_cast<QLabel*>(widget);
               image && item.kind == ItemKind::kImage) {
      if (images_.version && images_.version() != shown_image_version_) ShowImage(*image);
    }
  }
  showing_state_ = false;
  Describe();
}

void AssistantPageWindow::Press(std::string_view button) {
  page_.Press(button);
  AfterEvent();
}

void AssistantPageWindow::reject() {
  // Escape acts as CancelBtn while that is enabled.
  Press(kCancelButton);
}

void AssistantPageWindow::closeEvent(QCloseEvent* event) {
  event->ignore();
  if (closed_) return;
  page_.CloseByTitleBar();
  AfterEvent();
}

bool AssistantPageWindow::eventFilter(QObject* watched, QEvent* event) {
  // Enter in a single-line edit or on a check box goes on to the next item.
  if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      focusNextChild();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void AssistantPageWindow::Describe() const {
  if (describe_file_.isEmpty()) return;
  QString text = QStringLiteral("page %1 of %2 %3\n")
                     .arg(page_.Number())
                     .arg(page_.Count())
                     .arg(QString::fromStdString(page_.Definition().name));
  QWidget* focused = focusWidget();
  text += QStringLiteral("focus %1\n").arg(focused != nullptr ? focused->objectName() : QString());
  for (const PageItem& item : page_.Items()) {
    const Rgb colour = EditTextColour(item);
    text += QStringLiteral("%1 enabled=%2 checked=%3 colour=%4,%5,%6 text=%7\n")
                .arg(QString::fromStdString(item.name))
                .arg(item.enabled && item.visible ? 1 : 0)
                .arg(item.checked ? 1 : 0)
                .arg(colour.red)
                .arg(colour.green)
                .arg(colour.blue)
                .arg(platform::ScreenText(item.text).replace('\n', QStringLiteral("\\n")));
  }
  // Where each item lies in the window, so that a test can look at what the screen shows
  // there.
  for (const auto& [name, widget] : widgets_) {
    const QPoint at = widget->mapTo(this, QPoint(0, 0));
    text += QStringLiteral("place %1 %2,%3,%4,%5\n")
                .arg(QString::fromStdString(name))
                .arg(at.x())
                .arg(at.y())
                .arg(widget->width())
                .arg(widget->height());
  }
  QFile file(describe_file_ + QStringLiteral(".new"));
  if (!file.open(QIODevice::WriteOnly)) return;
  file.write(text.toUtf8());
  file.close();
  // Whole or not at all, for the test that reads it meanwhile.
  QFile::remove(describe_file_);
  file.rename(describe_file_);
}

}  // namespace userdb::crash
