# "-probe" against kesta-peer on loopback: the zone, the exact request on
# the wire, a refusing server, a closed port, and a peer that survives a
# stray client's garbage.
. "$(dirname "$0")/lib/common.sh"
STATE=$PEER_STATE
LOG=/etc/kesta/dusk/log/dusk.log
install_dusk
cd /tmp/kesta

# log_after MARK: the log lines written since MARK (a line count).
log_after() { tail -n +"$(($1 + 1))" "$LOG"; }
mark() { wc -l < "$LOG"; }

run_dusk -confinit
expect_eq "$status" 0 "-confinit"
start_peer --zone east

# Available, with the zone, on the configured server.
run_dusk -confupdate Application/ServerName=127.0.0.1 -confupdate Application/ServerPort="$PORT"
expect_eq "$status" 0 "-confupdate of the server"
before=$(mark)
run_dusk -probe
expect_eq "$status" 0 "-probe of the configured server"
log_after "$before" | grep -cF "Info: KESTA-DUSK: KESTA Server 127.0.0.1:$PORT Available ..." > /dev/null \
  || fail "no Available line: $(log_after "$before")"
log_after "$before" | grep -cF 'Info: KESTA-DUSK: KESTA Server zone is "east"' > /dev/null \
  || fail "no zone line: $(log_after "$before")"
printf 'GET /proc/Zelmar?WebService.Name=AuthenticateUser&Response.Format=Text&getauthds=true HTTP/1.0\r\nUser-Agent: DUSK 1.0\r\n\r\n' \
  > /tmp/kesta/expected-request
cmp /tmp/kesta/expected-request "$STATE/requests/0001.txt" \
  || fail "request on the wire: $(od -c "$STATE/requests/0001.txt")"

# Servers that fail the probe, each with the reason the log names.
printf 'ICY 200 OK\r\n\r\n' > "$STATE/icy.txt"
failures=(
  "status 403|Forbidden"
  "status 503|Service overloaded"
  "status 302|Unknown Http Error"
  "close-before-headers|Read error while reading header"
  "close|Read error while reading header"
  "raw icy.txt|Invalid header read"
)
for row in "${failures[@]}"; do
  echo "/proc/Zelmar ${row%|*}" > "$STATE/faults"
  before=$(mark)
  run_dusk -probe -host 127.0.0.1 -port "$PORT"
  expect_eq "$status" 1 "-probe against '${row%|*}'"
  log_after "$before" | grep -cF "KESTA Server 127.0.0.1:$PORT Not Available - ${row#*|}" > /dev/null \
    || fail "'${row%|*}': no line with ${row#*|}: $(log_after "$before")"
  log_after "$before" | grep -c "zone is" > /dev/null && fail "'${row%|*}': zone line after a failed probe"
done

# A server that answers 200 without a body: available, the zone stays empty.
echo "/proc/Zelmar empty200" > "$STATE/faults"
before=$(mark)
run_dusk -probe -host 127.0.0.1 -port "$PORT"
expect_eq "$status" 0 "-probe answered 200 without body"
log_after "$before" | grep -cF 'KESTA Server zone is ""' > /dev/null || fail "zone not empty: $(log_after "$before")"
rm "$STATE/faults"

# Garbage from a stray client must not take the peer down.
printf '\x16\x03\x01\x00\xff garbage\r\n\r\n' > /dev/tcp/127.0.0.1/"$PORT"
head -c 70000 /dev/zero | tr '\0' 'G' > /dev/tcp/127.0.0.1/"$PORT" || true
printf 'POST /proc/vmp/register HTTP/1.0\r\nContent-length: -5\r\n\r\n' > /dev/tcp/127.0.0.1/"$PORT"
run_dusk -probe -host 127.0.0.1 -port "$PORT"
expect_eq "$status" 0 "-probe after garbage"
kill -0 "$PEER_PID" || fail "kesta-peer died"

# Nobody listening any more.
kill "$PEER_PID"
wait "$PEER_PID" 2>/dev/null || true
before=$(mark)
run_dusk -probe -host 127.0.0.1 -port "$PORT"
expect_eq "$status" 1 "-probe of a closed port"
refused=$(log_after "$before" | grep -A2 -F "Not Available - Cannot connect to host") \
  || fail "no Cannot connect line: $(log_after "$before")"
expect_contains "$refused" "Info: KESTA-DUSK: KESTA Server 127.0.0.1:$PORT Not Available" "refused"
expect_eq "$(printf '%s\n' "$refused" | sed -n '2,3p' | tr -d '\n')" "" "two empty lines after it"
echo PASS
