# A server that sends half a file and then nothing more: "-get" gives up
# once the wait without progress runs out (3 s in dusk-short-waits,
# tests/support/short_timings.cc), fails, and leaves no file behind,
# instead of waiting for ever.
. "$(dirname "$0")/lib/common.sh"
PORT=18082
install_dusk
run_dusk -confinit
expect_eq "$status" 0 "-confinit"
mkdir -p /etc/kesta/dusk/log
command -v python3 > /dev/null || skip "python3 is not installed"

python3 - "$PORT" <<'PY' &
import socket, sys, time
server = socket.socket()
server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
server.bind(("127.0.0.1", int(sys.argv[1])))
server.listen(4)
while True:
    connection, _ = server.accept()
    request = b""
    while b"\r\n\r\n" not in request:
        piece = connection.recv(4096)
        if not piece:
            break
        request += piece
    if not request.startswith(b"GET "):
        connection.close()  # the readiness check
        continue
    connection.sendall(b"HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\n" + b"x" * 50000)
    time.sleep(600)
PY
at_exit "kill $! 2>/dev/null || true"
wait_until 10 "the stalling server on port $PORT" port_open "$PORT"

mkdir -p /tmp/kesta/stalled
cd /tmp/kesta/stalled
started=$(date +%s)
set +e
out=$(timeout 200 "$DUSK" -host 127.0.0.1 -port "$PORT" -get /media/agent.bin)
status=$?
set -e
took=$(($(date +%s) - started))
echo "-get of a stalled file ended after $took s"
expect_eq "$status" 1 "-get of a stalled file (124: still waiting after 200 s)"
# Far below the 60 s of the shipped wait, with room for a loaded machine.
[ "$took" -le 20 ] || fail "-get took $took s"
expect_contains "$out" "Error: Failed to download file /media/agent.bin from 127.0.0.1:$PORT - Connection ended after 50000 of 100000 bytes" \
  "stalled file"
expect_eq "$(ls -A /tmp/kesta/stalled)" "" "files left by a stalled download"
echo PASS
