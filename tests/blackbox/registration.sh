# The service registers with kesta-peer across a veth pair: Register with
# every gathered attribute and the envelope, the DN in dusk.conf and in the
# agent's object file, Status with the service scan, Startup once per
# registration interval, a refused or unusable answer that leaves the DN as
# it was, Register again after a change of host name, UnRegister on -stop,
# and a start with -port naming another server.
#
# The service is found by name among all processes, so the test runs in pid
# and host-name namespaces of its own (the host name is changed on purpose).
# The namespace's init is a sleep that never reaps: the ended service stays
# a zombie whose exit status /proc still shows.
set -euo pipefail
. "$(dirname "$0")/lib/common.sh"
enter_pid_namespace --uts
LOG=/etc/kesta/dusk/log/dusk.log
DEVICE_ADDRESS=10.99.0.2
PEER_ADDRESS=10.99.0.1

# request_of NAME [N]: the number of the N-th (1st) request to /proc/vmp/NAME.
request_of() {
  grep -l "^POST /proc/vmp/$1 HTTP/1.0" "$PEER_STATE"/requests/*.txt | sed -n "${2:-1}p" |
    sed 's|.*/\([0-9]*\)\.txt$|\1|'
}

# attr_names N: the attribute names of request N, blank-separated.
attr_names() { cut -d' ' -f1 "$PEER_STATE/requests/$1.attrs" | tr '\n' ' ' | sed 's/ $//'; }

# attr N NAME: the value of the first attribute NAME of request N.
attr() { sed -n "s/^$2 //p" "$PEER_STATE/requests/$1.attrs" | head -1; }

stage "peer across a veth pair"
veth_to_peer_namespace $DEVICE_ADDRESS $PEER_ADDRESS
start_peer_in_namespace $PEER_ADDRESS
SERVER=$PEER_ADDRESS:$PORT

stage "device set-up"
# The device's SMBIOS identity, as the DMI export shows it.
made_up_dmi product_name="Thin 5000" product_uuid=4c4c4544-0031-3210-8052-b2c04f303032 \
  product_serial=SYS-123 chassis_serial=CH-456 chassis_asset_tag=
hostname reg-device

# The agent's directory and the template of its object file.
install_dusk
mkdir -p /etc/kesta/agent/lib
head -c 4200 /dev/zero | tr '\0' 'T' > $INSTALL_DIR/NULLKMA.QDX
cd /tmp/kesta
run_dusk -confinit -host $PEER_ADDRESS -port "$PORT"
expect_eq "$status" 0 "-confinit"
run_dusk -confupdate Config/registrationinterval=4 -confupdate Config/servicescaninterval=4
expect_eq "$status" 0 "-confupdate"

start_service

stage "first pass: probe, Register, Status"
wait_for_log "$LOG" "Successfully Updated Service Scan with $SERVER"
DN=cn=reg-device,ou=devices,o=kesta
first=$(log_messages "$LOG" | grep -xF -e "Registering Device with $SERVER ..." -e "New DevDn: $DN" \
  -e "Successfully Registered Device with $SERVER" \
  -e "Provide Status of Device $DN to $SERVER ..." \
  -e "Successfully Updated Service Scan with $SERVER")
expect_eq "$first" "Registering Device with $SERVER ...
New DevDn: $DN
Successfully Registered Device with $SERVER
Provide Status of Device $DN to $SERVER ...
Successfully Updated Service Scan with $SERVER" "first registration in the log"
grep -qx "devdn=$DN" $CONF || fail "DN not in dusk.conf: $(cat $CONF)"
expect_eq "$(tail -c +4113 /etc/kesta/agent/lib/KMA.QDX | head -c ${#DN})" "$DN" "DN in KMA.QDX"

