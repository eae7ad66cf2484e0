# Shared by the black-box tests. Each test runs inside tests/sandbox, so the
# program's fixed directories are private tmpfs mounts.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/../../lib/common.sh"

: "${DUSK_BINARY:?DUSK_BINARY must name the built dusk}"
[ "${DUSK_SANDBOX:-}" = 1 ] || { echo "SKIP: needs tests/sandbox (root)"; exit 0; }

INSTALL_DIR=/opt/kesta/dusk
DUSK=$INSTALL_DIR/dusk
CONF=/etc/kesta/dusk/dusk.conf

# expect_eq ACTUAL EXPECTED WHAT
expect_eq() {
  [ "$1" = "$2" ] || fail "$3: expected [$2], got [$1]"
}

# expect_contains TEXT NEEDLE WHAT
expect_contains() {
  case "$1" in *"$2"*) ;; *) fail "$3: [$2] not in [$1]" ;; esac
}

# Installs the built program (and its library, when built) as a device has it.
install_dusk() {
  mkdir -p "$INSTALL_DIR" /etc/kesta/dusk
  cp "$DUSK_BINARY" "$DUSK"
  local lib
  lib=$(dirname "$DUSK_BINARY")/biosinfo.so
  [ -f "$lib" ] && cp "$lib" "$INSTALL_DIR/" || true
}

# run_dusk ARGS...: sets $status and $out (standard output).
run_dusk() {
  set +e
  out=$("$DUSK" "$@")
  status=$?
  set -e
}

# start_peer ARGS...: runs kesta-peer with state in $PEER_STATE on a free
# loopback port; sets PEER_PID and PORT, and stops the peer at exit.
PEER=${DUSK_BUILD_DIR:-}/tools/peer/kesta-peer
PEER_STATE=/tmp/kesta/peer
start_peer() {
  rm -f "$PEER_STATE/ready"
  "$PEER" --port 0 --state "$PEER_STATE" "$@" >> /tmp/kesta/peer.log 2>&1 &
  wait_until 10 "kesta-peer ready (see /tmp/kesta/peer.log)" test -s "$PEER_STATE/ready"
  read -r PEER_PID PORT < "$PEER_STATE/ready"
  trap '[ -n "${PEER_PID:-}" ] && kill "$PEER_PID" 2>/dev/null || true' EXIT
}
