#include "crash/helper/assistant_runner.h"

#include <iostream>

#include "crash/box/assistant_run.h"
#include "crash/box/form_cache.h"
#include "crash/helper/assistant_page_window.h"
#include "platform/registry/registry_file_location.h"

namespace userdb::crash {

namespace {

constexpr std::string_view kMailFrom = "MailFrom";

std::unique_ptr<CaughtException> HandlersException() {
  return std::make_unique<CaughtException>(
      std::make_shared<ModuleSettings>(SettingsOrigin{}, PropertyList{}, nullptr));
}

}  // namespace

AssistantRunner::AssistantRunner(const AssistantRequest& request, QString describe_file, Done done,
                                 QWidget* owner)
    : title_(QString::fromStdString(request.title)),
      describe_file_(std::move(describe_file)),
      done_(std::move(done)),
      owner_(owner),
      store_(registry::DefaultRegistryFilePath(), std::cerr),
      contact_(store_),
      exception_(HandlersException()) {
  if (request.screenshot) {
    screenshot_ = std::make_unique<ScreenshotPageHandler>(
        *request.screenshot, request.attach_screenshot, request.temporary_folder);
  }
  FormCache cache;
  for (const auto& [name, value] : request.cached) cache.Put(name, value);
  pages_ = CreateAssistantPages(
      request.pages, [this](std::string_view name) { return HandlerNamed(name); }, cache,
      *exception_);
}

AssistantRunner::~AssistantRunner() {
  delete window_;
}

PageHandler* AssistantRunner::HandlerNamed(std::string_view name) {
  if (name == kContactHandler) return &contact_;
  if (name == kScreenshotHandler) return screenshot_.get();
  return nullptr;
}

void AssistantRunner::Start() {
  if (pages_.empty()) {
    done_(Answer());
    return;
  }
  ShowPage(0);
}

void AssistantRunner::ShowPage(size_t index) {
  PageImageSource images;
  if (screenshot_) {
    images.picture = [this] { return &screenshot_->Screenshot(); };
    images.version = [this] { return screenshot_->Version(); };
  }
  auto* window =
      new AssistantPageWindow(pages_[index], title_, std::move(images), describe_file_, owner_);
  window->setAttribute(Qt::WA_DeleteOnClose, false);
  window_ = window;
  connect(window, &AssistantPageWindow::pageClosed, this, [this, index] { PageClosed(index); });
  window->show();
  window->raise();
  window->activateWindow();
}

void AssistantRunner::PageClosed(size_t index) {
  if (window_) window_->deleteLater();
  const bool last = index + 1 >= pages_.size();
  if (pages_[index].Result() == PageResult::kCancel || last) {
    done_(Answer());
    return;
  }
  ShowPage(index + 1);
}

AssistantAnswer AssistantRunner::Answer() const {
  AssistantAnswer answer;
  for (const AssistantPage& page : pages_)
    answer.pages.push_back({page.Result(), PageValues(page)});
  answer.mail_from = exception_->Settings().ReadText(kMailFrom);
  if (screenshot_) {
    answer.attach_screenshot = screenshot_->Attach();
    if (screenshot_->Edited()) answer.edited_screenshot = screenshot_->Screenshot();
  }
  return answer;
}

}  // namespace userdb::crash
