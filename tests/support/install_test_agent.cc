#include "support/install_test_agent.h"

#include <sys/stat.h>

#include <filesystem>
#include <sstream>


namespace dusk::test {

std::string RecorderScript(const std::string& body) {
  return std::string("#!/bin/sh\necho \"${0##*/}${*:+ $*} @$(pwd)\" >> ") + kAgentCallsFile + "\n" +
         body + "\n";
}

void WriteProgram(const std::string& path, const std::string& content) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  WriteFile(path, content);
  chmod(path.c_str(), 0755);
}

void LayOutAgent(const std::vector<std::string>& programs) {
  for (const std::string& program : programs)
    WriteProgram("/opt/kesta/agent/" + program, RecorderScript());
}

std::vector<std::string> AgentCalls() {
  std::vector<std::string> calls;
  std::istringstream in(ReadFile(kAgentCallsFile));
  for (std::string line; std::getline(in, line);) calls.push_back(line);
  return calls;
}

std::string FailureEvent(const std::string& text) {
  return std::string(kEventInstallFailed) + "|" + text;
}

}  // namespace dusk::test
