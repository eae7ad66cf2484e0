#include "peer/peer_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "peer/peer_tcl.h"
#include "util/files.h"
#include "util/strings.h"

namespace dusk::peer {

namespace {

/// Longest wait for each piece of a request.
constexpr std::chrono::milliseconds kRequestWait{10'000};
/// Longest wait for the client to take each piece of an answer.
constexpr int kSendWaitSeconds = 30;
/// How long a stall holds a connection unless the fault says otherwise.
constexpr int kDefaultStallSeconds = 600;

struct RegistrationPath {
  const char* path;
  const char* name;
};
constexpr RegistrationPath kRegistrationPaths[] = {
    {"/proc/vmp/register", "register"},
    {"/proc/vmp/startup", "startup"},
    {"/proc/vmp/status", "status"},
    {"/proc/vmp/unregister", "unregister"},
};

bool SendAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = send(fd, data.data(), data.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

/// Reads and drops what the client still sends until it closes or
/// |seconds| pass; closing with unread bytes would reset the connection and
/// could destroy the answer before the client read it.
void DrainUntilClosed(int fd, int seconds) {
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  char buffer[4096];
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    if (left.count() <= 0) return;
    struct pollfd entry = {fd, POLLIN, 0};
    int ready = poll(&entry, 1, static_cast<int>(std::min<long long>(left.count(), INT_MAX)));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return;
    if (read(fd, buffer, sizeof buffer) <= 0) return;
  }
}

bool SendAnswer(int fd, const Answer& answer) {
  if (answer.file.empty())
    return SendAll(fd, AnswerHead(answer, answer.body.size()) + answer.body);
  int file = open(answer.file.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st;
  if (file < 0 || fstat(file, &st) != 0) {
    if (file >= 0) close(file);
    Answer missing{404, "text/plain", "Not Found\n", ""};
    return SendAll(fd, AnswerHead(missing, missing.body.size()) + missing.body);
  }
  bool ok = SendAll(fd, AnswerHead(answer, static_cast<size_t>(st.st_size)));
  char buffer[65536];
  ssize_t got;
  while (ok && (got = read(file, buffer, sizeof buffer)) > 0)
    ok = SendAll(fd, std::string_view(buffer, static_cast<size_t>(got)));
  close(file);
  return ok;
}

/// The bytes of |answer|'s body; false when its file cannot be read.
bool BodyOf(const Answer& answer, std::string* body) {
  if (answer.file.empty()) {
    *body = answer.body;
    return true;
  }
  return ReadWholeFile(answer.file, body);
}

/// Sends |answer| bent as |fault| (a body fault) says; what it showed, for
/// the log.
std::string SendBentAnswer(int fd, const Answer& answer, const Fault& fault) {
  std::string body;
  if (!BodyOf(answer, &body)) {
    SendAnswer(fd, answer);  // the regular "missing file" answer
    return "file gone";
  }
  const size_t count = fault.arg.empty() ? 0 : static_cast<size_t>(strToInt(fault.arg));
  switch (fault.mode) {
    case FaultMode::kShortBody:
      SendAll(fd, AnswerHead(answer, body.size() + count) + body);
      return strFormat("%d with %zu bytes missing", answer.status, count);
    case FaultMode::kLongBody:
      SendAll(fd, AnswerHead(answer, body.size()) + body + std::string(count, '+'));
      return strFormat("%d with %zu bytes too many", answer.status, count);
    case FaultMode::kStallHalfway:
      if (SendAll(fd, AnswerHead(answer, body.size()) + body.substr(0, body.size() / 2)))
        DrainUntilClosed(fd, fault.arg.empty() ? kDefaultStallSeconds : strToInt(fault.arg));
      return strFormat("%d stalled after %zu of %zu bytes", answer.status, body.size() / 2,
                       body.size());
    default:
      return "?";
  }
}

/// True for the faults that bend the regular answer rather than replace it.
bool BendsTheAnswer(FaultMode mode) {
  return mode == FaultMode::kShortBody || mode == FaultMode::kLongBody ||
         mode == FaultMode::kStallHalfway;
}

/// Shows |fault| on the connection; the status it shows, for the log.
std::string ShowFault(int fd, const Fault& fault, const std::string& state_dir) {
  switch (fault.mode) {
    case FaultMode::kStatus: {
      Answer answer{strToInt(fault.arg), "text/plain", "", ""};
      SendAll(fd, AnswerHead(answer, 0));
      return fault.arg;
    }
    case FaultMode::kEmpty200:
      SendAll(fd, "HTTP/1.0 200 OK\r\n\r\n");
      return "200 without body";
    case FaultMode::kCloseBeforeHeaders:
      SendAll(fd, "HTTP/1.0 200 OK\r\nContent-Length: 10\r\n");
      return "closed inside the headers";
    case FaultMode::kClose:
      return "closed";
    case FaultMode::kStall:
      DrainUntilClosed(fd, fault.arg.empty() ? kDefaultStallSeconds : strToInt(fault.arg));
      return "stalled";
    case FaultMode::kEndless: {
      constexpr auto kEndlessLimit = std::chrono::minutes(10);
      const auto end = std::chrono::steady_clock::now() + kEndlessLimit;
      const std::string lines(64 * 1024, '\n');
      if (SendAll(fd, "HTTP/1.0 200 OK\r\nContent-Length: 2000000000\r\n\r\n"))
        while (std::chrono::steady_clock::now() < end && SendAll(fd, lines)) {
        }
      return "endless body";
    }
    case FaultMode::kDn:
    case FaultMode::kShortBody:
    case FaultMode::kLongBody:
    case FaultMode::kStallHalfway:
      return "?";  // answers of Route, shown by ServeConnection
    case FaultMode::kRaw: {
      std::string path = fault.arg[0] == '/' ? fault.arg : state_dir + "/" + fault.arg;
      std::string bytes;
      if (!ReadWholeFile(path, &bytes)) return "raw file missing";
      SendAll(fd, bytes);
      return "raw " + fault.arg;
    }
  }
  return "?";
}

}  // namespace

const char* ReasonPhrase(int status) {
  switch (status) {
    case 200: return "OK";
    case 201: return "Created";
    case 302: return "Found";
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 408: return "Request Timeout";
    case 411: return "Length Required";
    case 500: return "Internal Server Error";
    case 501: return "Not Implemented";
    case 503: return "Service Unavailable";
    default: return "Unknown";
  }
}

std::string AnswerHead(const Answer& answer, size_t length) {
  return strFormat("HTTP/1.0 %d %s\r\nServer: kesta-peer\r\nContent-Type: %s\r\n"
                   "Content-Length: %zu\r\n\r\n",
                   answer.status, ReasonPhrase(answer.status), answer.content_type.c_str(),
                   length);
}

std::optional<std::string> MediaFile(const std::string& media_dir, const std::string& path) {
  if (media_dir.empty() || path.empty() || path[0] != '/' ||
      path.find('\0') != std::string::npos)
    return std::nullopt;
  size_t start = 1;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    if (path.compare(start, end - start, "..") == 0) return std::nullopt;
    start = end + 1;
  }
  std::error_code error;
  const std::string root_text = std::filesystem::canonical(media_dir, error).string();
  if (error) return std::nullopt;
  const std::string file = std::filesystem::canonical(root_text + path, error).string();
  if (error) return std::nullopt;
  struct stat st;
  if (!strStartsWith(file, root_text + "/") || stat(file.c_str(), &st) != 0 ||
      !S_ISREG(st.st_mode))
    return std::nullopt;
  return file;
}

bool IsRegistrationPath(std::string_view path) {
  for (const RegistrationPath& registration : kRegistrationPaths)
    if (path == registration.path) return true;
  return false;
}

Answer Route(const Request& request, const PeerConfig& config, PeerState& state,
             const std::optional<std::string>& answer_dn) {
  for (const RegistrationPath& registration : kRegistrationPaths) {
    if (request.path != registration.path) continue;
    if (request.method != "POST") return Answer{400, "text/plain", "POST expected\n", ""};
    std::vector<std::string> elements;
    std::string error;
    if (!ParseTclList(request.body, &elements, &error))
      return Answer{400, "text/plain", "malformed Tcl list: " + error + "\n", ""};
    std::string dn = answer_dn.value_or(TclAttr(elements, "devdn").value_or(""));
    if (dn.empty()) {
      std::string host = TclAttr(elements, "hostname").value_or("");
      dn = "cn=" + (host.empty() ? std::string("unknown") : host) + ",ou=devices,o=kesta";
    }
    state.StoreDevice(dn, registration.name, request.body);
    return Answer{200, "text/plain", dn + "\n", ""};
  }
  if (request.method != "GET") return Answer{501, "text/plain", "Not Implemented\n", ""};
  if (request.path == kProbeRequestPath) {
    std::string body = "ZelmarInfo.status: ok\n";
    if (!config.zone.empty()) body += kZoneLinePrefix + config.zone + "\n";
    return Answer{200, "text/plain", body, ""};
  }
  if (std::optional<std::string> file = MediaFile(config.media_dir, request.path))
    return Answer{200, "application/octet-stream", "", *file};
  return Answer{404, "text/plain", "Not Found\n", ""};
}

void ServeConnection(UniqueFd connection, const PeerConfig& config, PeerState& state,
                     FaultBook& faults) {
  int fd = connection.get();
  struct timeval send_wait = {kSendWaitSeconds, 0};
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &send_wait, sizeof send_wait);
  Request request;
  std::string raw;
  ReadOutcome outcome = ReadRequest(fd, kRequestWait, &request, &raw);
  if (outcome == ReadOutcome::kNothing) return;
  int number = state.RecordRequest(raw);
  if (outcome == ReadOutcome::kRequest && IsRegistrationPath(request.path))
    state.RecordAttrs(number, request.body);
  std::string shown;
  if (outcome == ReadOutcome::kBad) {
    Answer bad{400, "text/plain", "Bad Request\n", ""};
    SendAll(fd, AnswerHead(bad, bad.body.size()) + bad.body);
    shown = "400 (malformed request)";
  } else {
    faults.Load(state.FaultsText());
    std::optional<Fault> fault = faults.Take(request.path, request.target);
    if (fault && fault->mode == FaultMode::kDn) {
      Answer answer = Route(request, config, state, fault->arg);
      SendAnswer(fd, answer);
      shown = std::to_string(answer.status) + " with DN " + fault->arg;
    } else if (fault && BendsTheAnswer(fault->mode)) {
      shown = "fault: " + SendBentAnswer(fd, Route(request, config, state), *fault);
    } else if (fault) {
      shown = "fault: " + ShowFault(fd, *fault, state.dir());
    } else {
      Answer answer = Route(request, config, state);
      SendAnswer(fd, answer);
      shown = std::to_string(answer.status);
    }
  }
  fprintf(stderr, "kesta-peer: #%04d %s %s -> %s\n", number, request.method.c_str(),
          request.target.c_str(), shown.c_str());
  shutdown(fd, SHUT_WR);
  DrainUntilClosed(fd, 2);
}

}  // namespace dusk::peer
