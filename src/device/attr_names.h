#ifndef DUSK_DEVICE_ATTR_NAMES_H_
#define DUSK_DEVICE_ATTR_NAMES_H_

// The constant attribute name lists. Their order matters: it is the order in
// which records are compared, read back and written into a new
// configuration file.

#include <array>
#include <string_view>

namespace dusk {

/// The device attributes, devdn first.
inline constexpr std::array<std::string_view, 16> regattrs = {
    "devdn",
    "hostname",
    "dnshostname",
    "detecteddnshostname",
    "ipaddress",
    "detectedipaddress",
    "pxmhdwlana",
    "pxmsubnet",
    "pxmipnetworknumber",
    "operatingsystem",
    "operatingsystemservicepack",
    "smsystemproductname",
    "smsystemuuid",
    "smsystemserialnumber",
    "smenclosureserialnumber",
    "smenclosureassettagnumber",
};

/// The scanned services: this program's own and the two agent daemons.
inline constexpr std::array<std::string_view, 3> agentservices = {
    "kesta-dusk", "zelexecd", "zelsched"};

/// SMBIOS fields taken from the SystemInformation section.
inline constexpr std::array<std::string_view, 3> smsec_system_attrs = {
    "productname", "uuid", "serialnumber"};

/// SMBIOS fields taken from the SystemEnclosure section.
inline constexpr std::array<std::string_view, 2> smsec_enc_attrs = {
    "serialnumber", "assettagnumber"};

}  // namespace dusk

#endif  // DUSK_DEVICE_ATTR_NAMES_H_
