# A server that takes the probe and never answers: "-probe" gives up once
# the wait without progress runs out (60 s) and fails, instead of hanging.
. "$(dirname "$0")/lib/common.sh"
PEER=$DUSK_BUILD_DIR/tools/peer/kesta-peer
STATE=/tmp/kesta/peer
LOG=/etc/kesta/dusk/log/dusk.log
install_dusk
cd /tmp/kesta

"$PEER" --port 0 --state "$STATE" > /tmp/kesta/peer.log 2>&1 &
for _ in $(seq 100); do [ -s "$STATE/ready" ] && break; sleep 0.1; done
[ -s "$STATE/ready" ] || fail "kesta-peer did not start: $(cat /tmp/kesta/peer.log)"
read -r PEER_PID PORT < "$STATE/ready"
trap 'kill "$PEER_PID" 2>/dev/null || true' EXIT
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
