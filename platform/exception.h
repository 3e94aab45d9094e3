// The root of every failure this program raises. A failure carries an 8-bit message in
// the program's text encoding (Windows-1252, bytes as they are); each kind of failure is
// a class of its own deriving from Exception, so that handlers and the crash reporter's
// filters can tell failures apart by class. It lives in the project's root namespace, as
// every library of the program raises and catches it.
#pragma once

#include <exception>
#include <string>
#include <utility>

namespace userdb {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}

  const std::string& Message() const noexcept { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

}  // namespace userdb
