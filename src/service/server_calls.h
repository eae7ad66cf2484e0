#ifndef DUSK_SERVICE_SERVER_CALLS_H_
#define DUSK_SERVICE_SERVER_CALLS_H_

// The service loop's conversations with the KESTA Server go through this
// seam, so a pass can be run against a fake server that counts the calls
// and answers as a test wants. The real server works on the process-wide
// device record (thisDeviceInfo) and service scan record (currServiceScan);
// the listener calls join here when their module lands.

#include <string>
#include <utility>

#include "util/layout.h"

namespace dusk {

/// What the loop asks of the server.
class ServerCalls {
 public:
  virtual ~ServerCalls() = default;
  /// Probes |host|:|port|; true when the server answered. |zone| receives
  /// the zone the answer names, if any.
  virtual bool ProbeServer(const std::string& host, const std::string& port,
                           std::string* zone) = 0;
  /// Gathers the device record for the server |host|:|port|; true when
  /// gathered.
  virtual bool GatherDeviceInfo(const std::string& host, const std::string& port) = 0;
  /// True when the gathered record needs a full registration with
  /// |host|:|port|.
  virtual bool NeedToRegister(const std::string& host, const std::string& port) = 0;
  /// Register, Startup, Status and UnRegister of the gathered record; true
  /// when the exchange succeeded.
  virtual bool Register(const std::string& host, const std::string& port) = 0;
  virtual bool Startup(const std::string& host, const std::string& port) = 0;
  virtual bool Status(const std::string& host, const std::string& port) = 0;
  virtual bool UnRegister(const std::string& host, const std::string& port) = 0;
  /// Scans the agent services into the scan record; true when scanned.
  virtual bool ScanServices() = 0;
  /// True when the scan differs from the one last reported.
  virtual bool NeedToSendServiceScan() = 0;
};

/// The real server, through the server module, for a device laid out as
/// |layout| says.
class KestaServerCalls final : public ServerCalls {
 public:
  explicit KestaServerCalls(Layout layout) : layout_(std::move(layout)) {}
  bool ProbeServer(const std::string& host, const std::string& port,
                   std::string* zone) override;
  bool GatherDeviceInfo(const std::string& host, const std::string& port) override;
  bool NeedToRegister(const std::string& host, const std::string& port) override;
  bool Register(const std::string& host, const std::string& port) override;
  bool Startup(const std::string& host, const std::string& port) override;
  bool Status(const std::string& host, const std::string& port) override;
  bool UnRegister(const std::string& host, const std::string& port) override;
  bool ScanServices() override;
  bool NeedToSendServiceScan() override;

 private:
  Layout layout_;
};

}  // namespace dusk

#endif  // DUSK_SERVICE_SERVER_CALLS_H_
