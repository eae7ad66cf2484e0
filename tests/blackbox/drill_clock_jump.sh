# Fault drill: the wall clock jumps, forward by two days and back by a
# year, while the service probes a server that does not answer yet and
# later while it re-announces itself. Only the service's clock moves: a
# preloaded library adds the offset in a file to every reading of the date.
# Its timers run on the time since boot, so nothing changes: the probes
# keep their pace, the probe time limit does not expire on the jump
# forward nor stall on the jump back, the registration comes as soon as
# the server answers, and Startups keep their interval whichever way the
# date moves. The log's time stamps show the moved date.
set -euo pipefail
. "$(dirname "$0")/lib/common.sh"
enter_pid_namespace --uts
. "$(dirname "$0")/lib/drill.sh"
SHIFT_LIBRARY=$DUSK_BUILD_DIR/tests/wall_clock_shift.so
SHIFT=$DRILL/wall-clock-shift
TWO_DAYS=$((2 * 86400))
YEAR_BACK=$((-365 * 86400))
REGISTRATION_INTERVAL=6

# jump SECONDS: the service's date is now SECONDS off the machine's.
jump() { echo "$1" > "$SHIFT"; }

stage "set-up"
[ -f "$SHIFT_LIBRARY" ] || fail "no $SHIFT_LIBRARY: build the tests"
hostname drill-device
# A probe on every pass, a time limit the drill would hit only after
# minutes, a Startup every second pass.
device_with_peer -confupdate Config/probeattemptinterval=2 -confupdate Config/probeattemptlimit=100 \
  -confupdate Config/probetimelimit=120 \
  -confupdate Config/registrationinterval=$REGISTRATION_INTERVAL
jump 0
echo "/proc/Zelmar status 503" > "$PEER_STATE/faults"
# AddressSanitizer wants its library first; this one must come first.
start_service LD_PRELOAD="$SHIFT_LIBRARY" WALL_CLOCK_SHIFT_FILE="$SHIFT" \
  ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0"

stage "probing: date two days ahead"
wait_for_requests /proc/Zelmar 2 20
jump $TWO_DAYS
probes=$(peer_count /proc/Zelmar)
wait_for_requests /proc/Zelmar $((probes + 2)) 15
log_has "$LOG" "KESTA Server Probe Time Limit Expired" && fail "the probe time limit expired on the jump"
check_service 1

stage "probing: date a year back"
jump $YEAR_BACK
probes=$(peer_count /proc/Zelmar)
wait_for_requests /proc/Zelmar $((probes + 2)) 15
check_service 1
grep -q "^$(date -d "@$(($(date +%s) + YEAR_BACK))" +%Y%m%d) " "$LOG" ||
  fail "no log line stamped a year back: the date did not move for the service"

stage "server answers: registered at once"
rm "$PEER_STATE/faults"
wait_for_log "$LOG" "Successfully Registered Device with $SERVER" 1 15
wait_for_log "$LOG" "Successfully Updated Service Scan with $SERVER" 1 15

stage "Startups: date forward, then back"
# Each jump right after a registration exchange: the next one still waits
# its interval, no less (forward) and no more (back).
jump $TWO_DAYS
wait_for_requests /proc/vmp/startup 1 20
jump $YEAR_BACK
wait_for_requests /proc/vmp/startup 2 20
jump 0
wait_for_requests /proc/vmp/startup 3 20
spacing=$(for request in $(peer_requests /proc/vmp/register | tail -1) $(peer_requests /proc/vmp/startup); do
  stat -c %Y "$request"; done | awk 'NR > 1 { printf "%d ", $1 - last } { last = $1 }')
echo "seconds between the Register and the Startups: $spacing"
for gap in $spacing; do
  [ "$gap" -ge $REGISTRATION_INTERVAL ] && [ "$gap" -le $((REGISTRATION_INTERVAL + 11)) ] ||
    fail "a gap of $gap s between registration exchanges (interval $REGISTRATION_INTERVAL s): $spacing"
done
expect_eq "$(peer_count /proc/vmp/register)" 1 "Registers"
check_qdx "$(stored_dn)"
check_service 1

stage "stop"
stop_service
check_conf
check_files
echo PASS
