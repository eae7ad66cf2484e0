#include "device/device_record.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "config/config_file.h"
#include "device/attr_names.h"
#include "log/log.h"
#include "util/attr_list.h"
#include "util/files.h"
#include "util/product.h"
#include "util/unique_fd.h"

namespace dusk {

namespace {

constexpr char kDevDnKey[] = "devdn";

/// The stored value of |key| in DeviceInfo; empty when it is missing.
std::string StoredValue(std::string_view key) {
  std::string value;
  GetConfigString(ConfigSection::kDeviceInfo, key, &value);
  return value;
}

}  // namespace

size_t AgentDnPadding(size_t dn_length) {
  return dn_length <= 15 ? 16 - dn_length : dn_length % 16;
}

std::string BuildAgentObject(std::string_view object, std::string_view dn) {
  const size_t padding = AgentDnPadding(dn.size());
  std::string result(object);
  result.resize(std::max(result.size(), kAgentDnOffset + dn.size() + padding), '\0');
  result[kAgentDnLengthOffset1] = static_cast<char>(dn.size() & 0xff);
  result[kAgentDnLengthOffset2] = static_cast<char>(dn.size() & 0xff);
  std::copy(dn.begin(), dn.end(), result.begin() + kAgentDnOffset);
  std::fill_n(result.begin() + kAgentDnOffset + dn.size(), padding, '\0');
  return result;
}

bool StoreDeviceInfoToReg(const Layout& layout, const AttrTable& record) {
  LogMessage(kLogTrace, "StoreDeviceInfoToReg:");
  std::vector<ConfigPair> changed;
  const std::string* new_dn = nullptr;
  for (const Attr& attr : record) {
    if (StoredValue(attr.name) == attr.value) continue;
    changed.push_back({attr.name, attr.value});
    if (attr.name == kDevDnKey) new_dn = &attr.value;
  }
  // A first registration changes most of the record: one rewrite for all of
  // it spares the flash, and dusk.conf.prev keeps the file from before it.
  SetConfigStrings(ConfigSection::kDeviceInfo, changed);
  if (new_dn) UpdateAgentDeviceDn(layout, *new_dn);
  return true;
}

bool GetDeviceInfoFromReg(AttrTable& record) {
  LogMessage(kLogTrace, "GetDeviceInfoFromReg:");
  for (std::string_view name : regattrs) SetAttrValue(record, name, StoredValue(name));
  return true;
}

bool DevicesMatch(const AttrTable& current, const AttrTable& stored,
                  std::string* differences) {
  LogMessage(kLogTrace, "DevicesMatch:");
  return AttrsMatch(current, stored, regattrs, differences);
}

std::string StoredDeviceDn() { return StoredValue(kDevDnKey); }

void SetDeviceDn(const Layout& layout, std::string_view dn) {
  SetConfigString(ConfigSection::kDeviceInfo, kDevDnKey, dn);
  UpdateAgentDeviceDn(layout, dn);
}

void RefreshAgentDeviceDn(const Layout& layout) {
  const std::string dn = StoredDeviceDn();
  if (!dn.empty()) UpdateAgentDeviceDn(layout, dn);
}

void UpdateAgentDeviceDn(const Layout& layout, std::string_view dn) {
  if (dn.empty()) return;
  // The length bytes hold 8 bits: a longer DN would leave the agent a wrong
  // length, so no object file is better than a corrupt one.
  if (dn.size() > kDeviceDnMax) {
    LogMessage(kLogError,
               "Device DN of %zu bytes is too long, Cannot update KESTA Agent's %s",
               dn.size(), kAgentObjectFile);
    return;
  }
  std::string install_path;
  if (GetConfigString(ConfigSection::kApplication, "InstallPath", &install_path) !=
          ConfigRead::kFound ||
      install_path.empty()) {
    LogMessage(kLogError, "Invalid %s Installation", kServiceName);
    return;
  }
  const std::string template_path = install_path + "/" + kAgentObjectTemplate;
  if (!FileExists(template_path)) {
    LogMessage(kLogWarn, "Missing %s File, Cannot update KESTA Agent's %s",
               kAgentObjectTemplate, kAgentObjectFile);
    return;
  }
  // The agent is not installed.
  if (layout.agentObjectDir.empty() || !FileExists(layout.agentObjectDir)) return;
  const std::string target = layout.agentObjectDir + "/" + kAgentObjectFile;

  struct stat st;
  if (stat(template_path.c_str(), &st) != 0 || st.st_size == 0) return;
  const long template_size = static_cast<long>(st.st_size);
  // The DN goes after the template's first kAgentDnOffset bytes; a shorter
  // template is not the agent's, and padding it out would invent its bytes.
  if (static_cast<size_t>(template_size) < kAgentDnOffset) {
    LogMessage(kLogError,
               "Template %s is too short (%ld bytes, needs %zu), Cannot update KESTA "
               "Agent's %s",
               template_path.c_str(), template_size, kAgentDnOffset, kAgentObjectFile);
    return;
  }
  UniqueFd source(open(template_path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!source) {
    LogMessage(kLogError, "Failed to Open %s - %s", template_path.c_str(),
               ErrorText(errno).c_str());
    return;
  }
  errno = 0;
  const std::string object = ReadUpTo(source.get(), static_cast<size_t>(template_size));
  if (object.size() < static_cast<size_t>(template_size)) {
    LogMessage(kLogError, "Failed to Read %ld bytes from %s, got %ld - %s", template_size,
               template_path.c_str(), static_cast<long>(object.size()),
               ErrorText(errno).c_str());
    return;
  }
  // The agent reads this file at any moment: it is replaced whole, never
  // truncated and rewritten, so a full disk or a power cut leaves the old
  // object file in place.
  const ReplaceResult replaced = ReplaceFileAtomically(target, BuildAgentObject(object, dn));
  if (!replaced.ok())
    LogMessage(kLogError, "Failed to Write content to file %s - %s", target.c_str(),
               ErrorText(replaced.error).c_str());
}

}  // namespace dusk
