#ifndef DUSK_APP_SERVICE_CONTROL_H_
#define DUSK_APP_SERVICE_CONTROL_H_

// Starting the service and controlling it from the command line. There is
// no pid file: the service is whichever other process runs a program named
// "dusk", found by reading argv[0] of every process in the layout's process
// table, and the commands reach it only by signals. Its pid file is written
// for service managers alone.

#include <cstddef>
#include <string>
#include <string_view>

#include "service/service_event.h"
#include "util/layout.h"

namespace dusk {

/// Name under which the service is looked for, whatever this program was
/// started as.
inline constexpr char kServiceProcessName[] = "dusk";

/// Set at start-up: the log file was opened (or logging is off). The
/// service is not started without it.
extern bool logfileInitialized;

/// Signal that carries |event| (ServiceEvent) to the service: Stop SIGTERM,
/// Pause SIGUSR1, Resume SIGUSR2, Interrupt SIGHUP; -1 for anything else.
int EventSignalNumber(ServiceEvent event);

/// The start of the service, when no command was given: refuses without a
/// log file ("The KESTA-DUSK Service was not started: its log file cannot be
/// opened"), or when a service runs ("The KESTA-DUSK Service is already
/// running - pid %d"); otherwise forks a child that waits the
/// service_start_delay (util/timings.h; a stop cuts it short) and becomes
/// the service of |layout| talking to the server named by |host_option| and
/// |port_option| (or the configured one), writes the child's pid to the
/// layout's pid file (a failure is a warning: the service runs all the
/// same) and reports "New KESTA-DUSK Service started pid=%d". Returns main's exit code (in the parent only).
int StartService(const Layout& layout, bool log_file_initialized,
                 const std::string& host_option, const std::string& port_option);

/// "-stop", "-pause", "-resume", "-interrupt": sends |event|'s signal to the
/// service running in |layout|'s process table. Returns main's exit code.
int SendServiceEvent(const Layout& layout, ServiceEvent event);

/// SendServiceEvent to the service found at |pid| (0 = none running): with
/// no service Stop succeeds and the others fail, each with "The KESTA-DUSK
/// Service is not currently running"; a failed kill is reported with its
/// error text.
int SendServiceEventTo(ServiceEvent event, int pid);

}  // namespace dusk

#endif  // DUSK_APP_SERVICE_CONTROL_H_
