# README.md and the man page say what the program does: the glibc floor
# once, and the one the built program needs (which the package's Depends
# names); every log level the program writes; the URL form of a media path;
# every exit code of the program.
. "$(dirname "$0")/lib/common.sh"
README=$DUSK_SOURCE_DIR/README.md
MAN_PAGE=$DUSK_SOURCE_DIR/packaging/dusk.8

stage "glibc"
floors=$(grep -o 'glibc [0-9][0-9.]* or newer' "$README" || true)
expect_eq "$(printf '%s\n' "$floors" | grep -c .)" 1 "statements of the glibc floor in README.md"
needed=$(objdump -T "$DUSK_BUILD_DIR/src/dusk" "$DUSK_BUILD_DIR/src/biosinfo.so" |
  grep -o 'GLIBC_[0-9][0-9.]*' | sed 's/GLIBC_//' | sort -uV | tail -1)
expect_eq "$floors" "glibc $needed or newer" "the glibc floor of README.md"
expect_contains "$(cat "$README")" "Depends: libc6 (>= $needed)" "the package's Depends in README.md"

stage "log levels"
levels=$(grep -o 'with the level `[^.]*' "$README")
for level in $(grep -rhoE 'kLog(Fatal|Error|Warn|Audit|Info|Debug|Trace)\b' "$DUSK_SOURCE_DIR/src" \
                 --include='*.cc' --exclude='*_test.cc' | sort -u); do
  expect_contains "$levels" "\`${level#kLog}\`" "the log levels of README.md"
done

stage "media paths as URLs"
man_text=$(MANWIDTH=200 man -l "$MAN_PAGE" 2>/dev/null)
expect_contains "$man_text" "http://host:port/path" "the URL form of -get in the man page"
expect_contains "$man_text" "A URL without a port, http://host/path, gives only the path" \
  "a URL without a port in the man page"

stage "exit codes"
readme_codes=$(sed -n '/^### Exit codes/,/^## /p' "$README")
man_codes=$(printf '%s\n' "$man_text" | sed -n '/^EXIT STATUS/,/^SIGNALS/p')
for code in $(sed -n 's/^ *kExit[A-Za-z]* = \(-\?[0-9]*\),.*/\1/p' "$DUSK_SOURCE_DIR/src/app/exit_code.h"); do
  status=$(( (code + 256) % 256 ))
  grep -qE "(^|[^0-9])$status([^0-9]|$)" <<< "$readme_codes" || fail "exit code $status not in README.md's table"
  grep -qE "^ +$status( |$)" <<< "$man_codes" || fail "exit code $status not in the man page"
done
echo PASS
