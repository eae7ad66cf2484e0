# "-probe" against a real web server that knows nothing of the probe path
# (nginx, else Python's http.server): the answer 404 fails the probe with
# the server's reason.
. "$(dirname "$0")/lib/common.sh"
LOG=/etc/kesta/dusk/log/dusk.log
WEB=/tmp/kesta/web
PORT=18080
install_dusk
cd /tmp/kesta
mkdir -p "$WEB/root"
chmod 755 "$WEB" "$WEB/root"
echo "nothing to see" > "$WEB/root/index.html"
start_web_server "$WEB/root" "$PORT" || skip "neither nginx nor python3 is installed"

run_dusk -confinit
expect_eq "$status" 0 "-confinit"
run_dusk -probe -host 127.0.0.1 -port "$PORT"
expect_eq "$status" 1 "-probe of a web server without the probe path"
grep -qF "Info: KESTA-DUSK: KESTA Server 127.0.0.1:$PORT Not Available - Not Found" "$LOG" \
  || fail "no Not Found line: $(tail -5 "$LOG"; cat "/tmp/kesta/web-$PORT/error.log")"
echo PASS
