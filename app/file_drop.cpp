#include "app/file_drop.h"

#include <QByteArray>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace userdb::app {

namespace {

bool IsLocalFile(const QUrl& url) {
  return url.scheme() == "file" && (url.host().isEmpty() || url.host() == "localhost") &&
         url.path().startsWith(QLatin1Char('/'));
}

// Copying or linking leaves the dropped file where it is; a move would let the file
// manager delete it once the drop is taken.
bool TakeWithoutMoving(QDropEvent& event) {
  if (event.possibleActions() & Qt::CopyAction) {
    event.setDropAction(Qt::CopyAction);
  } else if (event.possibleActions() & Qt::LinkAction) {
    event.setDropAction(Qt::LinkAction);
  } else {
    return false;
  }
  event.accept();
  return true;
}

}  // namespace

std::optional<std::string> DroppedFilePath(const QMimeData& data) {
  for (const QUrl& url : data.urls()) {
    if (!IsLocalFile(url)) continue;
    // The encoded path's bytes, so that a name that is not UTF-8 keeps its bytes.
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
  }
  return std::nullopt;
}

FileDropTarget::FileDropTarget(std::function<void(const std::string& path)> take_path,
                               QObject* parent)
    : QObject(parent), take_path_(std::move(take_path)) {}

void FileDropTarget::Watch(QWidget& widget) {
  widget.setAcceptDrops(true);
  widget.installEventFilter(this);
}

bool FileDropTarget::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) {
    return QObject::eventFilter(watched, event);
  }
  auto& drop = static_cast<QDropEvent&>(*event);
  const std::optional<std::string> path =
      drop.mimeData() ? DroppedFilePath(*drop.mimeData()) : std::nullopt;
  if (!path) return false;
  if (!TakeWithoutMoving(drop)) return true;
  if (type == QEvent::Drop) take_path_(*path);
  return true;
}

}  // namespace userdb::app
