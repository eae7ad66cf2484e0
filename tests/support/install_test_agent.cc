#include "support/install_test_agent.h"

#include <sys/stat.h>

#include <filesystem>
#include <sstream>

namespace dusk::test {

std::string AgentCallsFile(const TestLayout& layout) { return layout.On("/calls"); }

std::string RecorderScript(const TestLayout& layout, const std::string& body) {
  return "#!/bin/sh\necho \"${0##*/}${*:+ $*} @$(pwd)\" >> '" + AgentCallsFile(layout) +
         "'\n" + body + "\n";
}

void WriteProgram(const std::string& path, const std::string& content) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  WriteFile(path, content);
  chmod(path.c_str(), 0755);
}

void LayOutAgent(const TestLayout& layout, const std::vector<std::string>& programs) {
  for (const std::string& program : programs)
    WriteProgram(layout.layout().agentDir + "/" + program, RecorderScript(layout));
}

std::vector<std::string> AgentCalls(const TestLayout& layout) {
  std::vector<std::string> calls;
  std::istringstream in(ReadFile(AgentCallsFile(layout)));
  for (std::string line; std::getline(in, line);) calls.push_back(line);
  return calls;
}

std::string FailureEvent(const std::string& text) {
  return std::string(kEventInstallFailed) + "|" + text;
}

}  // namespace dusk::test
