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
