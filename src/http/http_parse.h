#ifndef DUSK_HTTP_HTTP_PARSE_H_
#define DUSK_HTTP_HTTP_PARSE_H_

// The byte-level rules of the HTTP client: how a request head is written,
// how the server's bytes are cut into lines, and what is taken from the
// status line and the headers. Everything here is a pure function over
// bytes, so the fuzz target and the tests reach every rule without a
// socket; the session only feeds these functions what it receives.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace dusk {

/// The client's own User-Agent text, sent on every request.
inline constexpr char http_user_agent[] = "DUSK 1.0";

/// Request verbs. No other value is accepted (2 is not a verb).
enum HttpVerb : int {
  kHttpGet = 1,
  kHttpPost = 3,
};

/// Longest text of extra header lines a session keeps; more is dropped.
inline constexpr size_t kHttpExtraHeadersMax = 511;
/// Longest URL sent; a longer one is cut to this many characters.
inline constexpr size_t kHttpUrlMax = 256;
/// Bytes one status or header line may consume, CRs and the LF included;
/// a longer line arrives in pieces that each count as a line.
inline constexpr size_t kHttpHeadLineBudget = 511;
/// Bytes one body line of HttpReadLine may consume, counted the same way.
inline constexpr size_t kHttpBodyLineBudget = 1024;

/// "GET" or "POST" for a verb; nullptr for any other value.
const char* HttpVerbWord(int verb);

/// The request head: "VERB URL HTTP/1.0", the User-Agent line, the extra
/// header lines unchanged, "Content-length: N" when |body_length| is not 0,
/// and the empty line. The URL is cut to kHttpUrlMax characters.
std::string BuildRequestHead(std::string_view verb_word, std::string_view url,
                             std::string_view extra_headers, size_t body_length);

/// Appends |text| to |headers| while |headers| stays within
/// kHttpExtraHeadersMax characters; the rest of |text| is dropped.
void AppendExtraHeaders(std::string* headers, std::string_view text);

/// What CutLine took from its input.
struct LineCut {
  size_t consumed = 0;  ///< bytes taken from the input, at most the budget
  bool ended = false;   ///< a line feed was among them (it is the last)
};

/// Takes the front of one line from |input|: bytes up to and including the
/// first line feed, but never more than |budget| bytes. Every byte but CR
/// and the line feed is appended to |line|. A line is complete when the cut
/// ended or spent the whole budget; otherwise more input is needed (or the
/// end of the stream ends the line).
LineCut CutLine(std::string_view input, size_t budget, std::string* line);

/// The status of a status line read as "HTTP/1.<n> <status>": any HTTP/1.x
/// version, blanks, then up to three characters of a number (a sign counts
/// as one). Nothing for any other line, and nothing for a number below 1,
/// which no server means as a status and which would read as one of the
/// client's own codes.
std::optional<int> ScanStatusLine(std::string_view line);

/// The value of a Content-Length header: the name in any letter case, the
/// colon right after it, any white space (or none), then a decimal number
/// with an optional sign. Values beyond int saturate. Nothing for any other
/// line, or when no number follows.
std::optional<int> ScanContentLength(std::string_view line);

}  // namespace dusk

#endif  // DUSK_HTTP_HTTP_PARSE_H_
