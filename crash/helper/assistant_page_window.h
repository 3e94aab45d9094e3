// The window of one report assistant page: the header message and the page numbers, the
// items in a framed panel, the standard buttons below it. Every user action goes through
// the page's rules (AssistantPage), and the widgets then show the page's state again:
// texts, colours, check marks, ContinueBtn's enabled state, the image.
#pragma once

#include <QDialog>
#include <QFont>
#include <QString>
#include <functional>
#include <map>
#include <string>

#include "crash/box/assistant_page.h"
#include "crash/send/screen_image.h"

class QLabel;
class QTimer;

namespace userdb::crash {

// Where an image item's picture comes from; `version` changes with the picture.
struct PageImageSource {
  std::function<const ScreenImage*()> picture;
  std::function<int()> version;
};

class AssistantPageWindow : public QDialog {
  Q_OBJECT

 public:
  // The window keeps `page`, which must outlive it. `describe_file`: when not empty, the
  // window writes its state there after every change (for the tests that drive it). An
  // `owner` (the exception box) owns the page: the page stands in front of it, and the
  // owner takes no input while the page is shown.
  AssistantPageWindow(AssistantPage& page, const QString& title, PageImageSource images,
                      QString describe_file, QWidget* owner = nullptr);

 signals:
  // The page has its result.
  void pageClosed();

 protected:
  void reject() override;  // Escape
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  QWidget* MakeItem(const PageItem& item, QWidget* panel, int page_width);
  void Build();
  void PlaceButtons(int page_width, int y);
  void AfterEvent();
  void ShowState();
  void ShowImage(QLabel& label);
  void Press(std::string_view button);
  void Describe() const;

  AssistantPage& page_;
  PageImageSource images_;
  QString describe_file_;
  QFont item_font_;
  std::map<std::string, QWidget*, std::less<>> widgets_;
  QTimer* timer_ = nullptr;
  int shown_image_version_ = -1;
  bool showing_state_ = false;  // widgets are being set from the page, not by the user
  bool closed_ = false;
};

}  // namespace userdb::crash
