// Failures of the registry layer. Messages are the program's own German texts in
// Windows-1252 (0xFC is "ü").
#pragma once

#include <string>

#include "platform/exception.h"

namespace userdb::registry {

// The common base, so that a caller can catch every registry failure and nothing else.
class RegistryError : public Exception {
 protected:
  using Exception::Exception;
};

// A value exists with data of a type the reader cannot take.
class RegistryDataTypeError : public RegistryError {
 public:
  explicit RegistryDataTypeError(const std::string& value_name)
      : RegistryError("Ung\xFCltiger Datentyp f\xFCr '" + value_name + "'") {}
};

// A value's data could not be read: it is missing, or larger than the reader's buffer.
class RegistryDataReadError : public RegistryError {
 public:
  explicit RegistryDataReadError(const std::string& value_name)
      : RegistryError("Fehler beim Holen der Daten f\xFCr '" + value_name + "'") {}
};

// A value could not be written.
class RegistryDataWriteError : public RegistryError {
 public:
  explicit RegistryDataWriteError(const std::string& value_name)
      : RegistryError("Fehler beim Setzen der Daten f\xFCr '" + value_name + "'") {}
};

// A key could not be created.
class RegistryKeyCreateError : public RegistryError {
 public:
  explicit RegistryKeyCreateError(const std::string& key_name)
      : RegistryError("Erzeugung von Schl\xFCssel " + key_name + " misslungen") {}
};

}  // namespace userdb::registry
