// make_symbol_section PROGRAM SYMBOLS: packs the symbol information of a linked program (its
// DWARF line tables and its ELF symbol table) into the file SYMBOLS, in the packed symbol
// format that the build adds to the program as its section TVOSTREL (packed_symbols.h).
#include <cstdio>
#include <string>

#include "crash/stack/debug_file.h"
#include "crash/stack/packed_symbols.h"
#include "crash/stack/symbol_sources.h"
#include "platform/display_text.h"
#include "platform/exception.h"
#include "platform/whole_file.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: make_symbol_section PROGRAM SYMBOLS\n", stderr);
    return 2;
  }
  const std::string program = argv[1];
  auto symbols =
      userdb::crash::ReadDebugSymbols(program, program, userdb::crash::detail::kSystemDebugRoot);
  if (!symbols) {
    std::fprintf(stderr, "make_symbol_section: %s: no symbol information\n", program.c_str());
    return 1;
  }
  symbols->minimal_debug = "packed " + symbols->minimal_debug;
  const std::string packed = userdb::crash::PackSymbols(*symbols);
  // What the program cannot read back (more than the reader's limit) is no use to it.
  if (!userdb::crash::UnpackSymbols(packed)) {
    std::fprintf(stderr, "make_symbol_section: %s: too many symbols to pack\n", program.c_str());
    return 1;
  }
  try {
    userdb::platform::WriteWholeFile(argv[2], packed);
    return 0;
  } catch (const userdb::Exception& error) {
    std::fprintf(stderr, "make_symbol_section: %s\n",
                 userdb::platform::DisplayUtf8(error.Message()).c_str());
  }
  return 1;
}
