#include "crash/stack/demangle.h"

#include <cxxabi.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>
#include <vector>

namespace userdb::crash {
namespace {

std::string ReplaceScopeSeparators(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == ':' && i + 1 < text.size() && text[i + 1] == ':') {
      result += '.';
      ++i;
    } else {
      result += text[i];
    }
  }
  return result;
}

// --- Names of the "@Unit@Class@Method$args" form; positions in the comments count from 1.

struct ScanResult {
  std::string unit;
  bool unit_taken = false;
  bool ended_at_dollar = false;
  bool destructor = false;
};

// The suffix that a name with "%" as its second character carries after its last "%@".
std::string OverloadSuffix(std::string_view name) {
  if (name.size() < 2 || name[1] != '%') return {};
  // From the last-but-one character back to the third.
  for (size_t i = name.size() - 1; i-- > 2;) {
    if (name[i] == '%' && name[i + 1] == '@') return "." + std::string(name.substr(i + 2));
  }
  return {};
}

size_t ScanStart(std::string_view name) {
  if (name.size() > 6 && name.starts_with("@_$")) {
    const size_t dollar = name.find('$', 4);
    if (dollar != std::string_view::npos && dollar + 1 < name.size() && name[dollar + 1] == '@') {
      return dollar + 1;
    }
  }
  return 2;
}

// Turns "@" into "." up to the first "$", where the argument encoding is cut off.
ScanResult ScanUnitAndCut(std::string& name, const std::string& suffix) {
  ScanResult result;
  for (size_t i = ScanStart(name); i < name.size(); ++i) {
    if (name[i] == '$') {
      result.destructor = i + 2 < name.size() && name[i + 2] == 'd';
      name.resize(i);
      name += suffix;
      result.ended_at_dollar = true;
      break;
    }
    if (name[i] == '@') {
      name[i] = '.';
      if (!result.unit_taken) {
        result.unit = name.substr(1, i - 1);
        result.unit_taken = true;
      }
    }
  }
  return result;
}

