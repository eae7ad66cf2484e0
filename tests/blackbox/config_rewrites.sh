# A first registration with its Status rewrites dusk.conf at most 4 times:
# the probe's serverprobed, the whole device record, and the service scan,
# each in one rewrite. Counted as the renames onto dusk.conf that strace
# sees while the service registers, reports and stops.
set -euo pipefail
. "$(dirname "$0")/lib/common.sh"
enter_pid_namespace
command -v strace > /dev/null || fail "strace is not installed (scripts/install-deps)"
LOG=/etc/kesta/dusk/log/dusk.log
MAX_REWRITES=4

stage "set-up"
install_dusk
cd /tmp/kesta
start_peer
run_dusk -confinit -host 127.0.0.1 -port "$PORT"
expect_eq "$status" 0 "-confinit"

stage "registration under strace"
strace -f -qq -e trace=rename,renameat,renameat2 -o /tmp/kesta/renames "$DUSK" \
  > /tmp/kesta/start.out &
tracer=$!
wait_for_log "$LOG" "Successfully Updated Service Scan with 127.0.0.1:$PORT"
run_dusk -stop
expect_eq "$status" 0 "-stop"
wait_for_log "$LOG" "Service Shutdown"
wait "$tracer" || true

stage "count"
rewrites=$(grep -c '"/etc/kesta/dusk/dusk.conf") = 0' /tmp/kesta/renames || true)
echo "dusk.conf rewritten $rewrites times"
[ "$rewrites" -ge 1 ] || fail "no rewrite seen: $(cat /tmp/kesta/renames)"
[ "$rewrites" -le $MAX_REWRITES ] ||
  fail "$rewrites rewrites, more than $MAX_REWRITES: $(cat /tmp/kesta/renames)"
echo PASS
