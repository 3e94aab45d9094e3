// The program's version record: the stand-in for a Windows module's version resource.
// Each program carries it in its ELF section "VERSIONINFO" (the build adds it, see
// cmake/EmbeddedRecords.cmake), one "Key=Value" line a field, for example
//   FileVersion=1.0.1.16
//   OriginalFilename=2018-01-11
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace userdb::platform {

inline constexpr std::string_view kVersionRecordSection = "VERSIONINFO";

struct VersionRecord {
  std::string file_version;       // four dot-separated decimal numbers, or empty
  std::string original_filename;  // empty when the record lacks the field
};

// The fields of a record's bytes; a field that is missing reads empty. Lines end with
// "\n" (a "\r" before it is dropped); the first line of a field counts; other keys are
// ignored.
VersionRecord ParseVersionRecord(std::string_view bytes);

// The record of the module (executable or shared library) containing `address`; none when
// that module carries no record.
std::optional<VersionRecord> VersionRecordOf(const void* address);

struct LoadedModule;

// The record of a loaded module; none when it carries no record.
std::optional<VersionRecord> VersionRecordOfModule(const LoadedModule& module);

// What a program's --version prints: the file version of the record of the module containing
// `address`, "Value Not Available" (as the window's version label says) when it has none.
std::string FileVersionText(const void* address);

}  // namespace userdb::platform
