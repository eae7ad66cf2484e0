#include "service/server_calls.h"

#include "device/device_info.h"
#include "device/service_scan.h"
#include "server/probe.h"
#include "server/registration.h"

namespace dusk {

bool KestaServerCalls::ProbeServer(const std::string& host, const std::string& port,
                                   std::string* zone) {
  return _probeKESTAServer(host, port, zone);
}

bool KestaServerCalls::GatherDeviceInfo(const std::string& host, const std::string& port) {
  return GetDeviceInfo(layout_, host, port, thisDeviceInfo);
}

bool KestaServerCalls::NeedToRegister(const std::string& host, const std::string& port) {
  return dusk::NeedToRegister(host, port, thisDeviceInfo);
}

bool KestaServerCalls::Register(const std::string& host, const std::string& port) {
  return dusk::Register(layout_, host, port, thisDeviceInfo);
}

bool KestaServerCalls::Startup(const std::string& host, const std::string& port) {
  return dusk::Startup(layout_, host, port, thisDeviceInfo);
}

bool KestaServerCalls::Status(const std::string& host, const std::string& port) {
  return dusk::Status(layout_, host, port, thisDeviceInfo, currServiceScan);
}

bool KestaServerCalls::UnRegister(const std::string& host, const std::string& port) {
  return dusk::UnRegister(host, port, thisDeviceInfo);
}

bool KestaServerCalls::ScanServices() { return GetServiceScan(layout_, currServiceScan); }

bool KestaServerCalls::NeedToSendServiceScan() {
  return dusk::NeedToSendServiceScan(currServiceScan);
}

}  // namespace dusk
