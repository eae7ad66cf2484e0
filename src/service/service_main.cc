#include "service/service_main.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "config/config_file.h"
#include "crypto/protected_value.h"
#include "device/device_record.h"
#include "install/exec_command.h"
#include "install/post_install.h"
#include "log/log.h"
#include "rexec/rexec_listener.h"
#include "service/service_event.h"
#include "service/service_log_level.h"
#include "service/service_pid_file.h"
#include "service/service_rexec.h"
#include "service/service_signals.h"
#include "service/service_timers.h"
#include "service/session_reporter.h"
#include "util/memory.h"
#include "util/stop_request.h"
#include "util/timings.h"

namespace dusk {

namespace {

/// Takes the server address again after the start or an event.
void RefreshServerAddress(ServiceContext& context) {
  ServiceState& state = context.state;
  if (!state.refreshServer) return;
  GetServerAddress(context.optionHost, context.optionPort, &state.host, &state.port);
  state.refreshServer = false;
}

/// Takes "serverprobed" from the file while no probe has succeeded here;
/// creates the key when it is missing (not when the file could not be read:
/// rewriting a file that cannot be read would lose it).
void LoadServerProbed(ProbeState* probe) {
  if (probe->serverProbed != 0) return;
  int value = 0;
  const ConfigRead read = GetConfigInt(ConfigSection::kConfig, kServerProbedKey, &value);
  if (read == ConfigRead::kFound) {
    probe->serverProbed = value;
    return;
  }
  probe->serverProbed = 0;
  probe->serverProbeAttempts = 0;
  if (read == ConfigRead::kMissing) SetConfigInt(ConfigSection::kConfig, kServerProbedKey, 0);
}

/// Probes the server on its schedule until it has answered once. False
/// when the probe time limit has expired.
bool ProbeServerOnSchedule(ServiceContext& context, time_t now) {
  ServiceState& state = context.state;
  ProbeState& probe = state.probe;
  if (probe.serverProbed != 0) return true;
  if (probe.initialProbeAttemptTime == 0) probe.initialProbeAttemptTime = now;
  if (ProbeTimeLimitExpired(state.timers, probe, now)) {
    LogMessage(kLogInfo, "KESTA Server Probe Time Limit Expired");
    return false;
  }
  if (!ProbeDue(state.timers, probe, now)) return true;

  state.zone.clear();
  probe.probeAttemptTime = now;
  if (context.server->ProbeServer(state.host, state.port, &state.zone)) {
    probe.serverProbed = 1;
    SetConfigInt(ConfigSection::kConfig, kServerProbedKey, 1);
  } else {
    CountFailedProbe(state.timers, &probe);
  }
  return true;
}

/// Registers or re-announces the device once per registration interval.
/// True when the device information was gathered in this pass.
bool RegisterOnSchedule(ServiceContext& context, time_t now) {
  ServiceState& state = context.state;
  RegistrationState& registration = state.registration;
  if (!RegistrationDue(state.timers, registration, state.firstPass, now) ||
      !RegistrationAttemptAllowed(state.timers, registration, now))
    return false;
  // The misspelling stays: field tools look for this exact line.
  LogMessage(kLogDebug, "Regitration Attempt:");
  ServerCalls& server = *context.server;
  if (!server.GatherDeviceInfo(state.host, state.port)) {
    registration.registrationAttemptTime = now;
    registration.registrationRetry = true;
    return false;
  }
  const bool exchanged = state.firstPass || server.NeedToRegister(state.host, state.port)
                             ? server.Register(state.host, state.port)
                             : server.Startup(state.host, state.port);
  registration.registrationTime = now;
  registration.registrationRetry = !exchanged;
  return true;
}

/// Scans the agent services once per scan interval and reports them on the
/// first pass and whenever they changed.
void ScanServicesOnSchedule(ServiceContext& context, time_t now, bool info_gathered) {
  ServiceState& state = context.state;
  if (!ServiceScanDue(state.timers, state.registration, state.firstPass, now)) return;
  LogMessage(kLogDebug, "Service Scan Attempt:");
  ServerCalls& server = *context.server;
  if (!info_gathered) info_gathered = server.GatherDeviceInfo(state.host, state.port);
  if (info_gathered && server.ScanServices() &&
      (state.firstPass || server.NeedToSendServiceScan()))
    server.Status(state.host, state.port);
  state.registration.servicescanTime = now;
}

/// Sleeps until the next pass, or less when a signal is caught; not at all
/// when one is already waiting.
void SleepBetweenPasses() { WaitForServiceEvent(CurrentTimings().service_pass_pause); }

/// Forgets what an event asks to read again on the next running pass.
void ReloadOnNextPass(ServiceState* state) {
  ClearServiceLogLevel(state);
  ResetServiceIntervals(state);
  state->refreshServer = true;
}

}  // namespace

void ServiceInit(ServiceContext& context) {
  ServiceState& state = context.state;
  LoadServiceLogLevel(&state);
  LogMessage(kLogTrace, "ServiceInit:");
  state.duskStatus = ServiceStatus::kInitialising;
  LogMessage(kLogInfo, "Service Initialization Process ...");
  ProtectedValueInit();
  GetServerAddress(context.optionHost, context.optionPort, &state.host, &state.port);
  LogMessage(kLogInfo, "Service Started");
  state.duskStatus = ServiceStatus::kRunning;
  // AgentPort is the service's from now to its end, listened on or not;
  // when another process holds it, the listener tries again when it starts.
  BindAgentPort();
  RefreshAgentDeviceDn(context.layout);
  // The agent's first connect, when its install asked for it after a
  // restart of the device. No server follows it: it is only logged.
  SessionReporter no_server(nullptr);
  RunScheduledInitialConnect(context.layout, no_server);
  state.probe.serverProbed = 0;
  state.probe.serverProbeAttempts = 0;
}

ServiceStep RunServicePass(ServiceContext& context) {
  ServiceState& state = context.state;
  // Handlers anew on every pass, and one reading of the clock for all timers.
  InstallSignalHandlers();
  const time_t now = context.clock->Now();

  if (state.duskStatus == ServiceStatus::kRunning) {
    // An event may have asked to read these again.
    LoadServiceLogLevel(&state);
    RefreshServerAddress(context);
    // The agent may have been reinstalled since the start, with a template
    // object file that lacks the DN.
    if (state.firstPass) RefreshAgentDeviceDn(context.layout);

    LoadTimerSettings(&state.timers);

    // Nothing talks to the server before it has answered a probe once; the
    // schedule may also give up and end the service.
    LoadServerProbed(&state.probe);
    // A stop that came before the pass: no exchange is begun only to be
    // cut short at once and logged as a failure.
    if (StopRequested()) return ServiceStep::kContinue;
    if (!ProbeServerOnSchedule(context, now)) return ServiceStep::kShutdown;

    // A stop cuts the exchange under way short; the rest of the pass is not
    // begun, so no further exchange fails on its account.
    if (state.probe.serverProbed != 0 && !StopRequested()) {
      // A registration that gathered the device information lends it to
      // the scan of the same pass.
      const bool info_gathered = RegisterOnSchedule(context, now);
      if (!StopRequested()) ScanServicesOnSchedule(context, now, info_gathered);
    }
    if (StopRequested()) return ServiceStep::kContinue;
    // While the agent is missing, the server may ask for it to be installed.
    KeepListenerWhileAgentMissing(context);
  }
  // One request at most, paused or not: a paused service still takes the
  // server's InstallAgent.
  ServeRexecRequest(context);

  // Agent commands given up on after their time-out: the exits of those
  // that have ended are collected in every state, so none stays a zombie.
  ReapAbandonedCommands();

  state.firstPass = false;
  return ServiceStep::kContinue;
}

ServiceStep ServiceEventStep(ServiceContext& context, ServiceEvent event) {
  ServiceState& state = context.state;
  switch (event) {
    case ServiceEvent::kStop:
      return ServiceStep::kShutdown;
    case ServiceEvent::kPause:
      LogMessage(kLogInfo, "Service Paused");
      ReloadOnNextPass(&state);
      state.duskStatus = ServiceStatus::kPaused;
      break;
    case ServiceEvent::kResume:
      LogMessage(kLogInfo, "Service Resumed");
      ReloadOnNextPass(&state);
      state.duskStatus = ServiceStatus::kRunning;
      break;
    case ServiceEvent::kInterrupt:
      LogMessage(kLogInfo, "Service Interrupted");
      state.duskStatus = ServiceStatus::kPaused;
      ReloadOnNextPass(&state);
      LogMessage(kLogInfo, "Service Resumed");
      state.duskStatus = ServiceStatus::kRunning;
      break;
    default:
      break;
  }
  return ServiceStep::kContinue;
}

void FinishService(ServiceContext& context) {
  ServiceState& state = context.state;
  // The server learns that the device goes away; it cannot be told when it
  // never answered. Whatever it says, the service ends: the stop that led
  // here is forgotten so that this last exchange is not cut short at once,
  // and its own limit bounds it (a second stop still cuts it).
  ClearStopRequest();
  if (state.probe.serverProbed != 0 && context.server != nullptr)
    context.server->UnRegister(state.host, state.port);
  LogMessage(kLogInfo, "Service Shutdown");
  ClearServiceLogLevel(&state);
  ResetServiceIntervals(&state);
  ResetProbeState(&state);
  state.duskStatus = ServiceStatus::kShutDown;
  ReleaseAgentPort();
  ClearServiceEvent();
  LogFileClose();
}

void ServiceShutdown(ServiceContext& context) {
  FinishService(context);
  // The pid file names the service until its very end, the unregistration
  // included, so that a service manager waits for all of it.
  RemoveServicePidFile(context.layout.servicePidFile, static_cast<int>(getpid()));
  exit(0);
}

void ServiceMain(const Layout& layout, const std::string& host_option,
                 const std::string& port_option) {
  LogMessage(kLogTrace, "ServiceMain:");
  BootClock clock;
  KestaServerCalls server(layout);
  MediaAgentInstaller installer;
  ServiceContext context;
  context.layout = layout;
  context.clock = &clock;
  context.server = &server;
  context.installer = &installer;
  context.optionHost = host_option;
  context.optionPort = port_option;

  KeepLargeBlocksOutOfHeap();
  ServiceInit(context);
  for (;;) {
    if (RunServicePass(context) == ServiceStep::kShutdown) ServiceShutdown(context);
    ReturnFreeMemory();
    SleepBetweenPasses();
    if (ServiceEventStep(context, TakeServiceEvent()) == ServiceStep::kShutdown)
      ServiceShutdown(context);
  }
}

}  // namespace dusk
