#ifndef DUSK_TESTS_SUPPORT_INSTALL_TEST_AGENT_H_
#define DUSK_TESTS_SUPPORT_INSTALL_TEST_AGENT_H_

// Test stand-ins for the agent's programs: shell scripts that record how
// they were called, and a reporter that keeps what an install reports. The
// agent goes into a test's layout (support/test_layout.h).

#include <string>
#include <string_view>
#include <vector>

#include "install/install_report.h"
#include "support/test_layout.h"
#include "support/test_util.h"

namespace dusk::test {

/// Where the stand-ins of |layout| record their calls, one line each:
/// "NAME ARG... @WORKING_DIRECTORY"; outside the agent's directory, which
/// an uninstall may remove.
std::string AgentCallsFile(const TestLayout& layout);

/// A shell script that records its call in AgentCallsFile(|layout|), then
/// runs |body|.
std::string RecorderScript(const TestLayout& layout, const std::string& body = "");

/// Writes |content| to |path| with mode 0755, creating its directories.
void WriteProgram(const std::string& path, const std::string& content);

/// Puts recorder scripts named |programs| into the agent directory of
/// |layout|.
void LayOutAgent(const TestLayout& layout, const std::vector<std::string>& programs);

/// The recorded calls, in order.
std::vector<std::string> AgentCalls(const TestLayout& layout);

/// Keeps what an install reports, in order.
class RecordingReporter final : public InstallReporter {
 public:
  void Progress(std::string_view text) override { progress.emplace_back(text); }
  void Event(std::string_view type, std::string_view text) override {
    events.push_back(std::string(type) + "|" + std::string(text));
  }
  void Arriving(const FileArrival& arrival) override {
    if (arrival.ended)
      arrivals.push_back(std::string(arrival.file) + " " + std::to_string(arrival.received) +
                         "/" + std::to_string(arrival.size));
  }
  std::vector<std::string> progress;
  /// "TYPE|TEXT" each.
  std::vector<std::string> events;
  /// The end of each file's arrival, "FILE RECEIVED/SIZE".
  std::vector<std::string> arrivals;
};

/// The event "installagentfailed" with |text|, as RecordingReporter keeps it.
std::string FailureEvent(const std::string& text);

}  // namespace dusk::test

#endif  // DUSK_TESTS_SUPPORT_INSTALL_TEST_AGENT_H_
