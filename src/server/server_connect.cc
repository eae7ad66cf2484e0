#include "server/server_connect.h"

#include "log/log.h"
#include "util/strings.h"
#include "util/timings.h"

namespace dusk {

bool ConnectToServer(HttpSession& session, const std::string& host,
                     const std::string& port, const std::string& server,
                     std::string* failure) {
  int connected =
      HttpConnect(session, host, strToInt(port), CurrentTimings().server_exchange);
  if (connected == 0) return true;
  const std::string text =
      strFormat("KESTA Server %s Not Available - %s", server.c_str(), HttpErrorText(connected));
  LogMessage(kLogInfo, "%s\n\n", text.c_str());
  if (failure != nullptr) *failure = text;
  return false;
}

}  // namespace dusk
