// A program that names its own functions: the tests build it with its packed symbol section,
// strip it of everything else and check what it prints: for each probed function its unit,
// line and name, then the same for the place that asks with address 0.
#include <cstdint>
#include <cstdio>

#include "crash/stack/symbol_lookup.h"

namespace probe {

__attribute__((noinline)) int Twice(int value) {  // probe: Twice
  return value * 2;
}

}  // namespace probe

namespace {

void Print(const userdb::crash::Location& location) {
  std::printf("%d|%.*s|%d|%.*s\n", location.found ? 1 : 0, static_cast<int>(location.unit.size()),
              location.unit.data(), location.line, static_cast<int>(location.public_name.size()),
              location.public_name.data());
}

}  // namespace

int main() {
  userdb::crash::SymbolLookup symbols;
  Print(symbols.LocationInfo(reinterpret_cast<uintptr_t>(&probe::Twice)));
  Print(symbols.LocationInfo(0));  // probe: main asks
  std::printf("%s\n", std::string(symbols.SymbolTableFor(0)->MinimalDebug()).c_str());
  return probe::Twice(0);
}
