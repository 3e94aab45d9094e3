// What a fatal signal is called in a report: a class of its own per kind of fault, descending
// from "VostrelException", and a German message in the form of
//   Zugriffsverletzung bei Adresse 000055d0c1a2b3c4 in Modul 'userdb-transform'. Lesen von
//   Adresse 0000000000000000.
// with 16-digit addresses. A signal that a process sent (kill, sigqueue, raise) is no fault:
// it is "ESentSignal", with the sender, and where the thread received it:
//   Signal SIGSEGV, von Prozess 4711 gesendet, empfangen bei Adresse 000055d0c1a2b3c4 in
//   Modul 'userdb2csv'.
// A stack overflow is "EStackOverflow", its message naming the guard area it reached:
//   Stack-\xDCberlauf bei Adresse 000055d0c1a2b3c4 in Modul 'userdb2csv'. Schreiben von
//   Adresse 00007f3a1c7feff8 im Schutzbereich unter dem Stack.
// The texts are Windows-1252.
//
// Async-signal-safe: the emergency report of a fault's handler writes them too.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string_view>

#include "crash/capture/signal_safe_text.h"

namespace userdb::crash {

inline constexpr std::string_view kSignalRootClass = "VostrelException";

struct SignalText {
  std::string_view class_name;
  std::string_view what;
};

// The class and the leading words of a fault by its signal and code (si_code) alone.
SignalText SignalTextOf(int signal, int code);

struct SignalMessageFacts {
  int signal = 0;
  int code = 0;                 // si_code
  uintptr_t address = 0;        // the faulting instruction
  uintptr_t fault_address = 0;  // the memory address of a memory fault
  bool write = false;           // a memory fault on writing
  std::string_view module;      // the file name of the module holding `address`; empty: none
  // Sent by a process rather than raised by a fault (ReportedAsSent): the sender's process
  // id, 0 when the signal does not tell it.
  bool sent = false;
  pid_t sender = 0;
  // A memory fault in the guard area below the faulting thread's stack (IsStackOverflow).
  bool stack_overflow = false;
};

// Whether a signal with the code `code` (si_code) is reported as sent: every signal that a
// process sent (a code of 0 or below), except the abort that this process `self` raised
// itself (std::abort), which is the program's own failure.
bool ReportedAsSent(int signal, int code, pid_t sender, pid_t self);

// The class and the leading words of the fault that `facts` describe, sent signals and stack
// overflows included.
SignalText SignalTextOf(const SignalMessageFacts& facts);

void WriteSignalMessage(FixedText& out, const SignalMessageFacts& facts);

// Whether a memory fault happened on writing, by the page fault's error code (REG_ERR of the
// signal's context).
inline bool FaultedOnWriting(int64_t error_code) {
  constexpr uint64_t kWriteFlag = 2;
  return (static_cast<uint64_t>(error_code) & kWriteFlag) != 0;
}

}  // namespace userdb::crash
