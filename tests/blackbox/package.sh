# The Debian package: what scripts/package builds, what lintian and systemd
# say of it, its man page, and its life in a scratch root: install, upgrade,
# a failed and a repaired configuration, a configuration of the server's
# name alone completed, remove and purge, where systemd runs the machine
# (its tools stubbed) and where it does not (the service itself runs in the
# scratch root). dpkg works on the scratch root's own database only and runs
# the maintainer scripts chrooted there, so the machine's packages are never
# touched.
. "$(dirname "$0")/lib/common.sh"

command -v dpkg-deb >/dev/null || skip "dpkg-deb is missing"
needed=$(readelf -d "$DUSK_BINARY")
if grep -q 'NEEDED.*lib\(asan\|ubsan\|stdc++\)' <<< "$needed"; then
  skip "the package holds a build that needs nothing but glibc; $DUSK_BINARY needs more"
fi
for tool in lintian systemd-analyze man; do
  command -v $tool >/dev/null || fail "$tool is missing: run scripts/install-deps"
done

PKG_DIR=/tmp/kesta/pkg
ROOT=/tmp/kesta/root
RCONF=$ROOT$CONF

# build_package ARGS...: scripts/package from the test's build; sets $deb.
build_package() {
  deb=$("$DUSK_SOURCE_DIR/scripts/package" --no-build --build-dir "$DUSK_BUILD_DIR" \
    --output "$PKG_DIR" "$@" | tail -1)
  [ -f "$deb" ] || fail "no package built"
}

# copy_with_libs ROOT FILE...: each FILE into ROOT/bin, and the libraries it
# loads to their own paths under ROOT.
copy_with_libs() {
  local root=$1 file lib
  shift
  mkdir -p "$root/bin"
  for file in "$@"; do
    cp -L "$file" "$root/bin/"
    for lib in $(ldd "$file" | grep -o '/[^ ]*'); do
      mkdir -p "$root$(dirname "$lib")"
      cp -L "$lib" "$root$lib"
    done
  done
}

# make_scratch_root: an empty dpkg database in $ROOT that knows the C
# library, and what the maintainer scripts and dusk run in a chroot there.
# The root looks booted with systemd, whose tools only note their calls in
# /systemd.calls there.
make_scratch_root() {
  rm -rf "$ROOT"
  mkdir -p "$ROOT/var/lib/dpkg/info" "$ROOT/var/lib/dpkg/updates" "$ROOT/dev" \
    "$ROOT/run/systemd/system" "$ROOT/usr/bin" "$ROOT/proc"
  mknod -m 666 "$ROOT/dev/null" c 1 3
  copy_with_libs "$ROOT" /bin/sh /bin/mkdir /bin/rm /bin/rmdir /bin/sed /usr/bin/tr /bin/date \
    /bin/sleep /bin/touch "$DUSK_BINARY"
  rm "$ROOT/bin/$(basename "$DUSK_BINARY")"
  local tool
  for tool in systemctl deb-systemd-helper deb-systemd-invoke; do
    printf '#!/bin/sh\necho "${0##*/} $*" >> /systemd.calls\n' > "$ROOT/usr/bin/$tool"
    chmod 755 "$ROOT/usr/bin/$tool"
  done
  cat > "$ROOT/var/lib/dpkg/status" <<EOF
Package: libc6
Status: install ok installed
Priority: optional
Section: libs
Maintainer: scratch root
Architecture: $(dpkg --print-architecture)
Multi-Arch: same
Version: $(dpkg-query -W -f='${Version}' libc6)
Description: the C library, copied into the scratch root

EOF
}

# scratch_dpkg ARGS...: dpkg on the scratch root; sets $status, $out
# (standard output and error) and $calls (the calls of systemd's tools).
# The machine's dpkg configuration may leave out documentation (slim
# images do): everything is taken here.
scratch_dpkg() {
  rm -f "$ROOT/systemd.calls"
  set +e
  out=$(cd / && PATH=/usr/sbin:/usr/bin:/sbin:/bin dpkg --root="$ROOT" --path-include='*' "$@" 2>&1)
  status=$?
  set -e
  calls=$(cat "$ROOT/systemd.calls" 2>/dev/null || true)
}

# package_state: dpkg's two-letter state of dusk in the scratch root.
package_state() {
  dpkg --root="$ROOT" -l dusk 2>/dev/null | sed -n 's/^\([a-z][a-zA-Z]\) .*/\1/p'
}

# expect_mode PATH MODE: PATH under the scratch root has MODE, owned by root.
expect_mode() {
  [ -e "$ROOT$1" ] || fail "$1 is missing"
  expect_eq "$(stat -c '%a %U:%G' "$ROOT$1")" "$2 root:root" "mode of $1"
}

