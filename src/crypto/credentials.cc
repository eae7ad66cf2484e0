#include "crypto/credentials.h"

#include <array>
#include <cstdio>

#include "crypto/base64.h"
#include "crypto/crc32.h"
#include "crypto/des.h"
#include "log/log.h"

namespace dusk {

DeviceCredentials CredentialsForDn(std::string_view device_dn) {
  DeviceCredentials credentials;
  uint32_t crc = StringCrc32(device_dn.substr(0, kDeviceDnMax));
  char user[16];
  snprintf(user, sizeof user, "%8.8X", ~crc);
  credentials.userName = user;

  std::array<uint8_t, 8> block;
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(user[i]);
  DesEncryptBlock(block);
  std::array<char, 16> encoded;
  int count = base64_encode(block, encoded);
  if (count < 0) {
    LogMessage(kLogError, "Base64Encode Failed");
    return credentials;
  }
  credentials.password.assign(encoded.data(), static_cast<size_t>(count));
  return credentials;
}

}  // namespace dusk
