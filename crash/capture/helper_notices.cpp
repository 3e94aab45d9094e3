#include "crash/capture/helper_notices.h"

#include "crash/capture/helper_box.h"

namespace userdb::crash {

HelperNotices::HelperNotices(std::string helper_path) : helper_path_(std::move(helper_path)) {}

HelperNotices::~HelperNotices() = default;

void HelperNotices::Show(std::string_view caption, std::string_view text, platform::MessageKind) {
  HelperBox(helper_path_).ShowMessage(caption, text);
}

void HelperNotices::ShowPreparing(std::string_view title, std::string_view text,
                                  bool in_background) {
  ProgressRequest request;
  request.title = std::string(title);
  request.areas.push_back({std::string(text), 1});
  request.activate = !in_background;
  request.sending = true;
  std::lock_guard lock(progress_mutex_);
  if (!progress_) progress_ = std::make_unique<HelperBox>(helper_path_);
  progress_->ShowProgress(request);
}

void HelperNotices::Close() {
  std::lock_guard lock(progress_mutex_);
  progress_.reset();
}

}  // namespace userdb::crash
