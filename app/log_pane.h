// The window's log pane: a plain text pane that behaves as a log. What is appended comes
// into view, and a pane that shows its end keeps showing it when it is resized.
#pragma once

#include <QPlainTextEdit>
#include <QString>

namespace userdb::app {

class LogPane : public QPlainTextEdit {
 public:
  explicit LogPane(QWidget* parent);

  // Appends `lines` (separated by "\n") at the end, as new lines, and brings the end into
  // view with the text cursor there, as a log does.
  void AppendLines(const QString& lines);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  bool ShowsEnd() const;
  void ShowEnd();
};

}  // namespace userdb::app
