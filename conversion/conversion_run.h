// One conversion of a user-database file into a contacts file beside it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "conversion/conversion_lists.h"
#include "conversion/radio_text.h"
#include "conversion/radio_type.h"

namespace userdb::conversion {

// The line that ends the log of a run that accepted no line at all.
inline constexpr char kNoDmrIdWarning[] =
    "Warning: no line had a 7-character DMR ID in its first field";

struct ConversionRequest {
  std::string input_path;  // as the user gave it: absolute or relative
  RadioType radio_type = kMd9600;
  DisplayFormat display_format = kCompact;  // read for the MD-2017/RT82 only
  std::string radio_type_caption;
  std::string display_format_caption;
  // More sources, read after the input in this order: an entry of a later source replaces
  // the entries of the same DMR ID of the earlier ones. The output goes beside the input.
  std::vector<std::string> further_input_paths = {};
  // How the fields' text is written; without a choice, each file as its form suggests:
  // kKeep for a user database, kCp1252 for a CSV export.
  std::optional<TextChoice> text_choice = std::nullopt;
  bool unique_ids = false;  // one entry per DMR ID, the last one given, also within a file
  bool sort_by_id = false;  // the contacts in ascending DMR ID order
};

// Where a run reports to: the log pane and the progress bar.
struct ConversionSinks {
  LogLine log;
  std::function<void(int32_t)> set_total_parts;
  std::function<void(int32_t)> set_parts_complete;
};

// Reads the input files (each a user database or a CSV export, told by its first line),
// composes a contact line for every line with at least four fields and a 7-byte DMR ID,
// and writes them to "contacts_users_<count>.csv" in the input's folder, logging each
// step; the count is of the accepted lines, less those whose entries a later one replaced.
// A line whose composition fails, or a malformed CSV record, is reported in the log and
// left out. Every file is opened and its form told before anything is logged. Failures to
// read an input or write the output are not handled: FileOpenError, StreamReadError,
// MissingColumnError, FileCreateError or StreamWriteError ends the run.
void ConversionRun(const ConversionRequest& request, ConversionLists& lists,
                   const ConversionSinks& sinks);

// "contacts_users_<accepted count>.csv" in the folder of `input_path`.
std::string OutputPathFor(const std::string& input_path, int32_t accepted_count);

}  // namespace userdb::conversion
