#include "server/server_connect.h"

#include "log/log.h"
#include "util/strings.h"
#include "util/timings.h"

namespace dusk {

bool ConnectToServer(HttpSession& session, const std::string& host,
                     const std::string& port, const std::string& server) {
  int connected =
      HttpConnect(session, host, strToInt(port), CurrentTimings().server_exchange);
  if (connected == 0) return true;
  LogMessage(kLogInfo, "KESTA Server %s Not Available - %s\n\n", server.c_str(),
             HttpErrorText(connected));
  return false;
}

}  // namespace dusk
