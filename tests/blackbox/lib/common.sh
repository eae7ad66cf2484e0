# Shared by the black-box tests. Each test runs inside tests/sandbox, so the
# program's fixed directories are private tmpfs mounts.
set -euo pipefail

: "${DUSK_BINARY:?DUSK_BINARY must name the built dusk}"
[ "${DUSK_SANDBOX:-}" = 1 ] || { echo "SKIP: needs tests/sandbox (root)"; exit 0; }

INSTALL_DIR=/opt/kesta/dusk
DUSK=$INSTALL_DIR/dusk
CONF=/etc/kesta/dusk/dusk.conf

fail() { echo "FAIL: $*" >&2; exit 1; }

# expect_eq ACTUAL EXPECTED WHAT
expect_eq() {
  [ "$1" = "$2" ] || fail "$3: expected [$2], got [$1]"
}

# expect_contains TEXT NEEDLE WHAT
expect_contains() {
  case "$1" in *"$2"*) ;; *) fail "$3: [$2] not in [$1]" ;; esac
}

# Installs the built program (and its library, when built) as a device has it.
install_dusk() {
  mkdir -p "$INSTALL_DIR" /etc/kesta/dusk
  cp "$DUSK_BINARY" "$DUSK"
  local lib
  lib=$(dirname "$DUSK_BINARY")/biosinfo.so
  [ -f "$lib" ] && cp "$lib" "$INSTALL_DIR/" || true
}

# run_dusk ARGS...: sets $status and $out (standard output).
run_dusk() {
  set +e
  out=$("$DUSK" "$@")
  status=$?
  set -e
}

# enter_pid_namespace [--uts]: runs the calling script again inside new pid
# and mount namespaces (and a new UTS namespace with --uts), then exits with
# its status. A test that starts the service needs this: the service is found
# by name among all processes, and tests run side by side. The namespace's
# init is a sleep that never reaps, so an ended service stays a zombie whose
# exit status /proc still shows.
enter_pid_namespace() {
  [ "${DUSK_IN_PID_NAMESPACE:-}" = 1 ] && return 0
  local flags=(--pid --mount) init=""
  [ "${1:-}" = --uts ] && flags+=(--uts)
  unshare --fork --mount-proc --kill-child "${flags[@]}" sleep 600 >/dev/null 2>&1 &
  PID_NAMESPACE_HOLDER=$!
  trap 'kill -KILL $PID_NAMESPACE_HOLDER 2>/dev/null || true' EXIT  # unshare ignores SIGTERM
  for _ in $(seq 100); do
    init=$(cat /proc/$PID_NAMESPACE_HOLDER/task/$PID_NAMESPACE_HOLDER/children 2>/dev/null || true)
    init=${init//[[:space:]]/}
    [ -n "$init" ] && break
    sleep 0.05
  done
  [ -n "$init" ] || fail "no pid namespace"
  local status=0
  DUSK_IN_PID_NAMESPACE=1 nsenter --target "$init" "${flags[@]}" -- bash "$0" || status=$?
  exit $status
}

# start_peer ARGS...: runs kesta-peer with state in $PEER_STATE on a free
# loopback port; sets PEER_PID and PORT, and stops the peer at exit.
PEER=${DUSK_BUILD_DIR:-}/tools/peer/kesta-peer
PEER_STATE=/tmp/kesta/peer
start_peer() {
  rm -f "$PEER_STATE/ready"
  "$PEER" --port 0 --state "$PEER_STATE" "$@" >> /tmp/kesta/peer.log 2>&1 &
  for _ in $(seq 100); do [ -s "$PEER_STATE/ready" ] && break; sleep 0.1; done
  [ -s "$PEER_STATE/ready" ] || fail "kesta-peer did not start: $(cat /tmp/kesta/peer.log)"
  read -r PEER_PID PORT < "$PEER_STATE/ready"
  at_exit 'kill "$PEER_PID" 2>/dev/null || true'
}

# at_exit COMMAND: runs COMMAND when the script exits, after those added
# before it (a plain trap would replace them).
EXIT_ACTIONS=""
at_exit() {
  EXIT_ACTIONS+="$1;"
  trap "$EXIT_ACTIONS" EXIT
}

# wait_for_port PORT: until something accepts on 127.0.0.1:PORT (10 s).
wait_for_port() {
  for _ in $(seq 100); do
    (exec 3<> "/dev/tcp/127.0.0.1/$1") 2> /dev/null && return 0
    sleep 0.1
  done
  fail "nothing listens on port $1"
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
  wait_for_port "$port"
}
