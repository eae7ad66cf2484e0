# Fault drill: a full disk. Small tmpfs mounts hold the download target,
# /etc/kesta (dusk.conf and the agent's KMA.QDX) and the log directory,
# and each is filled up in turn:
#   - during a download, which fails with its reason and leaves no
#     unfinished file; with room again the same download completes;
#   - during configuration updates, a -confupdate and the service's own
#     store of a new DN from the server: both fail, dusk.conf, its .prev and
#     KMA.QDX stay as they were, and once there is room the service stores
#     the DN on its next Startup by itself;
#   - during the log rotation of a service start: the old log is kept whole
#     as dusk.log.prev, the service runs and registers without its log, and
#     writes its log again once there is room.
set -euo pipefail
. "$(dirname "$0")/lib/common.sh"
enter_pid_namespace --uts
. "$(dirname "$0")/lib/drill.sh"
MEDIA=/tmp/kesta/media
LOG_DIR=/etc/kesta/dusk/log
GET=$DRILL/get

# small_disk DIR SIZE: a tmpfs of SIZE on DIR.
small_disk() {
  mkdir -p "$1"
  mount -t tmpfs -o size="$2" drill-small "$1"
}

# fill DIR: no byte left on the file system of DIR.
fill() {
  dd if=/dev/zero of="$1/.filler" bs=4k 2> /dev/null || true
  [ "$(df --output=avail "$1" | tail -1 | tr -d ' ')" = 0 ] || fail "$1 is not full: $(df "$1")"
}

# make_room DIR: the filler of DIR gone.
make_room() { rm -f "$1/.filler"; }

# save NAME: a copy of /etc/kesta/NAME beside the drill; unchanged NAME:
# the file is still that copy.
save() { cp "/etc/kesta/$1" "$DRILL/saved.$(basename "$1")"; }
unchanged() {
  cmp -s "/etc/kesta/$1" "$DRILL/saved.$(basename "$1")" || fail "$1 changed on a full disk"
}

# check_log_lines: no message of the log runs on from another, and at
# most one line (the one the full disk cut short) is not a whole message.
check_log_lines() {
  local stamp='[0-9]{8} [0-9]{2}:[0-9]{2}:[0-9]{2} *[A-Za-z]*: KESTA-DUSK: '
  local glued pieces
  glued=$(grep -nE ".$stamp" "$LOG" | head -3 || true)
  [ -z "$glued" ] || fail "log lines run on from a cut one: $glued"
  pieces=$(grep -cvE "^$stamp" "$LOG" || true)
  [ "$pieces" -le 1 ] || fail "$pieces log lines are not whole messages: $(grep -vnE "^$stamp" "$LOG" | head -3)"
}

stage "set-up"
hostname drill-device
drill_device
small_disk /etc/kesta 1m
small_disk "$LOG_DIR" 1m
mkdir -p "$AGENT_LIB"
cd "$DRILL"
mkdir -p "$MEDIA/agent"
head -c 200000 /dev/urandom > "$MEDIA/agent/small.bin"
head -c 3000000 /dev/urandom > "$MEDIA/agent/big.bin"
{
  echo "#//MediaContent: 1.0"
  for file in small.bin big.bin; do
    echo "$file $(stat -c %s "$MEDIA/agent/$file") 644 $(md5sum < "$MEDIA/agent/$file" | cut -d' ' -f1)"
  done
} > "$MEDIA/agent/MediaContent.mcfl"
start_peer --media "$MEDIA"
run_dusk -confinit -host 127.0.0.1 -port "$PORT"
expect_eq "$status" 0 "-confinit"
short_timers
SERVER=127.0.0.1:$PORT
DN=cn=drill-device,ou=devices,o=kesta
MOVED=cn=moved,ou=devices,o=kesta

stage "full disk during a download"
small_disk "$GET" 1m
cd "$GET"
run_dusk -get /agent/MediaContent.mcfl
cd "$DRILL"
expect_eq "$status" 1 "exit code of a download onto a full disk"
expect_contains "$out" "Error: Failed to download file big.bin - Could not write local file ./big.bin - Error (28): No space left on device" \
  "download onto a full disk"
expect_eq "$(cd "$GET" && find . -mindepth 1 | sort | tr '\n' ' ')" \
  "./MediaContent.mcfl ./small.bin " "files after the full disk"
mount -o remount,size=8m "$GET"
mkdir "$GET/again"
cd "$GET/again"
run_dusk -get /agent/MediaContent.mcfl
cd "$DRILL"
expect_eq "$status" 0 "exit code of the download with room ($out)"
cmp -s "$GET/again/big.bin" "$MEDIA/agent/big.bin" || fail "big.bin differs"

stage "registered"
start_service
wait_for_log "$LOG" "Successfully Updated Service Scan with $SERVER"
expect_eq "$(stored_dn)" "$DN" "DN"
check_qdx "$DN"

stage "full disk during configuration updates"
fill /etc/kesta
save dusk/dusk.conf
save dusk/dusk.conf.prev
save agent/lib/KMA.QDX
run_dusk -confupdate Config/registrationinterval=5
expect_eq "$status" 1 "exit code of -confupdate on a full disk"
log_messages "$LOG" | grep -q "^Failed to open temporary conf file $CONF\.[0-9]* for update$" ||
  fail "-confupdate on a full disk: $(log_messages "$LOG" | tail -3)"
# The server moves the device to a new DN; the service cannot store it.
echo "/proc/vmp/startup dn $MOVED" > "$PEER_STATE/faults"
wait_for_log "$LOG" "DevDn Changed to $MOVED"
wait_for_log "$LOG" "Failed to Write Config file Value \"$MOVED\" for Key devdn"
wait_until 10 "failed KMA.QDX write in the log" \
  eval 'log_messages "$LOG" | grep -q "^Failed to Write content to file $QDX - "'
unchanged dusk/dusk.conf
unchanged dusk/dusk.conf.prev
unchanged agent/lib/KMA.QDX
check_service 1

stage "room again: the new DN stored by the timers"
make_room /etc/kesta
wait_until 30 "the new DN in dusk.conf" eval '[ "$(stored_dn)" = "$MOVED" ]'
wait_until 10 "KMA.QDX of the new DN" eval 'agent_object "$MOVED" | cmp -s - "$QDX"'
check_conf
check_conf "$CONF.prev"
check_service 1

stage "full disk during the log rotation"
stop_service
# The rotation drops the older log: let that free one page only, which the
# new log fills within a pass or two at the debug level.
head -c 100 /dev/zero | tr '\0' x > "$LOG.prev"
run_dusk -confupdate Application/LogLevel=debug
cp "$LOG" "$DRILL/old.log"
fill "$LOG_DIR"
start_service
wait_until 40 "the new log filling its page" eval '[ "$(stat -c %s "$LOG")" = 4096 ]'
# The service works on with its log full: its exchanges show at the server.
startups=$(peer_count /proc/vmp/startup)
wait_for_requests /proc/vmp/startup $((startups + 2)) 30
cmp -s "$LOG.prev" "$DRILL/old.log" || fail "the rotated log differs from the log before"
expect_eq "$(stat -c %s "$LOG")" 4096 "size of the log on the full disk"
check_service 1

stage "room again: the log goes on"
make_room "$LOG_DIR"
written=$(log_count "Successfully Started Device on $SERVER")
wait_for_log "$LOG" "Successfully Started Device on $SERVER" $((written + 1)) 30
check_log_lines
expect_eq "$(stored_dn)" "$MOVED" "DN"
check_service 1

stage "stop"
stop_service
check_conf
check_qdx "$MOVED"
check_files
echo PASS
