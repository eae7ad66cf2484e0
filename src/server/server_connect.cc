#include "server/server_connect.h"

#include "log/log.h"
#include "util/stop_request.h"
#include "util/strings.h"
#include "util/timings.h"

namespace dusk {

bool ConnectToServer(HttpSession& session, const std::string& host,
                     const std::string& port, const std::string& server,
                     const std::string& exchange, std::string* failure) {
  // Nothing is begun that a pending stop would cut short at once, and a
  // stop that comes while the connect waits ends it: either way the server
  // never had its chance to answer.
  int connected = StopRequested() ? kHttpCannotConnect
                                  : HttpConnect(session, host, strToInt(port),
                                                CurrentTimings().server_exchange);
  if (connected == 0) return true;
  if (StopRequested()) {
    const std::string text = ExchangeStoppedText(exchange);
    LogMessage(kLogInfo, "%s", text.c_str());
    if (failure != nullptr) *failure = text;
    return false;
  }
  const std::string text =
      strFormat("KESTA Server %s Not Available - %s", server.c_str(), HttpErrorText(connected));
  LogMessage(kLogInfo, "%s\n\n", text.c_str());
  if (failure != nullptr) *failure = text;
  return false;
}

std::string ExchangeStoppedText(const std::string& exchange) {
  return exchange + " stopped - " + kStoppingReason;
}

void LogExchangeStopped(const std::string& exchange) {
  LogMessage(kLogInfo, "%s", ExchangeStoppedText(exchange).c_str());
}

}  // namespace dusk
