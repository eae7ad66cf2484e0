# Fault drill: the service is sent SIGKILL in the middle of a storm of
# "dusk -confupdate" runs, while it rewrites dusk.conf and KMA.QDX itself:
# the server hands it a new DN on every other round, which it stores. One
# round kills it at a random moment; the others let strace kill it just
# before a step of its own rewrite (the sync of the new text, the link that
# keeps dusk.conf.prev, the rename of .prev, the rename of the new
# dusk.conf, the rename of the new KMA.QDX). After every kill dusk.conf and
# its .prev are whole, KMA.QDX is the object file of one of the DNs, no
# -confupdate of the storm ever found dusk.conf missing, and nothing is
# left but the killed process's own unfinished temporary files. Started
# again, the service registers and puts KMA.QDX in step with dusk.conf.
set -euo pipefail
. "$(dirname "$0")/lib/common.sh"
enter_pid_namespace --uts
. "$(dirname "$0")/lib/drill.sh"
command -v strace > /dev/null || fail "strace is not installed (scripts/install-deps)"
DN_A=cn=drill-device,ou=devices,o=kesta
DN_B=cn=drill-device-moved,ou=devices,o=kesta
STORM_WRITERS=3

# storm_start: -confupdate runs in a loop, STORM_WRITERS at a time, each
# counting in $DRILL/storm.N the runs that failed.
storm_start() {
  storm=()
  local writer
  for writer in $(seq "$STORM_WRITERS"); do
    (
      failed=0 i=0
      trap 'echo $failed > "$DRILL/storm.$writer"; exit 0' TERM
      while :; do
        i=$((i + 1))
        "$DUSK" -silent -confupdate "Config/storm$writer=$i" > /dev/null 2>&1 || failed=$((failed + 1))
      done
    ) &
    storm+=($!)
  done
}

# storm_stop: ends the loops (each after its run in progress) and fails
# when a run of the storm failed.
storm_stop() {
  local writer
  for writer in "${storm[@]}"; do kill -TERM "$writer"; done
  for writer in "${storm[@]}"; do wait "$writer" || true; done
  for writer in $(seq "$STORM_WRITERS"); do
    expect_eq "$(cat "$DRILL/storm.$writer")" 0 "failed -confupdate runs of writer $writer"
  done
}

# leftovers_of PID: the unfinished temporary files a writer PID killed in
# the middle of a rewrite may leave (names below /etc/kesta).
leftovers_of() { echo "^(dusk/dusk\.conf(\.prev)?|agent/lib/KMA\.QDX)\.$1$"; }

stage "set-up"
hostname drill-device
# A Startup on every pass, each a chance for the server to move the device.
device_with_peer -confupdate Config/registrationinterval=0
dn=$DN_A
leftovers="^$"
round=0

# Each round: a kill point ("random", or SYSCALL:N for the N-th call of
# SYSCALL that the service makes once the server has moved it).
for kill_point in random fsync:1 link:1 rename:1 rename:2 rename:3; do
  round=$((round + 1))
  stage "round $round, kill at $kill_point: start"
  start_service
  # Each start begins a new log.
  wait_for_log "$LOG" "Successfully Registered Device with $SERVER"
  # The last round's kill may have left KMA.QDX behind dusk.conf: the start
  # puts it in step.
  check_qdx "$(stored_dn)"
  check_service 1

  stage "round $round, kill at $kill_point: storm"
  storm_start
  if [ "$kill_point" != random ]; then
    call=${kill_point%:*}
    strace -qq -p "$service" -e trace="$call" \
      -e inject="$call:error=EIO:signal=KILL:when=${kill_point#*:}" -o /dev/null &
    wait_until 10 "strace attached" eval '[ "$(sed -n "s/^TracerPid:\t//p" /proc/$service/status)" != 0 ]'
  fi
  # The server moves the device to the other DN on its next Startup.
  if [ "$dn" = "$DN_A" ]; then dn=$DN_B; else dn=$DN_A; fi
  echo "/proc/vmp/startup dn $dn" > "$PEER_STATE/faults"
  echo "/proc/vmp/register dn $dn" >> "$PEER_STATE/faults"
  if [ "$kill_point" = random ]; then
    sleep "$((RANDOM % 4)).$((RANDOM % 10))"
    kill -KILL "$service"
  fi
  wait_until 30 "the service killed" eval '[ "$(exit_code_of "$service")" != running ]'
  storm_stop

  stage "round $round, kill at $kill_point: after the kill"
  check_conf
  [ ! -e "$CONF.prev" ] || check_conf "$CONF.prev"
  check_qdx "$DN_A" "$DN_B"
  leftovers="$leftovers|$(leftovers_of "$service")"
  check_files "$leftovers"
done

stage "started again after the last kill"
start_service
wait_for_log "$LOG" "Successfully Registered Device with $SERVER"
expect_eq "$(stored_dn)" "$dn" "DN after the last round"
check_qdx "$dn"
check_conf
check_service 1
stop_service
left=$(cd /etc/kesta && find . -type f | sed 's|^\./||' | grep -E "$leftovers" || true)
echo "temporary files the kills left: ${left:-none}" | tr '\n' ' '
echo
check_files "$leftovers"
echo PASS
