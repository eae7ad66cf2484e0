# Exchanges end, and a stop ends the service whatever the server does: an
# endless answer to -probe, a probe the server never answers when -stop
# comes (logged as stopped, not as a server unavailable), and an UnRegister
# the server stalls on the way out.
set -euo pipefail
. "$(dirname "$0")/lib/common.sh"
enter_pid_namespace
LOG=/etc/kesta/dusk/log/dusk.log
# The longest a stop may take: a second to notice it, then an UnRegister
# bounded by the server exchange limit, 5 s in dusk-short-waits
# (tests/support/short_timings.cc; the program's own 60 s is pinned by
# TimingsTest).
STOP_LIMIT=$((1 + 5 + 3))
# A stop cuts a probe the server never answers short, well before the
# exchange limit would end it.
STOP_CUT_LIMIT=3

install_dusk
cd /tmp/kesta
start_peer
run_dusk -confinit -host 127.0.0.1 -port "$PORT"
expect_eq "$status" 0 "-confinit"

# stop_within SECONDS: -stop, and the service is gone within SECONDS.
stop_within() {
  local started=$SECONDS
  stop_service "$1"
  echo "stopped after $((SECONDS - started)) s"
}

stage "an endless answer to -probe"
echo "/proc/Zelmar endless" > "$PEER_STATE/faults"
started=$SECONDS
run_dusk -probe
expect_eq "$status" 0 "-probe of an endless answer"
# Only the start of the answer is read: over well before the exchange limit.
[ $((SECONDS - started)) -lt 3 ] || fail "-probe took $((SECONDS - started)) s"

stage "-stop during a probe the server never answers"
echo "/proc/Zelmar stall" > "$PEER_STATE/faults"
probes=$(peer_count /proc/Zelmar)
start_service
wait_for_log "$LOG" "Probing KESTA Server 127.0.0.1:$PORT @ URL http://127.0.0.1:$PORT/proc/Zelmar?WebService.Name=AuthenticateUser&Response.Format=Text&getauthds=true ..."
# The peer has the probe and holds it: the service waits for the answer.
wait_for_requests /proc/Zelmar $((probes + 1)) 10
stop_within $STOP_CUT_LIMIT
# The server did not fail: the service went away.
log_has "$LOG" "Probe of KESTA Server 127.0.0.1:$PORT stopped - the KESTA-DUSK service is stopping" ||
  fail "no line of the stopped probe: $(log_messages "$LOG" | tail -5)"
[ "$(log_messages "$LOG" | grep -c "Not Available")" = 0 ] || fail "the server was called unavailable"

stage "-stop while the server stalls the UnRegister"
rm "$PEER_STATE/faults"
start_service
wait_for_log "$LOG" "Successfully Updated Service Scan with 127.0.0.1:$PORT"
echo "/proc/vmp/unregister stall" > "$PEER_STATE/faults"
stop_within $STOP_LIMIT
log_has "$LOG" "Service Shutdown" || fail "no Service Shutdown line"
echo PASS
