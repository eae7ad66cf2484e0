#ifndef DUSK_UTIL_ATTR_TABLE_H_
#define DUSK_UTIL_ATTR_TABLE_H_

// AttrTable is the one container of the program: a table of name/value
// pairs with a capacity fixed at creation. Pairs are never removed one by
// one, so the used slots always form a prefix and iteration returns pairs
// in the order in which their names were first stored. A stored name never
// changes: replacing the value of "NAME" through "Name" keeps "NAME".

#include <string>
#include <string_view>
#include <vector>

namespace dusk {

/// One used slot of an AttrTable.
struct Attr {
  std::string name;
  std::string value;
};

class AttrTable {
 public:
  /// A table of |capacity| slots; a capacity below 1 counts as 1.
  explicit AttrTable(int capacity);

  int capacity() const { return capacity_; }
  /// Number of used slots.
  int size() const { return static_cast<int>(slots_.size()); }
  bool empty() const { return slots_.empty(); }

  /// Frees every pair.
  void Clear() { slots_.clear(); }

  /// The used slots in slot order.
  const std::vector<Attr>& entries() const { return slots_; }
  std::vector<Attr>::const_iterator begin() const { return slots_.begin(); }
  std::vector<Attr>::const_iterator end() const { return slots_.end(); }

  /// Value of the first slot whose name equals |name| exactly; false and
  /// |value| untouched when there is none. |value| may be null.
  bool Get(std::string_view name, std::string* value) const;
  /// As Get, names compared ignoring ASCII letter case.
  bool GetNoCase(std::string_view name, std::string* value) const;

  /// Replaces the value of the slot named |name| (exact comparison) or
  /// stores the pair in the lowest free slot. False when the table is full
  /// and the name is new; the pair is then dropped.
  bool Set(std::string_view name, std::string_view value);
  /// As Set, names compared ignoring ASCII letter case.
  bool SetNoCase(std::string_view name, std::string_view value);

 private:
  bool SetImpl(std::string_view name, std::string_view value, bool no_case);
  const Attr* Find(std::string_view name, bool no_case) const;

  int capacity_;
  /// Used slots; never more than capacity_.
  std::vector<Attr> slots_;
};

}  // namespace dusk

#endif  // DUSK_UTIL_ATTR_TABLE_H_
