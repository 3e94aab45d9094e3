#include "app/appearance.h"

#include <QFontDatabase>

namespace userdb::app {

QFont WindowFont() {
  // The window was laid out for "MS Sans Serif"; the faces with Arial's metrics come
  // closest where it is missing.
  static const char* const kFaces[] = {
      "MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans", "Arimo",
      "Arial",         "Nimbus Sans",          "Helvetica"};
  QFont font;
  for (const char* face : kFaces) {
    if (QFontDatabase::hasFamily(face)) {
      font.setFamily(face);
      break;
    }
  }
  font.setStyleHint(QFont::SansSerif);
  font.setPointSize(8);
  return font;
}

QString WindowStyleSheet() {
  // The font is named here too: a control that a rule below styles would otherwise take
  // the application's font in place of its window's.
  const QFont font = WindowFont();
  return QString("* { font-family: \"%1\"; font-size: %2pt; }")
             .arg(font.family())
             .arg(font.pointSize()) +
         R"(
QLineEdit#edtUserdbauswahl {
  border: 1px solid #a0a0a0;
  background: white;
  padding: 0 1px;
}
QLineEdit#edtUserdbauswahl:hover, QLineEdit#edtUserdbauswahl:focus {
  border-color: #3399ff;
}
QPushButton#btnWeiter {
  border: 1px solid #8f8f91;
  border-radius: 2px;
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #fbfbfb, stop:1 #dcdcdc);
}
QPushButton#btnWeiter:hover {
  border-color: #3399ff;
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #eaf6fd, stop:1 #bee6fd);
}
QPushButton#btnWeiter:pressed {
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #c4e5f6, stop:1 #98d1ef);
}
QPushButton#btnWeiter:disabled {
  color: #a0a0a0;
  border-color: #c0c0c0;
}
QGroupBox {
  border: 1px solid navy;
  border-radius: 4px;
  margin-top: 6px;
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff, stop:1 #d8e0f0);
}
QGroupBox::title {
  subcontrol-origin: margin;
  left: 7px;
  padding: 0 2px;
  color: navy;
}
QGroupBox:disabled::title {
  color: #8080a0;
}
)";
}

}  // namespace userdb::app
