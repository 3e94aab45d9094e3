// The version label's text: its designed caption followed by the program's version record.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/version_record.h"

namespace userdb::app {

// `caption` + file version + " @ " + OriginalFilename ("Ver.: 1.0.1.16 @ 2018-01-11"); each
// field reads "Value Not Available" when there is no record, and empty when the record
// lacks it.
std::string VersionCaption(std::string_view caption,
                           const std::optional<platform::VersionRecord>& record);

// The record of the program this code is part of.
std::optional<platform::VersionRecord> ProgramVersionRecord();

}  // namespace userdb::app
