# "dusk -instagent" and "dusk -uninstagent" with the sample agent's script
# media from nginx (else Python's http.server): the root file system is
# unlocked around the install, the install script, the post-install command
# and the initial connect run with their placeholders filled (RcsHost is the
# configured server, not the media URL's host), the log shows the exact
# shell lines, and the console ends with the initial connect's completion.
# The uninstall runs the agent's program with "-s" only under -silent and
# reports the new service scan to the server, or that nothing changed; it
# says that the agent is gone, or why it failed, last. An
# initial connect scheduled for after a restart runs once at the next
# service start and is then forgotten.
#
# The agent's daemons and the service are found by name among all
# processes, so the test runs in a pid namespace of its own.
. "$(dirname "$0")/lib/common.sh"
. "$DUSK_SOURCE_DIR/tests/lib/sample_agent.sh"
enter_pid_namespace
LOG=/etc/kesta/dusk/log/dusk.log
CALLS=/tmp/kesta/agent-calls
WEB_PORT=18083
WWW=/tmp/kesta/www
MEDIA_DIR=/tmp/kesta/dusk/media
INSTALL_LOG=/etc/kesta/dusk/log/agentinstall.log
UNINSTALL_LOG=/etc/kesta/dusk/log/agentuninstall.log
DEVICE=inst-device
DN=cn=inst-device,ou=devices,o=kesta

# calls: the recorded agent calls, and forgets them.
take_calls() {
  cat "$CALLS" 2>/dev/null || true
  rm -f "$CALLS"
}