stage "Register request on the wire"
# Headers, every gathered attribute in slot order, the envelope, no DN yet.
register=$(request_of register)
head=$(sed -n '1,/^\r$/p' "$PEER_STATE/requests/$register.txt" | tr -d '\r')
expect_eq "$(printf '%s\n' "$head" | sed -n '1,5p')" "POST /proc/vmp/register HTTP/1.0
User-Agent: DUSK 1.0
Accept: text/*
User-Agent: DUSK 1.0
Content-type: application/x-tcl-list" "Register head"
expect_eq "$(attr_names "$register")" "hostname dnshostname detecteddnshostname ipaddress \
detectedipaddress operatingsystem smsystemproductname smsystemuuid smsystemserialnumber \
smenclosureserialnumber smenclosureassettagnumber pxmhdwlana pxmsubnet pxmipnetworknumber \
kmabuild kmadir sender" "Register attributes"
expect_eq "$(attr "$register" hostname)" reg-device "hostname"
expect_eq "$(attr "$register" detectedipaddress)" $DEVICE_ADDRESS "detectedipaddress"
expect_eq "$(attr "$register" smsystemproductname)" "Thin 5000" "product name"
expect_eq "$(attr "$register" pxmsubnet)" 255.255.255.0 "subnet"
expect_eq "$(attr "$register" kmadir)" $INSTALL_DIR "kmadir"
expect_eq "$(attr "$register" sender)" \
  "dusk://$DEVICE_ADDRESS:3465;major=7;minor=8;build=33;revision=1" "sender"
grep -qF "smsystemproductname {Thin 5000}" "$PEER_STATE/requests/$register.txt" \
  || fail "a value with a blank is not braced"

stage "Status request with the scan and the DN"
status_request=$(request_of status)
expect_eq "$(attr "$status_request" data)" \
  "kesta-dusk {status started type single mode boot path $INSTALL_DIR/dusk fullname {KESTA Quillfarm}}" \
  "scan in Status"
tail -c $((${#DN} + 7)) "$PEER_STATE/requests/$status_request.txt" | grep -qxF "devdn  $DN" \
  || fail "Status does not end with its DN"
grep -qx "kesta-dusk=status started type single mode boot path $INSTALL_DIR/dusk fullname {KESTA Quillfarm}" \
  $CONF || fail "scan not stored"

stage "Startup on the next interval"
# Under the DN; the unchanged scan is not sent again.
wait_for_log "$LOG" "Successfully Started Device on $SERVER"
startup=$(request_of startup)
expect_eq "$(attr_names "$startup" | sed 's/.* pxmipnetworknumber //')" \
  "devdn kmabuild kmadir sender devdn" "Startup ends in the record's DN and the DN sent"
expect_eq "$(grep -l '^POST /proc/vmp/status' "$PEER_STATE"/requests/*.txt | wc -l)" 1 "Status requests"

stage "unusable answers"
# The failure line, the service goes on, the DN stays.
long_dn=$(head -c 300 /dev/zero | tr '\0' 'x')
for row in "status 500|Server error" "dn $long_dn|Answer is too long for a device DN (more than 255 characters)"; do
  echo "/proc/vmp/startup ${row%|*} times=1" > $PEER_STATE/faults
  wait_for_log "$LOG" "Failed to Send Startup Request to KESTA Server $SERVER - ${row#*|}"
  grep -qx "devdn=$DN" $CONF || fail "'${row%|*}': DN changed: $(grep devdn $CONF)"
done
rm $PEER_STATE/faults
starts=$(log_messages "$LOG" | grep -cxF "Successfully Started Device on $SERVER")
wait_for_log "$LOG" "Successfully Started Device on $SERVER" $((starts + 1))

stage "Register again after a new host name"
# A full registration, under the DN already known.
hostname reg-renamed
wait_for_log "$LOG" "DevDn: $DN"
log_messages "$LOG" | grep -c "^Need to Register - Different Device Attributes found: hostname" > /dev/null \
  || fail "no Need to Register line"
again=$(request_of register 2)
[ -n "$again" ] || fail "no second Register"
expect_eq "$(attr "$again" hostname)" reg-renamed "hostname in the second Register"
tail -c $((${#DN} + 7)) "$PEER_STATE/requests/$again.txt" | grep -qxF "devdn  $DN" \
  || fail "the second Register does not send the DN"
grep -qx "hostname=reg-renamed" $CONF || fail "new host name not stored"

stage "UnRegister on -stop"
stop_service
log_has "$LOG" "Service Shutdown" || fail "no Service Shutdown line"
log_has "$LOG" "Successfully Unregistered Device from $SERVER" || fail "no UnRegister line"
unregister=$(request_of unregister)
tail -c $((${#DN} + 7)) "$PEER_STATE/requests/$unregister.txt" | grep -qxF "devdn  $DN" \
  || fail "UnRegister does not send the DN"
grep -qx "devdn=$DN" $CONF || fail "DN changed by UnRegister"

stage "another server named by -port"
# Register there at once, under the DN already known, and again on every
# interval, since the server the configuration names is not the one targeted.
OTHER_STATE=/tmp/kesta/other-peer
PEER_STATE=$OTHER_STATE start_peer_in_namespace $PEER_ADDRESS
# The configured server's port stays PORT.
OTHER_PORT=$PORT
PORT=${SERVER#*:}
start_service -port "$OTHER_PORT"
wait_for_log "$LOG" "Successfully Registered Device with $PEER_ADDRESS:$OTHER_PORT"
wait_for_log "$LOG" "Need to Register - Targetting a Different Port $OTHER_PORT than the Registered one $PORT"
wait_for_log "$LOG" "Successfully Registered Device with $PEER_ADDRESS:$OTHER_PORT" 2
first_there=$(grep -l "^POST /proc/vmp/register" $OTHER_STATE/requests/*.txt | head -1)
tail -c $((${#DN} + 7)) "$first_there" | grep -qxF "devdn  $DN" \
  || fail "the other server was not sent the DN"
stop_service
log_has "$LOG" "Successfully Unregistered Device from $PEER_ADDRESS:$OTHER_PORT" ||
  fail "no UnRegister line for the other server"

stage "no empty DN sent"
grep -l "devdn {}" "$PEER_STATE"/requests/*.txt $OTHER_STATE/requests/*.txt \
  && fail "a request sent devdn {}"
echo PASS
