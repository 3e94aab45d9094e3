#include "crash/capture/exception_object.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

#include "platform/exception.h"

namespace userdb::crash {

namespace {

std::string Demangled(const char* mangled) {
  int status = 0;
  std::unique_ptr<char, decltype(&std::free)> demangled(
      abi::__cxa_demangle(mangled, nullptr, nullptr, &status), &std::free);
  return status == 0 ? std::string(demangled.get()) : std::string(mangled);
}

// The last scope at template depth 0 names the class.
std::string WithoutScope(std::string_view name) {
  size_t start = 0;
  int depth = 0;
  for (size_t i = 0; i + 1 < name.size(); ++i) {
    if (name[i] == '<') ++depth;
    if (name[i] == '>') --depth;
    if (depth == 0 && name[i] == ':' && name[i + 1] == ':') start = i + 2;
  }
  return std::string(name.substr(start));
}

void AppendChain(const std::type_info& type, std::vector<std::string>& chain) {
  std::string name = ClassNameOf(type);
  if (std::find(chain.begin(), chain.end(), name) != chain.end()) return;
  chain.push_back(std::move(name));
  if (const auto* single = dynamic_cast<const abi::__si_class_type_info*>(&type)) {
    AppendChain(*single->__base_type, chain);
  } else if (const auto* multiple = dynamic_cast<const abi::__vmi_class_type_info*>(&type)) {
    for (unsigned i = 0; i < multiple->__base_count; ++i) {
      AppendChain(*multiple->__base_info[i].__base_type, chain);
    }
  }
}

}  // namespace

std::string ClassNameOf(const std::type_info& type) {
  return WithoutScope(Demangled(type.name()));
}

std::vector<std::string> ClassChainOf(const std::type_info& type) {
  std::vector<std::string> chain;
  AppendChain(type, chain);
  return chain;
}

bool ChainHolds(const std::vector<std::string>& chain, std::string_view class_name) {
  return std::find(chain.begin(), chain.end(), class_name) != chain.end();
}

ThrownObject ThrownObjectOf(const std::exception_ptr& failure) {
  ThrownObject thrown;
  if (!failure) return thrown;
  // libstdc++'s exception_ptr is the address of the thrown object, and tells its type.
  static_assert(sizeof(std::exception_ptr) == sizeof(void*));
  std::memcpy(&thrown.address, &failure, sizeof thrown.address);
  thrown.type = failure.__cxa_exception_type();
  return thrown;
}

std::string MessageOf(const std::exception_ptr& failure) {
  if (!failure) return {};
  try {
    std::rethrow_exception(failure);
  } catch (const Exception& exception) {
    return exception.Message();
  } catch (const std::exception& exception) {
    return exception.what();
  } catch (...) {
  }
  return {};
}

}  // namespace userdb::crash
