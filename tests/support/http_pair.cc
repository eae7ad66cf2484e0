#include "support/http_pair.h"

#include <sys/socket.h>

namespace dusk::test {

UniqueFd AdoptSocketPair(HttpSession& session) {
  int fds[2];
  if (socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) return UniqueFd();
  HttpAdoptConnection(session, UniqueFd(fds[0]), "pair", 1);
  return UniqueFd(fds[1]);
}

}  // namespace dusk::test
