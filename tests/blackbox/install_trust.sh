# "dusk -instagent" beside a local attacker: an unprivileged process (uid
# 65534) that prepares the media path before the install and races it while
# it runs. The install refuses a media directory that the attacker made or
# could change ("installagentfailed" with the refused directory, nothing
# written, nothing asked of the server), refuses a link planted as the media
# directory, and makes its own directories root's and 0755, so the attacker
# cannot rename a file of its own over install.sh between the check and the
# run. The logs are 0644, a 0666 install log included; "-get" makes its
# sub-directories 0755 whatever the umask.
#
# The agent's daemons are found by name among all processes, so the test runs
# in a pid namespace of its own.
. "$(dirname "$0")/lib/common.sh"
. "$DUSK_SOURCE_DIR/tests/lib/sample_agent.sh"
enter_pid_namespace
command -v setpriv > /dev/null || skip "setpriv (util-linux) is not installed"

LOG=/etc/kesta/dusk/log/dusk.log
INSTALL_LOG=/etc/kesta/dusk/log/agentinstall.log
UNINSTALL_LOG=/etc/kesta/dusk/log/agentuninstall.log
MEDIA_DIR=/tmp/kesta/dusk/media
STRANGER=65534
ATTACKER_DIR=/tmp/kesta/attacker
# Nothing of the test itself lives in /tmp/kesta, which the attacker takes.
WWW=/opt/kesta/www
VICTIM=/opt/kesta/victim
PEER_STATE=/opt/kesta/peer
PEER_LOG=/opt/kesta/peer.log
export SAMPLE_AGENT_CALLS=/opt/kesta/agent-calls

# as_stranger COMMAND...: runs COMMAND as the unprivileged attacker.
as_stranger() { setpriv --reuid=$STRANGER --regid=$STRANGER --clear-groups -- "$@"; }

# expect_refused TEXT WHAT: the last -instagent failed with TEXT, which was
# also its event "installagentfailed".
expect_refused() {
  expect_eq "$status" 1 "$2: exit status ($out)"
  expect_contains "$out" "Error: $1" "$2: console"
  log_messages "$LOG" | grep -qF "|installagentfailed|$(http_encode "$1")|" ||
    fail "$2: no event installagentfailed with [$1]"
}

# mode_of PATH: owner and permission bits.
mode_of() { stat -c '%U %a' "$1"; }

stage "set-up"
install_dusk
make_sample_agent_media "$WWW"
# Something large after install.sh, so that the install would give an
# attacker plenty of time between the check of install.sh and its run.
head -c $((32 * 1024 * 1024)) /dev/zero > "$WWW/script/zz-padding.bin"
media_list_variant "$WWW/script" race.mcfl MediaContent.mcfl
mkdir -p "$VICTIM"
start_peer --media "$WWW"
MEDIA_URL=http://127.0.0.1:$PORT/script
run_dusk -confinit -host localhost -port "$PORT"
expect_eq "$status" 0 "-confinit"
run_dusk -confupdate DeviceInfo/hostname=trust-device
expect_eq "$status" 0 "-confupdate"

stage "a /tmp/kesta made beforehand by the attacker"
umount /tmp/kesta
rmdir /tmp/kesta
as_stranger mkdir /tmp/kesta
set +e
out=$("$DUSK" -debug -instagent "$MEDIA_URL/" 2> /opt/kesta/run.err)
status=$?
set -e
expect_refused "Media directory $MEDIA_DIR refused - /tmp/kesta is owned by uid $STRANGER" \
  "-instagent"
expect_eq "$(find /tmp/kesta -mindepth 1)" "" "what was written into the attacker's directory"
expect_eq "$(peer_count /script/MediaContent.mcfl)" 0 "media requests"
rm -rf /tmp/kesta
mkdir /tmp/kesta
mount -t tmpfs dusk-sandbox /tmp/kesta

stage "a link planted as the media directory"
# A media directory right below root's sticky directory, where anybody
# may make a name.
run_dusk -confupdate AgentMediaPath=/tmp/kesta/media
as_stranger ln -s "$VICTIM" /tmp/kesta/media
run_dusk -debug -instagent "$MEDIA_URL/"
expect_refused "Media directory /tmp/kesta/media refused - /tmp/kesta/media is a symbolic link" \
  "-instagent"
expect_eq "$(find "$VICTIM" -mindepth 1)" "" "what was written through the link"
rm /tmp/kesta/media
run_dusk -confupdate AgentMediaPath=$MEDIA_DIR

stage "install.sh swapped while the install runs"
# A log others could write to is brought to 0644 by the install.
mkdir -p "$(dirname "$INSTALL_LOG")"
: > "$INSTALL_LOG"
chmod 666 "$INSTALL_LOG"
as_stranger mkdir "$ATTACKER_DIR"
as_stranger bash -c "
  cd $ATTACKER_DIR
  printf '#!/bin/sh\necho pwned > $ATTACKER_DIR/pwned\n' > evil
  chmod 755 evil
  : > started
  while :; do
    cp evil evil.tmp
    mv -f evil.tmp $MEDIA_DIR/install.sh 2> /dev/null && echo swapped >> swaps
  done" &
attacker=$!
at_exit "kill $attacker 2> /dev/null || true"
wait_until 10 "attacker at work" test -e "$ATTACKER_DIR/started"
run_dusk -debug -instagent "$MEDIA_URL/race.mcfl"
kill $attacker
wait $attacker 2> /dev/null || true
expect_eq "$status" 0 "-instagent ($out)"
[ ! -e "$ATTACKER_DIR/pwned" ] || fail "the attacker's install.sh ran as root"
[ ! -s "$ATTACKER_DIR/swaps" ] || fail "the attacker renamed its file over install.sh"
cmp -s "$MEDIA_DIR/install.sh" "$WWW/script/install.sh" || fail "install.sh is not the media's"
for dir in /tmp/kesta/dusk $MEDIA_DIR $MEDIA_DIR/agent; do
  expect_eq "$(mode_of "$dir")" "root 755" "$dir"
done

stage "logs"
run_dusk -uninstagent
expect_eq "$status" 0 "-uninstagent ($out)"
for file in "$LOG" "$INSTALL_LOG" "$UNINSTALL_LOG"; do
  expect_eq "$(mode_of "$file")" "root 644" "$file"
done

stage "-get under umask 077"
mkdir -p /opt/kesta/get
cd /opt/kesta/get
umask 077
run_dusk -get "$MEDIA_URL/MediaContent.mcfl"
umask 022
expect_eq "$status" 0 "-get ($out)"
expect_eq "$(mode_of /opt/kesta/get/agent)" "root 755" "-get's sub-directory"
echo PASS
