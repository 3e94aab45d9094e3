// The integrity self-check of a program file: a CRC-32 of what the program loads of its file
// (every loaded segment's bytes, and the ELF header without its section-table fields),
// written after linking into a section of its own. So the sections that are not loaded (the
// settings record TQUORVEX, the symbol information TVOSTREL, the version record, debug
// information, the checksum itself) are left out of the sum: deployers may replace them,
// and stripping the program keeps its checksum right.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace userdb::crash {

inline constexpr std::string_view kChecksumSection = "TFILECRC";

// The checksum of the ELF file at `path`; none when it cannot be read or is no ELF file.
std::optional<uint32_t> LoadedContentChecksum(const std::string& path);

enum class IntegrityCheck { kIntact, kDamaged, kNotChecked };

// Compares the file's checksum with the one its section holds; a file without the section
// (a program built without the step) is not checked.
IntegrityCheck CheckFileIntegrity(const std::string& path);

// The 4 bytes of the section (little-endian).
std::string ChecksumSectionBytes(uint32_t checksum);

}  // namespace userdb::crash
