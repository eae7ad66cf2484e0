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

LOG=/etc/kesta/dusk/log/dusk.log

# messages: the log's messages without time, level and program name.
messages() { sed -n 's/^.*KESTA-DUSK: //p' "$LOG" 2>/dev/null; }

# wait_for TEXT [N] [SECONDS]: until N (1) log messages equal TEXT, at most
# SECONDS (40).
wait_for() {
  local deadline=$((SECONDS + ${3:-40}))
  until [ "$(messages | grep -cxF -- "$1")" -ge "${2:-1}" ]; do
    [ $SECONDS -lt $deadline ] || fail "no [$1] in the log: $(messages | tail -20)"
    sleep 0.1
  done
}

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
"$DUSK" > /tmp/kesta/start.out
service=$(sed -n 's/^  Info: New KESTA-DUSK Service started pid=\([0-9]*\)$/\1/p' /tmp/kesta/start.out)
[ -n "$service" ] || fail "no start line in [$(cat /tmp/kesta/start.out)]"

# The server answered the probe: the listener is up, with no DN yet.
wait_for "KESTA Agent is Not Installed, Starting the KESTA-DUSK Listener"
grep -q '^devdn=.' $CONF && fail "registered against the fault"
device_credentials "$DN"
rexec_call $DEVICE_ADDRESS --user "" --password "" --command "$INSTALL"
expect_call 1 "$REFUSED_CREDENTIALS" "unregistered, empty credentials"
rexec_call $DEVICE_ADDRESS --user "$CRED_USER" --password "$CRED_PASSWORD" --command "$INSTALL"
expect_call 1 "$REFUSED_CREDENTIALS" "unregistered, the DN's credentials"
grep -q "KESTA-DUSK: Failed to get Device Dn$" "$LOG" || fail "no Warn about the missing DN"

# Registered: the DN from kesta-peer.
rm "$PEER_STATE/faults"
wait_for "Successfully Registered Device with $PEER_ADDRESS:$PORT"
grep -qx "devdn=$DN" $CONF || fail "DN not stored: $(grep devdn $CONF || true)"

rexec_call $DEVICE_ADDRESS --user "$CRED_USER" --password "$CRED_PASSWORD" --command "$INSTALL"
expect_install_failure "plain"
wait_for "Received Request \"$INSTALL\" from KESTA Server $PEER_ADDRESS"
wait_for "Processing Command \"InstallAgent\""
wait_for "Failed to download KESTA Agent Media from /m/l.mcfl - Could not download file /m/l.mcfl from KESTA Server $PEER_ADDRESS:$PORT - File not found"
grep -qF -- "$CRED_PASSWORD" "$LOG" && fail "the password reached the log"

rexec_call $DEVICE_ADDRESS --user "$(protect "$CRED_USER")" --password "$(protect "$CRED_PASSWORD")" \
  --command "$(protect "$INSTALL")" --error-port listen
expect_install_failure "protected by openssl, with an error connection"
wait_for "Received Request \"$INSTALL\" from KESTA Server $PEER_ADDRESS" 2

rexec_call $DEVICE_ADDRESS --dn "$DN" --protect user,password,command --command "installagent -media /m"
expect_install_failure "protected by kesta-peer, lower-case command"
wait_for "Processing Command \"installagent\""

rexec_call $DEVICE_ADDRESS --user "$CRED_USER" --password "${CRED_PASSWORD%=}x=" --command "$INSTALL"
expect_call 1 "$REFUSED_CREDENTIALS" "wrong password"

rexec_call $DEVICE_ADDRESS --dn "$DN" --command "UninstallAgent"
expect_call 1 "status 0x01
Invalid command specified." "another command"

# Only the server's address may ask, unless AgentAllowedPeers says more.
rexec_call $DEVICE_ADDRESS --dn "$DN" --command "$INSTALL" --bind $OTHER_ADDRESS
expect_call 1 "$REFUSED_CREDENTIALS" "another address"
wait_for "Refused Rexec Request from $OTHER_ADDRESS - not an address of KESTA Server $PEER_ADDRESS"
run_dusk -confupdate "AgentAllowedPeers=10.99.0.9 $OTHER_ADDRESS"
rexec_call $DEVICE_ADDRESS --dn "$DN" --command "$INSTALL" --bind $OTHER_ADDRESS
expect_install_failure "an allowed address"

# Broken and bad requests: no status byte or a refusal, and the service goes on.
rexec_call $DEVICE_ADDRESS --dn "$DN" --error-port 99999
expect_call 3 "no status" "error port 99999"
wait_for "Failed to Connect to KESTA Server via the Error socket for port 99999 - Socket Error (22): Invalid argument"
rexec_call $DEVICE_ADDRESS --dn "$DN" --error-port abc
expect_call 3 "no status" "error port abc"
rexec_call $DEVICE_ADDRESS --dn "$DN" --error-port 1
expect_call 3 "no status" "an error port where nobody listens"
wait_for "Failed to Connect to KESTA Server via the Error socket for port 1 - Socket Error (111): Connection refused"
rexec_call $DEVICE_ADDRESS --dn "$DN" --user '{AES256}!!!'
expect_call 1 "$REFUSED_CREDENTIALS" "a protected value that is not Base64"
wait_for "base64_decode Failed"
rexec_call $DEVICE_ADDRESS --dn "$DN" --command "   "
expect_call 1 "status 0x01
Invalid command specified." "a command of blanks only"
rexec_call $DEVICE_ADDRESS --dn "$DN" --user "$(head -c 5000 /dev/zero | tr '\0' u)"
expect_call 3 "no status" "a parameter of 5000 bytes"

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
rexec_call $DEVICE_ADDRESS --dn "$DN" --command "$INSTALL" --timeout 60
expect_install_failure "after the flood"

# A client that says nothing holds the service for five seconds at most, and
# a stop ends that wait at once.
AWAITING="Awaiting for Rexec Parameter from KESTA Server $PEER_ADDRESS ..."
waits=$(messages | grep -cxF "$AWAITING" || true)
in_peer bash -c "exec 3<>/dev/tcp/$DEVICE_ADDRESS/$AGENT_PORT; sleep 20" &
wait_for "$AWAITING" $((waits + 1))
start=$SECONDS
run_dusk -stop
expect_eq "$status" 0 "-stop"
wait_for "Service Shutdown" 1 3
[ $((SECONDS - start)) -le 3 ] || fail "the stop waited for the silent client"
deadline=$((SECONDS + 10))
while [ -e /proc/$service ] && ! grep -q '^State:.*Z' /proc/$service/status; do
  [ $SECONDS -lt $deadline ] || fail "the service did not end"
  sleep 0.1
done
echo PASS
