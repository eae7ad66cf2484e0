#include "device/service_scan.h"

#include <vector>

#include "config/config_file.h"
#include "device/attr_names.h"
#include "log/log.h"
#include "util/attr_list.h"
#include "util/files.h"
#include "util/process.h"
#include "util/program.h"

namespace dusk {

AttrTable currServiceScan(kServiceScanSlots);

namespace {

/// Capacity of the differences text of a comparison.
constexpr size_t kDifferencesCapacity = 2048;

struct Daemon {
  std::string_view name;
  const char* fullname;
};
constexpr Daemon kDaemons[] = {
    {"zelexecd", "KESTA Notify Daemon"},
    {"zelsched", "KESTA Scheduler Daemon"},
};

void AppendDescription(std::string* description, size_t capacity, const char* status,
                       const std::string& path, const char* fullname) {
  TclListAppendAttr(description, capacity, "status", status);
  TclListAppendAttr(description, capacity, "type", "single");
  TclListAppendAttr(description, capacity, "mode", "boot");
  TclListAppendAttr(description, capacity, "path", path);
  TclListAppendAttr(description, capacity, "fullname", fullname);
}

/// The stored description of |service|; "" when the key is missing.
std::string StoredScan(std::string_view service) {
  std::string value;
  GetConfigString(ConfigSection::kServiceScan, service, &value);
  return value;
}

}  // namespace

void ServiceQuery(const Layout& layout, std::string_view service_name,
                  std::string* description, size_t capacity) {
  const std::string name(service_name);
  LogMessage(kLogTrace, "ServiceQuery: svcname=%s", name.c_str());
  description->clear();
  LogMessage(kLogDebug, "Querying Service %s", name.c_str());
  if (service_name == agentservices[0]) {
    AppendDescription(description, capacity, "started", cmdPath, "KESTA Quillfarm");
    return;
  }
  for (const Daemon& daemon : kDaemons) {
    if (service_name != daemon.name) continue;
    const std::string path = layout.agentDir + "/" + name;
    if (layout.agentDir.empty() || !FileExists(path)) return;
    const char* status =
        FindProcessByName(layout.procRoot, daemon.name) != 0 ? "started" : "stopped";
    AppendDescription(description, capacity, status, path, daemon.fullname);
    return;
  }
}

void AgentServiceScan(const Layout& layout, std::string* own, std::string* notify,
                      std::string* scheduler, size_t capacity) {
  own->clear();
  notify->clear();
  scheduler->clear();
  LogMessage(kLogTrace, "AgentServiceScan:");
  std::string* descriptions[] = {own, notify, scheduler};
  for (size_t i = 0; i < agentservices.size(); ++i) {
    ServiceQuery(layout, agentservices[i], descriptions[i], capacity);
    LogMessage(kLogDebug, "%s service query returned \"%s\"",
               std::string(agentservices[i]).c_str(), descriptions[i]->c_str());
  }
}

bool GetServiceScan(const Layout& layout, AttrTable& scan) {
  LogMessage(kLogTrace, "GetServiceScan:");
  std::string own, notify, scheduler;
  AgentServiceScan(layout, &own, &notify, &scheduler, kTclLineCapacity);
  SetAttrValue(scan, agentservices[0], own);
  SetAttrValue(scan, agentservices[1], notify);
  SetAttrValue(scan, agentservices[2], scheduler);
  return true;
}

bool GetServiceScanFromReg(AttrTable& scan) {
  LogMessage(kLogTrace, "GetServiceScanFromReg:");
  for (std::string_view service : agentservices)
    SetAttrValue(scan, service, StoredScan(service));
  return true;
}

bool ServiceScansMatch(const AttrTable& current, const AttrTable& stored,
                       std::string* differences) {
  LogMessage(kLogTrace, "ServiceScansMatch:");
  return AttrsMatch(current, stored, agentservices, differences);
}

bool NeedToSendServiceScan(const AttrTable& scan) {
  AttrTable stored(kServiceScanSlots);
  GetServiceScanFromReg(stored);
  std::string differences;
  if (ServiceScansMatch(scan, stored, &differences)) return false;
  if (differences.size() >= kDifferencesCapacity) differences.resize(kDifferencesCapacity - 1);
  LogMessage(kLogInfo, "Need to Send Service Scan - Different Service Info found for: %s",
             differences.c_str());
  return true;
}

bool StoreServiceScanToReg(const AttrTable& scan) {
  LogMessage(kLogTrace, "StoreServiceScanToReg:");
  std::vector<ConfigPair> changed;
  for (const Attr& attr : scan) {
    if (StoredScan(attr.name) != attr.value) changed.push_back({attr.name, attr.value});
  }
  SetConfigStrings(ConfigSection::kServiceScan, changed);
  return true;
}

void AppendServiceScanData(std::string* body, size_t capacity, const AttrTable& scan) {
  std::string data;
  for (const Attr& attr : scan) {
    if (!attr.value.empty()) TclListAppendAttr(&data, capacity, attr.name, attr.value);
  }
  if (!data.empty()) TclListAppendAttr(body, capacity, "data", data);
}

}  // namespace dusk
