#include "app/application_title.h"

#include <QFileInfo>

namespace userdb::app {

QString ApplicationTitle(const QString& program_path) {
  const QString name = QFileInfo(program_path).completeBaseName();
  return name.left(1) + name.mid(1).toLower();
}

}  // namespace userdb::app
