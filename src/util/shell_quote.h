#ifndef DUSK_UTIL_SHELL_QUOTE_H_
#define DUSK_UTIL_SHELL_QUOTE_H_

// How a value is written into a line for "/bin/sh -c" so that the shell
// reads it back as exactly one word holding exactly the value. The values
// come from places the program does not control (the device's host name,
// which DHCP may set; the options of the server's request; configured
// paths), and the line runs as root: a value must never be able to end
// the word and add a command of its own.
//
// A value the shell reads back unchanged anyway is written as it is, so
// that the lines of ordinary installs keep the bytes they have always had.

#include <string>
#include <string_view>

namespace dusk {

/// True when |value| is non-empty and made only of letters, digits and
/// ". _ - / : = , + @ %", which the shell takes literally wherever they
/// stand in a word.
bool ShellWordIsPlain(std::string_view value);

/// |value| as one shell word: as it is when ShellWordIsPlain; in double
/// quotes when it holds none of the characters that stay special inside
/// them ("$", "`", "\" and the double quote), as a blank in a path always
/// has been written; otherwise in single quotes, each single quote of the
/// value written as '\''. An empty value becomes ''.
std::string ShellQuote(std::string_view value);

}  // namespace dusk

#endif  // DUSK_UTIL_SHELL_QUOTE_H_
