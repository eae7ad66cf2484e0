#include "peer/peer_request.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "util/strings.h"

namespace dusk::peer {

namespace {

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

/// One read of up to |size| bytes within |wait|; >0 bytes, 0 closed, -1
/// silent or failed.
long ReadSome(int fd, char* buffer, size_t size, std::chrono::milliseconds wait) {
  struct pollfd entry = {fd, POLLIN, 0};
  int ready;
  do {
    ready = poll(&entry, 1, static_cast<int>(wait.count()));
  } while (ready < 0 && errno == EINTR);
  if (ready <= 0) return -1;
  ssize_t got;
  do {
    got = read(fd, buffer, size);
  } while (got < 0 && errno == EINTR);
  return got;
}

}  // namespace

std::optional<size_t> FindHeadEnd(std::string_view bytes) {
  size_t crlf = bytes.find("\r\n\r\n");
  size_t lf = bytes.find("\n\n");
  if (crlf == std::string_view::npos && lf == std::string_view::npos) return std::nullopt;
  if (lf == std::string_view::npos || (crlf != std::string_view::npos && crlf < lf))
    return crlf + 4;
  return lf + 2;
}

bool ParseHead(std::string_view head, Request* request) {
  *request = Request();
  size_t line_end = head.find('\n');
  std::string_view line = TrimBlanks(head.substr(0, line_end));
  size_t first = line.find(' ');
  size_t last = line.rfind(' ');
  if (first == std::string_view::npos || first == last) return false;
  request->method = std::string(line.substr(0, first));
  request->target = std::string(TrimBlanks(line.substr(first + 1, last - first - 1)));
  request->version = std::string(line.substr(last + 1));
  if (request->method.empty() || request->target.empty() ||
      !strStartsWith(request->version, "HTTP/"))
    return false;
  size_t question = request->target.find('?');
  request->path = request->target.substr(0, question);
  if (question != std::string::npos) request->query = request->target.substr(question + 1);
  while (line_end != std::string_view::npos) {
    size_t start = line_end + 1;
    line_end = head.find('\n', start);
    line = TrimBlanks(head.substr(start, line_end == std::string_view::npos
                                             ? std::string_view::npos
                                             : line_end - start));
    if (line.empty()) continue;
    size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0) return false;
    request->headers.emplace_back(std::string(TrimBlanks(line.substr(0, colon))),
                                  std::string(TrimBlanks(line.substr(colon + 1))));
  }
  return true;
}

std::optional<std::string> HeaderValue(const Request& request, std::string_view name) {
  for (const auto& [header, value] : request.headers)
    if (strEqualNoCase(header, name)) return value;
  return std::nullopt;
}

std::optional<size_t> AnnouncedBodyLength(const Request& request) {
  std::optional<std::string> value = HeaderValue(request, "Content-Length");
  if (!value) return 0;
  if (value->empty() || value->size() > 9) return std::nullopt;
  size_t length = 0;
  for (char c : *value) {
    if (c < '0' || c > '9') return std::nullopt;
    length = length * 10 + static_cast<size_t>(c - '0');
  }
  if (length > kMaxBodyBytes) return std::nullopt;
  return length;
}

ReadOutcome ReadRequest(int fd, std::chrono::milliseconds wait, Request* request,
                        std::string* raw) {
  raw->clear();
  char buffer[8192];
  std::optional<size_t> head_end;
  while (!(head_end = FindHeadEnd(*raw))) {
    if (raw->size() > kMaxHeadBytes) return ReadOutcome::kBad;
    long got = ReadSome(fd, buffer, sizeof buffer, wait);
    if (got <= 0) return raw->empty() ? ReadOutcome::kNothing : ReadOutcome::kBad;
    raw->append(buffer, static_cast<size_t>(got));
  }
  if (*head_end > kMaxHeadBytes || !ParseHead(std::string_view(*raw).substr(0, *head_end), request))
    return ReadOutcome::kBad;
  std::optional<size_t> length = AnnouncedBodyLength(*request);
  if (!length) return ReadOutcome::kBad;
  while (raw->size() < *head_end + *length) {
    long got = ReadSome(fd, buffer, std::min(sizeof buffer, *head_end + *length - raw->size()),
                        wait);
    if (got <= 0) return ReadOutcome::kBad;
    raw->append(buffer, static_cast<size_t>(got));
  }
  request->body = raw->substr(*head_end, *length);
  return ReadOutcome::kRequest;
}

}  // namespace dusk::peer
