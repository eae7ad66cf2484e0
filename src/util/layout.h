#ifndef DUSK_UTIL_LAYOUT_H_
#define DUSK_UTIL_LAYOUT_H_

// Where the program finds and puts things on the device: one value holding
// every directory it reaches by a fixed name. main builds it once from the
// device's own paths (DeviceLayout) and hands it to whatever touches one of
// them, so that no other part names a directory of its own and a test can
// lay the whole tree out under a temporary directory.

#include <string>

namespace dusk {

/// The program's directories.
struct Layout {
  /// Holds dusk.conf, its ".prev" copy and its lock.
  std::string configDir;
  /// LogPath that a new configuration file names.
  std::string defaultLogDir;
  /// Where the KESTA Agent is installed: its daemons, zelskman, uninstall.
  std::string agentDir;
  /// Where the agent reads its object file KMA.QDX from.
  std::string agentObjectDir;
  /// AgentMediaPath that a new configuration file names.
  std::string defaultMediaDir;
  /// The process table: one directory per pid with its cmdline, and the
  /// exe link of the own process.
  std::string procRoot;
  /// The kernel's DMI export, which biosinfo.so reads.
  std::string dmiDir;
  /// The running service's pid, for a service manager (the program itself
  /// finds the service by name).
  std::string servicePidFile;
  /// The program's own directory, with biosinfo.so beside it; "" until the
  /// program has found itself (GetProgramPaths).
  std::string installDir;
};

/// The directories of a device, installDir left empty.
Layout DeviceLayout();

}  // namespace dusk

#endif  // DUSK_UTIL_LAYOUT_H_
