#ifndef DUSK_CONFIG_CONFIG_KEYS_H_
#define DUSK_CONFIG_CONFIG_KEYS_H_

// The keys of the [DeviceInfo] and [ServiceScan] sections: the attributes
// of the registered device record and the scanned services. Their order
// matters: it is the order in which records are compared, read back and
// written into a new configuration file. And the names of every
// [Application] key the program knows.

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

/// Every [Application] key the program reads or writes: the nine of a new
/// file, and those only an administrator or the program itself adds (the
/// debugging options, the peers allowed to send requests, a waiting initial
/// connect). The modules that read the last three name them too; their
/// tests check that the names agree.
inline constexpr std::array<std::string_view, 12> kApplicationKeys = {
    "InstallPath",    "LogPath",      "ProbeTool",      "ServerName",
    "ServerPort",     "AgentPort",    "AgentMediaRoot", "AgentMediaPath",
    "LogLevel",       "DebugOptions", "AgentAllowedPeers", "InitialConnect",
};

}  // namespace dusk

#endif  // DUSK_CONFIG_CONFIG_KEYS_H_
