#include "app/version_caption.h"

namespace {

constexpr std::string_view kNotAvailable = "Value Not Available";

}  // namespace

std::string VersionCaption(std::string_view caption, const std::optional<VersionRecord>& record) {
  std::string text(caption);
  text += record ? record->file_version : kNotAvailable;
  text += " @ ";
  text += record ? record->original_filename : kNotAvailable;
  return text;
}

std::optional<VersionRecord> ProgramVersionRecord() {
  return VersionRecordOf(reinterpret_cast<const void*>(&ProgramVersionRecord));
}
