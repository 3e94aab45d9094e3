// One run of a report assistant in the crash helper: its pages created with their action
// handlers (the contact page with the remembered contact data of this user's registry, the
// screenshot page with the image editor) and filled from the form cache, then shown one
// after the other until the last is left or one is cancelled.
//
// The contact data is remembered here, in the helper, rather than in the crashed program:
// the page reads it when it is created and writes it when it is left, and a program that
// crashed on a fault signal should do no more than it must.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "crash/box/assistant_page.h"
#include "crash/box/contact_form_handler.h"
#include "crash/helper/assistant_request.h"
#include "crash/helper/screenshot_page_handler.h"
#include "platform/registry/registry_store.h"

namespace userdb::crash {

class AssistantPageWindow;

class AssistantRunner : public QObject {
  Q_OBJECT

 public:
  using Done = std::function<void(const AssistantAnswer&)>;

  // `describe_file` and `owner` (the box, or none): see AssistantPageWindow.
  AssistantRunner(const AssistantRequest& request, QString describe_file, Done done,
                  QWidget* owner = nullptr);
  ~AssistantRunner() override;

  // Shows the first page; `done` hears the answer once the last one closed.
  void Start();

 private:
  PageHandler* HandlerNamed(std::string_view name);
  void ShowPage(size_t index);
  void PageClosed(size_t index);
  AssistantAnswer Answer() const;

  QString title_;
  QString describe_file_;
  Done done_;
  QPointer<QWidget> owner_;
  registry::RegistryStore store_;
  ContactFormHandler contact_;
  std::unique_ptr<ScreenshotPageHandler> screenshot_;
  std::unique_ptr<CaughtException> exception_;  // what the handlers write to
  std::vector<AssistantPage> pages_;
  QPointer<AssistantPageWindow> window_;
};

}  // namespace userdb::crash
