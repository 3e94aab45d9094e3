#include "app/application.h"

#include <QStyleFactory>

#include "app/application_title.h"

namespace userdb::app {

Application::Application(int& argc, char** argv)
    : QApplication(argc, argv),
      title_(ApplicationTitle(applicationFilePath())),
      error_box_(title_),
      error_handler_(&error_box_) {
  // One look on every desktop, whatever theme the user runs.
  setStyle(QStyleFactory::create("Fusion"));
}

bool Application::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    error_handler_->HandleEscaped(std::current_exception(), receiver);
    return true;
  }
}

}  // namespace userdb::app
