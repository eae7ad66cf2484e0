#ifndef DUSK_TESTS_SUPPORT_TEST_LAYOUT_H_
#define DUSK_TESTS_SUPPORT_TEST_LAYOUT_H_

// The program's directories for a test: laid out under a temporary
// directory as on a device, so that a test of anything that touches them
// runs as any user, beside other tests, and sees nothing of the machine's
// own configuration, agent, processes or DMI export.

#include <string>

#include "support/test_util.h"
#include "util/layout.h"

namespace dusk::test {

/// A layout under a fresh root: ROOT/etc/kesta/dusk for the configuration,
/// ROOT/opt/kesta/agent for the agent, and so on, each directory named as
/// on a device under ROOT. The configuration directory, an empty process
/// table (ROOT/proc) and an empty DMI export exist from the start; the
/// agent's directories do not (no agent is installed). installDir is the
/// test binary's own directory, where biosinfo.so is built. While it lives
/// the configuration module reads and writes ROOT/etc/kesta/dusk/dusk.conf;
/// afterwards no configuration is set and the root is gone.
class TestLayout {
 public:
  TestLayout();
  ~TestLayout();
  TestLayout(const TestLayout&) = delete;
  TestLayout& operator=(const TestLayout&) = delete;

  /// The layout, for the functions that take one; a test may change it.
  const Layout& layout() const { return layout_; }
  Layout& layout() { return layout_; }
  operator const Layout&() const { return layout_; }

  /// |device_path| (absolute, as on a device) under the root.
  std::string On(const std::string& device_path) const { return root_.path() + device_path; }
  /// dusk.conf and dusk.conf.prev.
  std::string conf() const { return layout_.configDir + "/dusk.conf"; }
  std::string prev() const { return layout_.configDir + "/dusk.conf.prev"; }

  /// Makes the process table show a process |pid| whose command line is
  /// |cmdline| (NUL-separated arguments).
  void AddProcess(int pid, const std::string& cmdline) const;

 private:
  TempDir root_;
  Layout layout_;
};

}  // namespace dusk::test

#endif  // DUSK_TESTS_SUPPORT_TEST_LAYOUT_H_
