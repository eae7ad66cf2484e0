#ifndef DUSK_TOOLS_PEER_PEER_TCL_H_
#define DUSK_TOOLS_PEER_PEER_TCL_H_

// The Tcl-list bodies that dusk posts, read the way Tcl reads a list:
// elements separated by white space; an element in braces runs to the
// matching brace (nested braces counted, a backslash-escaped brace not) and
// is taken literally; an element in double quotes, or a bare one, has its
// backslash sequences replaced. A list Tcl would refuse is refused here too,
// with Tcl's reason. An attribute list is name, value, name, value.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace dusk::peer {

/// Reads |list| into |elements|. False, with |error| set the way Tcl words
/// it ("unmatched open brace in list" and the like), when |list| is not a
/// well-formed list; |elements| then holds the elements before the fault.
bool ParseTclList(std::string_view list, std::vector<std::string>* elements,
                  std::string* error);

/// The elements of |list|, as far as it is well formed.
std::vector<std::string> SplitTclList(std::string_view list);

/// |list| read as name/value pairs, in order: a braced value loses its
/// outer braces and keeps its inner ones, so the nested data of a Status
/// stays one value; a name without a value gets "".
std::vector<std::pair<std::string, std::string>> TclAttrPairs(std::string_view list);

/// The value of the last attribute |name| in |elements| read as name/value
/// pairs; nothing when the name does not occur.
std::optional<std::string> TclAttr(const std::vector<std::string>& elements,
                                   std::string_view name);

}  // namespace dusk::peer

#endif  // DUSK_TOOLS_PEER_PEER_TCL_H_
