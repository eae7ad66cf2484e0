#ifndef DUSK_HTTP_HTTP_SESSION_H_
#define DUSK_HTTP_HTTP_SESSION_H_

// A minimal blocking HTTP/1.0 client over one TCP connection, used for
// every conversation with the KESTA Server. One session serves exactly one
// request: HttpConnect, optionally HttpAddHeaders, HttpSendRequest, then
// HttpGetStatus and HttpGetContentLength, then the body as lines
// (HttpReadLine) or raw bytes (HttpReadData) until they report the end, and
// HttpClose. There is no TLS, no redirect, no chunked transfer and no
// keep-alive: the body ends where the server closes the connection.
//
// The session owns its socket; destroying or resetting it closes the
// connection. Bytes received beyond what a line needed wait in the session
// for the next read, so the head and the body may arrive in any pieces.
// Every wait on the network is bounded (http_timeouts.h). Failures are
// recorded as negative codes in the status (http_errors.h); the client
// itself logs only the status line and the headers, at Debug.

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "http/http_errors.h"
#include "http/http_io.h"
#include "http/http_parse.h"
#include "http/http_timeouts.h"
#include "util/unique_fd.h"

namespace dusk {

class HttpSession;

/// Puts |session| into the reset state, closing any connection it holds.
void HttpSessionReset(HttpSession& session);
/// True while the session holds a connection.
bool HttpSessionValid(const HttpSession& session);
/// Resets the session and connects to |host|:|port|. 0 on success, else
/// kHttpBadHost (empty host, a host over 255 characters, a port outside
/// 1..65535, a name that does not resolve), kHttpCannotCreateSocket or
/// kHttpCannotConnect (refused, unreachable, or no answer within the
/// connect time-out). On failure the session is left reset. A non-zero
/// |exchange_limit| bounds the whole exchange from now on.
int HttpConnect(HttpSession& session, std::string_view host, int port,
                std::chrono::milliseconds exchange_limit = std::chrono::milliseconds(0));
/// Resets the session and takes |socket|, already connected to
/// |host|:|port|, as HttpConnect would have left it. For callers that make
/// the connection by other means (the tests hand in a socketpair).
void HttpAdoptConnection(HttpSession& session, UniqueFd socket, std::string_view host,
                         int port);
/// Appends raw header lines (each ending in CR LF) to the request; the
/// extra headers stop at kHttpExtraHeadersMax characters in all.
void HttpAddHeaders(HttpSession& session, std::string_view text);
/// Sends the request and reads the status line and, for status 200, the
/// headers. False only when nothing was sent: no connection
/// (kHttpInvalidSession), a verb other than kHttpGet or kHttpPost
/// (kHttpInvalidVerb), an empty URL (kHttpInvalidUrl). True when the request
/// was attempted, whatever came of it: read the outcome with HttpGetStatus.
/// After a failure, and after a 200 without a positive Content-Length, the
/// connection is closed; otherwise it stays open for the body.
bool HttpSendRequest(HttpSession& session, int verb, std::string_view url,
                     std::string_view body = {});
/// The outcome of the request: an HTTP status or a negative client code.
/// kHttpInvalidSession for a session without a connection and without an
/// outcome (a failed request keeps its own code readable).
int HttpGetStatus(const HttpSession& session);
/// The response's Content-Length when the body is still there to read;
/// 0 otherwise.
int HttpGetContentLength(const HttpSession& session);
/// Reads the next body line into |line| (set empty first): at most
/// kHttpBodyLineBudget bytes are consumed, CRs dropped, the LF not kept; a
/// longer line comes in pieces. False when there is no connection or
/// nothing more to read.
bool HttpReadLine(HttpSession& session, std::string* line);
/// Reads up to |size| raw body bytes into |buffer|, waiting until |size|
/// are in or the body ends. Returns the count; 0 at the end of the body,
/// after a failure or time-out, or without a connection.
size_t HttpReadData(HttpSession& session, void* buffer, size_t size);
/// Closes the connection, if any, and resets the session.
void HttpClose(HttpSession& session);

/// One request's connection and outcome. Move-only; owns its socket.
class HttpSession {
 public:
  HttpSession() = default;
  HttpSession(HttpSession&&) noexcept = default;
  HttpSession& operator=(HttpSession&&) noexcept = default;
  HttpSession(const HttpSession&) = delete;
  HttpSession& operator=(const HttpSession&) = delete;
  ~HttpSession() = default;

  /// Server host and port given to HttpConnect ("" and 0 when reset).
  const std::string& host() const { return host_; }
  int port() const { return port_; }
  /// The extra header lines gathered so far.
  const std::string& headers() const { return headers_; }
  /// The resolved server address.
  const struct sockaddr_in& address() const { return address_; }

 private:
  friend void HttpSessionReset(HttpSession&);
  friend bool HttpSessionValid(const HttpSession&);
  friend int HttpConnect(HttpSession&, std::string_view, int, std::chrono::milliseconds);
  friend void HttpAdoptConnection(HttpSession&, UniqueFd, std::string_view, int);
  friend void HttpAddHeaders(HttpSession&, std::string_view);
  friend bool HttpSendRequest(HttpSession&, int, std::string_view, std::string_view);
  friend int HttpGetStatus(const HttpSession&);
  friend int HttpGetContentLength(const HttpSession&);
  friend bool HttpReadLine(HttpSession&, std::string*);
  friend size_t HttpReadData(HttpSession&, void*, size_t);
  friend void HttpClose(HttpSession&);

  /// Which wait applies to a read.
  enum class Phase { kHead, kBody };

  /// Closes the connection and forgets the bytes not consumed.
  void Drop();
  /// Marks the request failed with |code| and drops the connection.
  void Fail(int code);
  /// Reads more bytes into |pending_|; false at the end of the stream,
  /// on failure or time-out.
  bool Fill(Phase phase);
  /// Reads one line with |budget|: the bytes consumed, or -1 when not even
  /// one byte could be had.
  long ReadLine(size_t budget, Phase phase, std::string* line);
  /// Starts the clock of the body at the end of the head.
  void StartBody();
  /// Reads the headers of a 200 answer; see HttpSendRequest.
  void ReadHeaders();
  /// The deadline of the current phase.
  HttpClock::time_point Deadline(Phase phase) const;

  std::string host_;        ///< at most 255 characters
  int port_ = 0;
  UniqueFd socket_;         ///< the connection; invalid when there is none
  struct sockaddr_in address_ = {};
  std::string headers_;     ///< at most kHttpExtraHeadersMax characters
  int status_ = 0;          ///< 0 until a request has an outcome
  int content_length_ = 0;  ///< above 0 only while a body waits to be read
  /// Received bytes not consumed yet: pending_[pending_at_..]; empty
  /// whenever there is no connection.
  std::string pending_;
  size_t pending_at_ = 0;
  Timings timings_;  ///< the waits in force when the session was reset
  /// The end of the whole exchange; time_point::max() without a limit.
  HttpClock::time_point exchange_deadline_ = HttpClock::time_point::max();
  HttpClock::time_point head_deadline_;
  HttpClock::time_point body_start_;
  uint64_t body_received_ = 0;
};

}  // namespace dusk

#endif  // DUSK_HTTP_HTTP_SESSION_H_
