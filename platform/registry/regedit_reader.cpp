#include "platform/registry/regedit_reader.h"

#include <charconv>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/case_insensitive_1252.h"
#include "platform/text_encoding.h"

namespace userdb::registry {

namespace {

constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";

struct Line {
  size_t number;
  std::string text;
};

std::string_view TrimmedLeft(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  return text;
}

std::string_view Trimmed(std::string_view text) {
  text = TrimmedLeft(text);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// The file's lines without their line ends, a line ending in "\" joined with the next
// (hex lists run over several lines), each numbered by the line it starts on.
std::vector<Line> SplitLines(std::string_view text) {
  std::vector<Line> lines;
  bool continued = false;
  for (size_t number = 1; !text.empty(); ++number) {
    const size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (continued) {
      lines.back().text += TrimmedLeft(line);
    } else {
      lines.push_back({number, std::string(line)});
    }
    std::string& joined = lines.back().text;
    while (!joined.empty() && (joined.back() == ' ' || joined.back() == '\t')) joined.pop_back();
    continued = !joined.empty() && joined.back() == '\\';
    if (continued) joined.pop_back();
  }
  return lines;
}

// Reads one registry file's lines into a hive.
class Parser {
 public:
  explicit Parser(bool unicode) : unicode_(unicode) {}

  void ReadLine(const Line& line) {
    line_number_ = line.number;
    const std::string_view text = TrimmedLeft(line.text);
    if (text.empty() || text.front() == ';') return;
    if (text.front() == '[') {
      ReadSection(text);
    } else if (text.front() == '"' || text.front() == '@') {
      ReadValue(text);
    } else {
      Fail("neither a key nor a value");
    }
  }

  Hive TakeHive() { return std::move(hive_); }

 private:
  [[noreturn]] void Fail(const std::string& reason) const {
    throw DamagedRegistryFile(line_number_, reason);
  }

  std::string Text(std::string_view text) const {
    return unicode_ ? platform::Windows1252FromUtf8Replacing(text) : std::string(text);
  }

  void ReadSection(std::string_view text) {
    if (text.back() != ']') Fail("a key without its closing \"]\"");
    std::string_view path = text.substr(1, text.size() - 2);
    if (!path.empty() && path.front() == '-') Fail("a key deletion");
    if (path.size() < kHiveRootName.size() ||
        !platform::EqualIgnoringCase1252(path.substr(0, kHiveRootName.size()), kHiveRootName) ||
        (path.size() > kHiveRootName.size() && path[kHiveRootName.size()] != '\\')) {
      Fail("a key outside " + std::string(kHiveRootName));
    }
    path.remove_prefix(kHiveRootName.size());
    const std::string normal = NormalizeKeyPath(Text(path));
    if (!KeyPathFitsLimits(normal)) {
      Fail("a key deeper than " + std::to_string(kMaxKeyDepth) +
           " levels or with a name of more than " + std::to_string(kMaxKeyNameLength) +
           " characters");
    }
    current_key_ = &hive_.CreateKey(normal);
  }

  // A quoted text with "\\" and "\"" escapes; `text` starts at the opening quote and is
  // left after the closing one.
  std::string ReadQuoted(std::string_view& text) const {
    std::string unquoted;
    for (size_t i = 1; i < text.size(); ++i) {
      if (text[i] == '"') {
        text.remove_prefix(i + 1);
        return unquoted;
      }
      if (text[i] == '\\') {
        if (++i == text.size() || (text[i] != '\\' && text[i] != '"')) {
          Fail("a \"\\\" that escapes neither \"\\\" nor a quote");
        }
      }
      unquoted += text[i];
    }
    Fail("a text without its closing quote");
  }

  void ReadValue(std::string_view text) {
    if (current_key_ == nullptr) Fail("a value before the first key");
    RegistryValue value;
    if (text.front() == '@') {
      text.remove_prefix(1);
    } else {
      value.name = Text(ReadQuoted(text));
    }
    text = TrimmedLeft(text);
    if (text.empty() || text.front() != '=') Fail("a value name without \"=\"");
    text = Trimmed(text.substr(1));
    ReadData(text, value);
    current_key_->SetValue(std::move(value));
  }

  void ReadData(std::string_view text, RegistryValue& value) const {
    if (!text.empty() && text.front() == '"') {
      value.type = registry_type::kString;
      value.data = Text(ReadQuoted(text)) + '\0';
      if (!Trimmed(text).empty()) Fail("text after the closing quote");
    } else if (text.starts_with("dword:")) {
      value.type = registry_type::kDword;
      value.data = DwordData(ParseHexNumber(text.substr(6), 8, "a dword"));
    } else if (text.starts_with("hex:")) {
      value.type = registry_type::kBinary;
      value.data = ParseHexList(text.substr(4));
    } else if (text.starts_with("hex(")) {
      const size_t close = text.find("):");
      if (close == std::string_view::npos) Fail("a hex type without \"):\"");
      value.type = ParseHexNumber(text.substr(4, close - 4), 8, "a type number");
      value.data = ParseHexList(text.substr(close + 2));
      if (unicode_ && IsTextType(value.type))
        value.data = platform::Windows1252FromUtf16Le(value.data);
    } else if (text == "-") {
      Fail("a value deletion");
    } else {
      Fail("a value of unknown form");
    }
  }

  static bool IsTextType(uint32_t type) {
    return type == registry_type::kString || type == registry_type::kExpandString ||
           type == registry_type::kMultiString;
  }

  uint32_t ParseHexNumber(std::string_view digits, size_t max_digits,
                          const std::string& what) const {
    digits = Trimmed(digits);
    uint32_t number = 0;
    const char* end = digits.data() + digits.size();
    const auto [stop, error] = std::from_chars(digits.data(), end, number, 16);
    if (digits.empty() || digits.size() > max_digits || error != std::errc() || stop != end) {
      Fail(what + " that is not 1 to " + std::to_string(max_digits) + " hexadecimal digits");
    }
    return number;
  }

  std::string ParseHexList(std::string_view list) const {
    std::string bytes;
    while (!Trimmed(list).empty()) {
      const size_t comma = std::min(list.find(','), list.size());
      bytes += static_cast<char>(ParseHexNumber(list.substr(0, comma), 2, "a hex byte"));
      list.remove_prefix(std::min(comma + 1, list.size()));
    }
    return bytes;
  }

  const bool unicode_;
  Hive hive_;
  RegistryKey* current_key_ = nullptr;
  size_t line_number_ = 0;
};

}  // namespace

Hive ParseRegeditFile(std::string_view file_bytes) {
  if (file_bytes.empty()) return Hive();
  std::string text;
  bool unicode = false;
  if (file_bytes.starts_with(kUtf16LeMark)) {
    text = platform::Utf8FromUtf16Le(file_bytes.substr(kUtf16LeMark.size()));
    unicode = true;
  } else {
    text = file_bytes.substr(file_bytes.starts_with(kUtf8Mark) ? kUtf8Mark.size() : 0);
  }
  const std::vector<Line> lines = SplitLines(text);
  size_t first = 0;
  while (first < lines.size() && Trimmed(lines[first].text).empty()) ++first;
  const std::string_view header = first < lines.size() ? Trimmed(lines[first].text) : "";
  if (header == kHeader5) {
    unicode = true;
  } else if (header != kHeader4) {
    throw DamagedRegistryFile(first < lines.size() ? lines[first].number : 1,
                              "not a registry file (no \"REGEDIT4\" header)");
  }
  Parser parser(unicode);
  for (size_t i = first + 1; i < lines.size(); ++i) parser.ReadLine(lines[i]);
  return parser.TakeHive();
}

}  // namespace userdb::registry
