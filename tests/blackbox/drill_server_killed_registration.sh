# Fault drill: the server dies in the middle of a registration exchange.
# kesta-peer takes the Register, and later a Startup, and is killed before
# it answers; it stays away for a while and comes back on the same port.
# The service fails that exchange, leaves dusk.conf and KMA.QDX as they
# were, keeps to its timers while the server is away (one attempt per
# pass, no spinning), and registers again once the server is back, with no
# restart and no signal.
set -euo pipefail
. "$(dirname "$0")/lib/common.sh"
enter_pid_namespace --uts
. "$(dirname "$0")/lib/drill.sh"

# stall_next PATH: the peer takes the next request to PATH and answers
# nothing; kill_stalled_peer PATH then kills it once that request has come,
# before it answers. kill_peer_during PATH does both.
stall_next() {
  stalled_before=$(peer_count "$1")
  echo "$1 stall" > "$PEER_STATE/faults"
}
kill_stalled_peer() {
  wait_for_requests "$1" $((stalled_before + 1)) 60
  kill -KILL "$PEER_PID"
  { wait "$PEER_PID" || true; } 2> /dev/null
  rm "$PEER_STATE/faults"
}
kill_peer_during() {
  stall_next "$1"
  kill_stalled_peer "$1"
}

# restart_peer: kesta-peer again, on the same port and with the same state.
restart_peer() { PEER_PORT=$PORT start_peer; }

# attempts_within SECONDS: the registration attempts the service makes in
# the next SECONDS; fails when they are more than its timers allow.
attempts_within() {
  local before
  before=$(log_count "Regitration Attempt:")
  sleep "$1"
  attempts=$(($(log_count "Regitration Attempt:") - before))
  # One per pass at most, and 4 s between retries.
  [ "$attempts" -le $(($1 / 4 + 1)) ] || fail "$attempts registration attempts in $1 s"
}

stage "set-up"
hostname drill-device
device_with_peer -confupdate Application/LogLevel=debug
DN=cn=drill-device,ou=devices,o=kesta

stage "server killed during the Register"
# The first pass registers: the fault must be there before it.
stall_next /proc/vmp/register
start_service
kill_stalled_peer /proc/vmp/register
wait_for_log "$LOG" "Failed to Register Device with $SERVER"
expect_eq "$(stored_dn)" "" "DN after a Register without answer"
[ ! -e "$QDX" ] || fail "KMA.QDX written without a DN"
check_conf
check_service 1

stage "server away"
attempts_within 12
echo "$attempts registration attempts in 12 s without a server"
log_has "$LOG" "Successfully Registered Device with $SERVER" && fail "registered without a server"
check_service 1

stage "server back: registered by the timers"
restart_peer
wait_for_log "$LOG" "Successfully Registered Device with $SERVER" 1 30
wait_for_log "$LOG" "Successfully Updated Service Scan with $SERVER" 1 30
expect_eq "$(stored_dn)" "$DN" "DN after the server came back"
check_qdx "$DN"
check_conf
check_conf "$CONF.prev"

stage "server killed during a Startup"
started=$(log_count "Successfully Started Device on $SERVER")
kill_peer_during /proc/vmp/startup
wait_until 30 "failed Startup in the log" \
  eval 'log_messages "$LOG" | grep -q "^Failed to Send Startup Request to KESTA Server $SERVER - "'
expect_eq "$(stored_dn)" "$DN" "DN after a Startup without answer"
check_qdx "$DN"
check_conf
attempts_within 8
check_service 1

stage "server back: Startup by the timers"
restart_peer
wait_for_log "$LOG" "Successfully Started Device on $SERVER" $((started + 1)) 30
expect_eq "$(stored_dn)" "$DN" "DN after the second return"
expect_eq "$(ls "$PEER_STATE/devices" | grep -v '\.last$')" "$(printf %s "$DN")" \
  "devices the peer knows"
check_service 1

stage "stop"
stop_service
wait_for_log "$LOG" "Successfully Unregistered Device from $SERVER"
check_conf
check_qdx "$DN"
check_files
echo PASS
