# scripts/demo as a user runs it, from a clone under /tmp (which its own
# sandbox makes private): on a terminal it shows the build's progress, it
# runs the whole enrollment, and its logs and the peer's record are in the
# clone's build/demo afterwards. A failed package install is reported as
# such, not as a failed build.
. "$(dirname "$0")/lib/common.sh"
# Under /tmp, but not /tmp/kesta, which the demo's own sandbox empties.
CLONE=$(mktemp -d /tmp/dusk-clone.XXXXXX)
FAKE_BIN=/tmp/kesta/fake-bin
TYPESCRIPT=/tmp/kesta/typescript
DEMO=/tmp/kesta/demo-in-clone

stage "set-up"
mkdir -p "$FAKE_BIN"
tar -C "$DUSK_SOURCE_DIR" --exclude=./build --exclude=./.git -cf - . | tar -C "$CLONE" -xf -
# ninja reports three steps of its own as it does into a pipe, and then does
# the real work, which is none: this run's build is up to date.
cat > "$FAKE_BIN/ninja" <<'NINJA'
#!/bin/bash
[ -t 1 ] || printf '[%d/3] Building CXX object step%d.o\n' 1 1 2 2 3 3
exec /usr/bin/ninja "$@"
NINJA
chmod +x "$FAKE_BIN/ninja"
# The clone's scripts/demo, started as from a shell of the machine (not from
# inside this test's sandbox), with the build of this test run.
cat > "$DEMO" <<SCRIPT
#!/bin/bash
exec env -u DUSK_SANDBOX -u DUSK_IN_PID_NAMESPACE PATH="$FAKE_BIN:\$PATH" \\
  "$CLONE/scripts/demo" "$DUSK_BUILD_DIR"
SCRIPT
chmod +x "$DEMO"

stage "a failed package install"
cp "$CLONE/scripts/install-deps" /tmp/kesta/install-deps
printf '#!/bin/bash\necho "E: Unable to locate package nothing-here"\nexit 100\n' \
  > "$CLONE/scripts/install-deps"
set +e
err=$("$DEMO" 2>&1 > /dev/null)
status=$?
set -e
expect_eq "$status" 1 "the demo's status after a failed package install"
expect_contains "$err" "E: Unable to locate package nothing-here" "the failed install's output"
expect_contains "$err" "demo: installing the packages it needs failed" "the failed install named"
case $err in *"build failed"*) fail "a failed package install reported as a failed build" ;; esac
cp /tmp/kesta/install-deps "$CLONE/scripts/install-deps"

stage "the demo on a terminal"
set +e
script -qefc "$DEMO" "$TYPESCRIPT" > /dev/null
status=$?
set -e
screen=$(sed '1d;/^Script done on /d' "$TYPESCRIPT")
expect_eq "$status" 0 "the demo's status: $(tail -20 "$TYPESCRIPT")"
expect_contains "$screen" $'\r\e[K  [2/3] Building CXX object step2.o' "the build's progress"
expect_contains "$screen" $'\r\e[K  [3/3] Building CXX object step3.o\r\e[K' \
  "the build's progress erased at its end"
expect_contains "$screen" "Done: the device was registered" "the demo's end"
grep -qxF "[2/3] Building CXX object step2.o" "$CLONE/build/demo/build.log" ||
  fail "build.log lacks the build's lines: $(cat "$CLONE/build/demo/build.log")"

stage "the results"
log_has "$CLONE/build/demo/dusk.log" "Service Shutdown" ||
  fail "no dusk.log in the clone's build/demo: $(ls -la "$CLONE/build/demo")"
grep -q "^devdn=" "$CLONE/build/demo/dusk.conf" || fail "no dusk.conf in build/demo"
ls "$CLONE/build/demo/peer-requests"/*.txt > /dev/null 2>&1 || fail "no peer record in build/demo"
echo PASS
