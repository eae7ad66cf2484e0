#include "server/server_connect.h"

#include "log/log.h"
#include "util/stop_request.h"
#include "util/strings.h"
#include "util/timings.h"

namespace dusk {

bool ConnectToServer(HttpSession& session, const std::string& host,
                     const std::string& port, const std::string& server,
                     const std::string& exchange) {
  // Nothing is begun that a pending stop would cut short at once, and a
  // stop that comes while the connect waits ends it: either way the server
  // never had its chance to answer.
  int connected = StopRequested() ? kHttpCannotConnect
                                  : HttpConnect(session, host, strToInt(port),
                                                CurrentTimings().server_exchange);
  if (connected == 0) return true;
  if (StopRequested()) {
    LogExchangeStopped(exchange);
    return false;
  }
  LogMessage(kLogInfo, "KESTA Server %s Not Available - %s\n\n", server.c_str(),
             HttpErrorText(connected));
  return false;
}

void LogExchangeStopped(const std::string& exchange) {
  LogMessage(kLogInfo, "%s stopped - %s", exchange.c_str(), kStoppingReason);
}

}  // namespace dusk
