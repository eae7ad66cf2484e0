#include "device/device_credentials.h"

#include "device/device_record.h"
#include "log/log.h"

namespace dusk {

DeviceCredentials GetDeviceCredentials() {
  LogMessage(kLogTrace, "GetDeviceCredentials");
  const std::string device_dn = StoredDeviceDn();
  if (device_dn.empty()) {
    LogMessage(kLogWarn, "Failed to get Device Dn");
    return DeviceCredentials();
  }
  return CredentialsForDn(device_dn);
}

}  // namespace dusk
