#include "server/envelope.h"

#include "config/config_file.h"
#include "device/device_record.h"
#include "http/http_session.h"
#include "log/log.h"
#include "server/server_connect.h"
#include "util/attr_list.h"
#include "util/program.h"
#include "util/stop_request.h"
#include "util/strings.h"

namespace dusk {

namespace {

AttrTable MakeSignalProcs() {
  AttrTable table(kSignalProcsSlots);
  table.Set("Register", "/proc/vmp/register");
  table.Set("Startup", "/proc/vmp/startup");
  table.Set("Status", "/proc/vmp/status");
  table.Set("UnRegister", "/proc/vmp/unregister");
  return table;
}

/// The value of |key| in [Application]; |fallback| when it is missing.
std::string ApplicationValue(std::string_view key, std::string_view fallback) {
  std::string value(fallback);
  GetConfigString(ConfigSection::kApplication, key, &value);
  return value;
}

/// The exchange of the request |name| with |server|, as a line that tells
/// of it names it.
std::string RequestExchange(const std::string& name, const std::string& server) {
  return name + " Request to KESTA Server " + server;
}

}  // namespace

const AttrTable SignalProcs = MakeSignalProcs();

std::string SignalProcPath(std::string_view request_name) {
  std::string path;
  SignalProcs.GetNoCase(request_name, &path);
  return path;
}

void AppendSenderAttrs(std::string* list, size_t capacity, const AttrTable& device) {
  TclListAppendAttr(list, capacity, "kmabuild", "NA");

  std::string install_path = ApplicationValue("InstallPath", "");
  if (!install_path.empty() && install_path.back() == '/') install_path.pop_back();
  TclListAppendAttr(list, capacity, "kmadir", install_path);

  const std::string address = GetAttrValue(
      device, "detectedipaddress", GetAttrValue(device, "dnshostname", "localhost", true),
      true);
  const std::string agent_port = ApplicationValue(kAgentPortKey, kDefaultAgentPort);
  std::string major, minor, build, revision;
  GetBuildVersion(&major, &minor, &build, &revision);
  TclListAppendAttr(list, capacity, "sender",
                    "dusk://" + address + ":" + agent_port + ";major=" + major +
                        ";minor=" + minor + ";build=" + build + ";revision=" + revision);
}

bool sendKESTAServerRequest(const std::string& host, const std::string& port,
                            std::string_view request_name, std::string* body,
                            size_t capacity, std::string* device_dn) {
  const std::string name(request_name);
  LogMessage(kLogTrace, "sendKESTAServerRequest: host=%s port=%s SignalName=%s request=%s",
             host.c_str(), port.c_str(), name.c_str(), body->c_str());
  const std::string path = SignalProcPath(request_name);
  const std::string server = host + ":" + port;
  LogMessage(kLogInfo, "Sending %s Request to KESTA Server %s  @ URL %s ...", name.c_str(),
             server.c_str(), path.c_str());

  HttpSession session;
  if (!ConnectToServer(session, host, port, server, RequestExchange(name, server)))
    return false;
  return ExchangeServerRequest(session, server, request_name, body, capacity, device_dn);
}

bool ExchangeServerRequest(HttpSession& session, const std::string& server,
                           std::string_view request_name, std::string* body,
                           size_t capacity, std::string* device_dn) {
  const std::string name(request_name);
  const std::string path = SignalProcPath(request_name);
  HttpAddHeaders(session, kServerRequestHeaders);
  if (!device_dn->empty()) TclListAppendAttr(body, capacity, kDevDnAttr, *device_dn);
  LogMessage(kLogDebug, "%s Request Content: %s", name.c_str(), body->c_str());

  bool sent = HttpSendRequest(session, kHttpPost, path, *body);
  int status = HttpGetStatus(session);
  if (!sent || status != kHttpOk) {
    // Nothing failed when the service cut the exchange short.
    if (StopRequested())
      LogExchangeStopped(RequestExchange(name, server));
    else
      LogMessage(kLogError, "Failed to Send %s Request to KESTA Server %s - %s", name.c_str(),
                 server.c_str(), HttpErrorText(status));
    HttpClose(session);
    return false;
  }
  std::string line;
  if (HttpGetContentLength(session) > 0 && HttpReadLine(session, &line)) {
    LogMessage(kLogDebug, "Response: \"%s\"", line.c_str());
    if (line.size() > kDeviceDnMax) {
      LogMessage(kLogError,
                 "Failed to Send %s Request to KESTA Server %s - Answer is too long for a "
                 "device DN (more than %zu characters)",
                 name.c_str(), server.c_str(), kDeviceDnMax);
      HttpClose(session);
      return false;
    }
    // Neither the configuration nor a log line can carry a NUL: the DN would
    // be kept in the agent's object file only, and logged cut short.
    if (line.find('\0') != std::string::npos) {
      LogMessage(kLogError,
                 "Failed to Send %s Request to KESTA Server %s - Answer holds a NUL byte, "
                 "not a device DN",
                 name.c_str(), server.c_str());
      HttpClose(session);
      return false;
    }
    *device_dn = line;
  }
  LogMessage(kLogInfo, "Sent %s Request to KESTA Server %s", name.c_str(), server.c_str());
  HttpClose(session);
  return true;
}

}  // namespace dusk
