# "dusk -get" against real servers: nginx (else Python's http.server) and
# kesta-peer serve the same media, made here: a single file, and media
# content file lists with files in sub-directories, sizes, modes and
# digests. Each server gets the whole list (files, contents and modes
# checked), a second -get that must not replace anything, a URL media path
# with a port, and the lists that must fail: a missing file (404), a size
# that does not match, an upper-case digest, CR LF line ends, and entries
# that would write outside the current directory.
. "$(dirname "$0")/lib/common.sh"
LOG=/etc/kesta/dusk/log/dusk.log
WEB_PORT=18081
MEDIA=/tmp/kesta/media
install_dusk
run_dusk -confinit
expect_eq "$status" 0 "-confinit"
mkdir -p /etc/kesta/dusk/log

# ---- The media.
mkdir -p "$MEDIA/agent/bin" "$MEDIA/agent/lib/sub" "$MEDIA/agent/etc"
chmod -R 755 "$MEDIA"
head -c $((3 * 1024 * 1024 + 1234)) /dev/urandom > "$MEDIA/agent/bin/zelexecd"
head -c 70000 /dev/urandom > "$MEDIA/agent/lib/sub/libagent.so"
echo "key=value" > "$MEDIA/agent/etc/agent.conf"
: > "$MEDIA/agent/etc/empty"
head -c 100000 /dev/urandom > "$MEDIA/agent/single.bin"
chmod 644 "$MEDIA"/agent/*/* "$MEDIA"/agent/lib/sub/* "$MEDIA/agent/single.bin"

# entry PATH MODE [MD5]: the list line of a media file.
entry() {
  local file=$MEDIA/agent/$1
  echo "$1 $(stat -c %s "$file") $2 ${3:-$(md5sum < "$file" | cut -d' ' -f1)}"
}
header() { printf '#//MediaContent: 1.0\n#//Option: PackageType=script\n'; }
{
  header
  entry bin/zelexecd 755
  echo "# libraries"
  entry lib/sub/libagent.so 644
  entry etc/agent.conf 600
  entry etc/empty 0
} > "$MEDIA/agent/MediaContent.mcfl"
{ header; echo "etc/missing.conf 10 644 0123456789abcdef0123456789abcdef"; } \
  > "$MEDIA/agent/missing.mcfl"
{ header; echo "etc/agent.conf 9999 644 $(md5sum < "$MEDIA/agent/etc/agent.conf" | cut -d' ' -f1)"; } \
  > "$MEDIA/agent/badsize.mcfl"
upper=$(md5sum < "$MEDIA/agent/etc/agent.conf" | cut -d' ' -f1 | tr a-f A-F)
{ header; entry etc/agent.conf 644 "$upper"; } > "$MEDIA/agent/upper.mcfl"
header | sed 's/$/\r/' > "$MEDIA/agent/crlf.mcfl"
entry etc/agent.conf 644 | sed 's/$/\r/' >> "$MEDIA/agent/crlf.mcfl"
{ header; echo "../../../../etc/passwd 10 644 0123456789abcdef0123456789abcdef"; } \
  > "$MEDIA/agent/parent.mcfl"
{ header; echo "/etc/shadow 10 600 0123456789abcdef0123456789abcdef"; } \
  > "$MEDIA/agent/absolute.mcfl"
passwd_before=$(md5sum < /etc/passwd)

# get_in DIR ARGS...: runs "dusk ARGS..." in a fresh DIR; sets $status, $out.
get_in() {
  local dir=$1
  shift
  rm -rf "$dir"
  mkdir -p "$dir"
  cd "$dir"
  run_dusk "$@"
  cd /tmp/kesta
}

# check_server NAME PORT: the whole round against the server on PORT.
check_server() {
  local name=$1 port=$2 work=/tmp/kesta/get-$1
  local server=(-host 127.0.0.1 -port "$port")

  get_in "$work/single" "${server[@]}" -get /agent/single.bin
  expect_eq "$status" 0 "$name: -get of a single file ($out)"
  cmp -s "$work/single/single.bin" "$MEDIA/agent/single.bin" || fail "$name: single.bin differs"
  expect_contains "$out" "Info: Downloaded file /agent/single.bin (100000 bytes) from KESTA Server 127.0.0.1:$port" \
    "$name: single file"

  get_in "$work/list" "${server[@]}" -get /agent/MediaContent.mcfl
  expect_eq "$status" 0 "$name: -get of the list ($out)"
  local path
  for path in bin/zelexecd lib/sub/libagent.so etc/agent.conf etc/empty; do
    cmp -s "$work/list/$path" "$MEDIA/agent/$path" || fail "$name: $path differs"
  done
  expect_eq "$(stat -c %a "$work/list/bin/zelexecd")" 755 "$name: mode of zelexecd"
  expect_eq "$(stat -c %a "$work/list/lib/sub/libagent.so")" 644 "$name: mode of libagent.so"
  expect_eq "$(stat -c %a "$work/list/etc/agent.conf")" 600 "$name: mode of agent.conf"
  expect_eq "$(cd "$work/list" && find . -type f | sort | tr '\n' ' ')" \
    "./MediaContent.mcfl ./bin/zelexecd ./etc/agent.conf ./etc/empty ./lib/sub/libagent.so " \
    "$name: files of the list"
  expect_contains "$out" "Info: Downloaded file /agent/bin/zelexecd ($((3 * 1024 * 1024 + 1234)) bytes)" \
    "$name: list"

  # Again into the same directory: nothing is replaced.
  echo changed > "$work/list/etc/agent.conf"
  cd "$work/list"
  run_dusk "${server[@]}" -get /agent/MediaContent.mcfl
  cd /tmp/kesta
  expect_eq "$status" 1 "$name: second -get"
  expect_contains "$out" "Error: Failed to download file ./MediaContent.mcfl - File Exists" \
    "$name: second -get"
  expect_eq "$(cat "$work/list/etc/agent.conf")" changed "$name: agent.conf after a second -get"

  # The media path as a URL with the port; the options name nothing useful.
  get_in "$work/url" -debug -host 127.0.0.2 -port 1 -get "http://127.0.0.1:$port/agent/MediaContent.mcfl"
  expect_eq "$status" 0 "$name: -get of a URL ($out)"
  cmp -s "$work/url/bin/zelexecd" "$MEDIA/agent/bin/zelexecd" || fail "$name: zelexecd by URL"
  expect_contains "$out" "Debug: Using host and port 127.0.0.1:$port from the Media Path specified" \
    "$name: URL"
  expect_contains "$out" "Info: Downloaded file /agent/bin/zelexecd ($((3 * 1024 * 1024 + 1234)) bytes) from KESTA Server 127.0.0.1:$port" \
    "$name: URL"

  # -silent: nothing on the console.
  get_in "$work/silent" "${server[@]}" -silent -get /agent/single.bin
  expect_eq "$status" 0 "$name: -silent -get"
  expect_eq "$out" "" "$name: console of -silent"

  local list expected
  while IFS='|' read -r list expected; do
    get_in "$work/bad" "${server[@]}" -get "/agent/$list"
    expect_eq "$status" 1 "$name: -get of $list"
    expect_contains "$out" "$expected" "$name: $list"
    expect_eq "$(cd "$work/bad" && find . ! -type d | tr '\n' ' ')" "./$list " \
      "$name: files left by $list"
  done <<CASES
missing.mcfl|Error: Could not download file /agent/etc/missing.conf from KESTA Server 127.0.0.1:$port - File not found
badsize.mcfl|Error: Size for File etc/agent.conf does not match - Got 10 bytes, Expected 9999 bytes
upper.mcfl|Error: MD5 For file etc/agent.conf does not match - Calculated $(md5sum < "$MEDIA/agent/etc/agent.conf" | cut -d' ' -f1), Expected $upper
crlf.mcfl|Error: MD5 For file etc/agent.conf does not match
parent.mcfl|Error: Failed to download file ../../../../etc/passwd - Invalid file path
absolute.mcfl|Error: Failed to download file /etc/shadow - Invalid file path
CASES

  get_in "$work/none" "${server[@]}" -get /agent/nothing-here.bin
  expect_eq "$status" 1 "$name: -get of a missing file"
  expect_contains "$out" "Error: Could not download file /agent/nothing-here.bin from KESTA Server 127.0.0.1:$port - File not found" \
    "$name: missing file"
  expect_eq "$(ls -A "$work/none")" "" "$name: files left by a missing file"
}

start_web_server "$MEDIA" "$WEB_PORT" || skip "neither nginx nor python3 is installed"
check_server "$WEB_SERVER" "$WEB_PORT"
echo "$WEB_SERVER: ok"
start_peer --media "$MEDIA"
check_server kesta-peer "$PORT"
echo "kesta-peer: ok"

expect_eq "$(md5sum < /etc/passwd)" "$passwd_before" "/etc/passwd"
[ ! -e /tmp/kesta/etc ] || fail "something was written above the target"
echo PASS
