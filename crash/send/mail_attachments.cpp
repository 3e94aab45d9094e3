#include "crash/send/mail_attachments.h"

#include <unistd.h>

#include "crash/report/report_file_format.h"
#include "crash/send/png_encoder.h"
#include "platform/exception.h"
#include "platform/path.h"
#include "platform/whole_file.h"

namespace userdb::crash {

namespace {

std::optional<std::string> ExistingFile(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) {
    if (platform::FileExists(path)) return path;
  }
  return std::nullopt;
}

bool CopyFile(const std::string& from, const std::string& to) {
  try {
    platform::WriteWholeFile(to, platform::ReadWholeFile(from));
    return true;
  } catch (const Exception&) {
    unlink(to.c_str());
    return false;
  }
}

bool HoldsReport(const std::string& path, std::string_view report) {
  try {
    const std::string contents = platform::ReadWholeFile(path);
    return contents.find(std::string(report) + std::string(kReportSeparator)) != std::string::npos;
  } catch (const Exception&) {
    return false;
  }
}

void AddBugReportCopy(const std::string& folder, std::string_view report,
                      CaughtException& exception, const BugReportFileWriter& report_file,
                      PreparedAttachments& prepared) {
  const SettingsView& settings = exception.Settings();
  const std::optional<std::string> original = ExistingFile(report_file.AutomaticPaths(settings));
  const std::string name = platform::FileNamePart(settings.ReadText("BugRepFile"));
  if (name.empty()) return;
  const std::string copy = folder + name;
  unlink(copy.c_str());
  if (original && settings.ReadBoolean("AttachBugRepFile") && CopyFile(*original, copy)) {
    prepared.copied_report_file = original;
  }
  if (!HoldsReport(copy, report)) report_file.Write(copy, report, nullptr, exception, false);
  if (platform::FileExists(copy)) {
    prepared.attachments.push_back({copy, settings.ReadText("BugRepSendAs"), "BugReport"});
  }
}

void AddScreenshot(const std::string& folder, const ScreenImage& screenshot,
                   const SettingsView& settings, PreparedAttachments& prepared) {
  const std::string path = folder + std::string(kScreenshotPngName);
  unlink(path.c_str());
  const auto png = EncodePng(screenshot, PngFormatForDepth(settings.ReadInteger("ScrShotDepth")));
  if (!png) return;
  try {
    platform::WriteWholeFile(path, *png);
  } catch (const Exception&) {
    return;
  }
  prepared.attachments.push_back({path, settings.ReadText("ScrShotSendAs"), "ScreenShot"});
}

}  // namespace

PreparedAttachments PrepareAttachments(const std::string& folder, std::string_view report,
                                       const ScreenImage* screenshot, CaughtException& exception,
                                       const BugReportFileWriter& report_file) {
  PreparedAttachments prepared;
  if (exception.Settings().ReadBoolean("AttachBugRep")) {
    AddBugReportCopy(folder, report, exception, report_file, prepared);
  }
  if (screenshot != nullptr) AddScreenshot(folder, *screenshot, exception.Settings(), prepared);
  return prepared;
}

}  // namespace userdb::crash
