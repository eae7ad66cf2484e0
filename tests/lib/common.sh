# Shared by every script that runs the program in private namespaces: the
# black-box tests, the demo and the benchmarks. Sourced, never run.
#
# Re-entering: enter_sandbox and enter_pid_namespace run the calling script
# again, with its arguments, inside the namespaces it needs, and exit with its
# status; inside them they simply return. So a script reads top to bottom as
# if it were already where it runs.
#
# Waiting: every wait is bounded, and a wait that runs out fails the script
# with the stage it was in.

DUSK_SOURCE_DIR=${DUSK_SOURCE_DIR:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
# The calling script, by a path that works from any directory: entering a
# mount namespace may change the working directory.
DUSK_SCRIPT=$(realpath "$0")

# at_exit COMMAND: runs COMMAND when the script exits, after those added
# before it (a plain trap would replace them).
EXIT_ACTIONS=""
at_exit() {
  EXIT_ACTIONS+="$1;"
  trap "$EXIT_ACTIONS" EXIT
}

# STAGE names what the script is doing now; fail reports it.
STAGE=""

# stage NAME: the script enters the stage NAME.
stage() { STAGE=$1; }

# fail TEXT: ends the script, naming the stage that failed.
fail() {
  echo "FAIL${STAGE:+ [$STAGE]}: $*" >&2
  exit 1
}

# skip TEXT: ends the script as skipped, saying why. Its exit status 77 is
# what ctest counts as a skip rather than a pass.
skip() {
  echo "SKIP: $*"
  exit 77
}

# enter_sandbox ARGS...: runs the calling script inside tests/sandbox
# (private /etc/kesta, /opt/kesta, /tmp/kesta and network); needs root.
enter_sandbox() {
  [ "${DUSK_SANDBOX:-}" = 1 ] && return 0
  [ "$(id -u)" = 0 ] || fail "needs root for its private namespaces"
  local status=0
  "$DUSK_SOURCE_DIR/tests/sandbox" bash "$DUSK_SCRIPT" "$@" || status=$?
  exit $status
}

# enter_pid_namespace [--uts] ARGS...: runs the calling script in new pid and
# mount namespaces (and a new UTS namespace with --uts). A script that starts
# the service needs this: the service is found by name among all processes.
# The namespace's init is a sleep that never reaps, so an ended service stays
# a zombie whose exit status /proc still shows (exit_code_of).
enter_pid_namespace() {
  [ "${DUSK_IN_PID_NAMESPACE:-}" = 1 ] && return 0
  local flags=(--pid --mount) init="" holder
  if [ "${1:-}" = --uts ]; then
    flags+=(--uts)
    shift
  fi
  unshare --fork --mount-proc --kill-child "${flags[@]}" sleep 600 >/dev/null 2>&1 &
  holder=$!
  at_exit "kill -KILL $holder 2>/dev/null || true"  # unshare ignores SIGTERM
  for _ in $(seq 100); do
    init=$(cat /proc/$holder/task/$holder/children 2>/dev/null || true)
    init=${init//[[:space:]]/}
    [ -n "$init" ] && break
    sleep 0.05
  done
  [ -n "$init" ] || fail "no pid namespace"
  local status=0
  DUSK_IN_PID_NAMESPACE=1 nsenter --target "$init" "${flags[@]}" -- bash "$DUSK_SCRIPT" "$@" ||
    status=$?
  exit $status
}

# wait_until SECONDS WHAT COMMAND...: runs COMMAND every 0.1 s until it
# succeeds; fails with "no WHAT within SECONDS s" when it never does.
wait_until() {
  local seconds=$1 what=$2
  shift 2
  local deadline=$((SECONDS + seconds))
  until "$@"; do
    [ $SECONDS -lt $deadline ] || fail "no $what within $seconds s"
    sleep 0.1
  done
}

# log_messages FILE: the messages of a dusk log, without time, level and
# program name.
log_messages() { sed -n 's/^.*KESTA-DUSK: //p' "$1" 2>/dev/null; }

# log_has FILE TEXT [N]: true when at least N (1) messages of FILE equal TEXT.
log_has() { [ "$(log_messages "$1" | grep -cxF -- "$2")" -ge "${3:-1}" ]; }

# wait_for_log FILE TEXT [N] [SECONDS]: until N (1) messages of FILE equal
# TEXT, 40 s at most; the failure shows the end of the log.
wait_for_log() {
  local file=$1 text=$2 count=${3:-1} seconds=${4:-40}
  local deadline=$((SECONDS + seconds))
  until log_has "$file" "$text" "$count"; do
    [ $SECONDS -lt $deadline ] ||
      fail "no [$text] (x$count) in $file within $seconds s; its end: $(log_messages "$file" | tail -15)"
    sleep 0.1
  done
}

# exit_code_of PID: the exit status of an ended, unreaped process; "running"
# while it runs.
exit_code_of() {
  local stat
  stat=$(cat /proc/$1/stat 2>/dev/null) || { echo "gone"; return; }
  stat=${stat##*) }
  set -- $stat
  [ "$1" = Z ] || { echo "running"; return; }
  shift 49
  echo $(($1 >> 8))
}

# wait_for_exit PID [SECONDS]: until the process has ended (30 s at most).
wait_for_exit() {
  local pid=$1 seconds=${2:-30}
  local deadline=$((SECONDS + seconds))
  while [ "$(exit_code_of "$pid")" = running ]; do
    [ $SECONDS -lt $deadline ] || fail "process $pid did not end within $seconds s"
    sleep 0.1
  done
}

# start_netns_holder: starts a process in a network namespace of its own and
# sets NETNS_PID to it, once the namespace exists (ip and nsenter can use it
# at once).
start_netns_holder() {
  unshare --net sleep 600 &
  NETNS_PID=$!
  local own
  own=$(readlink /proc/self/ns/net)
  wait_until 10 "network namespace of $NETNS_PID" \
    eval '[ -e /proc/$NETNS_PID/ns/net ] && [ "$(readlink /proc/$NETNS_PID/ns/net)" != "$own" ]'
}

# port_open PORT [HOST]: true when something accepts connections on
# HOST (127.0.0.1):PORT.
port_open() { (exec 3<> "/dev/tcp/${2:-127.0.0.1}/$1") 2>/dev/null; }

# made_up_dmi [FILE=VALUE...]: mounts a made-up DMI export over
# /sys/class/dmi/id: the product name, UUID, serial numbers and asset tag of
# a demonstration thin client, each FILE=VALUE (a file of the export)
# replacing one of them or adding a file. Only inside a private mount
# namespace: the machine's own export is never touched.
made_up_dmi() {
  local dmi=/sys/class/dmi/id entry
  local -A files=([product_name]="Demo Thin Client"
    [product_uuid]=00000000-0000-4000-8000-000000000001 [product_serial]=DEMO-0001
    [chassis_serial]=DEMO-CHASSIS [chassis_asset_tag]="")
  for entry; do files[${entry%%=*}]=${entry#*=}; done
  if [ -d $dmi ]; then
    mount -t tmpfs made-up-dmi $dmi
  else
    mount -t tmpfs made-up-dmi /sys/class
    mkdir -p $dmi
  fi
  for entry in "${!files[@]}"; do echo "${files[$entry]}" > "$dmi/$entry"; done
}

# stand_in_dmi [SERIAL]: on a machine without a DMI export (a container),
# made_up_dmi with SERIAL as the product's serial number, so the SMBIOS
# identity can be read; prints what it did.
stand_in_dmi() {
  if [ -r /sys/class/dmi/id/product_uuid ]; then
    echo "this machine's own DMI export is used"
    return
  fi
  made_up_dmi product_serial="${1:-DEMO-0001}"
  echo "made-up DMI export in place (this machine has none)"
}

# The program as a device has it installed; DUSK_BINARY names the build's.
DUSK=/opt/kesta/dusk/dusk

# service_pid_in TEXT: the pid that the start line of the service names in
# TEXT, a start's standard output; nothing when the line is not there.
service_pid_in() {
  printf '%s\n' "$1" | sed -n 's/^  Info: New KESTA-DUSK Service started pid=\([0-9]*\)$/\1/p'
}

# start_service [NAME=VALUE...] [ARG...]: starts the service, $DUSK with
# the options ARGs and the environment variables NAME set, from the
# directory SERVICE_DIR (the current one when unset); sets $service to its
# pid and $start_out to what the start printed. The starting command ends
# at once, since the service detaches from its standard streams.
start_service() {
  local environment=()
  while [ $# -gt 0 ] && [[ $1 =~ ^[A-Za-z_][A-Za-z0-9_]*= ]]; do
    environment+=("$1")
    shift
  done
  start_out=$(cd "${SERVICE_DIR:-.}" && env "${environment[@]}" timeout 10 "$DUSK" "$@") ||
    fail "the start of the service ended with status $?: [$start_out]"
  service=$(service_pid_in "$start_out")
  [ -n "$service" ] || fail "no start line in [$start_out]"
}

# kesta-peer, the reference server that start_peer and
# start_peer_in_namespace run: its program, its state directory (requests,
# devices, faults, the "ready" file) and the file its output is appended to.
PEER=${DUSK_BUILD_DIR:-$DUSK_SOURCE_DIR/build/normal}/tools/peer/kesta-peer
PEER_STATE=/tmp/kesta/peer
PEER_LOG=/tmp/kesta/peer.log

# start_peer [ARG...]: kesta-peer with further ARGs (--media DIR, --zone
# NAME, --bind ADDRESS) on a free port, or on PEER_PORT when set (to come
# back where it was); sets PEER_PID (the peer itself, for a test to kill)
# and PORT once it listens, and ends it at exit.
start_peer() { launch_peer "" "$@"; }

# start_peer_in_namespace ADDRESS [ARG...]: start_peer in the peer's network
# namespace (veth_to_peer_namespace), listening on ADDRESS.
start_peer_in_namespace() {
  local address=$1
  shift
  launch_peer "$PEER_NS" --bind "$address" "$@"
}

# launch_peer NAMESPACE [ARG...]: start_peer in the network namespace that
# the process NAMESPACE holds, or in this one when it is empty.
launch_peer() {
  local enter=()
  [ -z "$1" ] || enter=(nsenter --target "$1" --net --)
  shift
  mkdir -p "$PEER_STATE"
  rm -f "$PEER_STATE/ready"
  "${enter[@]}" "$PEER" --port "${PEER_PORT:-0}" --state "$PEER_STATE" "$@" >> "$PEER_LOG" 2>&1 &
  PEER_PID=$!
  at_exit "kill $PEER_PID 2>/dev/null || true"
  wait_until 30 "kesta-peer ready (see $PEER_LOG)" peer_ready
  read -r _ PORT < "$PEER_STATE/ready"
}

# peer_ready: true once the peer PEER_PID listens; fails when it has ended.
peer_ready() {
  [ -s "$PEER_STATE/ready" ] && return 0
  kill -0 "$PEER_PID" 2> /dev/null || fail "kesta-peer ended: $(tail -5 "$PEER_LOG")"
  return 1
}

# veth_to_peer_namespace DEVICE_ADDRESS PEER_ADDRESS: a network namespace for
# the server at the far end of a veth pair (dusk-dev0 here, dusk-peer0
# there, both in a /24, the names private to the sandbox's own network);
# sets PEER_NS, the pid that holds it, which ends at exit. in_peer
# COMMAND... runs a command there.
veth_to_peer_namespace() {
  start_netns_holder
  PEER_NS=$NETNS_PID
  at_exit "kill -KILL $PEER_NS 2>/dev/null || true"
  ip link add dusk-dev0 type veth peer name dusk-peer0 netns "$PEER_NS"
  ip addr add "$1/24" dev dusk-dev0
  ip link set dusk-dev0 up
  in_peer ip addr add "$2/24" dev dusk-peer0
  in_peer ip link set dusk-peer0 up
  in_peer ip link set lo up
}
in_peer() { nsenter --target "$PEER_NS" --net -- "$@"; }

# start_web_server ROOT PORT: serves the files below ROOT on 127.0.0.1:PORT
# with nginx, else Python's http.server, and stops it at exit. Sets
# WEB_SERVER to the name of the one used; returns 1 when neither is
# installed. Its state and error log live in /tmp/kesta/web-PORT.
start_web_server() {
  local root=$1 port=$2 work=/tmp/kesta/web-$2
  mkdir -p "$work/temp"
  if command -v nginx > /dev/null; then
    WEB_SERVER=nginx
    cat > "$work/nginx.conf" <<CONF
daemon off;
master_process off;
pid $work/nginx.pid;
error_log $work/error.log;
events {}
http {
  access_log off;
  sendfile on;
  client_body_temp_path $work/temp/body;
  proxy_temp_path $work/temp/proxy;
  fastcgi_temp_path $work/temp/fastcgi;
  uwsgi_temp_path $work/temp/uwsgi;
  scgi_temp_path $work/temp/scgi;
  server {
    listen 127.0.0.1:$port;
    root $root;
  }
}
CONF
    nginx -p "$work" -e "$work/error.log" -c "$work/nginx.conf" &
  elif command -v python3 > /dev/null; then
    WEB_SERVER=python3
    python3 -m http.server --bind 127.0.0.1 --directory "$root" "$port" \
      > "$work/error.log" 2>&1 &
  else
    return 1
  fi
  local pid=$!
  at_exit "kill $pid 2>/dev/null || true"
  wait_until 10 "web server on port $port" port_open "$port"
}
