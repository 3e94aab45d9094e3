#include "app/version_caption.h"

namespace userdb::app {

namespace {

constexpr std::string_view kNotAvailable = "Value Not Available";

}  // namespace

std::string VersionCaption(std::string_view caption,
                           const std::optional<platform::VersionRecord>& record) {
  std::string text(caption);
  text += record ? record->file_version : kNotAvailable;
  text += " @ ";
  text += record ? record->original_filename : kNotAvailable;
  return text;
}

std::optional<platform::VersionRecord> ProgramVersionRecord() {
  return platform::VersionRecordOf(reinterpret_cast<const void*>(&ProgramVersionRecord));
}

}  // namespace userdb::app
