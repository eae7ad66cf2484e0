#ifndef DUSK_UTIL_TEXT_ENCODING_H_
#define DUSK_UTIL_TEXT_ENCODING_H_

// The conversions applied to text before it leaves the program: tags
// filled into command lines, URL form encoding, the one-line event record
// of a remote-execution session, and XML escaping.

#include <cstddef>
#include <ctime>
#include <string>
#include <string_view>

#include "util/attr_table.h"

namespace dusk {

/// Longest encoded data part of an event record.
inline constexpr size_t kEventDataMax = 2047;
/// Longest event record a session sends.
inline constexpr size_t kEventRecordMax = 1023;
/// Longest text strSubst produces.
inline constexpr size_t kSubstTextMax = 4095;

/// URL form encoding of |source|: letters, digits and "-._~" stay, a blank
/// becomes "+", a line feed "%0d%0a", every other byte "%" and two
/// lower-case hexadecimal digits.
std::string HttpEncode(std::string_view source);

/// The event record "TIME|TYPE|DATA|" for the time |now|: TIME in UTC as
/// "%Y-%m-%dT%H:%M:%SZ", DATA the non-empty fields among |text|, |field2|,
/// |field3|, |field4| (blanks trimmed at both ends), each HttpEncode'd and
/// preceded by "," except |text| itself. DATA is cut, never inside the
/// encoding of one character, so that it stays within kEventDataMax and
/// the record within |record_max| (at least 23 plus the length of |type|);
/// the record always ends with "|".
std::string BuildEventRecordAt(std::time_t now, std::string_view type, std::string_view text,
                               std::string_view field2, std::string_view field3,
                               std::string_view field4, size_t record_max = kEventRecordMax);

/// BuildEventRecordAt for the current time.
std::string BuildEventRecord(std::string_view type, std::string_view text,
                             std::string_view field2, std::string_view field3,
                             std::string_view field4, size_t record_max = kEventRecordMax);

/// Replaces in |text| every tag "<name>" (any letter case) of every pair of
/// |table| with a non-empty name, in table order, by the pair's value; an
/// inserted value is not searched again for the same tag. A text grown
/// beyond kSubstTextMax characters is cut there. When the text changed,
/// logs at Debug "strSubst: %s" with the old text and "          %s" with
/// the new one. Returns |text|.
std::string& strSubst(std::string& text, const AttrTable& table);

/// |source| with '"', "&", "<" and ">" replaced by "&quot;", "&amp;",
/// "&lt;" and "&gt;".
std::string XmlEscape(std::string_view source);

}  // namespace dusk

#endif  // DUSK_UTIL_TEXT_ENCODING_H_
