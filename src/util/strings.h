#ifndef DUSK_UTIL_STRINGS_H_
#define DUSK_UTIL_STRINGS_H_

// The small string layer of the program. std::string takes care of memory
// and of the null pointers the C helpers had to tolerate; what remains are
// the conversions and edits whose exact rules the rest of the program
// relies on (what counts as a number, as "true", as a trailing newline).

#include <string>
#include <string_view>

namespace dusk {

/// Decimal value at the start of |s| as sscanf("%d") reads it: leading
/// white space and a sign are accepted, trailing text is ignored. 0 when |s|
/// does not begin with a number. Values beyond int saturate.
int strToInt(std::string_view s);

/// Decimal text of |n|.
std::string intToStr(int n);

/// True when |s| is exactly "1" or equals "true" in any letter case.
bool strToBool(std::string_view s);

/// Lower-cases |s| in place (ASCII) and returns it.
std::string& strToLower(std::string& s);

/// Copy of |s| lower-cased (ASCII).
std::string strLowerCopy(std::string_view s);

/// Removes every trailing |c|.
std::string& strTrimRight(std::string& s, char c);
/// Removes every leading |c|.
std::string& strTrimLeft(std::string& s, char c);
/// Removes every leading and trailing |c|.
std::string& strTrim(std::string& s, char c);

/// Removes one trailing |c| when |s| ends with it (only one, not a run).
std::string& strChompChar(std::string& s, char c);
/// strChompChar with the newline character.
std::string& strChomp(std::string& s);

/// Index of the first |c| at or after |start|; -1 when |start| is negative,
/// past the end, or no |c| follows.
int strFindChar(std::string_view s, char c, int start);

/// Replaces every |from| by |to| in place.
std::string& strReplaceChar(std::string& s, char from, char to);

/// The first min(length, n) characters.
std::string strLeft(std::string_view s, size_t n);
/// n characters from |start|, fewer when the text ends first; "" when
/// |start| lies past the end.
std::string strMid(std::string_view s, size_t start, size_t n);
/// The last min(length, n) characters.
std::string strRight(std::string_view s, size_t n);

/// strcasecmp-style equality for ASCII.
bool strEqualNoCase(std::string_view a, std::string_view b);
/// True when |s| begins with |prefix| (letter case respected).
bool strStartsWith(std::string_view s, std::string_view prefix);

/// |s| cut to at most |max| characters.
std::string strCut(std::string_view s, size_t max);

/// printf into a std::string.
std::string strFormat(const char* format, ...)
    __attribute__((format(printf, 1, 2)));

}  // namespace dusk

#endif  // DUSK_UTIL_STRINGS_H_
