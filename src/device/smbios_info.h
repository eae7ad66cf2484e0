#ifndef DUSK_DEVICE_SMBIOS_INFO_H_
#define DUSK_DEVICE_SMBIOS_INFO_H_

// The SMBIOS attributes from biosinfo.so's two entry points: a size query,
// the data, and the walk over it (device/smbios_walk.h). GetSMBIOSInfo
// (device/device_info.h) loads the library and hands its entry points here.

#include "device/smbios_walk.h"
#include "util/attr_table.h"

namespace dusk {

/// biosinfo.so's GetFullBIOSInfo: with a null buffer it stores the size of
/// its data; with a buffer of |*size| bytes it fills it. Non-zero on success.
using GetFullBIOSInfoFn = unsigned char (*)(void* buffer, unsigned short* size);

/// The optional entry point of a library that reads the DMI export in a
/// directory the caller names; otherwise as GetFullBIOSInfo.
inline constexpr char kBiosInfoFromDirectory[] = "GetFullBIOSInfoFrom";
using GetFullBIOSInfoFromFn = unsigned char (*)(const char* directory, void* buffer,
                                                unsigned short* size);

/// The entry points of the library.
struct BiosInfoEntryPoints {
  GetFullBIOSInfoFn get_full_bios_info = nullptr;
  SmbiosNextPair next_pair = nullptr;
  /// When the library has it: used in place of get_full_bios_info, with
  /// |dmi_directory|.
  GetFullBIOSInfoFromFn get_full_bios_info_from = nullptr;
  const char* dmi_directory = nullptr;
};

/// Sets the SystemInformation fields productname, uuid, serialnumber as
/// smsystem + field and the SystemEnclosure fields serialnumber,
/// assettagnumber as smenclosure + field (field names as the library spells
/// them). False, after a Fatal line, when the library reports a failure or
/// no data; a malformed buffer ends the walk with an Error line and true.
bool ReadSmbiosAttributes(const BiosInfoEntryPoints& library, AttrTable& record);

}  // namespace dusk

#endif  // DUSK_DEVICE_SMBIOS_INFO_H_
