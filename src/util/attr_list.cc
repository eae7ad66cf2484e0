#include "util/attr_list.h"

#include "util/report.h"
#include "util/tcl_quote.h"

namespace dusk {

namespace {

int Len(std::string_view text) { return static_cast<int>(text.size()); }

/// Whether |added| more characters and the NUL fit, and the server's own
/// rule (length + |counted| + 3 within the capacity) holds as well.
bool Fits(const std::string& list, size_t counted, size_t added, size_t capacity) {
  return list.size() + counted + 3 <= capacity && list.size() + added + 1 <= capacity;
}

}  // namespace

std::string GetAttrValue(const AttrTable& table, std::string_view name,
                         std::string_view default_value, bool keep_empty) {
  std::string value;
  if (!table.GetNoCase(name, &value) || (!keep_empty && value.empty()))
    return std::string(default_value);
  return value;
}

bool SetAttrValue(AttrTable& table, std::string_view name, std::string_view value) {
  return table.Set(name, value);
}

void LogAttrs(int level_and_flags, const AttrTable& table) {
  for (const Attr& attr : table)
    Report(level_and_flags, "  Attr(%s) = \"%s\"", attr.name.c_str(),
           attr.value.c_str());
}

void AttrsToTclList(std::string* list, size_t capacity, const AttrTable& table) {
  list->clear();
  for (const Attr& attr : table) TclListAppendAttr(list, capacity, attr.name, attr.value);
}

bool TclListAppendAttr(std::string* list, size_t capacity, std::string_view name,
                       std::string_view value) {
  const std::string quoted = TclQuoteElement(value);
  const size_t added = (list->empty() ? 0 : 1) + name.size() + 1 + quoted.size();
  if (!Fits(*list, name.size() + value.size(), added, capacity)) {
    Report(kLogError,
           "Cannot Append attribute \"%.*s\" with value \"%.*s\" to List - "
           "Buffer full, skipping.",
           Len(name), name.data(), Len(value), value.data());
    return false;
  }
  if (!list->empty()) list->push_back(' ');
  list->append(name);
  list->push_back(' ');
  list->append(quoted);
  return true;
}

bool TclListAppendElement(std::string* list, size_t capacity, std::string_view element) {
  // An empty element adds only its separator, as the server expects.
  const std::string quoted = element.empty() ? std::string() : TclQuoteElement(element);
  const size_t added = (list->empty() ? 0 : 1) + quoted.size();
  if (!Fits(*list, element.size(), added, capacity)) {
    Report(kLogError,
           "Cannot Append element \"%.*s\" to List - Buffer full, skipping.",
           Len(element), element.data());
    return false;
  }
  if (!list->empty()) list->push_back(' ');
  list->append(quoted);
  return true;
}

size_t TclListElementRoom(std::string_view list, size_t capacity) {
  // Fits: the list's own rule (three bytes beyond the element) is the
  // stricter of the two for an element written as it is.
  return capacity > list.size() + 3 ? capacity - list.size() - 3 : 0;
}

bool AttrsMatch(const AttrTable& a, const AttrTable& b,
                std::span<const std::string_view> names, std::string* differences) {
  Report(kLogTrace, "DevicesMatch:");
  differences->clear();
  int count = 0;
  for (std::string_view name : names) {
    if (name.empty()) break;
    if (GetAttrValue(a, name, "", true) == GetAttrValue(b, name, "", true)) continue;
    ++count;
    if (!differences->empty()) differences->push_back(' ');
    differences->append(name);
  }
  return count == 0;
}

}  // namespace dusk
