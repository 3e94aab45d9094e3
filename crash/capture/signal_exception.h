// The exception object that stands for a fatal signal: a class of its own per kind of fault,
// descending from "VostrelException", and a German message in the form of
//   Zugriffsverletzung bei Adresse 000055d0c1a2b3c4 in Modul 'userdb-transform'. Lesen von
//   Adresse 0000000000000000.
// with 16-digit addresses.
#pragma once

#include <cstdint>
#include <string>

#include "crash/report/exception_text.h"

namespace userdb::crash {

struct SignalFacts {
  int signal = 0;
  int code = 0;                 // si_code
  uintptr_t address = 0;        // the faulting instruction
  uintptr_t fault_address = 0;  // the memory address of a memory fault
  bool write = false;           // a memory fault on writing
  std::string module;           // the file name of the module holding `address`; empty: none
};

ExceptionObject SignalExceptionObject(const SignalFacts& facts);

// "Runtime error": the object of a termination that no exception caused.
ExceptionObject RuntimeErrorObject(const std::string& text);

}  // namespace userdb::crash
