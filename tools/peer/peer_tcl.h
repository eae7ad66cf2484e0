#ifndef DUSK_TOOLS_PEER_PEER_TCL_H_
#define DUSK_TOOLS_PEER_PEER_TCL_H_

// The Tcl-list bodies that dusk posts: elements separated by white space;
// an element in braces runs to the matching brace (nested braces counted)
// and loses the outer pair. An attribute list is name, value, name, value.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace dusk::peer {

/// The elements of |list|. A brace left open takes the rest of the text.
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
