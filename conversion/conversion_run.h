// One conversion of a user-database file into a contacts file beside it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "conversion/conversion_lists.h"
#include "conversion/radio_type.h"

namespace userdb::conversion {

struct ConversionRequest {
  std::string input_path;  // as the user gave it: absolute or relative
  RadioType radio_type = kMd9600;
  DisplayFormat display_format = kCompact;  // read for the MD-2017/RT82 only
  std::string radio_type_caption;
  std::string display_format_caption;
};

// Where a run reports to: the log pane and the progress bar.
struct ConversionSinks {
  LogLine log;
  std::function<void(int32_t)> set_total_parts;
  std::function<void(int32_t)> set_parts_complete;
};

// Reads the input file, composes a contact line for every line with at least four fields
// and a 7-byte DMR ID, and writes them to "contacts_users_<accepted count>.csv" in the
// input's folder, logging each step. A line whose composition fails is reported in the
// log and left out. Failures to read the input or write the output are not handled:
// FileOpenError, StreamReadError, FileCreateError or StreamWriteError ends the run.
void ConversionRun(const ConversionRequest& request, ConversionLists& lists,
                   const ConversionSinks& sinks);

// "contacts_users_<accepted count>.csv" in the folder of `input_path`.
std::string OutputPathFor(const std::string& input_path, int32_t accepted_count);

}  // namespace userdb::conversion
