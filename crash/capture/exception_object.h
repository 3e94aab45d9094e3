// What the crash reporter reads of a thrown C++ object: its class chain from the run-time type
// information (the class, then its parent classes up to the root, names without namespace)
// and its message.
#pragma once

#include <exception>
#include <string>
#include <typeinfo>
#include <vector>

namespace userdb::crash {

// The name of a type without its namespaces and enclosing classes ("userdb::app::Worker"
// gives "Worker"); template arguments stay.
std::string ClassNameOf(const std::type_info& type);

// The class and its parents, depth first in the order of declaration, each once.
std::vector<std::string> ClassChainOf(const std::type_info& type);

// Whether the chain holds `class_name` (compared exactly, without namespace).
bool ChainHolds(const std::vector<std::string>& chain, std::string_view class_name);

// The thrown object of `failure`: its address and its type.
struct ThrownObject {
  const void* address = nullptr;
  const std::type_info* type = nullptr;
};
ThrownObject ThrownObjectOf(const std::exception_ptr& failure);

// The message of `failure`: an Exception's own message, the description of any other
// standard exception, empty for other objects.
std::string MessageOf(const std::exception_ptr& failure);

}  // namespace userdb::crash
