// The exception object that stands for a fatal signal: its class chain and message as
// signal_texts.h names them.
#pragma once

#include <string>

#include "crash/capture/signal_texts.h"
#include "crash/report/exception_text.h"

namespace userdb::crash {

ExceptionObject SignalExceptionObject(const SignalMessageFacts& facts);

// "Runtime error": the object of a termination that no exception caused.
ExceptionObject RuntimeErrorObject(const std::string& text);

}  // namespace userdb::crash
