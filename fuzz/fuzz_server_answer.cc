// Arbitrary bytes as the server's answer to a registration request: they
// wait in a socketpair, closed behind them, while the request goes out and
// the DN is taken from the answer. Whatever the bytes, a DN is replaced only
// by an accepted answer and is then one line the device can keep.

#include <fcntl.h>
#include <sys/socket.h>

#include <cstdint>
#include <string>

#include "device/device_record.h"
#include "http/http_session.h"
#include "log/log.h"
#include "server/envelope.h"
#include "util/attr_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = [] {
    dusk::LogLevel(0);
    return true;
  }();
  (void)quiet;
  int fds[2];
  if (socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) return 0;
  dusk::UniqueFd server(fds[1]);
  dusk::HttpSession session;
  dusk::HttpAdoptConnection(session, dusk::UniqueFd(fds[0]), "fuzz", 1);

  fcntl(server.get(), F_SETFL, O_NONBLOCK);
  size_t sent = 0;
  while (sent < size) {
    ssize_t n = send(server.get(), data + sent, size - sent, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<size_t>(n);
  }
  shutdown(server.get(), SHUT_WR);

  const std::string before = "cn=before,o=k";
  std::string dn = before;
  std::string body = "hostname pc01";
  bool ok = dusk::ExchangeServerRequest(session, "fuzz:1", "Register", &body,
                                        dusk::kTclListCapacity, &dn);
  if (!ok && dn != before) __builtin_trap();
  if (dn.size() > dusk::kDeviceDnMax) __builtin_trap();
  if (dn.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) __builtin_trap();
  return 0;
}
