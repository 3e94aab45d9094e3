#include "crash/helper/box_fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace userdb::crash {

namespace {

constexpr int kPixelSize = 11;

QFont FirstInstalled(const QStringList& families, QFont::StyleHint hint) {
  const QStringList installed = QFontDatabase::families();
  QFont font;
  font.setStyleHint(hint);
  for (const QString& family : families) {
    if (installed.contains(family, Qt::CaseInsensitive)) {
      font.setFamily(family);
      break;
    }
  }
  font.setPixelSize(kPixelSize);
  return font;
}

}  // namespace

BoxFonts ChooseBoxFonts() {
  return {FirstInstalled({"Tahoma", "DejaVu Sans", "Liberation Sans"}, QFont::SansSerif),
          FirstInstalled({"Courier New", "Liberation Mono", "DejaVu Sans Mono"}, QFont::Monospace)};
}

}  // namespace userdb::crash
