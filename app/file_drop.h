// Files dropped from a file manager. A file manager offers a drop as a list of addresses
// ("text/uri-list", "file:///home/a/User%20Db.bin"), and most offer the same as plain
// text too, which a text field would take as it is; a dropped local file is taken as its
// path instead.
#pragma once

#include <QObject>
#include <functional>
#include <optional>
#include <string>

class QMimeData;
class QWidget;

namespace userdb::app {

// The path of the first local file in a drop, as the file system's bytes (its
// percent-encoding decoded); nothing when the drop holds no local file.
std::optional<std::string> DroppedFilePath(const QMimeData& data);

// Takes a local file dropped onto any of the watched widgets: its path goes to
// `take_path`. Any other drop (text) is left to the widget as before.
class FileDropTarget : public QObject {
 public:
  FileDropTarget(std::function<void(const std::string& path)> take_path, QObject* parent);

  // Lets `widget` take drops, and takes the files dropped onto it.
  void Watch(QWidget& widget);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::function<void(const std::string& path)> take_path_;
};

}  // namespace userdb::app
