#include "crash/capture/signal_texts.h"

#include <csignal>
#include <cstring>

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

bool ReportedAsSent(int signal, int code, pid_t sender, pid_t self) {
  return code <= 0 && !(signal == SIGABRT && sender == self);
}

SignalText SignalTextOf(const SignalMessageFacts& facts) {
  if (facts.sent) return {"ESentSignal", "Signal"};
  if (facts.stack_overflow)
    return {"EStackOverflow",
            "Stack-\xDC"
            "berlauf"};
  return SignalTextOf(facts.signal, facts.code);
}

namespace {

// sigabbrev_np reads a constant table: safe in a signal handler.
void WriteSignalName(FixedText& out, int signal) {
  const char* abbreviation = sigabbrev_np(signal);
  if (abbreviation != nullptr)
    out.Append("SIG").Append(abbreviation);
  else
    out.Append("Signal ").Decimal(signal);
}

void WriteLocation(FixedText& out, const SignalMessageFacts& facts) {
  out.Append("bei Adresse ").Hex(facts.address, 16);
  if (!facts.module.empty()) out.Append(" in Modul '").Append(facts.module).Append('\'');
}

void WriteSentSignalMessage(FixedText& out, const SignalMessageFacts& facts) {
  out.Append("Signal ");
  WriteSignalName(out, facts.signal);
  if (facts.sender != 0)
    out.Append(", von Prozess ").Decimal(facts.sender).Append(" gesendet");
  else
    out.Append(
        ", von au\xDF"
        "en gesendet");
  out.Append(", empfangen ");
  WriteLocation(out, facts);
  out.Append('.');
}

}  // namespace

void WriteSignalMessage(FixedText& out, const SignalMessageFacts& facts) {
  if (facts.sent) return WriteSentSignalMessage(out, facts);
  out.Append(SignalTextOf(facts).what).Append(' ');
  WriteLocation(out, facts);
  out.Append('.');
  if (facts.signal == SIGSEGV || facts.signal == SIGBUS) {
    out.Append(facts.write ? " Schreiben von" : " Lesen von").Append(" Adresse ");
    out.Hex(facts.fault_address, 16);
    out.Append(facts.stack_overflow ? " im Schutzbereich unter dem Stack." : ".");
  }
}

}  // namespace userdb::crash
