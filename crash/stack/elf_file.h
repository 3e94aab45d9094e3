// An ELF file opened for reading with libelf, through a read-only mapping of the whole file.
// libelf checks every header and section against the file's size, so a damaged or truncated
// file reads as an error, never past its end.
#pragma once

#include <libelf.h>

#include <optional>
#include <string>
#include <string_view>

#include "platform/unique_fd.h"

namespace userdb::crash::detail {

class ElfFile {
 public:
  // None when the file cannot be opened or is no ELF file.
  static std::optional<ElfFile> Open(const std::string& path);

  ElfFile(ElfFile&& other) noexcept;
  ElfFile& operator=(ElfFile&&) = delete;
  ElfFile(const ElfFile&) = delete;
  ElfFile& operator=(const ElfFile&) = delete;
  ~ElfFile();

  Elf* Get() const { return elf_; }

  // The GNU build id, raw bytes; empty when the file has none.
  std::string BuildId() const;

 private:
  ElfFile(userdb::platform::UniqueFd fd, Elf* elf) : fd_(std::move(fd)), elf_(elf) {}

  userdb::platform::UniqueFd fd_;
  Elf* elf_ = nullptr;
};

}  // namespace userdb::crash::detail
