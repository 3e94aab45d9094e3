// Naming code addresses when nothing else works: inside the signal handler of a fault whose
// handling made no progress (a thread holds the allocator's or the loader's lock). Modules
// are found through the loader's lock-free look-up and its list of modules; the program's
// own functions, units and lines come from its packed symbols, read from its file and
// inflated into memory reserved beforehand; a library's function is named by the export
// whose extent holds the address.
//
// The constructor is not for a signal handler; everything else here is async-signal-safe:
// no allocation, no lock, no stdio (open, pread, read and close only).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "crash/capture/signal_safe_text.h"

namespace userdb::crash {

// One code address and what is known of it.
struct NamedAddress {
  uintptr_t address = 0;    // as printed: a faulting instruction, or the call before a return
  uintptr_t lookup = 0;     // where it is looked up (inside the call for a return address)
  std::string_view module;  // file name; empty when no module holds it
  std::string_view unit;
  std::string_view function;
  uintptr_t function_start = 0;  // 0: not known
  uint32_t line = 0;             // 0: none
  uint32_t function_first_line = 0;
};

// A loaded module as the loader lists it.
struct ListedModule {
  uintptr_t load_bias = 0;
  std::string_view path;
};

class EmergencyNaming {
 public:
  // Room for the program's packed symbols and their inflated body; larger ones stay unread.
  static constexpr size_t kRoomSize = 8 << 20;

  EmergencyNaming();
  ~EmergencyNaming();
  EmergencyNaming(const EmergencyNaming&) = delete;
  EmergencyNaming& operator=(const EmergencyNaming&) = delete;

  // The entry of an address: a faulting instruction is looked up where it is, a return
  // address inside the call in front of it (which it then stands for, when that call can be
  // read).
  static NamedAddress OfInstruction(uintptr_t address);
  static NamedAddress OfReturnAddress(uintptr_t address);

  // Names every entry: module, and function, unit and lines where known.
  void Name(std::span<NamedAddress> entries);

  // The modules of the process in ascending order of load address, those without a file
  // (the vDSO) left out; at most the room's size. Returns the count.
  size_t ListModules(std::span<ListedModule> room);

  // The running program's file, read from the kernel at the time of the call.
  std::string_view ExecutablePath();

 private:
  bool LoadProgramSymbols();
  void NameFromProgramSymbols(std::span<NamedAddress> entries, std::string_view program);

  char* room_ = nullptr;  // reserved beforehand, used only while naming
  size_t used_ = 0;
  bool symbols_tried_ = false;
  std::string_view inflated_;  // the program's inflated symbol body; empty when none
  char executable_[4096] = {};
  size_t executable_size_ = 0;
};

}  // namespace userdb::crash
