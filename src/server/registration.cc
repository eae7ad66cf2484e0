#include "server/registration.h"

#include "config/config_file.h"
#include "device/device_info.h"
#include "device/device_record.h"
#include "device/service_scan.h"
#include "log/log.h"
#include "server/envelope.h"
#include "util/attr_list.h"

namespace dusk {

namespace {

/// Capacity of the differences text of a record comparison.
constexpr size_t kDifferencesCapacity = 2048;

/// The body every request starts with: the record, then (for Status) the
/// scan, then the sender.
std::string RequestBody(const AttrTable& record, const AttrTable* scan) {
  std::string body;
  AttrsToTclList(&body, kTclListCapacity, record);
  if (scan != nullptr) AppendServiceScanData(&body, kTclListCapacity, *scan);
  AppendSenderAttrs(&body, kTclListCapacity, record);
  return body;
}

}  // namespace

bool NeedToRegister(const std::string& host, const std::string& port, const AttrTable& record) {
  std::string dn;
  if (GetConfigString(ConfigSection::kDeviceInfo, "devdn", &dn) != ConfigRead::kFound) {
    LogMessage(kLogInfo, "Need to Register - Can't get DevDn from Registry");
    return true;
  }
  if (dn.empty()) {
    LogMessage(kLogInfo, "Need to Register - DevDn is Empty");
    return true;
  }
  std::string server_name;
  if (GetConfigString(ConfigSection::kApplication, "ServerName", &server_name) !=
      ConfigRead::kFound) {
    LogMessage(kLogInfo, "Need to Register - Can't get ServerName from Registry");
    return true;
  }
  if (host != server_name) {
    LogMessage(kLogInfo,
               "Need to Register - Targetting a Different Host %s than the Registered one %s",
               host.c_str(), server_name.c_str());
    return true;
  }
  std::string server_port;
  if (GetConfigString(ConfigSection::kApplication, "ServerPort", &server_port) !=
      ConfigRead::kFound) {
    LogMessage(kLogInfo, "Need to Register - Can't get ServerPort from Registry");
    return true;
  }
  if (port != server_port) {
    LogMessage(kLogInfo,
               "Need to Register - Targetting a Different Port %s than the Registered one %s",
               port.c_str(), server_port.c_str());
    return true;
  }
  AttrTable stored(kDeviceInfoSlots);
  GetDeviceInfoFromReg(stored);
  std::string differences;
  if (!DevicesMatch(record, stored, &differences)) {
    if (differences.size() >= kDifferencesCapacity)
      differences.resize(kDifferencesCapacity - 1);
    LogMessage(kLogInfo, "Need to Register - Different Device Attributes found: %s",
               differences.c_str());
    return true;
  }
  return false;
}

bool Register(const Layout& layout, const std::string& host, const std::string& port,
              AttrTable& record) {
  const std::string server = host + ":" + port;
  LogMessage(kLogInfo, "Registering Device with %s ...", server.c_str());
  std::string body = RequestBody(record, nullptr);
  const std::string previous_dn = StoredDeviceDn();
  std::string dn = previous_dn;
  if (sendKESTAServerRequest(host, port, "Register", &body, kTclListCapacity, &dn) &&
      !dn.empty()) {
    LogMessage(kLogInfo, dn == previous_dn ? "DevDn: %s" : "New DevDn: %s", dn.c_str());
    SetAttrValue(record, "devdn", dn);
    StoreDeviceInfoToReg(layout, record);
    LogMessage(kLogInfo, "Successfully Registered Device with %s", server.c_str());
    return true;
  }
  LogMessage(kLogInfo, "Failed to Register Device with %s", server.c_str());
  return false;
}

bool Startup(const Layout& layout, const std::string& host, const std::string& port,
             AttrTable& record) {
  const std::string previous_dn = StoredDeviceDn();
  if (previous_dn.empty()) return false;
  const std::string server = host + ":" + port;
  LogMessage(kLogInfo, "Startup Device %s on %s ...", previous_dn.c_str(), server.c_str());
  std::string body = RequestBody(record, nullptr);
  std::string dn = previous_dn;
  if (!sendKESTAServerRequest(host, port, "Startup", &body, kTclListCapacity, &dn))
    return false;
  LogMessage(kLogInfo, "Successfully Started Device on %s", server.c_str());
  if (!dn.empty() && dn != previous_dn) {
    LogMessage(kLogInfo, "DevDn Changed to %s", dn.c_str());
    SetAttrValue(record, "devdn", dn);
    SetDeviceDn(layout, dn);
  }
  return true;
}

bool Status(const Layout& layout, const std::string& host, const std::string& port,
            AttrTable& record, const AttrTable& scan) {
  const std::string server = host + ":" + port;
  const std::string previous_dn = StoredDeviceDn();
  if (!previous_dn.empty()) {
    LogMessage(kLogInfo, "Provide Status of Device %s to %s ...", previous_dn.c_str(),
               server.c_str());
    std::string body = RequestBody(record, &scan);
    std::string dn = previous_dn;
    if (sendKESTAServerRequest(host, port, "Status", &body, kTclListCapacity, &dn)) {
      if (!dn.empty() && dn != previous_dn) {
        LogMessage(kLogInfo, "New DevDn: %s", dn.c_str());
        SetAttrValue(record, "devdn", dn);
        StoreDeviceInfoToReg(layout, record);
        LogMessage(kLogInfo, "Successfully Updated Device Dn to %s", dn.c_str());
      }
      StoreServiceScanToReg(scan);
      LogMessage(kLogInfo, "Successfully Updated Service Scan with %s", server.c_str());
      return true;
    }
  }
  LogMessage(kLogInfo, "Failed to Provide Status of Device to %s", server.c_str());
  return false;
}

bool UnRegister(const std::string& host, const std::string& port, const AttrTable& record) {
  const std::string server = host + ":" + port;
  LogMessage(kLogInfo, "UnRegistering Device from %s ...", server.c_str());
  std::string dn = StoredDeviceDn();
  if (dn.empty()) return false;
  std::string body = RequestBody(record, nullptr);
  if (!sendKESTAServerRequest(host, port, "UnRegister", &body, kTclListCapacity, &dn))
    return false;
  LogMessage(kLogInfo, "Successfully Unregistered Device from %s", server.c_str());
  return true;
}

}  // namespace dusk
