#ifndef DUSK_FUZZ_ANSWER_SESSION_H_
#define DUSK_FUZZ_ANSWER_SESSION_H_

// A session whose server has already said everything it will say: the
// answer waits in a socketpair, closed behind it, before the client sends.

#include <fcntl.h>
#include <sys/socket.h>

#include <cstddef>
#include <cstdint>

#include "http/http_session.h"
#include "util/unique_fd.h"

namespace dusk::fuzz {

/// Connects |session| to a socketpair holding |answer|, then ends the
/// server's sending side. What does not fit the socket's buffer is dropped:
/// the answer then ends there, which is one more answer worth trying. The
/// returned server end must outlive the exchange, so the client's request
/// has somewhere to go.
inline UniqueFd AdoptAnswer(HttpSession& session, const uint8_t* answer, size_t size) {
  int fds[2];
  if (socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) return UniqueFd();
  UniqueFd server(fds[1]);
  HttpAdoptConnection(session, UniqueFd(fds[0]), "fuzz", 1);
  fcntl(server.get(), F_SETFL, O_NONBLOCK);
  size_t sent = 0;
  while (sent < size) {
    ssize_t n = send(server.get(), answer + sent, size - sent, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<size_t>(n);
  }
  shutdown(server.get(), SHUT_WR);
  return server;
}

}  // namespace dusk::fuzz

#endif  // DUSK_FUZZ_ANSWER_SESSION_H_
