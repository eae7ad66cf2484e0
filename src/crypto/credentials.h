#ifndef DUSK_CRYPTO_CREDENTIALS_H_
#define DUSK_CRYPTO_CREDENTIALS_H_

// The user name and password that a remote-execution request must carry.
// Both sides derive them from the device's DN, so nothing secret is stored
// on the device: the user name is the CRC-32 register of the DN (before its
// final inversion) in 8 upper-case hexadecimal digits, the password those 8
// characters enciphered with DES under the shared key (crypto/keys.h) and
// encoded in Base64. Where the DN comes from is the caller's business.

#include <string>
#include <string_view>

#include "util/device_dn.h"

namespace dusk {

/// The two credential texts; "" for what was not computed.
struct DeviceCredentials {
  std::string userName;  ///< 8 upper-case hexadecimal digits
  std::string password;  ///< 12 Base64 characters, the last one "="
};

/// The credentials of the device whose DN is |device_dn| (cut to
/// kDeviceDnMax characters). This is also the server's computation.
DeviceCredentials CredentialsForDn(std::string_view device_dn);

}  // namespace dusk

#endif  // DUSK_CRYPTO_CREDENTIALS_H_
