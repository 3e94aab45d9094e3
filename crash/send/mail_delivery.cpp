#include "crash/send/mail_delivery.h"

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <vector>

#include "crash/send/child_process.h"
#include "platform/display_text.h"
#include "platform/path.h"
#include "platform/trimmed.h"

namespace userdb::crash {

namespace {

// The attachment's file as a path whose file name is its send-as name.
std::optional<std::string> UnderSendAsName(const MailAttachment& attachment,
                                           const std::string& attachment_folder) {
  if (attachment.send_as.empty() || platform::FileNamePart(attachment.path) == attachment.send_as) {
    return attachment.path;
  }
  if (attachment.send_as.find('/') != std::string::npos) return std::nullopt;
  const std::string named = attachment_folder + attachment.send_as;
  std::error_code error;
  std::filesystem::remove(named, error);
  if (link(attachment.path.c_str(), named.c_str()) == 0) return named;
  if (std::filesystem::copy_file(attachment.path, named, error)) return named;
  return std::nullopt;
}

std::vector<std::string> MailProgramArguments(const std::string& program,
                                              const MailMessage& message,
                                              const std::string& attachment_folder) {
  std::vector<std::string> arguments = {program, "--utf8"};
  // xdg-email refuses an empty subject or body.
  if (!message.subject.empty()) {
    arguments.insert(arguments.end(), {"--subject", platform::DisplayUtf8(message.subject)});
  }
  if (!message.body.empty()) {
    arguments.insert(arguments.end(), {"--body", platform::DisplayUtf8(message.body)});
  }
  for (const MailAttachment& attachment : message.attachments) {
    // An attachment that cannot be given its name goes under the name it has.
    const std::string path =
        UnderSendAsName(attachment, attachment_folder).value_or(attachment.path);
    arguments.insert(arguments.end(), {"--attach", path});
  }
  for (const MailRecipient& recipient : SplitRecipients(message.recipients)) {
    // xdg-email takes an argument without "@" for a mistake and refuses the whole call.
    if (recipient.address.find('@') == std::string::npos || recipient.address.front() == '-') {
      continue;
    }
    arguments.push_back(platform::DisplayUtf8(recipient.address));
  }
  return arguments;
}

}  // namespace

MailPrograms MailPrograms::FromEnvironment() {
  MailPrograms programs;
  const char* path = getenv("PATH");
  programs.search_path = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
  return programs;
}

bool HandToMailProgram(const MailMessage& message, const std::string& attachment_folder,
                       const MailPrograms& programs) {
  const std::optional<std::string> program = FindProgram("xdg-email", programs.search_path);
  if (!program) return false;
  ChildRun run;
  run.arguments = MailProgramArguments(*program, message, attachment_folder);
  run.time_limit = programs.mail_program_limit;
  run.at_time_limit = AtTimeLimit::kLeaveRunning;
  return RunChild(run).ExitedWithSuccess();
}

bool HandToMailtoHandler(const std::string& mailto_line, const MailPrograms& programs) {
  const std::optional<std::string> query = FindProgram("xdg-mime", programs.search_path);
  const std::optional<std::string> opener = FindProgram("xdg-open", programs.search_path);
  if (!query || !opener) return false;

  ChildRun handler_query;
  handler_query.arguments = {*query, "query", "default", "x-scheme-handler/mailto"};
  handler_query.time_limit = programs.query_limit;
  handler_query.keep_output = true;
  const ChildResult handler = RunChild(handler_query);
  if (!handler.ExitedWithSuccess() || platform::Trimmed(handler.output).empty()) return false;

  ChildRun open;
  open.arguments = {*opener, mailto_line};
  open.time_limit = programs.open_watch;
  open.at_time_limit = AtTimeLimit::kLeaveRunning;
  const ChildResult opened = RunChild(open);
  return opened.ExitedWithSuccess() || opened.end == ChildEnd::kTimeLimit;
}

}  // namespace userdb::crash
