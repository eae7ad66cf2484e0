#ifndef DUSK_DEVICE_SERVICE_SCAN_H_
#define DUSK_DEVICE_SERVICE_SCAN_H_

// Which KESTA agent services the device has and whether they run: this
// program's own service and the agent's two daemons, each described by a
// small Tcl list. The scan last reported to the server is kept in section
// ServiceScan of the configuration, one key per service, so the service
// sends Status only when a description changed.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "util/attr_table.h"
#include "util/layout.h"

namespace dusk {

/// Slots of a service scan record.
inline constexpr int kServiceScanSlots = 10;

/// The scan record of the process: one attribute per service of
/// agentservices, its description as value ("" for an absent service).
extern AttrTable currServiceScan;

/// The description of |service_name|: status, type, mode, path and fullname
/// for "kesta-dusk" (always started) and for a daemon whose executable
/// exists in |layout|.agentDir (started when a process of that name runs in
/// |layout|.procRoot); "" for an absent daemon or another name. Attributes
/// that do not fit |capacity| are left out with the Buffer full line.
void ServiceQuery(const Layout& layout, std::string_view service_name,
                  std::string* description, size_t capacity);

/// Queries "kesta-dusk", "zelexecd" and "zelsched" in this order.
void AgentServiceScan(const Layout& layout, std::string* own, std::string* notify,
                      std::string* scheduler, size_t capacity);

/// Scans and sets the three attributes of |scan|, empty ones included.
/// Always true.
bool GetServiceScan(const Layout& layout, AttrTable& scan);

/// Sets each service of |scan| to its stored description, "" when the key
/// is missing. Always true.
bool GetServiceScanFromReg(AttrTable& scan);

/// True when |current| and |stored| describe every service alike;
/// |differences| gets the names of those that differ.
bool ServiceScansMatch(const AttrTable& current, const AttrTable& stored,
                       std::string* differences);

/// True, after the Info line "Need to Send Service Scan - Different Service
/// Info found for: NAMES", when |scan| differs from the stored scan.
bool NeedToSendServiceScan(const AttrTable& scan);

/// Writes each attribute of |scan| whose stored value differs. Always true.
bool StoreServiceScanToReg(const AttrTable& scan);

/// Appends to |body| (a Tcl list of |capacity|) the attribute data: the
/// list of the non-empty descriptions of |scan| by service name. Nothing
/// when every description is empty.
void AppendServiceScanData(std::string* body, size_t capacity, const AttrTable& scan);

}  // namespace dusk

#endif  // DUSK_DEVICE_SERVICE_SCAN_H_