bool IsBlank(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

DemangledName DemangleUnitName(const std::string& mangled) {
  const std::string suffix = OverloadSuffix(mangled);
  std::string name = mangled;
  ScanResult scan = ScanUnitAndCut(name, suffix);
  bool unit_removed = false;
  if (scan.unit_taken && scan.unit.size() + 3 <= name.size()) {
    name.erase(0, scan.unit.size() + 2);  // "@", the unit and "."
    unit_removed = true;
  } else {
    scan.unit.clear();
  }
  if (scan.ended_at_dollar && !unit_removed && !name.empty()) name.erase(0, 1);
  if (name.starts_with('%')) {
    name.erase(0, 1);
  } else if (name.starts_with('.')) {
    name[0] = '@';
  }
  if (name.ends_with('.')) name += scan.destructor ? "Destroy" : "Create";
  std::string trimmed(Trimmed(name));
  if (trimmed.ends_with('.')) trimmed += '?';
  return {std::move(trimmed), std::move(scan.unit), true};
}

// --- Itanium C++ names.

struct FreeDeleter {
  void operator()(char* text) const { std::free(text); }
};

constexpr std::array<std::string_view, 12> kKeptPrefixes = {
    "non-virtual thunk to ",
    "virtual thunk to ",
    "covariant return thunk to ",
    "construction vtable for ",
    "vtable for ",
    "VTT for ",
    "typeinfo name for ",
    "typeinfo for ",
    "guard variable for ",
    "TLS init function for ",
    "TLS wrapper function for ",
    "transaction clone for ",
};

constexpr std::array<std::string_view, 4> kTrailingQualifiers = {" const", " volatile", " &&",
                                                                 " &"};

constexpr std::array<std::string_view, 40> kOperatorSymbols = {
    "<=>", "->*", "<<=", ">>=", "()", "[]", "->", "<<", ">>", "<=", ">=", "==",  "!=", "&&",
    "||",  "++",  "--",  "+=",  "-=", "*=", "/=", "%=", "&=", "|=", "^=", "+",   "-",  "*",
    "/",   "%",   "^",   "&",   "|",  "~",  "!",  "=",  "<",  ">",  ",",  "\"\""};

constexpr std::array<std::string_view, 5> kOperatorWords = {" new[]", " delete[]", " new",
                                                            " delete", " co_await"};

// Suffixes of a compiler's copies of a whole function (a numbered copy for constant
// arguments, for changed parameters, an alias): the copy is the function.
constexpr std::array<std::string_view, 4> kCopySuffixes = {"constprop", "isra", "lto_priv",
                                                           "localalias"};
// Suffixes of a part that a compiler moved out of a function: kept, since the part is not the
// function's entry.
constexpr std::array<std::string_view, 2> kPartSuffixes = {"cold", "part"};

constexpr std::string_view kAnonymousNamespace = "(anonymous namespace)";

bool IsOpening(char c) {
  return c == '(' || c == '<' || c == '{' || c == '[';
}
bool IsClosing(char c) {
  return c == ')' || c == '>' || c == '}' || c == ']';
}
bool IsIdentifierChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// The position of the bracket that closes the one at `open`; npos when it is not closed.
size_t MatchingClose(std::string_view text, size_t open) {
  int depth = 0;
  for (size_t i = open; i < text.size(); ++i) {
    if (IsOpening(text[i])) ++depth;
    if (IsClosing(text[i]) && --depth == 0) return i;
  }
  return std::string_view::npos;
}

bool IsNumber(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

template <size_t count>
bool IsOneOf(std::string_view word, const std::array<std::string_view, count>& words) {
  return std::find(words.begin(), words.end(), word) != words.end();
}

// Of clone suffixes such as ".constprop.0.part.1.cold", those of parts: ".part.1.cold".
std::string KeptCloneSuffixes(std::string_view suffixes) {
  std::vector<std::string_view> words;
  for (size_t start = 0; start <= suffixes.size();) {
    const size_t dot = std::min(suffixes.find('.', start), suffixes.size());
    if (dot > start) words.push_back(suffixes.substr(start, dot - start));
    start = dot + 1;
  }
  std::string kept;
  for (size_t i = 0; i < words.size(); ++i) {
    const bool numbered = i + 1 < words.size() && IsNumber(words[i + 1]);
    if (IsOneOf(words[i], kCopySuffixes)) {
      if (numbered) ++i;
    } else if (!IsNumber(words[i])) {
      kept += '.';
      kept += words[i];
      if (numbered) {
        kept += '.';
        kept += words[++i];
      }
    }
  }
  return kept;
}

// Splits " [clone .part.0] [clone .cold]" off a demangled name; gives the suffixes to keep.
std::string_view WithoutCloneSuffixes(std::string_view text, std::string& kept) {
  std::string suffixes;
  while (text.ends_with(']')) {
    const size_t clone = text.rfind(" [clone ");
    if (clone == std::string_view::npos) break;
    constexpr size_t kCloneLength = std::string_view(" [clone ").size();
    suffixes.insert(0, text.substr(clone + kCloneLength, text.size() - clone - kCloneLength - 1));
    text = text.substr(0, clone);
  }
  kept = KeptCloneSuffixes(suffixes);
  return text;
}

// Removes " const" and the like from the end; tells whether one was there.
bool DropTrailingQualifier(std::string_view& text) {
  for (const std::string_view qualifier : kTrailingQualifiers) {
    if (text.ends_with(qualifier)) {
      text.remove_suffix(qualifier.size());
      return true;
    }
  }
  return false;
}

std::string_view WithoutParameterList(std::string_view text) {
  while (DropTrailingQualifier(text)) {
  }
  if (!text.ends_with(')')) return text;
  int depth = 0;
  for (size_t i = text.size(); i-- > 0;) {
    if (text[i] == ')') ++depth;
    if (text[i] == '(' && --depth == 0) return text.substr(0, i);
  }
  return text;
}

bool StartsOperator(std::string_view text, size_t i) {
  constexpr std::string_view kOperator = "operator";
  if (text.substr(i, kOperator.size()) != kOperator) return false;
  if (i > 0 && text[i - 1] != ':' && text[i - 1] != ' ') return false;
  const size_t after = i + kOperator.size();
  return after == text.size() || !IsIdentifierChar(text[after]);
}

// Copies an operator's name ("operator<<", "operator new[]", "operator int") to `out` and
// returns the position after it.
size_t CopyOperator(std::string_view text, size_t i, std::string& out) {
  out += "operator";
  i += 8;
  for (const std::string_view symbol : kOperatorSymbols) {
    if (text.substr(i).starts_with(symbol)) {
      out += symbol;
      i += symbol.size();
      // A literal operator carries its suffix: operator"" _km.
      if (symbol == "\"\"") {
        while (i < text.size() && (text[i] == ' ' || IsIdentifierChar(text[i]))) out += text[i++];
      }
      return i;
    }
  }
  for (const std::string_view word : kOperatorWords) {
    if (text.substr(i).starts_with(word)) {
      out += word;
      return i + word.size();
    }
  }
  // A conversion operator names a type, up to its own parameter list.
  int depth = 0;
  while (i < text.size() && !(depth == 0 && text[i] == '(')) {
    if (text[i] == '<') ++depth;
    if (text[i] == '>') --depth;
    if (text.substr(i).starts_with("::")) {
      out += '.';
      i += 2;
    } else {
      out += text[i++];
    }
  }
  return i;
}

// Skips " const" and the like after an enclosing function's parameter list in a local scope
// ("f() const::{lambda()#1}").
size_t SkipScopeQualifiers(std::string_view text, size_t i) {
  for (bool again = true; again;) {
    again = false;
    for (const std::string_view qualifier : kTrailingQualifiers) {
      const std::string_view rest = text.substr(i);
      if (rest.starts_with(qualifier) &&
          (rest.size() == qualifier.size() || rest.substr(qualifier.size()).starts_with("::"))) {
        i += qualifier.size();
        again = true;
      }
    }
  }
  return i;
}

// The qualified name of a function name without its parameter list; empty when its brackets
// do not match.
std::string QualifiedName(std::string_view text) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (StartsOperator(text, i)) {
      i = CopyOperator(text, i, out);
    } else if (c == ' ') {
      out.clear();  // what came before was the return type
      ++i;
    } else if (c == ':' && i + 1 < text.size() && text[i + 1] == ':') {
      out += '.';
      i += 2;
    } else if (text.substr(i).starts_with("[abi:")) {
      // An ABI tag tells the linker apart versions of a type; it names nothing for a reader.
      const size_t close = text.find(']', i);
      if (close == std::string_view::npos) return {};
      i = close + 1;
    } else if (text.substr(i).starts_with(kAnonymousNamespace)) {
      out += kAnonymousNamespace;
      i += kAnonymousNamespace.size();
    } else if (IsOpening(c)) {
      const size_t close = MatchingClose(text, i);
      if (close == std::string_view::npos) return {};
      if (c == '(') {
        // An enclosing function's parameter list: "f(int)::{lambda()#1}" names f's lambda.
        i = SkipScopeQualifiers(text, close + 1);
        continue;
      }
      const std::string inside = ReplaceScopeSeparators(text.substr(i + 1, close - i - 1));
      if (c == '<' && inside.size() > kLongTemplateArguments) {
        out += "<...>";
      } else {
        out += c;
        out += inside;
        out += text[close];
      }
      i = close + 1;
    } else {
      out += c;
      ++i;
    }
  }
  return out;
}

