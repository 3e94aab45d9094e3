#include "crash/capture/signal_exception.h"

#include "crash/capture/signal_texts.h"

namespace userdb::crash {

ExceptionObject SignalExceptionObject(const SignalMessageFacts& facts) {
  const SignalText text = SignalTextOf(facts);
  char room[1024];
  FixedText message(room, sizeof room);
  WriteSignalMessage(message, facts);
  return ExceptionObject{{std::string(text.class_name), std::string(kSignalRootClass)},
                         std::string(message.View())};
}

ExceptionObject RuntimeErrorObject(const std::string& text) {
  return ExceptionObject{{std::string(kSignalRootClass)}, text.empty() ? "Runtime error" : text};
}

}  // namespace userdb::crash
