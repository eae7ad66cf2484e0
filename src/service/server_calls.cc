#include "service/server_calls.h"

#include "server/probe.h"

namespace dusk {

bool KestaServerCalls::ProbeServer(const std::string& host, const std::string& port,
                                   std::string* zone) {
  return _probeKESTAServer(host, port, zone);
}

}  // namespace dusk
