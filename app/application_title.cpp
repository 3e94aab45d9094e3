#include "app/application_title.h"

#include <QFileInfo>

QString ApplicationTitle(const QString& program_path) {
  QString title = QFileInfo(program_path).completeBaseName().toLower();
  if (!title.isEmpty()) title[0] = title[0].toUpper();
  return title;
}
