#include "device/smbios_info.h"

#include <algorithm>
#include <string>
#include <vector>

#include "device/attr_names.h"
#include "device/device_info.h"
#include "device/shared_library.h"
#include "log/log.h"
#include "util/attr_list.h"
#include "util/strings.h"

namespace dusk {

namespace {

/// Zero bytes after the data: a NextPair that reads a word past the last
/// record the walk checked still reads memory of ours.
constexpr size_t kBufferSlack = 16;

/// The library's data query, from the named DMI export when it takes one.
bool QueryBiosInfo(const BiosInfoEntryPoints& library, void* buffer, unsigned short* size) {
  if (library.get_full_bios_info_from != nullptr)
    return library.get_full_bios_info_from(library.dmi_directory, buffer, size) != 0;
  return library.get_full_bios_info(buffer, size) != 0;
}

}  // namespace

bool ReadSmbiosAttributes(const BiosInfoEntryPoints& library, AttrTable& record) {
  unsigned short size = 0;
  if (!QueryBiosInfo(library, nullptr, &size)) {
    LogMessage(kLogFatal, "Failed to query GetFullBIOSInfo size");
    return false;
  }
  if (size == 0) {
    LogMessage(kLogFatal, "GetFullBIOSInfo returned no data");
    return false;
  }
  std::vector<uint8_t> buffer(size + kBufferSlack, 0);
  unsigned short filled = size;
  if (!QueryBiosInfo(library, buffer.data(), &filled)) {
    LogMessage(kLogFatal, "Failed to run GetFullBIOSInfo");
    return false;
  }
  const SmbiosWalk walk = WalkSmbiosData(
      std::span<const uint8_t>(buffer.data(), std::min(filled, size)), library.next_pair);

  for (const SmbiosField& field : walk.fields) {
    if (strEqualNoCase(field.section, "SystemInformation")) {
      if (IsNameInList(smsec_system_attrs, field.name))
        SetAttrValue(record, "smsystem" + field.name, field.value);
    } else if (strEqualNoCase(field.section, "SystemEnclosure")) {
      if (IsNameInList(smsec_enc_attrs, field.name))
        SetAttrValue(record, "smenclosure" + field.name, field.value);
    }
  }
  if (!walk.error.empty())
    LogMessage(kLogError, "Malformed SMBIOS data from %s, walk ended: %s",
               kBiosInfoLibrary, walk.error.c_str());
  return true;
}

bool GetSMBIOSInfo(const Layout& layout, AttrTable& record) {
  LogMessage(kLogTrace, "GetSMBIOSInfo:");
  const std::string path = layout.installDir + "/" + kBiosInfoLibrary;
  SharedLibrary library = SharedLibrary::Open(path.c_str(), RTLD_NOW | RTLD_GLOBAL);
  if (!library) {
    const char* why = dlerror();
    LogMessage(kLogFatal, "Failed to load Library %s, error=%s", path.c_str(),
               why ? why : "");
    return false;
  }
  auto lookup = [&library](const char* symbol) {
    void* address = library.Symbol(symbol);
    if (address == nullptr)
      LogMessage(kLogFatal, "Failed to get address of %s from Library %s", symbol,
                 kBiosInfoLibrary);
    return address;
  };
  void* get_full_bios_info = lookup("GetFullBIOSInfo");
  if (get_full_bios_info == nullptr) return false;
  void* next_pair = lookup("NextPair");
  if (next_pair == nullptr) return false;
  BiosInfoEntryPoints entry_points;
  entry_points.get_full_bios_info =
      reinterpret_cast<GetFullBIOSInfoFn>(get_full_bios_info);
  entry_points.next_pair = reinterpret_cast<SmbiosNextPair>(next_pair);
  // An older library has no such entry point and reads the device's own
  // export; that is no failure.
  if (!layout.dmiDir.empty()) {
    entry_points.get_full_bios_info_from =
        reinterpret_cast<GetFullBIOSInfoFromFn>(library.Symbol(kBiosInfoFromDirectory));
    entry_points.dmi_directory = layout.dmiDir.c_str();
  }
  return ReadSmbiosAttributes(entry_points, record);
}

}  // namespace dusk