# status_requests: the number of Status requests kesta-peer received.
status_requests() {
  { grep -l "^POST /proc/vmp/status " "$PEER_STATE"/requests/*.txt 2>/dev/null || true; } | wc -l
}

# running NAME: the number of processes whose argv[0] is the agent's NAME.
running() {
  local proc count=0
  for proc in /proc/[0-9]*; do
    [ "$(tr '\0' '\n' < "$proc/cmdline" 2>/dev/null | head -1)" = "/opt/kesta/agent/$1" ] &&
      count=$((count + 1))
  done
  echo $count
}

stage "set-up"
start_peer
install_dusk
run_dusk -confinit -host localhost -port "$PORT"
expect_eq "$status" 0 "-confinit"
run_dusk -confupdate DeviceInfo/hostname=$DEVICE -confupdate "DeviceInfo/devdn=$DN"
expect_eq "$status" 0 "-confupdate"
sample_root_lock_tools
make_sample_agent_media "$WWW"
media_list_variant "$WWW/script" restart.mcfl MediaContent.mcfl InitialConnectAfterRestart=1
start_web_server "$WWW" $WEB_PORT || skip "neither nginx nor python3 is installed"
MEDIA_URL=http://127.0.0.1:$WEB_PORT/script

stage "-instagent"
run_dusk -debug -instagent "$MEDIA_URL/"
expect_eq "$status" 0 "-instagent ($out)"
expect_eq "$(take_calls)" "fsunlock
install.sh -server localhost -port 3464 -host $DEVICE -log $INSTALL_LOG
fslock
zelskman -configure -server localhost:3464
zelexecd start
zelsched start
zelskman -connect -server localhost -port 3464 -host $DEVICE" "agent calls"
for line in \
  "Exec: /bin/sh -c \"$MEDIA_DIR/install.sh -server localhost -port 3464 -host $DEVICE -log $INSTALL_LOG>$INSTALL_LOG 2>&1\"" \
  "Exec: /bin/sh -c \"/opt/kesta/agent/zelskman -configure -server localhost:3464 2>&1\"" \
  "Exec: /bin/sh -c \"/opt/kesta/agent/zelskman -connect -server localhost -port 3464 -host $DEVICE 2>&1\"" \
  "Downloaded file /script/install.sh ($(stat -c %s "$WWW/script/install.sh") bytes) from KESTA Server 127.0.0.1:$WEB_PORT" \
  "KESTA Initial Connect Completed - Exit Code: 0"; do
  log_has "$LOG" "$line" || fail "no [$line] in the log"
done
expect_eq "$(cat "$INSTALL_LOG")" "KESTA Agent installed in /opt/kesta/agent" "install log"
expect_contains "$out" "Info: Executing KESTA Initial Connect Command: \"/opt/kesta/agent/zelskman -connect" \
  "console"
expect_eq "$(printf '%s\n' "$out" | tail -1)" "  Info: KESTA Initial Connect Completed - Exit Code: 0" \
  "the last line of -instagent"
cmp -s "$INSTALL_DIR/NULLKMA.QDX" "$WWW/script/agent/NULLKMA.QDX" || fail "no object file template"
expect_eq "$(running zelexecd) $(running zelsched)" "1 1" "daemons after the install"

stage "-uninstagent"
statuses_before=$(status_requests)
run_dusk -debug -uninstagent
expect_eq "$status" 0 "-uninstagent ($out)"
expect_eq "$(printf '%s\n' "$out" | tail -1)" "  Info: KESTA Agent Uninstalled" "the last line of -uninstagent"
expect_eq "$(take_calls)" "fsunlock
uninstall
zelexecd stop
zelsched stop
fslock" "agent calls"
log_has "$LOG" "Exec: /bin/sh -c \"/opt/kesta/agent/uninstall>$UNINSTALL_LOG 2>&1\"" ||
  fail "no uninstall shell line"
expect_eq "$(cat "$UNINSTALL_LOG")" "KESTA Agent removed" "uninstall log"
[ ! -e /opt/kesta/agent ] || fail "the agent is still there"
expect_eq "$(running zelexecd) $(running zelsched)" "0 0" "daemons after the uninstall"
# The new scan went to the server: the agent's daemons are gone from it.
wait_for_log "$LOG" "Successfully Updated Service Scan with localhost:$PORT"
statuses=$(status_requests)
expect_eq "$statuses" $((statuses_before + 1)) "Status requests"
grep -q "^zelexecd=$" $CONF || fail "zelexecd in the stored scan: $(grep zelexecd $CONF)"
grep -q "^kesta-dusk=.*started" $CONF || fail "no stored scan: $(grep kesta-dusk $CONF)"

stage "-silent -uninstagent"
run_dusk -silent -instagent "$MEDIA_URL/MediaContent.mcfl"
expect_eq "$status" 0 "-silent -instagent"
expect_eq "$out" "" "console of -silent -instagent"
take_calls > /dev/null
run_dusk -silent -uninstagent
expect_eq "$status" 0 "-silent -uninstagent"
expect_eq "$out" "" "console of -silent -uninstagent"
expect_eq "$(take_calls | grep ^uninstall)" "uninstall -s" "uninstall call"
# The same scan as the one reported before: nothing is sent.
log_has "$LOG" "No Changes in KESTA Agent Services Detected" || fail "no unchanged scan line"
expect_eq "$(status_requests)" "$statuses" \
  "Status requests after an unchanged scan"
run_dusk -debug -uninstagent
expect_eq "$status" 1 "-uninstagent without an agent"
expect_contains "$out" "Error: KESTA Agent is not currently installed" "-uninstagent without an agent"
expect_eq "$(printf '%s\n' "$err" | tail -1)" \
  " Error: -uninstagent failed: KESTA Agent is not currently installed" "-uninstagent without an agent"

stage "initial connect after a restart"
run_dusk -instagent "$MEDIA_URL/restart.mcfl"
expect_eq "$status" 0 "-instagent of restart.mcfl ($out)"
take_calls | grep -q -- "-connect" && fail "the initial connect ran at once"
grep -qx "InitialConnect=-connect -server localhost -port 3464 -host $DEVICE" $CONF ||
  fail "InitialConnect not stored: $(grep InitialConnect $CONF || true)"
start_service
wait_for_log "$LOG" "Deleted Registry Key InitialConnect"
expect_eq "$(take_calls | grep -- -connect)" \
  "zelskman -connect -server localhost -port 3464 -host $DEVICE" "initial connect at the start"
grep -q "^InitialConnect=" $CONF && fail "InitialConnect still stored"
stop_service
# A start rotates the log: this one is the second start's alone.
start_service
wait_for_log "$LOG" "Successfully Registered Device with localhost:$PORT"
stop_service
[ -z "$(take_calls | grep -- -connect)" ] || fail "the initial connect ran again"
echo PASS
