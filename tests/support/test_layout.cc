#include "support/test_layout.h"

#include <filesystem>

#include "config/config_file.h"
#include "util/program.h"

namespace dusk::test {

TestLayout::TestLayout() {
  layout_.configDir = On("/etc/kesta/dusk");
  layout_.defaultLogDir = On("/etc/kesta/dusk/log");
  layout_.agentDir = On("/opt/kesta/agent");
  layout_.agentObjectDir = On("/etc/kesta/agent/lib");
  layout_.defaultMediaDir = On("/tmp/kesta/dusk/media");
  layout_.procRoot = On("/proc");
  layout_.dmiDir = On("/sys/class/dmi/id");
  layout_.servicePidFile = On("/run/dusk.pid");
  std::filesystem::create_directories(On("/run"));
  std::string program;
  GetProgramPaths("/proc", "", &program, &layout_.installDir);
  for (const std::string* dir : {&layout_.configDir, &layout_.procRoot, &layout_.dmiDir})
    std::filesystem::create_directories(*dir);
  SetConfigDirectory(layout_.configDir);
}

TestLayout::~TestLayout() { SetConfigDirectory(""); }

void TestLayout::AddProcess(int pid, const std::string& cmdline) const {
  const std::string dir = layout_.procRoot + "/" + std::to_string(pid);
  std::filesystem::create_directories(dir);
  WriteFile(dir + "/cmdline", cmdline);
}

}  // namespace dusk::test
