# "dusk -instagent" with the sample agent as a Debian package, installed by
# the real dpkg: the log shows the shell line "dpkg", the options, ">" glued
# to the install log and " 2>&1"; dpkg runs the package's postinst, and the
# post-install command and the initial connect follow.
#
# dpkg works on a private copy of its database, bound over /var/lib/dpkg in
# this test's own mount namespace, and logs into the sandbox: the machine's
# own database is never touched (checked at the end). The agent's daemons
# end with the test's pid namespace.
. "$(dirname "$0")/lib/common.sh"
. "$DUSK_SOURCE_DIR/tests/lib/sample_agent.sh"
command -v dpkg > /dev/null && command -v dpkg-deb > /dev/null ||
  skip "dpkg is not installed"
enter_pid_namespace
LOG=/etc/kesta/dusk/log/dusk.log
CALLS=/tmp/kesta/agent-calls
WEB_PORT=18084
WWW=/tmp/kesta/www
INSTALL_LOG=/etc/kesta/dusk/log/agentinstall.log
DEVICE=deb-device

stage "private dpkg database"
machine_status=$(md5sum < /var/lib/dpkg/status)
cp -a /var/lib/dpkg /tmp/kesta/dpkg-db
mount --bind /tmp/kesta/dpkg-db /var/lib/dpkg
# /etc is an overlay in the sandbox.
sed -i 's|^log .*|log /tmp/kesta/dpkg.log|' /etc/dpkg/dpkg.cfg
dpkg-query -W kesta-agent > /dev/null 2>&1 && fail "kesta-agent is already known to dpkg"

stage "set-up"
install_dusk
run_dusk -confinit -host localhost -port 1
expect_eq "$status" 0 "-confinit"
run_dusk -confupdate DeviceInfo/hostname=$DEVICE
expect_eq "$status" 0 "-confupdate"
make_sample_agent_media "$WWW"
start_web_server "$WWW" $WEB_PORT || skip "neither nginx nor python3 is installed"

stage "-instagent of the debian media"
run_dusk -debug -instagent "http://127.0.0.1:$WEB_PORT/debian/"
expect_eq "$status" 0 "-instagent ($out)"
log_has "$LOG" "Exec: /bin/sh -c \"dpkg -i $SAMPLE_AGENT_PACKAGE>$INSTALL_LOG 2>&1\"" ||
  fail "no dpkg shell line in the log: $(log_messages "$LOG" | grep Exec:)"
expect_eq "$(dpkg-query -W -f '${Status} ${Version}' kesta-agent)" "install ok installed 1.0" \
  "the package in dpkg's database"
grep -q "^Setting up kesta-agent (1.0) ...$" "$INSTALL_LOG" ||
  fail "dpkg's output is not in the install log: $(cat "$INSTALL_LOG")"
expect_eq "$(sed 's/ *$//' "$CALLS")" "kesta-agent.postinst configure
zelskman -configure -server localhost:3464
zelexecd start
zelsched start
zelskman -connect -server localhost -port 3464 -host $DEVICE" "agent calls"
for file in zelexecd zelsched zelskman uninstall; do
  [ -x "/opt/kesta/agent/$file" ] || fail "the package did not lay out $file"
done
expect_eq "$(stat -c %s "$INSTALL_DIR/NULLKMA.QDX")" 4200 "object file template"

stage "the machine's dpkg database"
umount /var/lib/dpkg
expect_eq "$(md5sum < /var/lib/dpkg/status)" "$machine_status" "the machine's dpkg status file"
dpkg-query -W kesta-agent > /dev/null 2>&1 && fail "kesta-agent reached the machine's database"
echo PASS
