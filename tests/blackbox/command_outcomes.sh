# What a command tells the administrator: a missing configuration named
# once, with what creates it, and -help without one; -probe's server and
# zone on standard output; the reason of a failed -probe, -get or
# -uninstagent as the last line on standard error; a forgotten or unusable
# option value refused with 254, naming the option; and the commands of
# root's refused to another user with 253 before the server hears a word or
# a file changes.
. "$(dirname "$0")/lib/common.sh"
enter_pid_namespace
LOG=/etc/kesta/dusk/log/dusk.log
install_dusk
mkdir -p /tmp/kesta/work && cd /tmp/kesta/work

# last_line TEXT: the last line of TEXT.
last_line() { printf '%s\n' "$1" | tail -1; }

stage "no configuration"
for command in "" -probe "-get /m/x" -instagent -uninstagent -stop "-confupdate LogLevel=debug"; do
  run_dusk $command
  expect_eq "$status" 251 "[dusk $command] without a configuration"
  expect_eq "$out" "" "standard output of [dusk $command] without a configuration"
  expect_eq "$err" " Fatal: Not Properly installed - $CONF is missing; dusk -confinit creates it" \
    "standard error of [dusk $command] without a configuration"
done
# Once on a terminal, where standard output and error are one.
screen=$(script -qec "$DUSK -probe" /dev/null | tr -d '\r' || true)
expect_eq "$screen" " Fatal: Not Properly installed - $CONF is missing; dusk -confinit creates it" \
  "-probe without a configuration on a terminal"
echo "# a comment, no section" > $CONF
run_dusk -probe
expect_eq "$err" " Fatal: Not Properly installed - $CONF has no [Application] section; dusk -confinit creates it" \
  "a dusk.conf without [Application]"
rm $CONF
for help in -help -? --help; do
  run_dusk $help
  expect_eq "$status" 0 "$help without a configuration"
  expect_eq "$(printf '%s\n' "$out" | head -1)" \
    "  Info: Usage: dusk [-probe] [-host <host>] [-port <port] [-debug] [-trace] [-silent]" \
    "first line of $help"
  expect_eq "$(printf '%s\n' "$out" | grep -c '^  Info: ')" 25 "lines of $help"
  expect_eq "$err" "" "standard error of $help"
done
expect_eq "$(ls -A)" "" "files the refused commands left in the working directory"
[ ! -e /etc/kesta/dusk/log ] || fail "a log directory without a configuration"

stage "-probe"
run_dusk -confinit
start_peer --zone east
run_dusk -probe -host 127.0.0.1 -port "$PORT"
expect_eq "$status" 0 "-probe"
expect_eq "$(last_line "$out")" "  Info: KESTA Server 127.0.0.1:$PORT Available, zone \"east\"" "-probe"
expect_eq "$err" "" "standard error of -probe"
echo "/proc/Zelmar empty200" > "$PEER_STATE/faults"
run_dusk -probe -host 127.0.0.1 -port "$PORT"
expect_eq "$(last_line "$out")" "  Info: KESTA Server 127.0.0.1:$PORT Available, no zone" \
  "-probe of a server without a zone"
echo "/proc/Zelmar status 403" > "$PEER_STATE/faults"
run_dusk -probe -host 127.0.0.1 -port "$PORT"
expect_eq "$status" 1 "-probe answered 403"
expect_eq "$err" " Error: -probe failed: KESTA Server 127.0.0.1:$PORT Not Available - Forbidden" \
  "-probe answered 403"
rm "$PEER_STATE/faults"
closed=$(( PORT == 65535 ? PORT - 1 : PORT + 1 ))
while port_open $closed; do closed=$((closed - 1)); done
run_dusk -probe -host 127.0.0.1 -port $closed
expect_eq "$status" 1 "-probe of a closed port"
expect_eq "$err" " Error: -probe failed: KESTA Server 127.0.0.1:$closed Not Available - Cannot connect to host" \
  "-probe of a closed port"
