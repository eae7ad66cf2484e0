// Arbitrary bytes as the server's answer to a registration request: they
// wait in a socketpair, closed behind them, while the request goes out and
// the DN is taken from the answer. Whatever the bytes, a DN is replaced only
// by an accepted answer and is then one line the device can keep.

#include <cstdint>
#include <string>

#include "answer_session.h"
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
  dusk::HttpSession session;
  dusk::UniqueFd server = dusk::fuzz::AdoptAnswer(session, data, size);
  if (!server) return 0;

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
