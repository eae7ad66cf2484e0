#ifndef DUSK_DEVICE_DEVICE_CREDENTIALS_H_
#define DUSK_DEVICE_DEVICE_CREDENTIALS_H_

#include "crypto/credentials.h"

namespace dusk {

/// The credentials of this device, computed from the stored DN. Logs
/// "GetDeviceCredentials" at Trace; without a DN logs "Failed to get Device
/// Dn" at Warn and returns both texts empty.
DeviceCredentials GetDeviceCredentials();

}  // namespace dusk

#endif  // DUSK_DEVICE_DEVICE_CREDENTIALS_H_