run_dusk -probe -host no-such-host.invalid -port "$PORT"
expect_eq "$status" 1 "-probe of an unknown host"
expect_eq "$err" " Error: -probe failed: KESTA Server no-such-host.invalid:$PORT Not Available - Bad host specified" \
  "-probe of an unknown host"

stage "option values"
requests=$(ls "$PEER_STATE/requests" | wc -l)
while IFS='|' read -r arguments line; do
  run_dusk $arguments
  expect_eq "$status" 254 "[dusk $arguments]"
  expect_eq "$err" " Error: $line" "[dusk $arguments]"
  log_has "$LOG" "$line" || fail "no [$line] in the log"
done <<CASES
-probe -port abc|-port abc is not a port number
-probe -port 70000|-port 70000 is not a port number
-probe -host|Missing value for option -host
-host 127.0.0.1 -probe -port|Missing value for option -port
-md5|Missing value for option -md5
-get|Missing value for option -get
-confupdate|Missing value for option -confupdate
CASES
expect_eq "$(ls "$PEER_STATE/requests" | wc -l)" "$requests" "requests after refused command lines"
# A port of the configuration that is none is named where it is.
sed -i 's/^ServerPort=.*/ServerPort=abc/' $CONF
run_dusk -probe
expect_eq "$status" 1 "-probe of ServerPort=abc"
expect_eq "$err" " Error: -probe failed: ServerPort abc in $CONF is not a port number" \
  "-probe of ServerPort=abc"
run_dusk
expect_eq "$status" 1 "a service start with ServerPort=abc"
expect_eq "$err" " Error: The KESTA-DUSK Service was not started: ServerPort abc in $CONF is not a port number" \
  "a service start with ServerPort=abc"
sed -i "s/^ServerPort=.*/ServerPort=$PORT/;s/^ServerName=.*/ServerName=127.0.0.1/" $CONF

stage "-get and -uninstagent"
run_dusk -get /media/nothing.bin -port $closed
expect_eq "$status" 1 "-get of a closed port"
expect_eq "$(last_line "$err")" \
  " Error: -get failed: Failed to initiate download of file /media/nothing.bin from 127.0.0.1:$closed - Cannot connect to host" \
  "-get of a closed port"
run_dusk -uninstagent
expect_eq "$status" 1 "-uninstagent without an agent"
expect_eq "$(last_line "$err")" " Error: -uninstagent failed: KESTA Agent is not currently installed" \
  "-uninstagent without an agent"

stage "not root"
cp $CONF /tmp/kesta/conf-before
requests=$(ls "$PEER_STATE/requests" | wc -l)
# as_nobody ARGS...: run_dusk as the unprivileged user nobody.
as_nobody() {
  set +e
  out=$(setpriv --reuid=65534 --regid=65534 --clear-groups "$DUSK" "$@" 2> /tmp/kesta/run.err)
  status=$?
  set -e
  err=$(cat /tmp/kesta/run.err)
}
as_nobody
expect_eq "$status" 253 "a service start by nobody"
expect_eq "$err" " Error: The KESTA-DUSK Service must be started by root, not by uid 65534" \
  "a service start by nobody"
for command in -confinit "-confupdate LogLevel=debug" "-instagent /script/" -uninstagent -stop -pause; do
  as_nobody $command
  expect_eq "$status" 253 "[dusk $command] by nobody"
  expect_eq "$err" " Error: dusk ${command%% *} must be run by root, not by uid 65534" \
    "[dusk $command] by nobody"
  expect_eq "$out" "" "standard output of [dusk $command] by nobody"
done
expect_eq "$(ls "$PEER_STATE/requests" | wc -l)" "$requests" "requests from nobody's commands"
cmp -s $CONF /tmp/kesta/conf-before || fail "nobody's commands changed dusk.conf"
[ -z "$(pgrep -x dusk-short-waits; pgrep -x dusk)" ] || fail "a service runs after nobody's start"
# What needs no root works for anyone.
as_nobody -probe
expect_eq "$status" 0 "-probe by nobody"
as_nobody -version
expect_eq "$status" 0 "-version by nobody"
echo PASS
