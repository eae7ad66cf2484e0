# The README's hand build, as written there: it configures without
# GoogleTest and builds dusk and biosinfo.so and nothing else (no test
# binaries, kesta-peer or fuzz replays).
. "$(dirname "$0")/lib/common.sh"
BUILD=/tmp/kesta/program

stage "the README's commands"
line=$(grep -m1 '^    cmake -S \. -B build/program ' "$DUSK_SOURCE_DIR/README.md") ||
  fail "no hand build in README.md"
configure=${line%% && *}
build=${line#* && }
expect_eq "$build" "ninja -C build/program" "the README's build command"

stage "configure"
cd "$DUSK_SOURCE_DIR"
# Without GoogleTest: a machine that only builds the program need not have it.
${configure//build\/program/$BUILD} -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON > /tmp/kesta/cmake.log 2>&1 ||
  fail "cmake: $(tail -20 /tmp/kesta/cmake.log)"

stage "what it builds"
steps=$(ninja -C "$BUILD" -n | sed -n 's/^\[[0-9]*\/[0-9]*\] //p')
expect_eq "$(printf '%s\n' "$steps" | grep '^Linking' | sort | tr '\n' '|')" \
  "Linking C shared library src/biosinfo.so|Linking CXX executable src/dusk|Linking CXX static library src/libduskcore.a|" \
  "what the hand build links"
printf '%s\n' "$steps" | grep -q -e _test -e /fuzz -e tools/peer -e support/ && fail "the hand build compiles more: $steps"
echo PASS
