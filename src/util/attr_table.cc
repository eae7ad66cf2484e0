#include "util/attr_table.h"

#include "util/strings.h"

namespace dusk {

AttrTable::AttrTable(int capacity) : capacity_(capacity < 1 ? 1 : capacity) {}

const Attr* AttrTable::Find(std::string_view name, bool no_case) const {
  for (const Attr& attr : slots_) {
    if (no_case ? strEqualNoCase(attr.name, name) : attr.name == name)
      return &attr;
  }
  return nullptr;
}

bool AttrTable::Get(std::string_view name, std::string* value) const {
  const Attr* attr = Find(name, false);
  if (attr && value) *value = attr->value;
  return attr != nullptr;
}

bool AttrTable::GetNoCase(std::string_view name, std::string* value) const {
  const Attr* attr = Find(name, true);
  if (attr && value) *value = attr->value;
  return attr != nullptr;
}

bool AttrTable::SetImpl(std::string_view name, std::string_view value,
                        bool no_case) {
  if (const Attr* attr = Find(name, no_case)) {
    const_cast<Attr*>(attr)->value.assign(value);
    return true;
  }
  if (size() >= capacity_) return false;
  slots_.push_back(Attr{std::string(name), std::string(value)});
  return true;
}

bool AttrTable::Set(std::string_view name, std::string_view value) {
  return SetImpl(name, value, false);
}

bool AttrTable::SetNoCase(std::string_view name, std::string_view value) {
  return SetImpl(name, value, true);
}

}  // namespace dusk
