#ifndef DUSK_SERVER_REGISTRATION_H_
#define DUSK_SERVER_REGISTRATION_H_

// The device's registration with the KESTA Server: Register (the server
// assigns the DN), Startup (the device announces itself again under its
// DN), Status (the agent services) and UnRegister (the device signs off).
// Registered state lives only in the configuration: the DN in key devdn of
// section DeviceInfo with the record registered, and the server in
// ServerName and ServerPort. A Startup or Status answer may rename the
// device without a full registration.

#include <string>

#include "util/attr_table.h"
#include "util/layout.h"

namespace dusk {

/// True, after its Info line "Need to Register - ...", when the stored DN
/// is missing or empty, the stored server differs from |host|:|port| (or is
/// missing), or the stored record differs from |record|.
bool NeedToRegister(const std::string& host, const std::string& port, const AttrTable& record);

/// Sends Register with |record| and the stored DN. True when the server
/// accepted it and a DN is known (its answer, else the DN sent); the DN is
/// then set in |record| and the record stored (a new DN also in the agent's
/// object file of |layout|).
bool Register(const Layout& layout, const std::string& host, const std::string& port,
              AttrTable& record);

/// Sends Startup under the stored DN; false without a stored DN (nothing
/// sent) or when the server refused. A new DN in the answer is set in
/// |record| and stored with the agent's object file; the other attributes
/// are not stored.
bool Startup(const Layout& layout, const std::string& host, const std::string& port,
             AttrTable& record);

/// Sends Status with |record| and the service scan |scan| under the stored
/// DN; false without a stored DN (nothing sent) or when the server refused.
/// On success a new DN is stored with the record (and the agent's object
/// file), and |scan| is stored.
bool Status(const Layout& layout, const std::string& host, const std::string& port,
            AttrTable& record, const AttrTable& scan);

/// Sends UnRegister under the stored DN; false without one (nothing sent)
/// or when the server refused. The stored DN and record stay.
bool UnRegister(const std::string& host, const std::string& port, const AttrTable& record);

}  // namespace dusk

#endif  // DUSK_SERVER_REGISTRATION_H_