# man_entry TEXT TAG: the paragraph of the tagged entry TAG in the rendered
# page TEXT, from its tag line to the next tag line.
man_entry() {
  awk -v tag="$2" '
    /^       [^ ]/ { inside = ($1 == tag) }
    inside { print }' <<< "$1"
}

stage "build the packages"
build_package
old_deb=$deb
old_version=$(dpkg-deb -f "$old_deb" Version)
build_package --revision "${old_version##*-}.1"
new_deb=$deb
new_version=$(dpkg-deb -f "$new_deb" Version)
dpkg --compare-versions "$new_version" gt "$old_version" ||
  fail "$new_version is not newer than $old_version"
expect_eq "$(basename "$old_deb")" "dusk_${old_version}_$(dpkg --print-architecture).deb" "file name"
case "$old_version" in [0-9]*.[0-9]*.[0-9]*-[0-9]*) ;; *) fail "version $old_version" ;; esac
expect_contains "$(dpkg-deb -f "$old_deb" Depends)" "libc6 (>= 2." "Depends"

stage "lintian"
lintian_out=$(lintian --fail-on none --show-overrides "$old_deb" 2>&1) ||
  fail "lintian did not run: $lintian_out"
! grep -q '^E: ' <<< "$lintian_out" || fail "lintian reports errors: $lintian_out"
overridden=$(printf '%s\n' "$lintian_out" | sed -n 's/^O: dusk: \([^ ]*\).*/\1/p' | sort -u)
expect_eq "$overridden" "dir-or-file-in-opt" "tags overridden"

stage "install into a scratch root"
make_scratch_root
scratch_dpkg -i "$old_deb"
expect_eq "$status" 0 "dpkg -i status ($out)"
expect_eq "$(package_state)" ii "state after install"
expect_mode /opt/kesta/dusk/dusk 755
expect_mode /opt/kesta/dusk/biosinfo.so 644
expect_mode /lib/systemd/system/dusk.service 644
expect_mode /usr/share/man/man8/dusk.8.gz 644
expect_mode /etc/kesta/dusk 755
expect_mode $CONF 644
sections=$(readelf -S "$ROOT/opt/kesta/dusk/dusk")
! grep -q '\.symtab' <<< "$sections" || fail "dusk is not stripped"
# The postinst ran -confinit, which wrote a complete new configuration.
expect_eq "$(wc -l < "$RCONF")" 49 "lines of the new dusk.conf"
grep -qx "InstallPath=/opt/kesta/dusk" "$RCONF" || fail "InstallPath: $(cat "$RCONF")"
case "$out" in *Info:*) fail "the postinst showed what -confinit logged: $out" ;; esac
# A new installation is enabled and started.
expect_contains "$calls" "deb-systemd-helper enable dusk.service" "systemd calls of the install"
expect_eq "$(tail -1 <<< "$calls")" "deb-systemd-invoke start dusk.service" "last systemd call of the install"

stage "systemd-analyze verify"
# verify looks for the unit's programs and man page on this machine: the
# sandbox's private /opt/kesta gets the packaged program.
mkdir -p $INSTALL_DIR
cp "$ROOT$DUSK" $DUSK
verify_out=$(MANPATH=$ROOT/usr/share/man systemd-analyze verify \
  "$ROOT/lib/systemd/system/dusk.service" 2>&1) || fail "verify failed: $verify_out"
expect_eq "$verify_out" "" "systemd-analyze verify output"

stage "man page"
page=$ROOT/usr/share/man/man8/dusk.8.gz
expect_eq "$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)" "" "man warnings"
text=$(MANWIDTH=80 man -l "$page" 2>/dev/null)
for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" SIGNALS FILES CONFIGURATION EXAMPLES; do
  grep -qx "$section" <<< "$text" || fail "no $section section"
done
expect_contains "$text" "$(chroot "$ROOT" $DUSK -version)" "version line"
# Every option of the usage text, and every key that -confinit writes with
# the value it writes, has its entry.
usage=$(chroot "$ROOT" $DUSK -help)
for option in $(grep -o -- '\[-[a-z0-9]*' <<< "$usage" | tr -d '[') \
  $(sed -n 's/^  Info: \(-[^ ]*\) .*/\1/p' <<< "$usage"); do
  grep -q -- "^       \(-[a-z]*, \)\?$option\($\|[ ,]\)" <<< "$text" ||
    fail "no entry for $option"
done
for key_value in $(sed -n '/^\[Application\]/,/^\[DeviceInfo\]/s/^\([A-Za-z]*=[^ ]*\).*/\1/p' "$RCONF"); do
  key=${key_value%%=*} value=${key_value#*=}
  entry=$(man_entry "$text" "$key")
  [ -n "$entry" ] || fail "no entry for the key $key"
  case "$entry" in
    *"$value"*|*"${value//\/opt\/kesta\/dusk/install}"*) ;;
    *) fail "the entry of $key does not give $value: $entry" ;;
  esac
