#pragma once

#include <string>

// A modal message box showing an error, with one "OK" button.
class ErrorBox {
 public:
  virtual ~ErrorBox() = default;
  virtual void Show(const std::string& title, const std::string& message) = 0;
};
