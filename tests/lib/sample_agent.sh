# The sample KESTA Agent: a small stand-in for the real agent, for the
# black-box tests and the demo. Sourced, never run.
#
#   make_sample_agent_media DIR
#
# writes two media of the same agent below DIR, each with the content list
# MediaContent.mcfl (real sizes, modes and MD5 digests):
#
#   DIR/script/   PackageType script: install.sh, and the agent's files in
#                 agent/ that install.sh copies into place
#   DIR/debian/   PackageType debian: kesta-agent_1.0_all.deb, built here
#                 with dpkg-deb and installed with "dpkg -i"
#
# Serve DIR with a web server (or kesta-peer --media DIR) and install with
# "dusk -instagent http://HOST:PORT/script/" or the server's request
# "InstallAgent -media /script". Settings, read when the media is made:
#
#   SAMPLE_AGENT_CALLS     file where every agent program records its call
#                          (default /tmp/kesta/agent-calls)
#   SAMPLE_AGENT_DUSK_DIR  dusk's install directory, which gets the agent's
#                          object file template NULLKMA.QDX
#                          (default /opt/kesta/dusk)
#
# The installed agent:
#
#   /opt/kesta/agent/zelexecd, zelsched
#       the daemons: "start" leaves a sleeping process whose argv[0] is the
#       program's path (so dusk's service scan sees it started), "stop"
#       ends it
#   /opt/kesta/agent/zelskman
#       "-configure ..." (the media's post-install command) starts both
#       daemons; "-connect ..." (the initial connect) only records
#   /opt/kesta/agent/uninstall
#       stops the daemons and removes /opt/kesta/agent and /etc/kesta/agent
#   /etc/kesta/agent/lib/           where dusk writes KMA.QDX
#   $SAMPLE_AGENT_DUSK_DIR/NULLKMA.QDX
#
# Every program, install.sh and the package's postinst append one line to
# the calls file: the program's name and its arguments, blank-separated.
# Two switches anywhere in the arguments change what a program does, for
# tests: "--sleep N" sleeps N seconds before its work, "--exit N" ends it
# with status N after its work.
#
#   write_media_list DIR NAME [OPTION=VALUE]...
#   media_list_variant DIR NAME BASE [OPTION=VALUE | -OPTION]...
#
# write a further content list DIR/NAME for the files below DIR: with the
# options given, or with those of the list DIR/BASE changed (OPTION=VALUE
# replaces or adds an option, -OPTION drops it).

SAMPLE_AGENT_DIR=/opt/kesta/agent
SAMPLE_AGENT_PACKAGE=kesta-agent_1.0_all.deb

# The content list options of each media.
SAMPLE_SCRIPT_OPTIONS=(
  "PackageType=script"
  "InstallScript=install.sh"
  "InstallOptions=-server <RcsHost> -port <RcsPort> -host <Hostname> -log <InstallLogfile>"
  "SilentInstallOptions=-silent -server <RcsHost> -port <RcsPort>"
  "PostInstallConfigure=zelskman -configure -server <RcsHost>:<RcsPort>"
  "InitialConnectOptions=-connect -server <RcsHost> -port <RcsPort> -host <Hostname>"
)
SAMPLE_DEBIAN_OPTIONS=(
  "PackageType=debian"
  "InstallOptions=-i $SAMPLE_AGENT_PACKAGE"
  "PostInstallConfigure=zelskman -configure -server <RcsHost>:<RcsPort>"
  "InitialConnectOptions=-connect -server <RcsHost> -port <RcsPort> -host <Hostname>"
)

# _sample_prelude: the start of every sample program: it records the call
# and reads the test switches.
_sample_prelude() {
  cat <<EOF
#!/bin/bash
# Sample KESTA Agent program (tests and demo only).
calls=${SAMPLE_AGENT_CALLS:-/tmp/kesta/agent-calls}
agent=$SAMPLE_AGENT_DIR
dusk_dir=${SAMPLE_AGENT_DUSK_DIR:-/opt/kesta/dusk}
EOF
  cat <<'EOF'
name=${0##*/}
{
  printf '%s' "$name"
  [ $# -eq 0 ] || printf ' %s' "$@"
  printf '\n'
} >> "$calls"
exit_status=0
args=("$@")
for ((i = 0; i < ${#args[@]}; i++)); do
  case ${args[i]} in
    --exit) exit_status=${args[i + 1]:-0} ;;
    --sleep) sleep "${args[i + 1]:-0}" ;;
  esac
done
EOF
}

# _sample_programs DIR: the agent's programs and its object file template
# into DIR.
_sample_programs() {
  local dir=$1 daemon
  mkdir -p "$dir"
  for daemon in zelexecd zelsched; do
    {
      _sample_prelude
      cat <<'EOF'
pid_file=$agent/run/$name.pid
case ${1:-} in
  start)
    mkdir -p "$agent/run"
    (exec -a "$agent/$name" sleep 86400) < /dev/null > /dev/null 2>&1 &
    echo $! > "$pid_file"
    ;;
  stop)
    [ -f "$pid_file" ] && kill "$(cat "$pid_file")" 2> /dev/null
    rm -f "$pid_file"
    ;;
esac
exit "$exit_status"
EOF
    } > "$dir/$daemon"
  done
  {
    _sample_prelude
    cat <<'EOF'
case ${1:-} in
  -configure)
    "$agent/zelexecd" start
    "$agent/zelsched" start
    ;;
esac
exit "$exit_status"
EOF
  } > "$dir/zelskman"
  {
    _sample_prelude
    cat <<'EOF'
cd /
[ -x "$agent/zelexecd" ] && "$agent/zelexecd" stop
[ -x "$agent/zelsched" ] && "$agent/zelsched" stop
rm -rf "$agent" /etc/kesta/agent
echo "KESTA Agent removed"
exit "$exit_status"
EOF
  } > "$dir/uninstall"
  chmod 755 "$dir"/zelexecd "$dir"/zelsched "$dir"/zelskman "$dir"/uninstall
  # The template of the agent's object file: the DN goes in at byte 4112.
  head -c 4200 /dev/zero | tr '\0' 'Q' > "$dir/NULLKMA.QDX"
  chmod 644 "$dir/NULLKMA.QDX"
}

