# Fault drill: the device's network interface goes down and comes up again
# while the service runs: first while it probes (the service starts with
# the link down), then while it is registered and re-announcing itself.
# With the link down every exchange fails at once; the service keeps to
# its timers (one attempt per pass, no spinning) and, once the link is up,
# probes, registers and re-announces by itself, under the same DN and
# without a needless new registration.
set -euo pipefail
. "$(dirname "$0")/lib/common.sh"
enter_pid_namespace --uts
. "$(dirname "$0")/lib/drill.sh"
DEVICE_ADDRESS=10.97.0.2
PEER_ADDRESS=10.97.0.1

# at_most_attempts TEXT SECONDS INTERVAL: in the next SECONDS the log says
# TEXT no more often than a timer of INTERVAL seconds allows.
at_most_attempts() {
  local before now
  before=$(log_count "$1")
  sleep "$2"
  now=$(log_count "$1")
  echo "[$1] $((now - before)) times in $2 s with the link down"
  [ $((now - before)) -le $(($2 / $3 + 1)) ] || fail "[$1] $((now - before)) times in $2 s"
}

stage "set-up"
hostname drill-device
drill_device
cd "$DRILL"
veth_to_peer_namespace "$DEVICE_ADDRESS" "$PEER_ADDRESS"
start_peer_in_namespace "$PEER_ADDRESS"
run_dusk -confinit -host "$PEER_ADDRESS" -port "$PORT"
expect_eq "$status" 0 "-confinit"
short_timers -confupdate Application/LogLevel=debug
SERVER=$PEER_ADDRESS:$PORT
DN=cn=drill-device,ou=devices,o=kesta

stage "link down while the service probes"
ip link set dusk-dev0 down
start_service
wait_until 20 "a failed probe" eval 'log_messages "$LOG" | grep -q "^KESTA Server $SERVER Not Available - "'
at_most_attempts "Probing KESTA Server $SERVER @ URL http://$SERVER/proc/Zelmar?WebService.Name=AuthenticateUser&Response.Format=Text&getauthds=true ..." 12 2
expect_eq "$(peer_count /proc/Zelmar)" 0 "probes that reached the server"
check_service 1

stage "link up: probed and registered by the timers"
ip link set dusk-dev0 up
# The probe burst (3 probes 2 s apart) may be over: the next one comes
# after the retry interval (4 s).
wait_for_log "$LOG" "Successfully Registered Device with $SERVER" 1 30
# Counted from here: on a loaded machine a first Register whose answer came
# too late is rightly sent again; what the flap must not cause is another.
registers=$(peer_count /proc/vmp/register)
wait_for_log "$LOG" "Successfully Updated Service Scan with $SERVER" 1 15
expect_eq "$(stored_dn)" "$DN" "DN"
check_conf

stage "link down while registered"
wait_for_log "$LOG" "Successfully Started Device on $SERVER" 1 20
ip link set dusk-dev0 down
wait_for_log "$LOG" "Failed to query Device Information" 1 20
at_most_attempts "Regitration Attempt:" 12 4
expect_eq "$(stored_dn)" "$DN" "DN with the link down"
check_conf
check_service 1

stage "link up: re-announced by the timers"
started=$(log_count "Successfully Started Device on $SERVER")
ip link set dusk-dev0 up
wait_for_log "$LOG" "Successfully Started Device on $SERVER" $((started + 1)) 20
expect_eq "$(stored_dn)" "$DN" "DN after the link came back"
expect_eq "$(peer_count /proc/vmp/register)" "$registers" "Registers since the first registration"
check_qdx "$DN"
check_service 1

stage "stop"
stop_service
wait_for_log "$LOG" "Successfully Unregistered Device from $SERVER"
check_conf
check_files
echo PASS
