#ifndef DUSK_INSTALL_INSTALL_TEST_AGENT_H_
#define DUSK_INSTALL_INSTALL_TEST_AGENT_H_

// Test stand-ins for the agent's programs: shell scripts that record how
// they were called, and the events of an install read back from its log
// lines. Only for the tests inside tests/sandbox.

#include <string>
#include <vector>

#include "support/test_util.h"

namespace dusk::test {

/// Where the stand-ins record their calls, one line each:
/// "NAME ARG... @WORKING_DIRECTORY".
inline constexpr char kAgentCallsFile[] = "/tmp/kesta/calls";

/// A shell script that records its call in kAgentCallsFile, then runs
/// |body|.
std::string RecorderScript(const std::string& body = "");

/// Writes |content| to |path| with mode 0755, creating its directories.
void WriteProgram(const std::string& path, const std::string& content);

/// Puts recorder scripts named |programs| into /opt/kesta/agent.
void LayOutAgent(const std::vector<std::string>& programs);

/// The recorded calls, in order.
std::vector<std::string> AgentCalls();

/// The events logged while |log| listened, each as "TYPE|DATA" (DATA as
/// sent, URL form encoded).
std::vector<std::string> LoggedEvents(const LogCapture& log);

/// "installagentfailed|" and |text| as an event carries it.
std::string FailureEvent(const std::string& text);

}  // namespace dusk::test

#endif  // DUSK_INSTALL_INSTALL_TEST_AGENT_H_
