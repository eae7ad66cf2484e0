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

# stand_in_dmi [SERIAL]: on a machine without a DMI export (a container),
# mounts a small made-up one over /sys/class/dmi/id so the SMBIOS identity
# can be read; prints what it did. Only inside a private mount namespace.
stand_in_dmi() {
  local dmi=/sys/class/dmi/id serial=${1:-DEMO-0001}
  if [ -r $dmi/product_uuid ]; then
    echo "this machine's own DMI export is used"
    return
  fi
  if [ -d $dmi ]; then
    mount -t tmpfs stand-in-dmi $dmi
  else
    mount -t tmpfs stand-in-dmi /sys/class
    mkdir -p $dmi
  fi
  echo "Demo Thin Client" > $dmi/product_name
  echo "00000000-0000-4000-8000-000000000001" > $dmi/product_uuid
  echo "$serial" > $dmi/product_serial
  echo "DEMO-CHASSIS" > $dmi/chassis_serial
  echo "made-up DMI export in place (this machine has none)"
}

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
