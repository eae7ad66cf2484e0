#include "server/probe.h"

#include "config/config_file.h"
#include "http/http_session.h"
#include "log/log.h"
#include "server/server_connect.h"
#include "util/stop_request.h"
#include "util/strings.h"

namespace dusk {

bool probeKESTAServer(const ServerAddress& server, std::string* zone, std::string* failure) {
  LogMessage(kLogTrace, "probeKESTAServer: optServerHost=%s optServerPort=%s",
             server.hostOption.c_str(), server.portOption.c_str());
  LogMessage(kLogInfo, "KESTA Server Probe Triggered ...");
  return _probeKESTAServer(server.host, server.port, zone, failure);
}

bool _probeKESTAServer(const std::string& host, const std::string& port,
                       std::string* zone, std::string* failure) {
  std::string server = host + ":" + port;
  std::string url = "http://" + server + kProbePath;
  LogMessage(kLogTrace, "_probeKESTAServer: host=%s port=%s", host.c_str(), port.c_str());
  LogMessage(kLogInfo, "Probing KESTA Server %s @ URL %s ...", server.c_str(), url.c_str());

  const std::string exchange = "Probe of KESTA Server " + server;
  HttpSession session;
  if (!ConnectToServer(session, host, port, server, exchange, failure)) return false;
  bool sent = HttpSendRequest(session, kHttpGet, kProbePath);
  int status = HttpGetStatus(session);
  if (!sent || status != kHttpOk) {
    // The server is not unavailable when the service cut the wait for it.
    const std::string text =
        StopRequested()
            ? ExchangeStoppedText(exchange)
            : strFormat("KESTA Server %s Not Available - %s", server.c_str(), HttpErrorText(status));
    LogMessage(kLogInfo, "%s", text.c_str());
    if (failure != nullptr) *failure = text;
    HttpClose(session);
    return false;
  }
  if (HttpGetContentLength(session) > 0) {
    // The zone is in the first lines; an endless body is not read to its
    // end.
    std::string line;
    const std::string_view prefix = kZonePrefix;
    size_t taken = 0;
    while (taken < kServerAnswerBodyMax && HttpReadLine(session, &line)) {
      taken += line.size() + 1;
      if (strStartsWith(line, prefix)) *zone = strCut(line.substr(prefix.size()), kZoneMax);
    }
  }
  LogMessage(kLogInfo, "KESTA Server %s Available ...", server.c_str());
  HttpClose(session);
  return true;
}

}  // namespace dusk
