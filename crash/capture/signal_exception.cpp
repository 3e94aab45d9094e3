#include "crash/capture/signal_exception.h"

#include <csignal>

#include "crash/report/value_formats.h"

namespace userdb::crash {

namespace {

constexpr char kRootClass[] = "VostrelException";

struct SignalText {
  const char* class_name;
  const char* what;  // Windows-1252
};

SignalText FloatingPointText(int code) {
  switch (code) {
    case FPE_INTDIV:
      return {"EDivByZero", "Division durch Null"};
    case FPE_INTOVF:
      return {"EIntOverflow",
              "Ganzzahl\xFC"
              "berlauf"};
    case FPE_FLTDIV:
      return {"EZeroDivide", "Gleitkommadivision durch Null"};
    case FPE_FLTOVF:
      return {"EOverflow",
              "Gleitkomma\xFC"
              "berlauf"};
    case FPE_FLTUND:
      return {"EUnderflow", "Gleitkommaunterlauf"};
    case FPE_FLTRES:
      return {"EInexactResult", "Ungenaues Gleitkommaergebnis"};
    case FPE_FLTINV:
      return {"EInvalidOp", "Ung\xFCltige Gleitkommaoperation"};
    default:
      return {"EMathError", "Rechenfehler"};
  }
}

SignalText TextOf(int signal, int code) {
  switch (signal) {
    case SIGSEGV:
      return {"EAccessViolation", "Zugriffsverletzung"};
    case SIGBUS:
      return {"EBusError", "Busfehler"};
    case SIGFPE:
      return FloatingPointText(code);
    case SIGILL:
      return code == ILL_PRVOPC || code == ILL_PRVREG
                 ? SignalText{"EPrivilege", "Privilegierte Anweisung"}
                 : SignalText{"EIllegalInstruction", "Ung\xFCltige Anweisung"};
    case SIGABRT:
      return {"EProgramAbort", "Programmabbruch"};
    case SIGSYS:
      return {"EBadSystemCall", "Unzul\xE4ssiger Systemaufruf"};
    default:
      return {"EExternalException", "Externe Ausnahme"};
  }
}

}  // namespace

ExceptionObject SignalExceptionObject(const SignalFacts& facts) {
  const SignalText text = TextOf(facts.signal, facts.code);
  std::string message = std::string(text.what) + " bei Adresse " + AddressText(facts.address);
  if (!facts.module.empty()) message += " in Modul '" + facts.module + "'";
  message += ".";
  if (facts.signal == SIGSEGV || facts.signal == SIGBUS) {
    message += std::string(facts.write ? " Schreiben von" : " Lesen von") + " Adresse " +
               AddressText(facts.fault_address) + ".";
  }
  return ExceptionObject{{text.class_name, kRootClass}, message};
}

ExceptionObject RuntimeErrorObject(const std::string& text) {
  return ExceptionObject{{kRootClass}, text.empty() ? "Runtime error" : text};
}

}  // namespace userdb::crash
