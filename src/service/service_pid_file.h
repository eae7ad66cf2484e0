#ifndef DUSK_SERVICE_SERVICE_PID_FILE_H_
#define DUSK_SERVICE_SERVICE_PID_FILE_H_

// The service's pid file, for a service manager that must tell the service
// from whatever else its start left running (agent installers and daemons
// outlive the service on purpose). The program itself never reads it: the
// control commands find the service by name.

#include <string>

namespace dusk {

/// Writes |pid| and a line break to |path| through ReplaceFileAtomically,
/// mode 0644, so a reader sees the old pid or the new one, never a part.
/// False on failure, with the errno of the failed step in |*error|.
bool WriteServicePidFile(const std::string& path, int pid, int* error);

/// Removes |path| when it names |pid|. A file naming another pid belongs to
/// a service started since and stays; a missing file is fine.
void RemoveServicePidFile(const std::string& path, int pid);

}  // namespace dusk

#endif  // DUSK_SERVICE_SERVICE_PID_FILE_H_
