#ifndef DUSK_UTIL_TCL_QUOTE_H_
#define DUSK_UTIL_TCL_QUOTE_H_

// How one element is written into a Tcl list so that any Tcl list parser
// reads it back as exactly the same text. An element the parser already
// reads back unchanged is written as it is: the server has always received
// such values this way (the sender text with its ";" among them). Any other
// is quoted the way Tcl's own [list] quotes it: in braces when its braces
// balance and it does not end in a backslash, with backslash escapes
// otherwise. A text sent to the server can therefore neither break the list
// nor add elements of its own.

#include <string>
#include <string_view>

namespace dusk {

/// True when a list parser would not read |element| back from its bare text:
/// it is empty, holds white space or a backslash, or begins with a brace or
/// a double quote.
bool TclElementNeedsQuoting(std::string_view element);

/// |element| as a Tcl list element: as it is unless TclElementNeedsQuoting,
/// else as Tcl's [list] writes it (an empty element is "{}").
std::string TclQuoteElement(std::string_view element);

}  // namespace dusk

#endif  // DUSK_UTIL_TCL_QUOTE_H_
