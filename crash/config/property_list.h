// The crash reporter's settings as a list of named, typed properties.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace userdb::crash {

enum class PropertyKind { kText, kInteger, kBoolean };

// Only the value field of its kind is meaningful; the others keep false, 0 and empty.
struct Property {
  std::string name;
  PropertyKind kind = PropertyKind::kText;
  bool boolean_value = false;
  int32_t integer_value = 0;
  std::string text_value;

  friend bool operator==(const Property&, const Property&) = default;
};

Property BooleanProperty(std::string_view name, bool value);
Property IntegerProperty(std::string_view name, int32_t value);
Property TextProperty(std::string_view name, std::string_view value);

// Properties in the order they were added; names compare exactly, letter case included.
class PropertyList {
 public:
  // The first property of that name; null when there is none.
  const Property* Find(std::string_view name) const;
  Property* Find(std::string_view name);

  // Adds at the end, even when the name is there already (a stream may repeat a name).
  void Append(Property property);

  // A missing property is added with the kind written; an existing one takes the value
  // only when its kind is the kind written. Tells whether the value was taken.
  bool Write(Property property);

  const std::vector<Property>& Items() const { return items_; }

 private:
  std::vector<Property> items_;
};

}  // namespace userdb::crash
