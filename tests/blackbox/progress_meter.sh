# The meter of a file that arrives: "dusk -get" and "dusk -instagent" run
# on a pseudo-terminal (script) over a loopback held to 16 Mbit/s draw one
# line on standard error, redrawn a few times a second with the file, its
# bytes and share, the rate and the time left, and erase it before the next
# line; with standard error a pipe or a file, or under -silent, there is no
# trace of it, and never in the log.
. "$(dirname "$0")/lib/common.sh"
. "$DUSK_SOURCE_DIR/tests/lib/sample_agent.sh"
enter_pid_namespace
LOG=/etc/kesta/dusk/log/dusk.log
WWW=/tmp/kesta/www
TYPESCRIPT=/tmp/kesta/typescript

# on_terminal COMMAND...: runs COMMAND on a pseudo-terminal; sets $status and
# $screen (what the terminal received, carriage returns and escapes kept).
on_terminal() {
  set +e
  script -qefc "$(printf '%q ' "$@")" "$TYPESCRIPT" > /dev/null
  status=$?
  set -e
  # Without script's own first and last lines.
  screen=$(sed '1d;/^Script done on /d' "$TYPESCRIPT")
}

# meter_frames TEXT: the meter lines drawn in TEXT, one per line, without
# the erase that ends each.
meter_frames() {
  printf '%s' "$1" | tr '\r' '\n' | sed 's/\x1b\[K//g' | grep -a ' of .*%  .*/s  .*left' || true
}

stage "set-up"
install_dusk
make_sample_agent_media "$WWW"
head -c $((3 * 1024 * 1024)) /dev/urandom > "$WWW/script/payload.bin"
media_list_variant "$WWW/script" big.mcfl MediaContent.mcfl
start_peer --media "$WWW"
run_dusk -confinit -host 127.0.0.1 -port "$PORT"
expect_eq "$status" 0 "-confinit"
run_dusk -confupdate DeviceInfo/hostname=meter-device
mkdir -p /tmp/kesta/get && cd /tmp/kesta/get
# Packets of a wire's size, 16 Mbit/s: 3 MiB take about 1.6 s.
ip link set lo mtu 1500
tc qdisc add dev lo root tbf rate 16mbit burst 32kb latency 100ms

stage "-get on a terminal"
on_terminal "$DUSK" -get /script/payload.bin
expect_eq "$status" 0 "-get on a terminal"
cmp -s payload.bin "$WWW/script/payload.bin" || fail "payload.bin differs"
frames=$(meter_frames "$screen")
count=$(printf '%s\n' "$frames" | grep -c . || true)
# About 1.6 s at four frames a second; a loaded machine may draw fewer.
[ "$count" -ge 2 ] && [ "$count" -le 12 ] || fail "$count meter frames: $frames"
first=$(printf '%s\n' "$frames" | head -1)
[[ $first =~ ^payload\.bin\ \ [0-9.]+\ (B|KiB|MiB)\ of\ 3\.0\ MiB\ \ [0-9]+%\ \ [0-9.]+\ (KiB|MiB)/s\ \ 0:[0-9][0-9]\ left$ ]] ||
  fail "meter line [$first]"
# Erased before the next line, which starts at the line's beginning.
expect_contains "$screen" $'\r\e[K  Info: Downloaded file /script/payload.bin (3145728 bytes)' \
  "the meter erased before the next line"

stage "-get into pipes and files"
rm -f payload.bin
run_dusk -get /script/payload.bin
expect_eq "$status" 0 "-get into a pipe"
case "$out$err" in *$'\r'*|*"MiB/s"*|*" left"*) fail "meter in a pipe: [$out] [$err]" ;; esac
rm -f payload.bin
"$DUSK" -get /script/payload.bin > /tmp/kesta/get.out 2> /tmp/kesta/get.err ||
  fail "-get into files"
grep -q -e "MiB/s" -e $'\r' /tmp/kesta/get.out /tmp/kesta/get.err && fail "meter in a file"
grep -q -e "MiB/s" -e " left" "$LOG" && fail "meter in the log"

stage "-silent on a terminal"
rm -f payload.bin
on_terminal "$DUSK" -silent -get /script/payload.bin
expect_eq "$status" 0 "-silent -get"
expect_eq "$screen" "" "a -silent -get's terminal"

stage "-instagent on a terminal"
on_terminal "$DUSK" -instagent /script/big.mcfl
expect_eq "$status" 0 "-instagent on a terminal"
[ -n "$(meter_frames "$screen" | grep '^payload\.bin ')" ] || fail "no meter of payload.bin: [$screen]"
# How the initial connect ended is the last line the administrator sees.
expect_eq "$(printf '%s' "$screen" | tr -d '\r' | grep -v '^$' | tail -1)" \
  "  Info: KESTA Initial Connect Completed - Exit Code: 0" "the last line of -instagent"
echo PASS
