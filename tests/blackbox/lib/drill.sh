# Shared by the fault drills (drill_*.sh): the device they set up and what
# must hold after every fault. Sourced after lib/common.sh, once the script
# runs where it will start the service.
#
# After a fault the service has not crashed or started over, dusk.conf and
# its .prev are whole, KMA.QDX is the template with a DN the device was
# given, nothing was written outside the program's own files, and the
# service gets back to its work by its own timers.

LOG=/etc/kesta/dusk/log/dusk.log
AGENT_LIB=/etc/kesta/agent/lib
QDX=$AGENT_LIB/KMA.QDX
TEMPLATE=$INSTALL_DIR/NULLKMA.QDX
# The drill's own files; the service runs in DRILL/cwd (start_service),
# which must stay empty.
DRILL=/tmp/kesta/drill
SERVICE_DIR=$DRILL/cwd
# Directories nothing of the device may write to, watched by overlays.
WATCHED_DIRS="/var /root /home /usr /srv /mnt /media"

# drill_device: the program installed as on a device with the agent's
# object template (random bytes, so that every byte it keeps shows), and a
# watch on every directory the program has no business writing to.
drill_device() {
  mkdir -p "$DRILL/cwd" "$DRILL/watch"
  local dir name
  for dir in $WATCHED_DIRS; do
    [ -d "$dir" ] || continue
    name=${dir#/}
    mkdir -p "$DRILL/watch/$name.upper" "$DRILL/watch/$name.work"
    mount -t overlay drill-watch \
      -o "lowerdir=$dir,upperdir=$DRILL/watch/$name.upper,workdir=$DRILL/watch/$name.work" "$dir"
  done
  install_dusk
  mkdir -p "$AGENT_LIB"
  head -c 4200 /dev/urandom > "$TEMPLATE"
}

# short_timers: the service's timers in seconds rather than hours, so that
# a drill sees probes and registrations come round within a minute.
short_timers() {
  run_dusk -confupdate Config/registrationinterval=4 -confupdate Config/servicescaninterval=4 \
    -confupdate Config/registrationretryinterval=4 -confupdate Config/probeattemptinterval=2 \
    -confupdate Config/proberetryinterval=4 -confupdate Config/probeattemptlimit=3 "$@"
  expect_eq "$status" 0 "-confupdate of the timers"
}

# device_with_peer [ARG...]: drill_device, kesta-peer on loopback, and a
# dusk.conf naming it with the short timers and ARGs (more -confupdate);
# sets SERVER. The drill works in DRILL from here on.
device_with_peer() {
  drill_device
  cd "$DRILL"
  start_peer
  run_dusk -confinit -host 127.0.0.1 -port "$PORT"
  expect_eq "$status" 0 "-confinit"
  short_timers "$@"
  SERVER=127.0.0.1:$PORT
}

# check_service STARTS: the service $service still runs, has started
# STARTS times in this log, and has not spun: its CPU time stays far below
# what a loop without its sleeps would take.
check_service() {
  local state started ticks
  state=$(exit_code_of "$service")
  [ "$state" = running ] || fail "the service ($service) has ended: $state; log: $(log_messages "$LOG" | tail -5)"
  started=$(log_messages "$LOG" | grep -cxF "Service Started" || true)
  [ "$started" -eq "$1" ] || fail "the service started $started times, not $1"
  ticks=$(awk '{ print $14 + $15 }' "/proc/$service/stat")
  [ "$ticks" -lt $((10 * $(getconf CLK_TCK))) ] || fail "the service used $ticks ticks of CPU"
}

# check_conf [FILE]: dusk.conf (or FILE) is whole: every section once, only
# comments, headers and key lines, the keys every part of the program needs,
# and a line end at its end.
check_conf() {
  local file=${1:-$CONF} section key bad
  [ -s "$file" ] || fail "$file is missing or empty"
  for section in Application Config DeviceInfo ServiceScan; do
    [ "$(grep -cxF "[$section]" "$file")" = 1 ] || fail "$file: [$section] not there once: $(cat "$file")"
  done
  bad=$(grep -vnxE '(#.*|\[[A-Za-z]+\]|[A-Za-z][A-Za-z0-9_-]*=.*|)' "$file" || true)
  [ -z "$bad" ] || fail "$file: lines that are not config lines: $bad"
  for key in InstallPath LogPath ServerName ServerPort registrationinterval probetimelimit \
    devdn hostname kesta-dusk zelsched; do
    grep -q "^$key=" "$file" || fail "$file: no $key: $(cat "$file")"
  done
  [ -z "$(tail -c 1 "$file")" ] || fail "$file does not end with a line end"
}

# stored_dn: the DN in dusk.conf (empty when none).
stored_dn() { sed -n 's/^devdn=//p' "$CONF"; }

# agent_object DN: the object file the template makes for DN: its length in
# bytes 18 and 34, the DN at 4112 followed by its zero padding, the rest
# the template's.
agent_object() {
  local dn=$1 length=${#1} pad
  if [ "$length" -le 15 ]; then pad=$((16 - length)); else pad=$((length % 16)); fi
  head -c 18 "$TEMPLATE"
  printf "\\$(printf %03o "$length")"
  tail -c +20 "$TEMPLATE" | head -c 15
  printf "\\$(printf %03o "$length")"
  tail -c +36 "$TEMPLATE" | head -c $((4112 - 35))
  printf %s "$dn"
  head -c "$pad" /dev/zero
  tail -c +$((4112 + length + pad + 1)) "$TEMPLATE"
}

# check_qdx DN...: KMA.QDX is the object file of one of the DNs.
check_qdx() {
  [ -f "$QDX" ] || fail "no KMA.QDX"
  local dn
  for dn in "$@"; do
    agent_object "$dn" | cmp -s - "$QDX" && return 0
  done
  fail "KMA.QDX is not the object file of [$*]; DN bytes: [$(tail -c +4113 "$QDX" | head -c 64 | tr -d '\0')]"
}

# stray_files: every file written since drill_device that is not one of
# the program's own: in /etc/kesta and /opt/kesta beyond its files, in the
# service's working directory, in the overlays over /etc, /opt and /tmp
# that tests/sandbox made, and in the watched directories. (The top of / is
# the machine's own and shared with whatever else runs there.) The drill adds a pattern of names it expects besides (extended regex on
# paths below /etc/kesta).
stray_files() {
  local also=${1:-^$} mount upper
  (cd /etc/kesta && find . -type f | sed 's|^\./||' |
    grep -vxE "dusk/dusk\.conf(\.prev)?|dusk/log/dusk\.log(\.prev)?|dusk/agentinstall\.lock|agent/lib/KMA\.QDX" |
    grep -vE "$also" | sed 's|^|/etc/kesta/|') || true
  (cd /opt/kesta && find . -type f | sed 's|^\./||' |
    grep -vxE "dusk/(dusk|biosinfo\.so|NULLKMA\.QDX)" | sed 's|^|/opt/kesta/|') || true
  find "$DRILL/cwd" -mindepth 1
  for mount in /etc /opt /tmp $WATCHED_DIRS; do
    upper=$(findmnt -no OPTIONS --mountpoint "$mount" 2>/dev/null | tr , '\n' |
      sed -n 's/^upperdir=//p' | tail -1)
    [ -n "$upper" ] && [ -d "$upper" ] || continue
    (cd "$upper" && find . -mindepth 1 ! -path ./kesta | sed "s|^\.|$mount|")
  done
}

# check_files [PATTERN]: no stray file (see stray_files).
check_files() {
  local stray
  stray=$(stray_files "${1:-}")
  [ -z "$stray" ] || fail "files outside the program's own: $stray"
}

# log_count TEXT: how many messages of the log are TEXT.
log_count() { log_messages "$LOG" | grep -cxF -- "$1" || true; }

# big_part_over BYTES DIR: a download's unfinished file in DIR is over BYTES.
big_part_over() { [ -n "$(find "$2" -name '.dusk-*.part' -size +"$1"c)" ]; }

# slow_server_link: the server's side of the veth pair held to 16 Mbit/s
# with small send queues, so a drill can kill the server in the middle of a
# file and what it had not sent does not still reach the device.
slow_server_link() {
  in_peer tc qdisc add dev dusk-peer0 root tbf rate 16mbit burst 32kb latency 50ms
  in_peer sh -c 'echo 4096 16384 65536 > /proc/sys/net/ipv4/tcp_wmem'
}
