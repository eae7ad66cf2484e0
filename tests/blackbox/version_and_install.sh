# The first steps of an administrator: version, a missing configuration,
# usage before and after -confinit, bad arguments.
. "$(dirname "$0")/lib/common.sh"
install_dusk
cd /tmp/kesta

run_dusk -version
expect_eq "$status" 0 "-version status"
expect_eq "$out" "KESTA Release: 7.8 KESTA-DUSK Build: 33 Revision: 1" "-version output"
[ ! -e /tmp/kesta/dusk.log ] || fail "-version wrote a log"
[ ! -e /etc/kesta/dusk/log ] || fail "-version made a log directory"

run_dusk -probe
expect_eq "$status" 251 "-probe without a configuration"
expect_eq "$err" " Fatal: Not Properly installed - $CONF is missing; dusk -confinit creates it" \
  "-probe without a configuration"

run_dusk -help
expect_eq "$status" 0 "-help without a configuration"
expect_eq "$(printf '%s\n' "$out" | grep -c '  Info: ')" 25 "usage lines without a configuration"
[ ! -e /tmp/kesta/dusk.log ] || fail "a log in the working directory without a configuration"

run_dusk -confinit
expect_eq "$status" 0 "-confinit status"
expect_eq "$(wc -l < $CONF)" 49 "lines of a new dusk.conf"
expect_eq "$(sed -n 8p $CONF)" "InstallPath=/opt/kesta/dusk" "InstallPath line"
expect_eq "$(sed -n 11p $CONF)" "ServerName=kesta-server" "ServerName line"

run_dusk -help
expect_eq "$status" 0 "-help status"
# The first run with a configuration makes the log directory and says so.
expect_eq "$(printf '%s\n' "$out" | head -1)" "  Info: Created Log directory /etc/kesta/dusk/log" \
  "log directory line"
out=$(printf '%s\n' "$out" | tail -n +2)
expect_eq "$(printf '%s\n' "$out" | head -1)" \
  "  Info: Usage: dusk [-probe] [-host <host>] [-port <port] [-debug] [-trace] [-silent]" \
  "first usage line"
expect_eq "$(printf '%s\n' "$out" | grep -c '  Info: ')" 25 "usage lines"
grep -q "Info: KESTA-DUSK: ExitCode: 0" /etc/kesta/dusk/log/dusk.log || fail "no ExitCode line in the log"

run_dusk -install
expect_eq "$status" 254 "-install is not an option"
expect_contains "$err" " Error: Invalid command line argument -install" "stderr of -install"
grep -q "Error: KESTA-DUSK: Invalid command line argument -install" /etc/kesta/dusk/log/dusk.log \
  || fail "no Error line for -install"

# Every entry is checked first; one refused entry fails the command, on
# stderr too, and nothing is written: neither an unknown section, nor a
# value the program would misread, nor more entries than it takes.
before=$(cat $CONF)
thirty_three=()
for i in $(seq 33); do thirty_three+=(-confupdate "Config/registrationinterval=$i"); done
while IFS='|' read -r what refusal entries; do
  eval "run_dusk $entries"
  expect_eq "$status" 1 "-confupdate status with $what"
  expect_contains "$err" " Error: $refusal" "stderr of -confupdate with $what"
  grep -qF "Error: KESTA-DUSK: $refusal" /etc/kesta/dusk/log/dusk.log || fail "no Error line for $what"
  expect_eq "$(cat $CONF)" "$before" "dusk.conf after -confupdate with $what"
done <<CASES
an unknown section|Unknown Config File Section name Bogus specified|-confupdate LogLevel=debug -confupdate Config/probetimelimit=0 -confupdate Bogus/x=1
a duration for seconds|Cannot write Config file Key registrationinterval - the value "1h" is not a whole number from 0 to 2147483647|-confupdate LogLevel=debug -confupdate Config/registrationinterval=1h
a port out of range|Cannot write Config file Key AgentPort - the value "70000" is not a whole number from 1 to 65535|-confupdate AgentPort=70000
33 entries|Maximum number of configuration updates (32) specified.|"\${thirty_three[@]}"
CASES

# All taken, in one rewrite; a key the program does not know is written
# with a warning.
run_dusk -confupdate LogLevel=debug -confupdate Config/probetimelimit=0 -confupdate ServerNmae=x
expect_eq "$status" 0 "-confupdate status"
expect_contains "$err" " Warn: Unknown Config File Key name ServerNmae specified in section [Application] - written as given" \
  "stderr of -confupdate with an unknown key"
grep -qx "LogLevel=debug" $CONF || fail "LogLevel not updated"
grep -qx "probetimelimit=0" $CONF || fail "probetimelimit not updated"
grep -qx "ServerNmae=x" $CONF || fail "ServerNmae not written"
expect_eq "$(cat $CONF.prev)" "$before" "dusk.conf.prev"

# A key that would read back as a header is refused, and the file is kept.
before=$(cat $CONF)
run_dusk -confupdate '[x=1'
expect_eq "$status" 1 "-confupdate of a header-like key"
expect_contains "$err" "Cannot write Config file Key [x - the key would read as a section header" \
  "stderr of a refused key"
expect_eq "$(cat $CONF)" "$before" "dusk.conf after a refused key"

# A second -confinit completes nothing and keeps what the administrator set.
before=$(cat $CONF)
run_dusk -confinit -host other-server
expect_eq "$status" 0 "second -confinit"
grep -qx "ServerName=other-server" $CONF || fail "-host did not replace ServerName"
grep -qx "LogLevel=debug" $CONF || fail "-confinit lost LogLevel"
echo PASS
