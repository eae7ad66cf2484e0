# Fault drill: the server dies in the middle of a media download. "dusk
# -get" fetches a media content file list from kesta-peer across a veth
# pair held to 16 Mbit/s with small send queues, and the peer is killed while the second, large
# file is half way. The download fails with its reason and exit code 1,
# not a crash; the file checked before the cut stays, the cut one leaves
# no trace; and once the server is back the same download completes.
set -euo pipefail
. "$(dirname "$0")/lib/common.sh"
# Every process it starts ends with the namespace.
enter_pid_namespace
. "$(dirname "$0")/lib/drill.sh"
MEDIA=/tmp/kesta/media
DEVICE_ADDRESS=10.98.0.2
PEER_ADDRESS=10.98.0.1
BIG=$((8 * 1024 * 1024))

# get_into DIR: "dusk -get" of the list into the new directory DIR, in the
# background; sets $get.
get_into() {
  mkdir -p "$1"
  (cd "$1" && exec "$DUSK" -host "$PEER_ADDRESS" -port "$PORT" -get /agent/MediaContent.mcfl) \
    > "$1.out" 2>&1 &
  get=$!
}

stage "set-up"
drill_device
cd "$DRILL"
run_dusk -confinit
expect_eq "$status" 0 "-confinit"
mkdir -p "$MEDIA/agent"
head -c 300000 /dev/urandom > "$MEDIA/agent/small.bin"
head -c "$BIG" /dev/urandom > "$MEDIA/agent/big.bin"
{
  echo "#//MediaContent: 1.0"
  for file in small.bin big.bin; do
    echo "$file $(stat -c %s "$MEDIA/agent/$file") 644 $(md5sum < "$MEDIA/agent/$file" | cut -d' ' -f1)"
  done
} > "$MEDIA/agent/MediaContent.mcfl"
veth_to_peer_namespace "$DEVICE_ADDRESS" "$PEER_ADDRESS"
slow_server_link
start_peer_in_namespace "$PEER_ADDRESS" --media "$MEDIA"

stage "server killed half way through big.bin"
get_into "$DRILL/get"
wait_until 30 "big.bin half downloaded" big_part_over $((BIG / 2)) "$DRILL/get"
kill -KILL "$PEER_PID"
{ wait "$PEER_PID" || true; } 2> /dev/null
status=0
wait "$get" || status=$?
expect_eq "$status" 1 "exit code of the cut download ($(cat "$DRILL/get.out"))"
expect_contains "$(cat "$DRILL/get.out")" \
  "Error: Failed to download file /agent/big.bin from $PEER_ADDRESS:$PORT - Connection ended after" \
  "cut download"
expect_eq "$(cd "$DRILL/get" && find . -mindepth 1 | sort | tr '\n' ' ')" \
  "./MediaContent.mcfl ./small.bin " "files after the cut"
cmp -s "$DRILL/get/small.bin" "$MEDIA/agent/small.bin" || fail "small.bin differs"

stage "server back: the download completes"
PEER_PORT=$PORT start_peer_in_namespace "$PEER_ADDRESS" --media "$MEDIA"
get_into "$DRILL/again"
status=0
wait "$get" || status=$?
expect_eq "$status" 0 "exit code of the download after the return ($(cat "$DRILL/again.out"))"
for file in MediaContent.mcfl small.bin big.bin; do
  cmp -s "$DRILL/again/$file" "$MEDIA/agent/$file" || fail "$file differs"
done
expect_eq "$(find "$DRILL/again" -mindepth 1 | wc -l)" 3 "files after the return"
check_conf
check_files
echo PASS