# write_media_list DIR NAME [OPTION=VALUE]...: see the top of the file.
write_media_list() {
  local dir=$1 name=$2 option file
  shift 2
  {
    echo "#//MediaContent: 1.0"
    for option; do echo "#//Option: $option"; done
    (cd "$dir" && find . -type f ! -name '*.mcfl' | sed 's|^\./||' | LC_ALL=C sort) |
      while read -r file; do
        echo "$file $(stat -c %s "$dir/$file") $(stat -c %a "$dir/$file")" \
          "$(md5sum < "$dir/$file" | cut -d' ' -f1)"
      done
  } > "$dir/$name"
}

# media_list_variant DIR NAME BASE [OPTION=VALUE | -OPTION]...: see the top
# of the file.
media_list_variant() {
  local dir=$1 name=$2 base=$3 line change key
  shift 3
  local -a options=() kept
  while IFS= read -r line; do
    case $line in "#//Option: "*) options+=("${line#"#//Option: "}") ;; esac
  done < "$dir/$base"
  for change; do
    key=${change#-}
    key=${key%%=*}
    kept=()
    for line in "${options[@]}"; do [ "${line%%=*}" = "$key" ] || kept+=("$line"); done
    options=("${kept[@]}")
    case $change in -*) ;; *) options+=("$change") ;; esac
  done
  write_media_list "$dir" "$name" "${options[@]}"
}

# make_sample_agent_media DIR: see the top of the file.
make_sample_agent_media() {
  local dir=$1
  local script=$dir/script debian=$dir/debian
  local dusk_dir=${SAMPLE_AGENT_DUSK_DIR:-/opt/kesta/dusk}

  # The script media: an installer and the agent's files beside it.
  mkdir -p "$script"
  _sample_programs "$script/agent"
  {
    _sample_prelude
    cat <<'EOF'
media=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$agent" /etc/kesta/agent/lib "$dusk_dir"
for program in zelexecd zelsched zelskman uninstall; do
  cp "$media/agent/$program" "$agent/$program"
  chmod 755 "$agent/$program"
done
cp "$media/agent/NULLKMA.QDX" "$dusk_dir/NULLKMA.QDX"
echo "KESTA Agent installed in $agent"
exit "$exit_status"
EOF
  } > "$script/install.sh"
  chmod 755 "$script/install.sh"
  write_media_list "$script" MediaContent.mcfl "${SAMPLE_SCRIPT_OPTIONS[@]}"

  # The debian media: the same files as a package.
  local root
  root=$(mktemp -d "${TMPDIR:-/tmp}/sample-agent.XXXXXX")
  chmod 755 "$root"
  _sample_programs "$root$SAMPLE_AGENT_DIR"
  mkdir -p "$root$dusk_dir" "$root/etc/kesta/agent/lib" "$root/DEBIAN"
  mv "$root$SAMPLE_AGENT_DIR/NULLKMA.QDX" "$root$dusk_dir/NULLKMA.QDX"
  cat > "$root/DEBIAN/control" <<'EOF'
Package: kesta-agent
Version: 1.0
Architecture: all
Maintainer: KESTA test media <media@kesta.invalid>
Section: misc
Priority: optional
Description: Sample KESTA Agent
 A stand-in for the KESTA Agent, for tests and demonstrations.
EOF
  {
    _sample_prelude
    echo 'exit "$exit_status"'
  } > "$root/DEBIAN/postinst"
  chmod 755 "$root/DEBIAN/postinst"
  mkdir -p "$debian"
  dpkg-deb --root-owner-group -Zgzip --build "$root" "$debian/$SAMPLE_AGENT_PACKAGE" > /dev/null
  rm -rf "$root"
  write_media_list "$debian" MediaContent.mcfl "${SAMPLE_DEBIAN_OPTIONS[@]}"
}

# sample_root_lock_tools: stand-ins of the device's root file system tools
# /sbin/fsunlock and /sbin/fslock that only record their calls, put in
# place over an overlay of the directory /sbin is. Only inside a private
# mount namespace (tests/sandbox): the machine's own /sbin is never touched.
sample_root_lock_tools() {
  local sbin work tool
  sbin=$(readlink -f /sbin)
  work=$(mktemp -d /tmp/kesta/sbin.XXXXXX)
  mkdir -p "$work/upper" "$work/work"
  for tool in fsunlock fslock; do
    { _sample_prelude; echo 'exit "$exit_status"'; } > "$work/upper/$tool"
    chmod 755 "$work/upper/$tool"
  done
  mount -t overlay sample-sbin \
    -o "lowerdir=$sbin,upperdir=$work/upper,workdir=$work/work" "$sbin"
}
