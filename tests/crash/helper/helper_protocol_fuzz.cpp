// Any bytes as what the crash helper and the crash reporter read from each other: the reader
// hands out the same messages however the bytes are cut into reads, every message it hands
// out reads back the same once written again, and every decoder of the protocol takes any
// message; the assistant's request and answer come back the same through their encoders.
//
// Input: one byte choosing the size of the reads (1 to 256 bytes), then the stream.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <vector>

#include "crash/helper/assistant_request.h"
#include "crash/helper/box_request.h"
#include "crash/helper/helper_protocol.h"

namespace {

using userdb::crash::HelperMessage;
using userdb::crash::HelperMessageReader;

bool Same(const HelperMessage& a, const HelperMessage& b) {
  return a.verb == b.verb && a.fields == b.fields;
}

std::vector<HelperMessage> ReadAll(HelperMessageReader& reader) {
  std::vector<HelperMessage> messages;
  while (std::optional<HelperMessage> message = reader.Next()) messages.push_back(*message);
  return messages;
}

// The messages of `stream` fed in reads of `chunk` bytes, and whether the stream broke.
std::vector<HelperMessage> ReadInChunks(std::string_view stream, size_t chunk, bool& broken) {
  HelperMessageReader reader;
  std::vector<HelperMessage> messages;
  for (size_t at = 0; at < stream.size(); at += chunk) {
    reader.Feed(stream.substr(at, chunk));
    for (HelperMessage& message : ReadAll(reader)) messages.push_back(std::move(message));
  }
  broken = reader.Broken();
  return messages;
}

void DecodeEveryWay(const HelperMessage& message) {
  using namespace userdb::crash;
  DecodeBoxRequest(message);
  DecodeReport(message);
  DecodeProgress(message);
  if (const auto request = DecodeAssistantRequest(message)) {
    if (DecodeAssistantRequest(EncodeAssistantRequest(*request)) != request) std::abort();
  }
  if (const auto answer = DecodeAssistantAnswer(message)) {
    if (DecodeAssistantAnswer(EncodeAssistantAnswer(*answer)) != answer) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const size_t chunk = size_t{data[0]} + 1;
  const std::string_view stream(reinterpret_cast<const char*>(data + 1), size - 1);

  bool broken_in_chunks = false, broken_whole = false;
  const std::vector<HelperMessage> messages = ReadInChunks(stream, chunk, broken_in_chunks);
  const std::vector<HelperMessage> whole = ReadInChunks(stream, stream.size() + 1, broken_whole);
  if (messages.size() != whole.size() || broken_in_chunks != broken_whole) std::abort();
  for (size_t i = 0; i < messages.size(); ++i) {
    if (!Same(messages[i], whole[i])) std::abort();
    HelperMessageReader again;
    again.Feed(userdb::crash::EncodeHelperMessage(messages[i]));
    const std::optional<HelperMessage> read_again = again.Next();
    if (!read_again || !Same(*read_again, messages[i]) || again.Next()) std::abort();
    DecodeEveryWay(messages[i]);
  }
  return 0;
}
