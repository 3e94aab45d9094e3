// The files that a bug report mail carries, prepared in the crash reporter's temporary
// folder: a copy of the bug report file with this report appended, and the screenshot as
// a PNG file. Both stay in the folder after the send.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "crash/report/bug_report_file.h"
#include "crash/report/caught_exception.h"
#include "crash/send/mail_message.h"
#include "crash/send/screen_image.h"

namespace userdb::crash {

inline constexpr std::string_view kScreenshotPngName = "screenShot.png";

struct PreparedAttachments {
  std::vector<MailAttachment> attachments;
  // The program's bug report file, when it was copied: a successful send may delete it.
  std::optional<std::string> copied_report_file;
};

// With the settings of `exception`:
//  - "AttachBugRep": the bug report file (the first of BugReportFileWriter::AutomaticPaths
//    that exists) is copied into `folder` under its file name when "AttachBugRepFile" is
//    on; a copy left from before is deleted first, so that a failed copy sends nothing
//    stale. The report is appended to the copy with the rules of the bug report file,
//    unless the copy holds this very report already (the automatic save wrote it); the
//    copy, when it then exists, goes as "BugRepSendAs".
//  - a screenshot, when given: encoded as PNG in the form of "ScrShotDepth" into
//    "screenShot.png" in `folder`, sent as "ScrShotSendAs"; a failed encoding or write
//    leaves it out.
// `folder` ends with "/".
PreparedAttachments PrepareAttachments(const std::string& folder, std::string_view report,
                                       const ScreenImage* screenshot, CaughtException& exception,
                                       const BugReportFileWriter& report_file);

}  // namespace userdb::crash
