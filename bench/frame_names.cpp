#include "bench/frame_names.h"

#include <vector>

namespace userdb::bench {
namespace {

constexpr std::string_view kAnonymous = "(anonymous namespace)";
constexpr std::string_view kAnonymousMark = "{anonymous}";
constexpr std::string_view kOperatorCall = "operator()";

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

// The name up to its parameter list, without template arguments; "::" becomes ".".
std::string NormalForm(std::string_view printed) {
  std::string text(printed);
  ReplaceAll(text, kAnonymous, kAnonymousMark);
  std::string name;
  int depth = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '<') {
      ++depth;
    } else if (c == '>' && depth > 0) {
      --depth;
    } else if (depth == 0) {
      if (c == '(' && !std::string_view(text).substr(0, i + 2).ends_with(kOperatorCall)) break;
      name += c;
    }
  }
  while (!name.empty() && name.back() == ' ') name.pop_back();
  ReplaceAll(name, "::", ".");
  ReplaceAll(name, kAnonymousMark, kAnonymous);
  return name;
}

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  for (size_t at = 0; at < line.size();) {
    const size_t start = line.find_first_not_of(' ', at);
    if (start == std::string_view::npos) break;
    at = line.find(' ', start);
    words.push_back(line.substr(start, at == std::string_view::npos ? at : at - start));
  }
  return words;
}

bool IsNumber(std::string_view word, bool with_plus) {
  if (with_plus) {
    if (!word.starts_with('+')) return false;
    word.remove_prefix(1);
  }
  return !word.empty() && word.find_first_not_of("0123456789") == std::string_view::npos;
}

// The name without the decorations of the C library's other names of the function.
std::string_view CoreName(std::string_view name) {
  for (;;) {
    const size_t start = name.find_first_not_of('_');
    if (start == std::string_view::npos) return {};
    name.remove_prefix(start);
    if (name.starts_with("GI_")) {
      name.remove_prefix(3);
    } else if (name.starts_with("libc_")) {
      name.remove_prefix(5);
    } else {
      break;
    }
  }
  if (name.ends_with("_impl")) name.remove_suffix(5);
  if (name.ends_with("64")) name.remove_suffix(2);
  return name;
}

}  // namespace

std::string GdbFrameName(std::string_view line) {
  const size_t in = line.find(" in ");
  if (in == std::string_view::npos) return {};
  const std::string_view rest = line.substr(in + 4);
  if (rest.starts_with("??")) return {};
  return NormalForm(rest);
}

std::string ReportFrameName(std::string_view line) {
  const std::vector<std::string_view> words = Words(line);
  size_t first = 3;  // after the address, the offset and the module
  if (words.size() > first + 1 && IsNumber(words[first + 1], false)) {
    first += 2;  // the unit and its line
    if (words.size() > first && IsNumber(words[first], true)) ++first;
  }
  if (words.size() <= first) return {};
  const std::string_view start = words[first];
  const std::string_view whole = line.substr(start.data() - line.data());
  return NormalForm(whole);
}

bool SameCLibraryFunction(std::string_view one, std::string_view other) {
  const std::string_view core = CoreName(one);
  return !core.empty() && core == CoreName(other);
}

}  // namespace userdb::bench
