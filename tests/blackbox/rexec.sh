# Remote execution across a veth pair: kesta-peer registers the device and
# then calls it on its agent port as the server would, with credentials this
# test computes with openssl from the DN. An unregistered device refuses
# everyone; a registered one accepts InstallAgent (in any letter case, plain
# or protected) from the server's address or an AgentAllowedPeers address
# only, tells it that the install failed (its media is not on the server)
# and listens again; wrong credentials, other commands and broken requests are
# refused or dropped, and the service goes on serving and stops at once even
# while a silent client holds it.
#
# The service is found by name among all processes, so the test runs in pid
# and host-name namespaces of its own.
set -euo pipefail
. "$(dirname "$0")/lib/common.sh"
enter_pid_namespace --uts
DEVICE_ADDRESS=10.99.0.2
PEER_ADDRESS=10.99.0.1
OTHER_ADDRESS=10.99.0.3
AGENT_PORT=3465
DN=cn=rexec-device,ou=devices,o=kesta
INSTALL="InstallAgent -media /m -contentlist l.mcfl"
REFUSED_CREDENTIALS="status 0x01
Invalid credentials specified."

INVALID_COMMAND="status 0x01
Invalid command specified."
LOG=/etc/kesta/dusk/log/dusk.log

# expect_call STATUS OUTPUT WHAT: the last call's exit status and output.
expect_call() {
  expect_eq "$call_out" "$2" "$3: output"
  expect_eq "$call_status" "$1" "$3: exit status"
}

# expect_install_failure WHAT: the call was accepted, the install began,
# and its last line told that the media is not on the server.
expect_install_failure() {
  expect_eq "$call_status" 0 "$1: exit status"
  expect_eq "$(printf '%s\n' "$call_out" | head -1)" "status 0x00" "$1: status"
  printf '%s\n' "$call_out" | tail -1 | grep -qxE \
    'event [0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9:]{8}Z\|installagentfailed\|Could\+not\+download\+file\+%2fm%2f[a-zA-Z.]+\+from\+KESTA\+Server\+10\.99\.0\.1%3a[0-9]+\+-\+File\+not\+found\|' \
    || fail "$1: no failure event in [$call_out]"
  expect_eq "$(printf '%s\n' "$call_out" | wc -l)" 5 "$1: lines"
}

# calls: makes each call of the table on standard input, one a line:
#   WHAT|ARGUMENTS|OUTCOME|MESSAGE
# ARGUMENTS are kesta-peer --rexec's after the device's address, as shell
# words; OUTCOME is "refused" (exit status 1, invalid credentials),
# "invalid" (1, an invalid command), "no status" (3, the device dropped the
# connection) or "install failed" (accepted, and the install told that the
# media is not on the server); MESSAGE, when given, is a log message that
# the call adds.
calls() {
  local what arguments outcome message before
  while IFS='|' read -r what arguments outcome message; do
    stage "$what"
    before=$(log_messages "$LOG" | grep -cxF -- "$message" || true)
    eval "rexec_call $DEVICE_ADDRESS $arguments" < /dev/null
    case $outcome in
      refused) expect_call 1 "$REFUSED_CREDENTIALS" "$what" ;;
      invalid) expect_call 1 "$INVALID_COMMAND" "$what" ;;
      "no status") expect_call 3 "no status" "$what" ;;
      "install failed") expect_install_failure "$what" ;;
      *) fail "no such outcome: [$outcome]" ;;
    esac
    [ -z "$message" ] || wait_for_log "$LOG" "$message" $((before + 1))
  done
}

stage "set-up"
veth_to_peer_namespace $DEVICE_ADDRESS $PEER_ADDRESS
in_peer ip addr add $OTHER_ADDRESS/24 dev dusk-peer0
mkdir -p "$PEER_STATE"
# The device stays unregistered until this fault goes.
echo "/proc/vmp/register status 500" > "$PEER_STATE/faults"
start_peer_in_namespace $PEER_ADDRESS
hostname rexec-device

install_dusk
cd /tmp/kesta
run_dusk -confinit -host $PEER_ADDRESS -port "$PORT"
expect_eq "$status" 0 "-confinit"
grep -q AgentAllowedPeers $CONF && fail "AgentAllowedPeers in the generated configuration"
run_dusk -confupdate Config/registrationinterval=4 -confupdate LogLevel=debug
expect_eq "$status" 0 "-confupdate"
start_service

# The server answered the probe: the listener is up, with no DN yet.
wait_for_log "$LOG" "KESTA Agent is Not Installed, Starting the KESTA-DUSK Listener"
grep -q '^devdn=.' $CONF && fail "registered against the fault"
device_credentials "$DN"
calls <<CALLS
unregistered, empty credentials|--user "" --password "" --command "$INSTALL"|refused|
unregistered, the DN's credentials|--user "$CRED_USER" --password "$CRED_PASSWORD" --command "$INSTALL"|refused|
CALLS
grep -q "KESTA-DUSK: Failed to get Device Dn$" "$LOG" || fail "no Warn about the missing DN"