done

stage "upgrade"
chroot "$ROOT" $DUSK -confupdate ServerName=enroll.example.net -confupdate Config/probetimelimit=0 \
  >/dev/null || fail "-confupdate failed"
grep -qx "ServerName=enroll.example.net" "$RCONF" || fail "-confupdate did not set ServerName"
cp "$RCONF" /tmp/kesta/dusk.conf.before
scratch_dpkg -i "$new_deb"
expect_eq "$status" 0 "upgrade status ($out)"
expect_eq "$(dpkg --root="$ROOT" -s dusk | sed -n 's/^Version: //p')" "$new_version" "version after upgrade"
cmp "$RCONF" /tmp/kesta/dusk.conf.before || fail "the upgrade changed dusk.conf"
# The old service stops before the new files and -confinit; the new one starts.
expect_eq "$(grep -m1 '^deb-systemd-invoke' <<< "$calls")" "deb-systemd-invoke stop dusk.service" \
  "first service call of the upgrade"
expect_eq "$(tail -1 <<< "$calls")" "deb-systemd-invoke start dusk.service" "last systemd call of the upgrade"
expect_contains "$out" "dusk: stopping the service; it unregisters the device first" "the upgrade's stop"

stage "failed configuration"
# A configuration that lacks a key and cannot be rewritten (a directory
# stands where its previous version goes) fails -confinit: dpkg must say so
# and leave the package unconfigured, not pretend that it is installed.
sed -i '/^probeattemptlimit=/d' "$RCONF"
rm -f "$RCONF.prev"
mkdir -p "$RCONF.prev/in-the-way"
scratch_dpkg -i "$new_deb"
[ "$status" != 0 ] || fail "dpkg -i succeeded with a broken configuration"
expect_contains "$out" "-confinit\" failed with status 252" "postinst failure"
expect_contains "$out" "Failed to Initialize Configuration" "postinst shows what -confinit said"
expect_eq "$(package_state)" iF "state after a failed configuration"
rm -r "$RCONF.prev"

stage "configuration completed"
# Repaired but lacking two keys, the configuration is completed: the keys
# come back with their defaults, the rest stays as it was.
cp /tmp/kesta/dusk.conf.before "$RCONF"
sed -i -e '/^LogPath=/d' -e '/^probeattemptlimit=/d' "$RCONF"
scratch_dpkg --configure dusk
expect_eq "$status" 0 "dpkg --configure status ($out)"
expect_eq "$(package_state)" ii "state after the repair"
grep -qx "LogPath=/opt/kesta/dusk/log" "$RCONF" || fail "LogPath not added"
grep -qx "probeattemptlimit=3" "$RCONF" || fail "probeattemptlimit not added"
expect_eq "$(grep -vx -e 'LogPath=.*' -e 'probeattemptlimit=.*' "$RCONF")" \
  "$(grep -vx -e 'LogPath=.*' -e 'probeattemptlimit=.*' /tmp/kesta/dusk.conf.before)" \
  "the rest of dusk.conf"
# Without LogPath, -confinit logged beside the configuration.
[ -f "$ROOT/etc/kesta/dusk/dusk.log" ] || fail "no dusk.log in /etc/kesta/dusk"
[ ! -e "$ROOT/dusk.log" ] || fail "-confinit logged into /"

stage "a configuration written before the package"
# What an administrator may write first: the server's name alone. The
# package completes it, every section added with its keys, the name kept.
printf '[Application]\nServerName=enroll.example.net\n' > "$RCONF"
scratch_dpkg -i "$new_deb"
expect_eq "$status" 0 "dpkg -i status ($out)"
expect_eq "$(package_state)" ii "state after completing a short configuration"
grep -qx "ServerName=enroll.example.net" "$RCONF" || fail "ServerName lost: $(cat "$RCONF")"
for line in "[Config]" "probeattemptlimit=3" "[DeviceInfo]" "devdn=" "[ServiceScan]" "zelsched="; do
  grep -qxF "$line" "$RCONF" || fail "no $line in: $(cat "$RCONF")"
done

stage "remove"
cp "$RCONF" /tmp/kesta/dusk.conf.before
touch "$ROOT/opt/kesta/dusk/NULLKMA.QDX"  # put there by agent media
scratch_dpkg -r dusk
expect_eq "$status" 0 "dpkg -r status ($out)"
expect_eq "$(package_state)" rc "state after remove"
for file in /opt/kesta/dusk/dusk /opt/kesta/dusk/biosinfo.so /lib/systemd/system/dusk.service \
  /usr/share/man/man8/dusk.8.gz; do
  [ ! -e "$ROOT$file" ] || fail "$file is still there"
