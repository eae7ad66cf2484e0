#ifndef DUSK_DEVICE_DEVICE_RECORD_H_
#define DUSK_DEVICE_DEVICE_RECORD_H_

// The device record as last registered, kept in section DeviceInfo of the
// configuration (one key per attribute), and the device's DN in the agent's
// object file. The object file belongs to the agent: it is the agent's
// template with the DN and its length patched in at fixed offsets, and this
// program writes only those bytes. Nothing here fails its caller; problems
// are logged and the DN stays in the configuration.

#include <cstddef>
#include <string>
#include <string_view>

#include "util/attr_table.h"
#include "util/device_dn.h"
#include "util/layout.h"

namespace dusk {

/// The agent's object file (in the layout's agentObjectDir) and its
/// template (in InstallPath).
inline constexpr char kAgentObjectFile[] = "KMA.QDX";
inline constexpr char kAgentObjectTemplate[] = "NULLKMA.QDX";

/// Offsets of the two DN length bytes and of the DN text in the object file.
inline constexpr size_t kAgentDnLengthOffset1 = 18;
inline constexpr size_t kAgentDnLengthOffset2 = 34;
inline constexpr size_t kAgentDnOffset = 4112;

/// Zero bytes written after a DN of |dn_length| bytes: 16 - length up to 15
/// bytes, length mod 16 from 16 on (so 20 bytes get 4, 16 and 32 get none).
size_t AgentDnPadding(size_t dn_length);

/// The object file for |dn| (1 to kDeviceDnMax bytes) made from |object|,
/// the template's bytes: the length bytes, the DN and its padding replaced,
/// all other bytes kept, extended with zero bytes when the DN runs past the
/// template's end.
std::string BuildAgentObject(std::string_view object, std::string_view dn);

/// Writes every attribute of |record| whose stored value differs (a new
/// devdn also into the agent's object file of |layout|). Always true.
bool StoreDeviceInfoToReg(const Layout& layout, const AttrTable& record);

/// Sets every attribute of the device attribute list in |record| from its
/// stored key, empty when the key is missing. Always true.
bool GetDeviceInfoFromReg(AttrTable& record);

/// True when |current| and |stored| agree on every device attribute (a
/// missing one counts as empty); |differences| gets the differing names.
bool DevicesMatch(const AttrTable& current, const AttrTable& stored,
                  std::string* differences);

/// The stored device DN (devdn of DeviceInfo); "" when there is none.
std::string StoredDeviceDn();

/// Stores |dn| as devdn and writes it into the agent's object file.
void SetDeviceDn(const Layout& layout, std::string_view dn);

/// Writes the stored devdn, when there is one, into the agent's object file.
void RefreshAgentDeviceDn(const Layout& layout);

/// Rebuilds the agent's object file in |layout|.agentObjectDir from the
/// template in InstallPath with |dn|. Does nothing for an empty DN or when
/// the agent is not installed (no object directory); the old object file
/// is replaced whole, and stays as it was when the new one cannot be
/// written.
void UpdateAgentDeviceDn(const Layout& layout, std::string_view dn);

}  // namespace dusk

#endif  // DUSK_DEVICE_DEVICE_RECORD_H_
