# The server's "InstallAgent" through the service, across a veth pair:
# kesta-peer publishes the sample agent's media and calls the device as the
# server would. The call receives, in order, "copyingagent", the download's
# "info" lines, "installcfgagent", the install, post-install and initial
# connect lines and "agentinstalled"; the service then writes the DN into the
# agent's object file and reports the running daemons in a Status. Failures
# (a missing install script, the package type rpm, an install command that
# exits 1, a digest that does not match, a post-install command that times
# out) each end with "installagentfailed" and its text, and the service
# listens again; while the timed-out command still runs a new install is
# refused, and once it has ended one succeeds.
#
# The service and the daemons are found by name among all processes, so the
# test runs in pid and host-name namespaces of its own.
. "$(dirname "$0")/lib/common.sh"
. "$DUSK_SOURCE_DIR/tests/lib/sample_agent.sh"
enter_pid_namespace --uts
DEVICE_ADDRESS=10.99.0.2
PEER_ADDRESS=10.99.0.1
DEVICE=svc-device
DN=cn=svc-device,ou=devices,o=kesta
LOG=/etc/kesta/dusk/log/dusk.log
WWW=/tmp/kesta/www
MEDIA_DIR=/tmp/kesta/dusk/media
INSTALL_LOG=/etc/kesta/dusk/log/agentinstall.log
LISTENING="KESTA Agent is Not Installed, Starting the KESTA-DUSK Listener"
# The post-install time-out of dusk-short-waits (tests/support/short_timings.cc;
# the program's own 30 s is pinned by TimingsTest), and how long the slow
# post-install command runs.
POST_INSTALL_TIMEOUT=3
SLOW_COMMAND=8

# install_call [ARGS...]: "InstallAgent ARGS..." from the server; sets
# $call_status and $call_out.
install_call() {
  rexec_call $DEVICE_ADDRESS --dn "$DN" --timeout 120 --command "InstallAgent $*"
  expect_eq "$call_status" 0 "InstallAgent $*: exit status ($call_out)"
  expect_eq "$(printf '%s\n' "$call_out" | head -1)" "status 0x00" "InstallAgent $*: status"
}

# outline: the lines of the last call after its status, events as
# "event TYPE DATA".
outline() {
  printf '%s\n' "$call_out" | sed 1d |
    sed -E 's/^event [0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9:]{8}Z\|([^|]*)\|([^|]*)\|$/event \1 \2/'
}

# expect_failure TEXT WHAT: the last call ended with "installagentfailed"
# and TEXT.
expect_failure() {
  [ "$(outline | tail -1)" = "event installagentfailed $(http_encode "$1")" ] ||
    fail "$2: no failure event with [$1] in: $(outline)"
}

# daemon_entry NAME FULLNAME: the description of a started agent daemon in a
# Status body.
daemon_entry() {
  echo "$1 {status started type single mode boot path /opt/kesta/agent/$1 fullname {$2}}"
}

stage "set-up"
veth_to_peer_namespace $DEVICE_ADDRESS $PEER_ADDRESS
make_sample_agent_media "$WWW"
media_list_variant "$WWW/script" setup.mcfl MediaContent.mcfl InstallScript=setup.sh
media_list_variant "$WWW/script" rpm.mcfl MediaContent.mcfl PackageType=rpm
media_list_variant "$WWW/script" exit1.mcfl MediaContent.mcfl "InstallOptions=--exit 1"
media_list_variant "$WWW/script" slow.mcfl MediaContent.mcfl \
  "PostInstallConfigure=zelskman -configure --sleep $SLOW_COMMAND"
# The listed digest of install.sh is that of another file.
sed "s|^\(install.sh [0-9]* [0-9]*\) .*|\1 $(md5sum < "$WWW/script/agent/zelskman" | cut -d' ' -f1)|" \
  "$WWW/script/MediaContent.mcfl" > "$WWW/script/digest.mcfl"
mkdir -p "$PEER_STATE"
start_peer_in_namespace $PEER_ADDRESS --media "$WWW"
SERVER=$PEER_ADDRESS:$PORT
hostname $DEVICE
install_dusk
cd /tmp/kesta
start_listening_service
device_credentials "$DN"

