#include "http/http_session.h"

#include <sys/socket.h>

#include <algorithm>
#include <cstring>
#include <optional>

#include "log/log.h"
#include "util/socket_wait.h"
#include "util/sockets.h"

namespace dusk {

namespace {

/// Longest host name a session takes; a longer one would be cut into the
/// name of some other host, so it is refused.
constexpr size_t kHostMax = 255;
/// Bytes asked for per read while the head is read.
constexpr size_t kReadChunk = 4096;
/// Bytes asked for per read of a body: callers take bodies in small pieces
/// (lines, or 2047 bytes of a media file), and one large read serves many
/// of them instead of one system call each.
constexpr size_t kBodyReadChunk = 256 * 1024;

}  // namespace

void HttpSession::Drop() {
  socket_.reset();
  pending_.clear();
  pending_at_ = 0;
}

void HttpSession::Fail(int code) {
  status_ = code;
  content_length_ = 0;
  Drop();
}

HttpClock::time_point HttpSession::Deadline(Phase phase) const {
  if (phase == Phase::kHead) return head_deadline_;
  return std::min(HttpBodyDeadline(body_start_, body_received_, timings_),
                  exchange_deadline_);
}

bool HttpSession::Fill(Phase phase) {
  if (!socket_) return false;
  if (pending_at_ == pending_.size()) {
    pending_.clear();
    pending_at_ = 0;
  }
  const size_t chunk = phase == Phase::kBody ? kBodyReadChunk : kReadChunk;
  size_t old_size = pending_.size();
  pending_.resize(old_size + chunk);
  size_t got = 0;
  IoStatus status = ReadWithin(socket_.get(), pending_.data() + old_size, chunk,
                               timings_.http_idle, Deadline(phase), &got);
  pending_.resize(old_size + got);
  if (status == IoStatus::kData) {
    if (phase == Phase::kBody) body_received_ += got;
    return true;
  }
  // A body that ended, stalled or failed is over; dropping the connection
  // keeps later reads from waiting again.
  if (phase == Phase::kBody) Drop();
  return false;
}

long HttpSession::ReadLine(size_t budget, Phase phase, std::string* line) {
  line->clear();
  size_t used = 0;
  while (used < budget) {
    if (pending_at_ == pending_.size() && !Fill(phase)) break;
    LineCut cut = CutLine(std::string_view(pending_).substr(pending_at_), budget - used, line);
    pending_at_ += cut.consumed;
    used += cut.consumed;
    if (cut.ended) break;
  }
  return used == 0 ? -1 : static_cast<long>(used);
}

void HttpSession::StartBody() {
  body_start_ = HttpClock::now();
  body_received_ = pending_.size() - pending_at_;
}

void HttpSession::ReadHeaders() {
  std::optional<int> length;
  std::string line;
  for (;;) {
    if (ReadLine(kHttpHeadLineBudget, Phase::kHead, &line) < 0) {
      Fail(kHttpHeaderReadError);
      return;
    }
    LogMessage(kLogDebug, "HttpSendRequest: received header=%s", line.c_str());
    if (line.empty()) break;
    if (std::optional<int> value = ScanContentLength(line)) length = value;
  }
  if (length && *length > 0) {
    content_length_ = *length;
    StartBody();
  } else {
    content_length_ = 0;
    Drop();
  }
}

void HttpSessionReset(HttpSession& session) {
  session.Drop();
  session.host_.clear();
  session.port_ = 0;
  session.address_ = {};
  session.headers_.clear();
  session.status_ = 0;
  session.content_length_ = 0;
  session.timings_ = CurrentTimings();
  session.exchange_deadline_ = HttpClock::time_point::max();
  session.body_received_ = 0;
}

bool HttpSessionValid(const HttpSession& session) { return session.socket_.valid(); }

int HttpConnect(HttpSession& session, std::string_view host, int port,
                std::chrono::milliseconds exchange_limit) {
  HttpSessionReset(session);
  if (exchange_limit.count() > 0)
    session.exchange_deadline_ = HttpClock::now() + exchange_limit;
  if (host.empty() || host.size() > kHostMax || port < 1 || port > 65535)
    return kHttpBadHost;
  std::string name(host);
  struct sockaddr_in address = {};
  if (name.find('\0') != std::string::npos || !ResolveIPv4(name, &address.sin_addr))
    return kHttpBadHost;
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  UniqueFd socket_fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!socket_fd) return kHttpCannotCreateSocket;
  int on = 1;
  setsockopt(socket_fd.get(), SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
  std::chrono::milliseconds connect_wait = session.timings_.http_connect;
  if (exchange_limit.count() > 0) connect_wait = std::min(connect_wait, exchange_limit);
  if (!ConnectWithin(socket_fd.get(), address, connect_wait)) return kHttpCannotConnect;
  session.host_ = std::move(name);
  session.port_ = port;
  session.address_ = address;
  session.socket_ = std::move(socket_fd);
  return 0;
}

void HttpAdoptConnection(HttpSession& session, UniqueFd socket, std::string_view host,
                         int port) {
  HttpSessionReset(session);
  if (socket) SetNonBlocking(socket.get());
  session.host_ = std::string(host.substr(0, kHostMax));
  session.port_ = port;
  session.socket_ = std::move(socket);
}

void HttpAddHeaders(HttpSession& session, std::string_view text) {
  AppendExtraHeaders(&session.headers_, text);
}

bool HttpSendRequest(HttpSession& session, int verb, std::string_view url,
                     std::string_view body) {
  if (!session.socket_) {
    session.status_ = kHttpInvalidSession;
    return false;
  }
  const char* word = HttpVerbWord(verb);
  if (word == nullptr) {
    session.status_ = kHttpInvalidVerb;
    return false;
  }
  if (url.empty()) {
    session.status_ = kHttpInvalidUrl;
    return false;
  }
  session.head_deadline_ =
      std::min(HttpClock::now() + session.timings_.http_head, session.exchange_deadline_);
  std::string head = BuildRequestHead(word, url, session.headers_, body.size());
  if (WriteWithin(session.socket_.get(), head, session.timings_.http_idle,
                  session.head_deadline_) < head.size()) {
    session.Fail(kHttpHeaderWriteError);
    return true;
  }
  if (!body.empty() && WriteWithin(session.socket_.get(), body, session.timings_.http_idle,
                                   session.head_deadline_) < body.size()) {
    session.Fail(kHttpDataWriteError);
    return true;
  }
  std::string line;
  long used = session.ReadLine(kHttpHeadLineBudget, HttpSession::Phase::kHead, &line);
  LogMessage(kLogDebug, "HttpSendRequest: header=%s", line.c_str());
  if (used < 0) {
    session.Fail(kHttpHeaderReadError);
    return true;
  }
  std::optional<int> status = ScanStatusLine(line);
  if (!status) {
    session.Fail(kHttpInvalidHeader);
    return true;
  }
  session.status_ = *status;
  if (session.status_ == kHttpOk)
    session.ReadHeaders();
  else
    session.StartBody();  // unread, but whatever follows is timed as a body
  return true;
}

int HttpGetStatus(const HttpSession& session) {
  if (!session.socket_ && session.status_ == 0) return kHttpInvalidSession;
  return session.status_;
}

int HttpGetContentLength(const HttpSession& session) {
  return session.socket_ ? session.content_length_ : 0;
}

bool HttpReadLine(HttpSession& session, std::string* line) {
  line->clear();
  if (!session.socket_) return false;
  return session.ReadLine(kHttpBodyLineBudget, HttpSession::Phase::kBody, line) > 0;
}

size_t HttpReadData(HttpSession& session, void* buffer, size_t size) {
  if (size == 0) return 0;
  char* out = static_cast<char*>(buffer);
  out[0] = '\0';
  size_t total = 0;
  while (total < size) {
    if (session.pending_at_ < session.pending_.size()) {
      size_t take = std::min(size - total, session.pending_.size() - session.pending_at_);
      memcpy(out + total, session.pending_.data() + session.pending_at_, take);
      session.pending_at_ += take;
      total += take;
      continue;
    }
    if (!session.socket_) break;
    if (size - total < kBodyReadChunk) {
      // A small piece comes out of one large read kept in the session.
      if (!session.Fill(HttpSession::Phase::kBody)) break;
      continue;
    }
    size_t got = 0;
    IoStatus status = ReadWithin(session.socket_.get(), out + total, size - total,
                                 session.timings_.http_idle,
                                 session.Deadline(HttpSession::Phase::kBody), &got);
    if (status != IoStatus::kData) {
      session.Drop();
      break;
    }
    session.body_received_ += got;
    total += got;
  }
  return total;
}

void HttpClose(HttpSession& session) { HttpSessionReset(session); }

}  // namespace dusk
