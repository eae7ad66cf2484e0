# Shared by the black-box tests. Each test runs inside tests/sandbox, so the
# program's fixed directories are private tmpfs mounts.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/../../lib/common.sh"

: "${DUSK_BINARY:?DUSK_BINARY must name the built dusk}"
[ "${DUSK_SANDBOX:-}" = 1 ] || skip "needs tests/sandbox (root)"

INSTALL_DIR=$(dirname "$DUSK")
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

# stop_service [SECONDS]: -stop, and the service $service ends within
# SECONDS (10: a second to notice, then an UnRegister within the exchange
# limit, 5 s in dusk-short-waits) with exit status 0.
stop_service() {
  run_dusk -stop
  expect_eq "$status" 0 "-stop"
  wait_for_exit "$service" "${1:-10}"
  expect_eq "$(exit_code_of "$service")" 0 "exit status of the service"
}

# peer_requests PATH: the peer's recorded requests to PATH (any method, with
# or without a query), oldest first; peer_count PATH: how many.
peer_requests() { grep -l "^[A-Z]* $1[? ]" "$PEER_STATE"/requests/*.txt 2> /dev/null || true; }
peer_count() { peer_requests "$1" | wc -l; }

# wait_for_requests PATH N SECONDS: until the peer has had N requests to
# PATH.
wait_for_requests() {
  awaited_path=$1 awaited_count=$2
  wait_until "$3" "$2 requests to $1" eval '[ "$(peer_count "$awaited_path")" -ge "$awaited_count" ]'
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

# http_encode TEXT: TEXT as an event record carries it.
http_encode() {
  local LC_ALL=C text=$1 out="" c i
  for ((i = 0; i < ${#text}; i++)); do
    c=${text:i:1}
    case $c in
      [A-Za-z0-9._~-]) out+=$c ;;
      " ") out+=+ ;;
      *) printf -v c '%%%02x' "'$c"; out+=$c ;;
    esac
  done
  printf '%s' "$out"
}

# start_listening_service: configures the program for kesta-peer at
# $PEER_ADDRESS:$PORT with LogLevel=debug, starts the service and waits
# until it has registered and listens for the server's request (its log is
# $LOG).
start_listening_service() {
  run_dusk -confinit -host "$PEER_ADDRESS" -port "$PORT"
  expect_eq "$status" 0 "-confinit"
  run_dusk -confupdate LogLevel=debug
  expect_eq "$status" 0 "-confupdate"
  start_service
  wait_for_log "$LOG" "Successfully Registered Device with $PEER_ADDRESS:$PORT"
  wait_for_log "$LOG" "KESTA Agent is Not Installed, Starting the KESTA-DUSK Listener"
}