stage "InstallAgent"
install_call -media /script -prime 1 -rcsport 4000
list=$WWW/script/MediaContent.mcfl
expected="event copyingagent 
info {Downloading Agent Media from KESTA Server $SERVER}
info {Downloading /script/MediaContent.mcfl ...}
$(grep -v '^#' "$list" | while read -r path size _ md5; do
  echo "info {Downloading /script/$path  bytes=$size  md5=$md5 ...}"
done)
event installcfgagent 
info {Executing KESTA Agent Install Command: \"$MEDIA_DIR/install.sh -server $PEER_ADDRESS -port 4000 -host $DEVICE -log $INSTALL_LOG\"}
info {Post Agent Install Configuration}
info {Executing KESTA Post Install Configuration: \"zelskman -configure -server $PEER_ADDRESS:4000\"}
info {KESTA Post Install Configuration Completed - Exit Code: 0}
info {Initializing Agent Initial Connect}
info {Executing KESTA Initial Connect Command: \"/opt/kesta/agent/zelskman -connect -server $PEER_ADDRESS -port 4000 -host $DEVICE\"}
info {KESTA Initial Connect Completed - Exit Code: 0}
event agentinstalled "
expect_eq "$(outline)" "$expected" "lines of the install"
log_has "$LOG" "Exec: /bin/sh -c \"$MEDIA_DIR/install.sh -server $PEER_ADDRESS -port 4000 -host $DEVICE -log $INSTALL_LOG>$INSTALL_LOG 2>&1\"" ||
  fail "no install shell line"
# The DN goes into the new agent's object file at its offset.
expect_eq "$(dd if=/etc/kesta/agent/lib/KMA.QDX bs=1 skip=4112 count=${#DN} 2>/dev/null)" "$DN" \
  "DN in KMA.QDX"
# The next pass scans the services and reports the agent's daemons.
wait_for_log "$LOG" "Successfully Updated Service Scan with $SERVER" 2
body=$(cat "$PEER_STATE/devices/$DN")
expect_contains "$body" "$(daemon_entry zelexecd "KESTA Notify Daemon")" "Status after the install"
expect_contains "$body" "$(daemon_entry zelsched "KESTA Scheduler Daemon")" "Status after the install"
grep -q "^zelexecd=status started" $CONF || fail "the scan is not stored"

stage "failures"
# The agent goes, and the service listens again.
run_dusk -uninstagent
expect_eq "$status" 0 "-uninstagent"
wait_for_log "$LOG" "$LISTENING" 2
while IFS='|' read -r list text; do
  install_call -media /script -contentlist "$list"
  expect_failure "$text" "$list"
done <<CASES
setup.mcfl|Did not find KESTA Agent Install script $MEDIA_DIR/setup.sh
rpm.mcfl|Unsupported Package Type "rpm" Specified
digest.mcfl|MD5 For file install.sh does not match - Calculated $(md5sum < "$WWW/script/install.sh" | cut -d' ' -f1), Expected $(md5sum < "$WWW/script/agent/zelskman" | cut -d' ' -f1)
exit1.mcfl|Agent Install Command Failed - Exit Code: 1
CASES
log_has "$LOG" "Agent Install Command Failed - Exit Code: 1" || fail "no Error line of the failed install"

stage "a post-install command that times out"
start=$SECONDS
install_call -media /script -contentlist slow.mcfl
expect_failure "KESTA Post Install Config Failed - Command specified timed out" "slow.mcfl"
elapsed=$((SECONDS - start))
[ $elapsed -ge $POST_INSTALL_TIMEOUT ] && [ $elapsed -le $SLOW_COMMAND ] ||
  fail "the time-out came after $elapsed s"
# It goes on running: a new install is refused until it has ended.
install_call -media /script
expect_eq "$(outline | wc -l)" 1 "lines of a refused install"
outline | grep -qE '^event installagentfailed A\+previous\+KESTA\+Agent\+command\+%28pid\+[0-9]+%29\+is\+still\+running\+-\+not\+starting\+another\+install$' ||
  fail "no refusal: $(outline)"
wait_for_log "$LOG" "Abandoned command (pid $(outline | sed -E 's/.*%28pid\+([0-9]+)%29.*/\1/')) ended - No Error" 1 30
install_call -media /script
expect_eq "$(outline | tail -1)" "event agentinstalled " "install after the abandoned command ended"
echo PASS
