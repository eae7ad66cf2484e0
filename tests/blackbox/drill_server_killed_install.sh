# Fault drill: the server dies in the middle of an install request. The
# server (kesta-peer) asks the device for InstallAgent over a link held to
# 16 Mbit/s and is killed, its remote call with it, while the agent media's
# large file is half way. The install fails, the half file leaves no trace,
# the service is the same process, its files are whole, the listener
# listens again; and once the server is back the same request installs the
# agent.
set -euo pipefail
. "$(dirname "$0")/lib/common.sh"
. "$DUSK_SOURCE_DIR/tests/lib/sample_agent.sh"
enter_pid_namespace --uts
. "$(dirname "$0")/lib/drill.sh"
DEVICE_ADDRESS=10.97.0.2
PEER_ADDRESS=10.97.0.1
DEVICE=drill-install
DN=cn=drill-install,ou=devices,o=kesta
WWW=/tmp/kesta/www
MEDIA_DIR=/tmp/kesta/dusk/media
BIG=$((8 * 1024 * 1024))
LISTENING="KESTA Agent is Not Installed, Starting the KESTA-DUSK Listener"

# install_request LIST: the server's "InstallAgent" for the script media
# with the content list LIST, in the background; its output goes to
# DRILL/call.out, its pid to $call.
install_request() {
  nsenter --target "$PEER_NS" --net -- "$PEER" --rexec "$DEVICE_ADDRESS" --dn "$DN" \
    --timeout 120 --command "InstallAgent -media /script -contentlist $1 -prime 1" \
    > "$DRILL/call.out" 2>&1 &
  call=$!
}

stage "set-up"
hostname $DEVICE
drill_device
make_sample_agent_media "$WWW"
head -c "$BIG" /dev/urandom > "$WWW/script/agent/blob.bin"
media_list_variant "$WWW/script" big.mcfl MediaContent.mcfl
veth_to_peer_namespace $DEVICE_ADDRESS $PEER_ADDRESS
slow_server_link
start_peer_in_namespace $PEER_ADDRESS --media "$WWW"
SERVER=$PEER_ADDRESS:$PORT
cd "$DRILL"
run_dusk -confinit -host $PEER_ADDRESS -port "$PORT"
expect_eq "$status" 0 "-confinit"
short_timers
start_service
wait_for_log "$LOG" "Successfully Registered Device with $SERVER"
wait_for_log "$LOG" "$LISTENING"

stage "server killed half way through the agent media"
install_request big.mcfl
wait_until 60 "blob.bin half downloaded" big_part_over $((BIG / 2)) "$MEDIA_DIR"
kill -KILL "$PEER_PID" "$call"
{ wait "$PEER_PID" "$call" || true; } 2> /dev/null
# At the latest once the wait without progress runs out (3 s in
# dusk-short-waits).
wait_until 20 "the failed install in the log" \
  eval 'log_messages "$LOG" | grep -c "^Failed to download KESTA Agent Media from /script/big.mcfl - " > /dev/null'
wait_until 10 "the listener back on port 3465" eval '[ -n "$(ss -Hltn "sport = :3465")" ]'
[ -z "$(find "$MEDIA_DIR" -name '.dusk-*.part')" ] || fail "a half file stayed: $(ls -a "$MEDIA_DIR")"
[ ! -e "$MEDIA_DIR/agent/blob.bin" ] || fail "the cut file is there under its name"
[ ! -e /opt/kesta/agent ] || fail "an agent was installed"
check_service 1
check_conf
check_qdx "$DN"
check_files

stage "server back: the install completes"
in_peer tc qdisc del dev dusk-peer0 root
PEER_PORT=$PORT start_peer_in_namespace $PEER_ADDRESS --media "$WWW"
install_request big.mcfl
status=0
wait "$call" || status=$?
expect_eq "$status" 0 "the second request ($(cat "$DRILL/call.out"))"
expect_eq "$(tail -1 "$DRILL/call.out" | cut -d'|' -f2)" agentinstalled "last line of the second request"
cmp -s "$MEDIA_DIR/agent/blob.bin" "$WWW/script/agent/blob.bin" || fail "blob.bin differs"
wait_for_log "$LOG" "Successfully Updated Service Scan with $SERVER" 2
check_service 1
check_conf
check_qdx "$DN"
stop_service
echo PASS
