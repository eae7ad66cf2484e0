# What the server and the log are told when the service cannot finish, across
# a veth pair with kesta-peer as the server: a failure text far too long for a
# session line arrives cut, as the event with its name and time, never as a
# bare "event"; a -stop while the install command runs ends the service at
# once, leaves the installer running, and the server reads that the service is
# stopping, never that the command timed out; a -stop right after a start
# begins nothing that it would then cut short and log as a failure.
#
# The service is found by name among all processes, so the test runs in pid
# and host-name namespaces of its own.
. "$(dirname "$0")/lib/common.sh"
. "$DUSK_SOURCE_DIR/tests/lib/sample_agent.sh"
enter_pid_namespace --uts
DEVICE_ADDRESS=10.99.0.2
PEER_ADDRESS=10.99.0.1
DN=cn=events-device,ou=devices,o=kesta
LOG=/etc/kesta/dusk/log/dusk.log
WWW=/tmp/kesta/www
MEDIA_DIR=/tmp/kesta/dusk/media
CALL_OUT=/tmp/kesta/call.out
# How long the slow install command sleeps: far beyond the test.
SLOW_INSTALL=60
# The longest a session line may be, its line feed included.
LINE_MAX=1024

# install_call_in_background ARGS...: "InstallAgent ARGS..." from the server;
# its output goes to $CALL_OUT, its pid to $call.
install_call_in_background() {
  in_peer "$PEER" --rexec $DEVICE_ADDRESS --dn "$DN" --timeout 120 \
    --command "InstallAgent $*" > "$CALL_OUT" 2>&1 &
  call=$!
}

# last_line: the last line the server received.
last_line() { tail -1 "$CALL_OUT"; }

# log_matching PATTERN: the messages of the log that match PATTERN (grep
# -E), read whole: a grep that left early would fail the pipeline.
log_matching() { log_messages "$LOG" | grep -E -- "$1" || true; }

# log_line_starting TEXT: true when a message of the log begins with TEXT.
log_line_starting() { [ -n "$(log_matching "^$1")" ]; }

stage "set-up"
veth_to_peer_namespace $DEVICE_ADDRESS $PEER_ADDRESS
make_sample_agent_media "$WWW"
media_list_variant "$WWW/script" slow.mcfl MediaContent.mcfl "InstallOptions=--sleep $SLOW_INSTALL"
mkdir -p "$PEER_STATE"
start_peer_in_namespace $PEER_ADDRESS --media "$WWW"
SERVER=$PEER_ADDRESS:$PORT
hostname events-device
install_dusk
cd /tmp/kesta
start_listening_service

stage "a failure text too long for the line"
# The list is not on the server; the failure names its path, which encodes
# to far more than a line holds.
long_media=/$(head -c 1200 /dev/zero | tr '\0' x)
install_call_in_background -media "$long_media"
wait "$call" || fail "the call ended with status $?: $(cat "$CALL_OUT")"
expect_eq "$(head -1 "$CALL_OUT")" "status 0x00" "status of the call"
line=$(last_line)
[[ $line =~ ^event\ [0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9:]{8}Z\|installagentfailed\|Could\+not\+download\+file\+%2fx+\|$ ]] ||
  fail "no cut failure event: [$line]"
[ $((${#line} + 1)) -le $LINE_MAX ] || fail "a line of $((${#line} + 1)) bytes"
# Cut only as far as the line needs.
[ $((${#line} + 1)) -gt $((LINE_MAX - 6)) ] || fail "cut to ${#line} characters"

stage "-stop while the install command runs"
install_call_in_background -media /script -contentlist slow.mcfl
wait_until 40 "install command started" log_line_starting "Executing KESTA Agent Install Command: "
installer=$(pgrep -f "$MEDIA_DIR/install.sh" | tr '\n' ' ') || fail "no installer running"
started=$SECONDS
# The stop is seen within a second; the UnRegister is bounded by the
# exchange limit of dusk-short-waits (5 s).
stop_service 8
echo "stopped after $((SECONDS - started)) s"
wait "$call" || fail "the call ended with status $?: $(cat "$CALL_OUT")"
STOPPING="Agent Install Command Failed - Command interrupted - the KESTA-DUSK service is stopping"
expect_eq "$(last_line | sed -E 's/^event [-T:Z0-9]{20}\|//')" \
  "installagentfailed|Agent+Install+Command+Failed+-+Command+interrupted+-+the+KESTA-DUSK+service+is+stopping|" \
  "the server's last line"
! grep -q "timed" "$CALL_OUT" || fail "the server read of a time-out: $(cat "$CALL_OUT")"
log_has "$LOG" "$STOPPING" || fail "no Error line of the interrupted install"
[ -z "$(log_matching "timed out")" ] || fail "the log tells of a time-out: $(log_matching "timed out")"
log_has "$LOG" "Service Shutdown" || fail "no Service Shutdown"
# The installer is left to finish.
kill -0 $installer 2> /dev/null || fail "the installer did not survive the stop"
kill $installer

stage "-stop right after a start"
# Not yet probed: the first pass would probe at once.
run_dusk -confupdate Config/serverprobed=0
expect_eq "$status" 0 "-confupdate"
start_service
stop_service 8
log_has "$LOG" "Service Shutdown" || fail "no Service Shutdown"
[ -z "$(log_matching "Not Available|timed out")" ] ||
  fail "a failure that did not happen: $(log_matching "Not Available|timed out")"
echo PASS