stage "registered"
rm "$PEER_STATE/faults"
wait_for_log "$LOG" "Successfully Registered Device with $PEER_ADDRESS:$PORT"
grep -qx "devdn=$DN" $CONF || fail "DN not stored: $(grep devdn $CONF || true)"
# Accepted in any form from the server's address only; refused or dropped
# otherwise, and broken requests leave no status byte. The service goes on.
calls <<CALLS
plain|--user "$CRED_USER" --password "$CRED_PASSWORD" --command "$INSTALL"|install failed|Failed to download KESTA Agent Media from /m/l.mcfl - Could not download file /m/l.mcfl from KESTA Server $PEER_ADDRESS:$PORT - File not found
protected by openssl, with an error connection|--user "$(protect "$CRED_USER")" --password "$(protect "$CRED_PASSWORD")" --command "$(protect "$INSTALL")" --error-port listen|install failed|Received Request "$INSTALL" from KESTA Server $PEER_ADDRESS
protected by kesta-peer, lower-case command|--dn "$DN" --protect user,password,command --command "installagent -media /m"|install failed|Processing Command "installagent"
wrong password|--user "$CRED_USER" --password "${CRED_PASSWORD%=}x=" --command "$INSTALL"|refused|
another command|--dn "$DN" --command UninstallAgent|invalid|
another address|--dn "$DN" --command "$INSTALL" --bind $OTHER_ADDRESS|refused|Refused Rexec Request from $OTHER_ADDRESS - not an address of KESTA Server $PEER_ADDRESS
error port 99999|--dn "$DN" --error-port 99999|no status|Failed to Connect to KESTA Server via the Error socket for port 99999 - Socket Error (22): Invalid argument
error port abc|--dn "$DN" --error-port abc|no status|
an error port where nobody listens|--dn "$DN" --error-port 1|no status|Failed to Connect to KESTA Server via the Error socket for port 1 - Socket Error (111): Connection refused
a protected value that is not Base64|--dn "$DN" --user '{AES256}!!!'|refused|base64_decode Failed
a command of blanks only|--dn "$DN" --command "   "|invalid|
a parameter of 5000 bytes|--dn "$DN" --user $(head -c 5000 /dev/zero | tr '\0' u)|no status|
CALLS
log_has "$LOG" "Received Request \"$INSTALL\" from KESTA Server $PEER_ADDRESS" 2 ||
  fail "not both InstallAgent requests in the log"
log_has "$LOG" "Processing Command \"InstallAgent\"" || fail "no Processing line of the plain request"
grep -qF -- "$CRED_PASSWORD" "$LOG" && fail "the password reached the log"

stage "an allowed address"
run_dusk -confupdate "AgentAllowedPeers=10.99.0.9 $OTHER_ADDRESS"
calls <<CALLS
an allowed address|--dn "$DN" --command "$INSTALL" --bind $OTHER_ADDRESS|install failed|
CALLS

stage "a flood of clients"
# Three parameters and a hang-up; fifty clients at once that give up within
# a second; then the server is served again.
in_peer bash -c "exec 3<>/dev/tcp/$DEVICE_ADDRESS/$AGENT_PORT; printf '0\0u\0p\0' >&3"
flood=()
for _ in $(seq 50); do
  in_peer timeout 1 bash -c "exec 3<>/dev/tcp/$DEVICE_ADDRESS/$AGENT_PORT; printf '0\0' >&3; sleep 5" \
    >/dev/null 2>&1 &
  flood+=($!)
done
for client in "${flood[@]}"; do wait "$client" || true; done
calls <<CALLS
after the flood|--dn "$DN" --command "$INSTALL" --timeout 60|install failed|
CALLS

stage "a silent client and a stop"
# A client that says nothing holds the service for five seconds at most, and
# a stop ends that wait at once.
AWAITING="Awaiting for Rexec Parameter from KESTA Server $PEER_ADDRESS ..."
waits=$(log_messages "$LOG" | grep -cxF "$AWAITING" || true)
in_peer bash -c "exec 3<>/dev/tcp/$DEVICE_ADDRESS/$AGENT_PORT; sleep 20" &
wait_for_log "$LOG" "$AWAITING" $((waits + 1))
start=$SECONDS
run_dusk -stop
expect_eq "$status" 0 "-stop"
wait_for_log "$LOG" "Service Shutdown" 1 3
[ $((SECONDS - start)) -le 3 ] || fail "the stop waited for the silent client"
wait_for_exit "$service" 10
echo PASS
