// The one protocol between a program's crash reporter and its crash helper, over the
// helper's standard input and output: messages of a verb and named fields, each field's
// bytes counted, so that any text (the program's 8-bit texts, the report) passes unchanged.
//
//   <verb> <field count>\n
//   <field name> <byte count>\n<bytes>\n      (once per field)
//
// From the crash reporter: "box" (the exception box), "progress" (the please-wait box and
// its position; "done" closes it), "message" (a message box), "report" (the report again
// after every change), "save-dialog" (ask for the file to save the report in), "save-done"
// (the save ended), "quit". From the helper: "shown" (its window is on the screen),
// "command" (what the user chose: "continue", "restart", "close", "save", "send" or
// "print"; for a message box "ok") and "save-path" (the chosen file, empty for none).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace userdb::crash {

struct HelperMessage {
  std::string verb;
  std::vector<std::pair<std::string, std::string>> fields;

  // The field's value; empty when the message has none of that name.
  std::string Field(std::string_view name) const;
  HelperMessage& With(std::string name, std::string value);
};

std::string EncodeHelperMessage(const HelperMessage& message);

// Writes the message whole to `fd` (a blocking pipe or socket); false when that failed.
bool WriteHelperMessage(int fd, const HelperMessage& message);

// Takes the bytes as they come and hands out whole messages.
class HelperMessageReader {
 public:
  // A message larger than this is a broken stream.
  static constexpr size_t kMaxFieldSize = 64 * 1024 * 1024;

  void Feed(std::string_view bytes) { buffer_.append(bytes); }
  // The next whole message; none while it is not complete, or when the stream is broken.
  std::optional<HelperMessage> Next();
  bool Broken() const { return broken_; }

 private:
  std::string buffer_;
  bool broken_ = false;
};

// Verbs and field names.
namespace helper {
inline constexpr std::string_view kBox = "box";
inline constexpr std::string_view kProgress = "progress";
inline constexpr std::string_view kMessage = "message";
inline constexpr std::string_view kReport = "report";
inline constexpr std::string_view kQuit = "quit";
inline constexpr std::string_view kShown = "shown";
inline constexpr std::string_view kCommand = "command";
inline constexpr std::string_view kSaveDialog = "save-dialog";
inline constexpr std::string_view kSavePath = "save-path";
// The box's save, send or print has ended (the box may be used again); with "saved" for a
// save.
inline constexpr std::string_view kActionDone = "action-done";

inline constexpr std::string_view kContinue = "continue";
inline constexpr std::string_view kRestart = "restart";
inline constexpr std::string_view kClose = "close";
inline constexpr std::string_view kSave = "save";
inline constexpr std::string_view kSend = "send";
inline constexpr std::string_view kPrint = "print";
inline constexpr std::string_view kOk = "ok";

// A report assistant: "assistant" from the crash reporter, "assistant-end" from the helper
// once its last page closed (see assistant_request.h).
inline constexpr std::string_view kAssistant = "assistant";
inline constexpr std::string_view kAssistantEnd = "assistant-end";
}  // namespace helper

}  // namespace userdb::crash
