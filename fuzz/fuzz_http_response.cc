// Arbitrary bytes as a server's answer: they wait in a socketpair, closed
// behind them, while the client sends its request, reads the status line
// and headers, and reads the body. The first byte picks the request and
// how the body is read, so both readers meet every kind of answer.

#include <fcntl.h>
#include <sys/socket.h>

#include <cstdint>
#include <string>

#include "http/http_session.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t mode = data[0];
  const char* answer = reinterpret_cast<const char*>(data + 1);
  size_t answer_size = size - 1;

  int fds[2];
  if (socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) return 0;
  dusk::UniqueFd server(fds[1]);
  dusk::HttpSession session;
  dusk::HttpAdoptConnection(session, dusk::UniqueFd(fds[0]), "fuzz", 1);

  // What does not fit the socket's buffer is dropped: the answer then ends
  // there, which is one more answer worth trying.
  fcntl(server.get(), F_SETFL, O_NONBLOCK);
  size_t sent = 0;
  while (sent < answer_size) {
    ssize_t n = send(server.get(), answer + sent, answer_size - sent, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<size_t>(n);
  }
  shutdown(server.get(), SHUT_WR);

  if (mode & 1) {
    dusk::HttpAddHeaders(session, "Accept: text/*\r\nContent-type: application/x-tcl-list\r\n");
    dusk::HttpSendRequest(session, dusk::kHttpPost, "/proc/vmp/register", "hostname pc01");
  } else {
    dusk::HttpSendRequest(session, dusk::kHttpGet, "/media/file");
  }
  dusk::HttpGetStatus(session);
  dusk::HttpGetContentLength(session);
  if (mode & 2) {
    std::string line;
    while (dusk::HttpReadLine(session, &line)) {
      if (line.size() > dusk::kHttpBodyLineBudget) __builtin_trap();
    }
  } else {
    char piece[2047];
    size_t total = 0;
    while (size_t got = dusk::HttpReadData(session, piece, sizeof piece)) {
      if (got > sizeof piece) __builtin_trap();
      total += got;
    }
    if (total > answer_size) __builtin_trap();
  }
  dusk::HttpClose(session);
  return 0;
}
