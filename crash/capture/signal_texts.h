// What a fatal signal is called in a report: a class of its own per kind of fault, descending
// from "VostrelException", and a German message in the form of
//   Zugriffsverletzung bei Adresse 000055d0c1a2b3c4 in Modul 'userdb-transform'. Lesen von
//   Adresse 0000000000000000.
// with 16-digit addresses. The texts are Windows-1252.
//
// Async-signal-safe: the emergency report of a fault's handler writes them too.
#pragma once

#include <cstdint>
#include <string_view>

#include "crash/capture/signal_safe_text.h"

namespace userdb::crash {

inline constexpr std::string_view kSignalRootClass = "VostrelException";

struct SignalText {
  std::string_view class_name;
  std::string_view what;
};

SignalText SignalTextOf(int signal, int code);

struct SignalMessageFacts {
  int signal = 0;
  int code = 0;                 // si_code
  uintptr_t address = 0;        // the faulting instruction
  uintptr_t fault_address = 0;  // the memory address of a memory fault
  bool write = false;           // a memory fault on writing
  std::string_view module;      // the file name of the module holding `address`; empty: none
};

void WriteSignalMessage(FixedText& out, const SignalMessageFacts& facts);

// Whether a memory fault happened on writing, by the page fault's error code (REG_ERR of the
// signal's context).
inline bool FaultedOnWriting(int64_t error_code) {
  constexpr uint64_t kWriteFlag = 2;
  return (static_cast<uint64_t>(error_code) & kWriteFlag) != 0;
}

}  // namespace userdb::crash
