// What the crash reporter tells its helper about a box, and about the report, in the helper
// protocol's fields: the settings the box reads, the exception as the box knows it, which
// form it takes, and the report's header and sections for the report viewer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "crash/box/automatic_button.h"
#include "crash/box/box_exception.h"
#include "crash/box/box_settings.h"
#include "crash/helper/helper_protocol.h"
#include "crash/report/report_entries.h"

namespace userdb::crash {

struct BoxRequest {
  BoxSettings settings;
  BoxException exception;
  int show_setting = 0;       // 0 full box, 2 detail box, 3 simple box
  bool first_showing = true;  // the error sound plays on an exception's first box only
  AutomaticRules automatic;   // whether "AutoClose" and "AutoRestart" may act now
};

HelperMessage EncodeBoxRequest(const BoxRequest& request);
BoxRequest DecodeBoxRequest(const HelperMessage& message);

// The report as the viewer reads it: its text (what Ctrl+C copies) and its two lists.
struct ReportContents {
  std::string text;
  bool complete = false;
  std::vector<ReportEntry> header;
  std::vector<ReportEntry> sections;
};

HelperMessage EncodeReport(const ReportContents& report);
ReportContents DecodeReport(const HelperMessage& message);

// The please-wait box: its title and its areas (text and weight), and later the current area.
struct ProgressRequest {
  std::string title;
  struct Area {
    std::string text;
    uint64_t weight = 0;
  };
  std::vector<Area> areas;
  int current_area = 0;
  int position = 0;  // thousandths within the current area
  bool activate = true;
  bool sending = false;  // the send's box (its picture) rather than the please-wait box
};

HelperMessage EncodeProgress(const ProgressRequest& request);
ProgressRequest DecodeProgress(const HelperMessage& message);

}  // namespace userdb::crash
