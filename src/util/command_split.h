#ifndef DUSK_UTIL_COMMAND_SPLIT_H_
#define DUSK_UTIL_COMMAND_SPLIT_H_

// The command line of a remote-execution request: a command word, then
// options ("-name value") up to the first parameter, then the parameters.
// Only blanks separate tokens (a tab belongs to its token). A token that
// begins with "{" runs to the next "}" (no nesting), one that begins with a
// double quote runs to the next double quote not preceded by a backslash;
// such a token needs no blank after it. The server writes these lines, so
// the rules are kept to the letter, oddities included.

#include <cstddef>
#include <string>
#include <string_view>

#include "util/attr_table.h"

namespace dusk {

/// Longest token kept; a longer one is cut (the line is read on past it).
inline constexpr size_t kCommandTokenMax = 4095;

/// The next token of |line| from |*position| on, after any blanks; "" when
/// none is left. |*position| moves past the token.
std::string NextToken(std::string_view line, size_t* position);

/// Removes one pair of enclosing braces: "{x y}" becomes "x y", "{}"
/// becomes ""; anything else is left as it is.
void StripBraces(std::string* s);

/// Removes every leading and every trailing double quote, then the
/// backslash directly before each remaining double quote. Other
/// backslashes stay.
void Unquote(std::string* s);

/// Splits |line| (trimmed of blanks in place) into the command word
/// (unquoted, braces kept), the options before the first parameter (name
/// with its "-", value unbraced and unquoted; a repeated name replaces the
/// value, a full table drops the pair) and the parameters (the remaining
/// tokens as taken, joined by one blank). The command word is cut to
/// |command_max| characters and the parameters to |parameters_max|.
/// |options| is cleared first.
void SplitCommand(std::string* line, std::string* command, AttrTable* options,
                  std::string* parameters, size_t command_max, size_t parameters_max);

}  // namespace dusk

#endif  // DUSK_UTIL_COMMAND_SPLIT_H_
