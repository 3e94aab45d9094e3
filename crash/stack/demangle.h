// Readable names of symbols, as call stacks print them.
#pragma once

#include <string>
#include <string_view>

namespace userdb::crash {

struct DemangledName {
  std::string name;
  std::string unit;  // empty unless the name itself carries its unit
  bool accepted = false;
};

// Every "::" becomes ".". Then:
// - a name in the "@Unit@Class@Method$args" form loses its leading "@", unit and argument
//   encoding: "@Unit1@TForm1@Button1Click$qqrp14System@TObject" gives the unit "Unit1" and
//   the name "TForm1.Button1Click"; constructors and destructors ("$bctr", "$bdtr") end in
//   ".Create" and ".Destroy";
// - an Itanium C++ name ("_Z...") becomes its qualified name as SimplifyCppName makes it
//   (its unit is that of the code it names, not part of the name);
// both accepted. Any other name is returned with "::" changed only, not accepted.
DemangledName DemangleName(std::string_view name);

// A demangled C++ function name without its return type, parameter list and qualifiers,
// scopes joined by ".": "std::vector<int, std::allocator<int> >::push_back(int const&)"
// gives "std.vector<int, std.allocator<int> >.push_back". A template argument list longer
// than kLongTemplateArguments bytes is written "<...>", so that stack lines stay readable.
// Of clone suffixes, those of the compiler's copies of a whole function go (" [clone
// .constprop.0]", ".isra.0"), so that the copy is named as the function; those of a part moved
// out of a function stay, as ".cold" and ".part.1": the part is not the function's entry.
// Prefixes such as "non-virtual thunk to " are kept. The result depends on the text alone,
// never on the build or the machine.
std::string SimplifyCppName(std::string_view demangled);

inline constexpr size_t kLongTemplateArguments = 40;

// The readable name of a symbol as a symbol table or a linker names it, mangled or already
// demangled: DemangleName's name when it accepts the symbol, otherwise SimplifyCppName's.
// The compiler's suffixes of a C function's copies and parts (".isra.0", ".cold") are treated
// as clone suffixes are; an ELF symbol version ("@@GLIBC_2.34") is left out.
std::string ReadableName(std::string_view symbol);

}  // namespace userdb::crash
