#include "crash/helper/screenshot_page_handler.h"

#include <sys/stat.h>
#include <unistd.h>

#include <signal.h>

#include <QApplication>
#include <QProcess>

#include "crash/send/bitmap_file.h"

namespace userdb::crash {

namespace {

constexpr std::string_view kAttachCheck = "AttachCheck";
constexpr std::string_view kImage = "ScrShotImg";

std::optional<timespec> ModificationTime(const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) return std::nullopt;
  return status.st_mtim;
}

bool SameTime(const std::optional<timespec>& a, const std::optional<timespec>& b) {
  if (!a || !b) return a.has_value() == b.has_value();
  return a->tv_sec == b->tv_sec && a->tv_nsec == b->tv_nsec;
}

}  // namespace

ScreenshotPageHandler::ScreenshotPageHandler(ScreenImage screenshot, bool attach,
                                             std::string temporary_folder)
    : screenshot_(std::move(screenshot)),
      attach_(attach),
      temporary_folder_(std::move(temporary_folder)) {}

void ScreenshotPageHandler::OnPageEvent(AssistantPage& page, PageEvent event, std::string_view item,
                                        CaughtException&) {
  switch (event) {
    case PageEvent::kCreated:
      page.SetChecked(kAttachCheck, attach_);
      break;
    case PageEvent::kItem:
      if (item == kImage) EditImage();
      if (item.empty()) ReloadWhenChanged();
      break;
    case PageEvent::kClosed:
      Closed(page);
      break;
    case PageEvent::kShown:
      break;
  }
}

std::string ScreenshotPageHandler::BitmapPath() const {
  return temporary_folder_ + std::string(kScreenshotBitmapName);
}

void ScreenshotPageHandler::EditImage() {
  if (temporary_folder_.empty()) {
    QApplication::beep();
    return;
  }
  if (!bitmap_written_) {
    try {
      WriteBitmapFile(BitmapPath(), screenshot_);
    } catch (const std::exception&) {
      QApplication::beep();
      return;
    }
    bitmap_written_ = true;
    bitmap_time_ = ModificationTime(BitmapPath());
  }
  if (editor_ > 0 && kill(editor_, 0) == 0) return;
  // Detached: the editor is the user's program and outlives the page and the helper.
  QProcess editor;
  editor.setProgram(QStringLiteral("xdg-open"));
  editor.setArguments({QString::fromStdString(BitmapPath())});
  editor.setStandardInputFile(QProcess::nullDevice());
  editor.setStandardOutputFile(QProcess::nullDevice());
  editor.setStandardErrorFile(QProcess::nullDevice());
  qint64 started = 0;
  if (!editor.startDetached(&started)) {
    editor_ = 0;
    QApplication::beep();
    return;
  }
  editor_ = static_cast<pid_t>(started);
}

void ScreenshotPageHandler::ReloadWhenChanged() {
  if (!bitmap_written_) return;
  const std::optional<timespec> time = ModificationTime(BitmapPath());
  if (!time || SameTime(time, bitmap_time_)) return;
  bitmap_time_ = time;
  // An editor halfway through writing the file gives no image: the next tick tries again.
  if (std::optional<ScreenImage> edited = ReadBitmapFile(BitmapPath())) {
    screenshot_ = std::move(*edited);
    ++version_;
  } else {
    bitmap_time_.reset();
  }
}

void ScreenshotPageHandler::Closed(const AssistantPage& page) {
  editor_ = 0;
  if (bitmap_written_) unlink(BitmapPath().c_str());
  bitmap_written_ = false;
  const PageItem* attach = page.Find(kAttachCheck);
  attach_ = attach != nullptr && attach->checked;
}

}  // namespace userdb::crash
