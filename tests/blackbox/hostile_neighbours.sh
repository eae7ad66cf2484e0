# The service beside those who should not reach root or keep the server
# out, across a veth pair with kesta-peer as the server:
# - an unprivileged local process (uid 65534) cannot bind AgentPort while
#   the service runs, neither while it listens nor after an install;
# - ten strangers that connect, say nothing and connect again as soon as
#   they are dropped do not keep the server's request waiting;
# - a host name "dev$(id>FILE)" and the request option
#   "-rcsport {3464;id>FILE;#}" reach the agent's programs as they are and
#   run nothing;
# - "-instagent" started while the server's InstallAgent runs is refused,
#   and so is the server's InstallAgent while "-instagent" runs.
#
# The service is found by name among all processes, so the test runs in pid
# and host-name namespaces of its own.
. "$(dirname "$0")/lib/common.sh"
. "$DUSK_SOURCE_DIR/tests/lib/sample_agent.sh"
enter_pid_namespace --uts
PYTHON=/usr/bin/python3
[ -x $PYTHON ] || skip "needs $PYTHON"
DEVICE_ADDRESS=10.99.0.2
PEER_ADDRESS=10.99.0.1
STRANGER_ADDRESS=10.99.0.3
AGENT_PORT=3465
MARKER=/tmp/kesta/ran
DEVICE="dev\$(id>$MARKER-hostname)"
RCSPORT="3464;id>$MARKER-rcsport;#"
DN="cn=$DEVICE,ou=devices,o=kesta"
LOG=/etc/kesta/dusk/log/dusk.log
WWW=/tmp/kesta/www
CALLS=/tmp/kesta/agent-calls
LISTENING="KESTA Agent is Not Installed, Starting the KESTA-DUSK Listener"
BUSY="Another KESTA Agent install or uninstall is already running - not starting another install"

# expect_port_kept WHAT: a process of uid 65534 cannot bind AgentPort, even
# with SO_REUSEADDR.
expect_port_kept() {
  local result
  result=$(setpriv --reuid=65534 --regid=65534 --clear-groups $PYTHON -c "
import socket
s = socket.socket()
s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
try:
    s.bind(('0.0.0.0', $AGENT_PORT))
    print('bound')
except OSError as e:
    print(e.errno)")
  expect_eq "$result" 98 "$1: the bind of uid 65534"
}

# background_install ARGS...: "InstallAgent ARGS..." from the server in the
# background; its output goes to /tmp/kesta/install-call.
background_install() {
  in_peer "$PEER" --rexec $DEVICE_ADDRESS --dn "$DN" --timeout 120 \
    --command "InstallAgent $*" > /tmp/kesta/install-call 2>&1 &
  install_caller=$!
}

stage "set-up"
veth_to_peer_namespace $DEVICE_ADDRESS $PEER_ADDRESS
in_peer ip addr add $STRANGER_ADDRESS/24 dev dusk-peer0
make_sample_agent_media "$WWW"
media_list_variant "$WWW/script" slow.mcfl MediaContent.mcfl \
  "InstallOptions=--sleep 4 -server <RcsHost> -port <RcsPort> -host <Hostname>"
mkdir -p "$PEER_STATE"
start_peer_in_namespace $PEER_ADDRESS --media "$WWW"
# The hostname command refuses such a name; the kernel takes it.
printf %s "$DEVICE" > /proc/sys/kernel/hostname
install_dusk
cd /tmp/kesta
start_listening_service
expect_port_kept "listening"

stage "ten silent strangers"
in_peer $PYTHON -c "
import socket, threading
def stranger():
    while True:
        s = socket.socket()
        s.bind(('$STRANGER_ADDRESS', 0))
        try:
            s.connect(('$DEVICE_ADDRESS', $AGENT_PORT))
            while s.recv(4096):
                pass
        except OSError:
            pass
        s.close()
for _ in range(10):
    threading.Thread(target=stranger, daemon=True).start()
threading.Event().wait()" &
strangers=$!
REFUSED="Refused Rexec Request from $STRANGER_ADDRESS - not an address of KESTA Server $PEER_ADDRESS"
wait_for_log "$LOG" "$REFUSED" 30
# The server's request (refused for its wrong password, which needs no
# install) is answered within a few seconds all the same, three times over.
for round in 1 2 3; do
  start=$SECONDS
  rexec_call $DEVICE_ADDRESS --dn "$DN" --password wrong --timeout 20 --command "InstallAgent"
  expect_eq "$call_out" "status 0x01
Invalid credentials specified." "the server's request among strangers ($round)"
  [ $((SECONDS - start)) -le 4 ] || fail "the server waited $((SECONDS - start)) s among strangers"
done
kill $strangers
wait $strangers || true

stage "hostile values, and -instagent during the server's install"
background_install -media /script -contentlist slow.mcfl "-rcsport {$RCSPORT}"
wait_until 30 "the install script started" grep -q "^install.sh" $CALLS
run_dusk -instagent "http://$PEER_ADDRESS:$PORT/script/"
expect_eq "$status" 1 "-instagent during the server's install"
expect_contains "$out$err" "$BUSY" "-instagent during the server's install"
wait $install_caller || fail "the server's install call: $(cat /tmp/kesta/install-call)"
grep -q "|agentinstalled|" /tmp/kesta/install-call || fail "not installed: $(cat /tmp/kesta/install-call)"
expect_eq "$(grep -v '^fs' $CALLS | head -2)" \
  "install.sh --sleep 4 -server $PEER_ADDRESS -port $RCSPORT -host $DEVICE
zelskman -configure -server $PEER_ADDRESS:$RCSPORT" "the agent's calls"
for value in hostname rcsport; do
  [ ! -e "$MARKER-$value" ] || fail "the $value ran a command"
done
expect_port_kept "after the install"

stage "the server's InstallAgent during -instagent"
run_dusk -uninstagent
expect_eq "$status" 0 "-uninstagent"
wait_for_log "$LOG" "$LISTENING" 2
rm -f $CALLS
"$DUSK" -instagent "http://$PEER_ADDRESS:$PORT/script/slow.mcfl" > /tmp/kesta/instagent.out 2>&1 &
instagent=$!
wait_until 30 "the install script started" grep -q "^install.sh" $CALLS
rexec_call $DEVICE_ADDRESS --dn "$DN" --timeout 60 --command "InstallAgent -media /script"
expect_eq "$(printf '%s\n' "$call_out" | tail -1 | cut -d'|' -f2-3)" \
  "installagentfailed|$(printf %s "$BUSY" | sed 's/ /+/g')" "the server's install during -instagent"
wait $instagent || fail "-instagent: $(cat /tmp/kesta/instagent.out)"
expect_port_kept "after -instagent"
echo PASS
