#ifndef DUSK_SERVICE_SERVER_CALLS_H_
#define DUSK_SERVICE_SERVER_CALLS_H_

// The service loop's conversations with the KESTA Server go through this
// seam, so a pass can be run against a fake server that counts the calls
// and answers as a test wants. The registration, service scan and listener
// calls join the probe here when their modules land.

#include <string>

namespace dusk {

/// What the loop asks of the server.
class ServerCalls {
 public:
  virtual ~ServerCalls() = default;
  /// Probes |host|:|port|; true when the server answered. |zone| receives
  /// the zone the answer names, if any.
  virtual bool ProbeServer(const std::string& host, const std::string& port,
                           std::string* zone) = 0;
};

/// The real server, through the server module.
class KestaServerCalls final : public ServerCalls {
 public:
  bool ProbeServer(const std::string& host, const std::string& port,
                   std::string* zone) override;
};

}  // namespace dusk

#endif  // DUSK_SERVICE_SERVER_CALLS_H_
