#include "crash/capture/signal_texts.h"

#include <csignal>

namespace userdb::crash {

namespace {

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

}  // namespace

SignalText SignalTextOf(int signal, int code) {
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

void WriteSignalMessage(FixedText& out, const SignalMessageFacts& facts) {
  out.Append(SignalTextOf(facts.signal, facts.code).what).Append(" bei Adresse ");
  out.Hex(facts.address, 16);
  if (!facts.module.empty()) out.Append(" in Modul '").Append(facts.module).Append('\'');
  out.Append('.');
  if (facts.signal == SIGSEGV || facts.signal == SIGBUS) {
    out.Append(facts.write ? " Schreiben von" : " Lesen von").Append(" Adresse ");
    out.Hex(facts.fault_address, 16).Append('.');
  }
}

}  // namespace userdb::crash
