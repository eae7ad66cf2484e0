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

# run_dusk ARGS...: sets $status, $out (standard output) and $err
# (standard error).
run_dusk() {
  set +e
  out=$("$DUSK" "$@" 2> /tmp/kesta/run.err)
  status=$?
  set -e
  err=$(cat /tmp/kesta/run.err)
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
  at_exit 'kill "$PEER_PID" 2>/dev/null || true'
}

# veth_to_peer_namespace DEVICE_ADDRESS PEER_ADDRESS: a network namespace for
# the peer at the far end of a veth pair (dusk-dev0 here, dusk-peer0 there,
# both in a /24); sets PEER_NS, the pid that holds it. in_peer CMD... runs a
# command there.
veth_to_peer_namespace() {
  start_netns_holder
  PEER_NS=$NETNS_PID
  ip link add dusk-dev0 type veth peer name dusk-peer0 netns $PEER_NS
  ip addr add "$1/24" dev dusk-dev0
  ip link set dusk-dev0 up
  in_peer ip addr add "$2/24" dev dusk-peer0
  in_peer ip link set dusk-peer0 up
  in_peer ip link set lo up
}
in_peer() { nsenter --target "$PEER_NS" --net -- "$@"; }

# start_peer_in_namespace ADDRESS [ARGS...]: kesta-peer as the server on
# ADDRESS in the peer's namespace, state in $PEER_STATE, on a free port (or
# on PEER_PORT when set, to come back where it was), with further ARGS
# (--media DIR); sets PEER_PID (the peer itself, for a drill to kill) and
# PORT.
start_peer_in_namespace() {
  rm -f "$PEER_STATE/ready"
  nsenter --target "$PEER_NS" --net -- "$PEER" --port "${PEER_PORT:-0}" --state "$PEER_STATE" \
    --bind "$@" >> /tmp/kesta/peer.log 2>&1 &
  PEER_PID=$!
  wait_until 30 "kesta-peer ready (see /tmp/kesta/peer.log)" test -s "$PEER_STATE/ready"
  read -r _ PORT < "$PEER_STATE/ready"
}

# key_hex NAME: the bytes of the key NAME in src/crypto/keys.h as hex text.
key_hex() {
  sed -n "/$1/,/};/p" "$DUSK_SOURCE_DIR/src/crypto/keys.h" | grep -o '0x[0-9a-fA-F]\{2\}' |
    sed 's/^0x//' | tr -d '\n'
}

# device_credentials DN: sets CRED_USER and CRED_PASSWORD as the server
# computes them, without the program's own code: the CRC-32 register of the
# DN before its final inversion (from gzip's trailer) in 8 upper-case hex
# digits, and those 8 characters enciphered with DES and encoded in Base64.
device_credentials() {
  local crc
  crc=$(printf %s "$1" | gzip -c | tail -c 8 | head -c 4 | od -An -tu4 | tr -d ' \n')
  CRED_USER=$(printf '%08X' $(( ~crc & 0xFFFFFFFF )))
  CRED_PASSWORD=$(printf %s "$CRED_USER" |
    openssl enc -des-ecb -nopad -K "$(key_hex kCredentialDesKey)" -provider legacy \
      -provider default | base64)
}

# protect TEXT: TEXT as a "{AES256}" protected value, NUL padded, made with
# openssl rather than the program's own code.
protect() {
  local pad=$(( (16 - ${#1} % 16) % 16 ))
  printf '{AES256}%s' "$({ printf %s "$1"; head -c $pad /dev/zero; } |
    openssl enc -aes-256-ecb -nopad -K "$(key_hex kProtectedValueKey)" | base64 -w 76)"
}

# rexec_call ARGS...: kesta-peer --rexec ARGS... in the peer's namespace;
# sets $call_status and $call_out.
rexec_call() {
  set +e
  call_out=$(in_peer "$PEER" --rexec "$@")
  call_status=$?
  set -e
}
