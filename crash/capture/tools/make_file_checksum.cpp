// make_file_checksum PROGRAM OUTPUT: writes the 4 bytes of PROGRAM's integrity checksum
// (what it loads of its file) to OUTPUT, for its section TFILECRC.
#include <cstdio>
#include <fstream>

#include "crash/capture/file_checksum.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: make_file_checksum PROGRAM OUTPUT\n", stderr);
    return 2;
  }
  const auto checksum = userdb::crash::LoadedContentChecksum(argv[1]);
  if (!checksum) {
    std::fprintf(stderr, "make_file_checksum: %s is no readable ELF file\n", argv[1]);
    return 1;
  }
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out << userdb::crash::ChecksumSectionBytes(*checksum);
  out.close();
  return out ? 0 : 1;
}
