#ifndef DUSK_DEVICE_ATTR_NAMES_H_
#define DUSK_DEVICE_ATTR_NAMES_H_

// The SMBIOS fields the device record takes, by section. The device and
// service attribute lists themselves are the keys of their configuration
// sections (config/config_keys.h).

#include <array>
#include <string_view>

#include "config/config_keys.h"

namespace dusk {

/// SMBIOS fields taken from the SystemInformation section.
inline constexpr std::array<std::string_view, 3> smsec_system_attrs = {
    "productname", "uuid", "serialnumber"};

/// SMBIOS fields taken from the SystemEnclosure section.
inline constexpr std::array<std::string_view, 2> smsec_enc_attrs = {
    "serialnumber", "assettagnumber"};

}  // namespace dusk

#endif  // DUSK_DEVICE_ATTR_NAMES_H_
