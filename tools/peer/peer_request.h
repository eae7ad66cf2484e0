#ifndef DUSK_TOOLS_PEER_PEER_REQUEST_H_
#define DUSK_TOOLS_PEER_PEER_REQUEST_H_

// An HTTP/1.0 request as kesta-peer receives it: the raw bytes, kept for
// the record, and what was read from them. Parsing is pure over bytes;
// ReadRequest is the only part that touches a socket.

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace dusk::peer {

/// A head longer than this is refused.
inline constexpr size_t kMaxHeadBytes = 64 * 1024;
/// A body longer than this is refused.
inline constexpr size_t kMaxBodyBytes = 16 * 1024 * 1024;

struct Request {
  std::string method;   ///< "GET", "POST", ...
  std::string target;   ///< as sent: path and query
  std::string path;     ///< target up to the first '?'
  std::string query;    ///< after the '?', "" when none
  std::string version;  ///< "HTTP/1.0" and so on
  /// Header lines in order, the name as sent, the value without the blanks
  /// around it.
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
};

/// Index just past the blank line that ends the head ("\r\n\r\n" or
/// "\n\n"); nothing while it has not arrived.
std::optional<size_t> FindHeadEnd(std::string_view bytes);

/// Reads a request head (request line and headers). False when the request
/// line is not "METHOD TARGET VERSION" or a header line has no colon.
bool ParseHead(std::string_view head, Request* request);

/// The value of the first header |name| (any letter case).
std::optional<std::string> HeaderValue(const Request& request, std::string_view name);

/// The body length a head announces: 0 without Content-Length, nothing for
/// a value that is not a plain decimal number or exceeds kMaxBodyBytes.
std::optional<size_t> AnnouncedBodyLength(const Request& request);

/// How ReadRequest ended.
enum class ReadOutcome {
  kRequest,  ///< a whole, well-formed request
  kNothing,  ///< the client closed or stayed silent before sending a byte
  kBad,      ///< malformed, too large, or cut short
};

/// Reads one request from |fd|, waiting at most |wait| for each piece.
/// |raw| receives every byte read, whatever the outcome.
ReadOutcome ReadRequest(int fd, std::chrono::milliseconds wait, Request* request,
                        std::string* raw);

}  // namespace dusk::peer

#endif  // DUSK_TOOLS_PEER_PEER_REQUEST_H_