DemangledName DemangleItanium(std::string_view name) {
  int status = 0;
  const std::unique_ptr<char, FreeDeleter> demangled(
      abi::__cxa_demangle(std::string(name).c_str(), nullptr, nullptr, &status));
  if (status != 0 || !demangled) return {ReplaceScopeSeparators(name), {}, false};
  return {SimplifyCppName(demangled.get()), {}, true};
}

}  // namespace

DemangledName DemangleName(std::string_view name) {
  if (name.starts_with("_Z")) return DemangleItanium(name);
  std::string replaced = ReplaceScopeSeparators(name);
  if (replaced.empty() || replaced[0] != '@') return {std::move(replaced), {}, false};
  return DemangleUnitName(replaced);
}

std::string SimplifyCppName(std::string_view demangled) {
  std::string kept_suffixes;
  std::string_view text = WithoutCloneSuffixes(demangled, kept_suffixes);
  std::string prefix;
  for (const std::string_view kept : kKeptPrefixes) {
    if (text.starts_with(kept)) {
      prefix = kept;
      text.remove_prefix(kept.size());
      break;
    }
  }
  std::string name = QualifiedName(WithoutParameterList(text));
  if (name.empty()) return prefix + ReplaceScopeSeparators(text) + kept_suffixes;
  return prefix + name + kept_suffixes;
}

// An ELF symbol version ("__libc_start_main@@GLIBC_2.34", "memcpy@GLIBC_2.2.5") names the
// library's interface, not the function. Names of the "@Unit@..." form begin with "@" and keep
// theirs.
std::string_view WithoutSymbolVersion(std::string_view symbol) {
  if (symbol.starts_with('@')) return symbol;
  return symbol.substr(0, symbol.find('@'));
}

std::string ReadableName(std::string_view versioned_symbol) {
  const std::string_view symbol = WithoutSymbolVersion(versioned_symbol);
  DemangledName demangled = DemangleName(symbol);
  if (demangled.accepted) return std::move(demangled.name);
  for (size_t dot = symbol.find('.'); dot != std::string_view::npos;
       dot = symbol.find('.', dot + 1)) {
    const std::string_view rest = symbol.substr(dot);
    const std::string_view word = rest.substr(1, rest.find('.', 1) - 1);
    if (IsOneOf(word, kCopySuffixes) || IsOneOf(word, kPartSuffixes)) {
      return SimplifyCppName(symbol.substr(0, dot)) + KeptCloneSuffixes(rest);
    }
  }
  return SimplifyCppName(symbol);
}

}  // namespace userdb::crash
