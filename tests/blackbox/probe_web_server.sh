# "-probe" against a real web server that knows nothing of the probe path
# (nginx, else Python's http.server): the answer 404 fails the probe with
# the server's reason.
. "$(dirname "$0")/lib/common.sh"
LOG=/etc/kesta/dusk/log/dusk.log
WEB=/tmp/kesta/web
PORT=18080
install_dusk
cd /tmp/kesta
mkdir -p "$WEB/root" "$WEB/temp"
chmod 755 "$WEB" "$WEB/root"
echo "nothing to see" > "$WEB/root/index.html"

if command -v nginx > /dev/null; then
  cat > "$WEB/nginx.conf" <<CONF
daemon off;
master_process off;
pid $WEB/nginx.pid;
error_log $WEB/error.log;
events {}
http {
  access_log off;
  client_body_temp_path $WEB/temp/body;
  proxy_temp_path $WEB/temp/proxy;
  fastcgi_temp_path $WEB/temp/fastcgi;
  uwsgi_temp_path $WEB/temp/uwsgi;
  scgi_temp_path $WEB/temp/scgi;
  server {
    listen 127.0.0.1:$PORT;
    root $WEB/root;
  }
}
CONF
  nginx -p "$WEB" -e "$WEB/error.log" -c "$WEB/nginx.conf" &
elif command -v python3 > /dev/null; then
  python3 -m http.server --bind 127.0.0.1 --directory "$WEB/root" "$PORT" \
    > "$WEB/error.log" 2>&1 &
else
  echo "SKIP: neither nginx nor python3 is installed"
  exit 0
fi
SERVER_PID=$!
trap 'kill "$SERVER_PID" 2>/dev/null || true' EXIT
wait_until 10 "web server on port $PORT" port_open "$PORT"

run_dusk -confinit
expect_eq "$status" 0 "-confinit"
run_dusk -probe -host 127.0.0.1 -port "$PORT"
expect_eq "$status" 1 "-probe of a web server without the probe path"
grep -qF "Info: KESTA-DUSK: KESTA Server 127.0.0.1:$PORT Not Available - Not Found" "$LOG" \
  || fail "no Not Found line: $(tail -5 "$LOG"; cat "$WEB/error.log")"
echo PASS
