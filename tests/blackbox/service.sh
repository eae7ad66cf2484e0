# The service against kesta-peer: start, probe, a refused second start,
# pause, resume, interrupt, stop of a paused service, and the stop on its
# own when the server never answers.
#
# The service is found by name among all processes, so the test runs in a
# pid namespace of its own, where only its own dusk processes exist. The
# namespace's init is a sleep that never reaps: the ended service stays a
# zombie whose exit status /proc still shows.
set -euo pipefail
. "$(dirname "$0")/lib/common.sh"
enter_pid_namespace
LOG_DIR=/etc/kesta/dusk/log

install_dusk
cd /tmp/kesta
start_peer --bind 127.0.0.1
run_dusk -confinit -host 127.0.0.1 -port $PORT
expect_eq "$status" 0 "-confinit"

# start_dusk: run_dusk without arguments. The service detaches from the
# command's standard streams, so $(dusk) ends with the command, not with the
# service (124: it did not).
start_dusk() {
  set +e
  out=$(timeout 10 "$DUSK")
  status=$?
  set -e
}

stage "start"
# The command reports the new service and ends at once.
start_service
# The pid file, for a service manager, names the service once the command
# has ended.
expect_eq "$(cat /run/dusk.pid)" "$service" "pid file"

stage "pause during the first pass"
# Paused before its first pass has ended: the pass still probes, then the
# service pauses (the signal does not end it).
run_dusk -pause
expect_eq "$status" 0 "-pause status"
expect_contains "$out" "  Info: Sending Pause Command to the KESTA-DUSK Service - pid $service" "-pause"
wait_for_log $LOG_DIR/dusk.log "Service Paused"
grep -qF "Info: KESTA-DUSK: KESTA Server 127.0.0.1:$PORT Available ..." $LOG_DIR/dusk.log \
  || fail "the first pass did not probe"
grep -qx "serverprobed=1" $CONF || fail "serverprobed=1 not kept"
expect_eq "$(grep -l '^GET /proc/Zelmar?' $PEER_STATE/requests/* | wc -l)" 1 "probe requests"

stage "second start refused"
# A second start is refused and leaves the running service's log where it
# is: the refusal is appended to it, nothing is rotated.
rm -f $LOG_DIR/dusk.log.prev
start_dusk
expect_eq "$status" 1 "second start status"
expect_contains "$out" " Error: The KESTA-DUSK Service is already running - pid $service" "second start"
[ ! -e $LOG_DIR/dusk.log.prev ] || fail "the refused start rotated the service's log"
log_has $LOG_DIR/dusk.log "The KESTA-DUSK Service is already running - pid $service" ||
  fail "the refusal is not in the service's log"
expect_eq "$(cat /run/dusk.pid)" "$service" "pid file after the refused start"
SERVICE_LOG=$LOG_DIR/dusk.log

stage "resume and interrupt"
run_dusk -resume
expect_eq "$status" 0 "-resume status"
wait_for_log $SERVICE_LOG "Service Resumed"

run_dusk -interrupt
expect_eq "$status" 0 "-interrupt status"
wait_for_log $SERVICE_LOG "Service Interrupted"
[ "$(grep -A1 -F 'Service Interrupted' $SERVICE_LOG | tail -1 | sed 's/.*KESTA-DUSK: //')" = \
  "Service Resumed" ] || fail "no Resumed line right after Interrupted"
# The first pass, the resume and the interrupt each have the intervals read.
wait_for_log $SERVICE_LOG "Registration Interval set to 86400 seconds (from Config)" 3

stage "stop of a paused service"
run_dusk -pause
expect_eq "$status" 0 "second -pause"
wait_for_log $SERVICE_LOG "Service Paused" 2
run_dusk -stop
expect_eq "$status" 0 "-stop status"
expect_contains "$out" "  Info: Sending Stop Command to the KESTA-DUSK Service - pid $service" "-stop"
wait_for_log $SERVICE_LOG "Service Shutdown"
wait_for_exit $service
expect_eq "$(exit_code_of $service)" 0 "exit status of the service"
[ ! -e /run/dusk.pid ] || fail "the stopped service left its pid file"

stage "probe time limit"
# A service that never reaches its server stops itself once the probe time
# limit has passed (the first pass probes, the next one is past the limit).
# Nothing listens on the peer's port + 1 in the test's own network.
run_dusk -confupdate ServerPort=$((PORT + 1)) -confupdate Config/serverprobed=0 \
  -confupdate Config/probetimelimit=3
expect_eq "$status" 0 "-confupdate"
start_service
wait_for_log $LOG_DIR/dusk.log "KESTA Server Probe Time Limit Expired"
wait_for_log $LOG_DIR/dusk.log "Service Shutdown"
grep -qF "Info: KESTA-DUSK: KESTA Server 127.0.0.1:$((PORT + 1)) Not Available - " $LOG_DIR/dusk.log \
  || fail "no failed probe before the time limit"
wait_for_exit $service
expect_eq "$(exit_code_of $service)" 0 "exit status after the time limit"
grep -qx "serverprobed=0" $CONF || fail "serverprobed changed by the shutdown"

stage "a closed pipe"
# The service's standard output is not the pipe it was started with: a Fatal
# line (no SMBIOS library) after the reader went away does not kill it.
run_dusk -confupdate ServerPort=$PORT -confupdate Config/serverprobed=1
expect_eq "$status" 0 "-confupdate"
rm "$INSTALL_DIR/biosinfo.so"
out=$("$DUSK" | head -n 1)
service=$(service_pid_in "$out")
[ -n "$service" ] || fail "no start line in [$out]"
wait_for_log $LOG_DIR/dusk.log "Failed to query SMBIOS information for this Device"
expect_eq "$(exit_code_of $service)" running "the service after its Fatal line"
run_dusk -stop
wait_for_exit $service
expect_eq "$(exit_code_of $service)" 0 "exit status after a Fatal line"

stage "no service left"
# Nothing named dusk is left to control.
run_dusk -stop
expect_eq "$status" 0 "-stop without a service"
expect_contains "$out" "  Info: The KESTA-DUSK Service is not currently running" "-stop without a service"
run_dusk -pause
expect_eq "$status" 1 "-pause without a service"
expect_contains "$out" " Error: The KESTA-DUSK Service is not currently running" "-pause without a service"
echo PASS