done
cmp "$RCONF" /tmp/kesta/dusk.conf.before || fail "remove changed dusk.conf"
expect_eq "$(grep -m1 '^deb-systemd-invoke' <<< "$calls")" "deb-systemd-invoke stop dusk.service" \
  "first service call of remove"
expect_contains "$calls" "deb-systemd-helper mask dusk.service" "systemd calls of remove"
case "$calls" in *start*) fail "remove started the service: $calls" ;; esac

stage "purge"
scratch_dpkg -P dusk
expect_eq "$status" 0 "dpkg -P status ($out)"
expect_eq "$(package_state)" "" "state after purge"
expect_contains "$calls" "deb-systemd-helper purge dusk.service" "systemd calls of purge"
for dir in /etc/kesta /opt/kesta; do
  [ ! -e "$ROOT$dir" ] || fail "$dir is still there: $(find "$ROOT$dir")"
done

# ---- Without systemd: the package starts and stops the service itself.

# root_services: the pids of the services running in the scratch root.
root_services() {
  local dir
  for dir in /proc/[0-9]*; do
    [ "$(tr '\0' ' ' < "$dir/cmdline" 2>/dev/null)" = "$DUSK " ] &&
      [ "$(readlink "$dir/root")" = "$ROOT" ] && echo "${dir#/proc/}"
  done
  true
}

# expect_restarted OLD: the service OLD was stopped by dusk -stop, and
# one new service runs the package's program now; sets $service to it.
expect_restarted() {
  expect_contains "$out" "dusk: stopping the service (pid $1)" "the stop"
  service=$(sed -n 's/^dusk: the service ran before, so it was started again: New KESTA-DUSK Service started pid=\([0-9]*\)$/\1/p' <<< "$out")
  [ -n "$service" ] || fail "no start again in [$out]"
  expect_eq "$(root_services)" "$service" "the services"
  expect_eq "$(readlink /proc/$service/exe)" "$ROOT$DUSK" "program of the service"
  log_has "$ROOT/etc/kesta/dusk/log/dusk.log.prev" "Service Shutdown" ||
    fail "the old service did not shut down: $(log_messages "$ROOT/etc/kesta/dusk/log/dusk.log.prev" | tail -5)"
  expect_eq "$(cat "$ROOT/run/dusk.pid")" "$service" "the pid file"
  [ ! -e "$ROOT/run/dusk.restart" ] || fail "the restart mark is left"
}

stage "without systemd: install"
make_scratch_root
rmdir "$ROOT/run/systemd/system"
mount -t proc proc "$ROOT/proc"
at_exit "umount '$ROOT/proc' 2>/dev/null || true"
# The version before this one stopped the service only through systemd.
legacy=/tmp/kesta/legacy
dpkg-deb -R "$old_deb" $legacy
printf '#!/bin/sh\nexit 0\n' > $legacy/DEBIAN/prerm
dpkg-deb -b $legacy /tmp/kesta/legacy.deb > /dev/null
scratch_dpkg -i /tmp/kesta/legacy.deb
expect_eq "$status" 0 "dpkg -i status ($out)"
expect_contains "$out" \
  "dusk: systemd is not running, so the service was not started; start it as root with /opt/kesta/dusk/dusk" \
  "the install without systemd"
expect_eq "$(root_services)" "" "services after the install"
case "$calls" in *invoke*|*systemctl*) fail "systemd was called: $calls" ;; esac

stage "without systemd: upgrade from a version that left the service running"
out=$(chroot "$ROOT" $DUSK) || fail "the start failed: $out"
first=$(sed -n 's/^  Info: New KESTA-DUSK Service started pid=\([0-9]*\)$/\1/p' <<< "$out")
expect_eq "$(root_services)" "$first" "the service started by hand"
# preinst stops what the old prerm left running, postinst starts the new one.
scratch_dpkg -i "$new_deb"
expect_eq "$status" 0 "upgrade status ($out)"
expect_restarted "$first"

stage "without systemd: upgrade"
second=$service
scratch_dpkg -i "$new_deb"
expect_eq "$status" 0 "second upgrade status ($out)"
expect_restarted "$second"

stage "without systemd: remove"
third=$service
scratch_dpkg -r dusk
expect_eq "$status" 0 "dpkg -r status ($out)"
expect_contains "$out" "dusk: stopping the service (pid $third)" "dpkg -r"
expect_eq "$(root_services)" "" "services after remove"
[ ! -e "$ROOT/run/dusk.pid" ] || fail "the pid file is left after remove"
[ ! -e "$ROOT/run/dusk.restart" ] || fail "the restart mark is left after remove"
scratch_dpkg -P dusk
expect_eq "$status" 0 "dpkg -P status ($out)"
umount "$ROOT/proc"
echo PASS
