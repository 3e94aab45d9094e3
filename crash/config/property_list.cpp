#include "crash/config/property_list.h"

#include <utility>

namespace userdb::crash {

namespace {

Property NamedProperty(std::string_view name, PropertyKind kind) {
  Property property;
  property.name = name;
  property.kind = kind;
  return property;
}

}  // namespace

Property BooleanProperty(std::string_view name, bool value) {
  Property property = NamedProperty(name, PropertyKind::kBoolean);
  property.boolean_value = value;
  return property;
}

Property IntegerProperty(std::string_view name, int32_t value) {
  Property property = NamedProperty(name, PropertyKind::kInteger);
  property.integer_value = value;
  return property;
}

Property TextProperty(std::string_view name, std::string_view value) {
  Property property = NamedProperty(name, PropertyKind::kText);
  property.text_value = value;
  return property;
}

const Property* PropertyList::Find(std::string_view name) const {
  for (const Property& property : items_) {
    if (property.name == name) return &property;
  }
  return nullptr;
}

Property* PropertyList::Find(std::string_view name) {
  return const_cast<Property*>(std::as_const(*this).Find(name));
}

void PropertyList::Append(Property property) {
  items_.push_back(std::move(property));
}

bool PropertyList::Write(Property property) {
  Property* existing = Find(property.name);
  if (existing == nullptr) {
    Append(std::move(property));
    return true;
  }
  if (existing->kind != property.kind) return false;
  *existing = std::move(property);
  return true;
}

}  // namespace userdb::crash
