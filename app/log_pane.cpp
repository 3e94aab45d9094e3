#include "app/log_pane.h"

#include <QScrollBar>
#include <QTextCursor>

namespace userdb::app {

LogPane::LogPane(QWidget* parent) : QPlainTextEdit(parent) {}

void LogPane::AppendLines(const QString& lines) {
  appendPlainText(lines);
  moveCursor(QTextCursor::End);
  ShowEnd();
}

void LogPane::resizeEvent(QResizeEvent* event) {
  // The pane keeps its first visible line when its size changes; a log keeps its end.
  const bool showed_end = ShowsEnd();
  QPlainTextEdit::resizeEvent(event);
  if (showed_end) ShowEnd();
}

bool LogPane::ShowsEnd() const {
  return verticalScrollBar()->value() == verticalScrollBar()->maximum();
}

void LogPane::ShowEnd() {
  verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

}  // namespace userdb::app
