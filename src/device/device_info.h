#ifndef DUSK_DEVICE_DEVICE_INFO_H_
#define DUSK_DEVICE_DEVICE_INFO_H_

// Gathering the attributes that identify the device to the server: its
// names, the address through which it reaches the server, the interface
// behind that address, the operating system, and the SMBIOS identity that
// biosinfo.so reads. Attributes are set one by one, so a value gathered
// again replaces the old one and one not gathered this time keeps its
// earlier value; a fresh record fills its slots in the order of gathering,
// which is the order request bodies list them in.

#include <span>
#include <string>
#include <string_view>

#include "util/attr_table.h"
#include "util/layout.h"

namespace dusk {

/// Slots of the device record.
inline constexpr int kDeviceInfoSlots = 32;

/// The device record of the process, gathered before each registration.
extern AttrTable thisDeviceInfo;

/// File name of the SMBIOS library, looked for in the program's directory.
inline constexpr char kBiosInfoLibrary[] = "biosinfo.so";

/// Host names and addresses, the SMBIOS identity (GetSMBIOSInfo) and the
/// interface, for the server at |host|:|port|. False (after an Error line
/// naming the step) on the first step that fails.
bool GetDeviceInfo(const Layout& layout, const std::string& host, const std::string& port,
                   AttrTable& record);

/// hostname, dnshostname, detecteddnshostname, ipaddress, detectedipaddress
/// and operatingsystem: the addresses are the local end of a TCP connection
/// to |host|:|port| (nothing is sent), the DNS name is the reverse lookup of
/// that address or else the host name. False, after an Error line, when the
/// server cannot be reached or the socket calls fail.
bool GetHostInfo(const std::string& host, const std::string& port, AttrTable& record);

/// The SMBIOS attributes read through |layout|.installDir + "/biosinfo.so",
/// from the DMI export in |layout|.dmiDir when the library takes a
/// directory (kBiosInfoFromDirectory), else from the library's own. False,
/// after a Fatal line, when the library cannot be loaded or gives no data;
/// malformed data ends the walk with an Error line and keeps what came
/// before it.
bool GetSMBIOSInfo(const Layout& layout, AttrTable& record);

/// pxmhdwlana, pxmsubnet and pxmipnetworknumber of the up, running,
/// non-loopback interface that carries the record's detectedipaddress.
/// True without a change when no interface carries it; false, after an
/// Error line, when the interfaces cannot be listed or queried.
bool GetNetInfo(AttrTable& record);

/// Whether |name| is in |list| (up to its first empty entry), letter case
/// ignored.
bool IsNameInList(std::span<const std::string_view> list, std::string_view name);

}  // namespace dusk

#endif  // DUSK_DEVICE_DEVICE_INFO_H_
