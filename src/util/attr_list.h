#ifndef DUSK_UTIL_ATTR_LIST_H_
#define DUSK_UTIL_ATTR_LIST_H_

// Attributes are name/value pairs kept in an AttrTable and sent to the
// server as Tcl list text: one blank between elements, names as they are,
// values quoted the way Tcl quotes list elements (tcl_quote.h), so that the
// server's Tcl parser reads back exactly the names and values sent. A value
// without Tcl-special characters is written as it is, one with blanks or
// tabs, and an empty one, in braces.
//
// A list text has a capacity in bytes that counts a terminating NUL, as the
// buffers on the other side of the wire did: a list of capacity 20 holds at
// most 19 characters. An append that does not fit is skipped with an Error
// line and the list stays as it was, so a full body loses one attribute but
// never gets a torn one.

#include <span>
#include <string>
#include <string_view>

#include "util/attr_table.h"

namespace dusk {

/// Capacity of a request body and of the nested service list.
inline constexpr size_t kTclListCapacity = 4096;
/// Capacity of one service description and of a remote-execution reply line.
inline constexpr size_t kTclLineCapacity = 1024;

/// The value of |name| (letter case ignored); |default_value| when the name
/// is absent, and also when the value is empty and |keep_empty| is false.
std::string GetAttrValue(const AttrTable& table, std::string_view name,
                         std::string_view default_value, bool keep_empty);

/// Sets |name| (letter case respected) to |value|; false when the name is
/// new and the table has no free slot.
bool SetAttrValue(AttrTable& table, std::string_view name, std::string_view value);

/// Logs every pair in slot order at |level_and_flags| as
/// `  Attr(NAME) = "VALUE"`.
void LogAttrs(int level_and_flags, const AttrTable& table);

/// Replaces |list| with every pair of |table| in slot order; pairs that do
/// not fit in |capacity| are skipped one by one (TclListAppendAttr).
void AttrsToTclList(std::string* list, size_t capacity, const AttrTable& table);

/// Appends the attribute |name| |value|. False, after the Error line
/// `Cannot Append attribute "NAME" with value "VALUE" to List - Buffer full,
/// skipping.`, when the result would not fit in |capacity|; |list| is then
/// unchanged.
bool TclListAppendAttr(std::string* list, size_t capacity, std::string_view name,
                       std::string_view value);

/// Appends one bare element: braced when it holds a blank or a tab, and
/// unlike a value an empty element adds only its separating blank. False,
/// after the Error line `Cannot Append element "ELEMENT" to List - Buffer
/// full, skipping.`, when it would not fit; |list| is then unchanged.
bool TclListAppendElement(std::string* list, size_t capacity, std::string_view element);

/// The longest element that TclListAppendElement takes after |list| within
/// |capacity|, for an element that needs no quoting (TclElementNeedsQuoting).
size_t TclListElementRoom(std::string_view list, size_t capacity);

/// Compares |a| and |b| over |names| (up to the first empty name); a
/// missing attribute counts as empty and values compare exactly. True when
/// all agree. |differences| receives the differing names, blank-separated.
bool AttrsMatch(const AttrTable& a, const AttrTable& b,
                std::span<const std::string_view> names, std::string* differences);

}  // namespace dusk

#endif  // DUSK_UTIL_ATTR_LIST_H_
