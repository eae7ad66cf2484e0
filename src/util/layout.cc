#include "util/layout.h"

namespace dusk {

Layout DeviceLayout() {
  Layout layout;
  layout.configDir = "/etc/kesta/dusk";
  layout.defaultLogDir = "/etc/kesta/dusk/log";
  layout.agentDir = "/opt/kesta/agent";
  layout.agentObjectDir = "/etc/kesta/agent/lib";
  layout.defaultMediaDir = "/tmp/kesta/dusk/media";
  layout.procRoot = "/proc";
  layout.dmiDir = "/sys/class/dmi/id";
  layout.servicePidFile = "/run/dusk.pid";
  return layout;
}

}  // namespace dusk
