# A server that takes the probe and never answers: "-probe" gives up once
# the wait without progress runs out (3 s in dusk-short-waits,
# tests/support/short_timings.cc) and fails, instead of hanging.
. "$(dirname "$0")/lib/common.sh"
STATE=$PEER_STATE
LOG=/etc/kesta/dusk/log/dusk.log
install_dusk
cd /tmp/kesta

start_peer
echo "* stall" > "$STATE/faults"

run_dusk -confinit
expect_eq "$status" 0 "-confinit"
started=$(date +%s)
set +e
timeout 200 "$DUSK" -probe -host 127.0.0.1 -port "$PORT" > /dev/null
status=$?
set -e
echo "-probe of a stalled server ended after $(($(date +%s) - started)) s"
expect_eq "$status" 1 "-probe of a stalled server (124: still waiting after 200 s)"
grep -qF "KESTA Server 127.0.0.1:$PORT Not Available - Read error while reading header" "$LOG" \
  || fail "no Read error line: $(tail -5 "$LOG")"
grep -qF "fault: stalled" /tmp/kesta/peer.log || fail "the peer did not stall: $(cat /tmp/kesta/peer.log)"
echo PASS
