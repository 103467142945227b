# common.sh: sourced by the printer application's test scripts.
#   fail TEXT        counts a failure in $failures and says it
#   free_port        a loopback port nothing listens on
#   wait_up URL      waits up to 10 s for a page to answer; false if it never does
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

free_port() {
  local p=$((20000 + RANDOM % 20000))
  while ss -ltn | grep -q ":$p "; do p=$((p + 1)); done
  echo "$p"
}

wait_up() {
  local _
  for _ in $(seq 1 100); do curl -skf -o /dev/null "$1" && return 0; sleep 0.1; done
  return 1
}

# The network receipt printer of the tests (fake-printer, needs $fake):
#   start_fake_printer DIR SETTINGS...  starts it on a free loopback port
#                    with DIR/control holding SETTINGS; sets printer_port
#                    and fakepid
#   control SETTINGS...   steers it (see fake_printer.cpp), and returns once
#                    the change holds
start_fake_printer() {
  fake_dir=$1; shift
  mkdir -p "$fake_dir"
  printer_port=$(free_port)
  control "$@"
  "$fake" "$printer_port" "$fake_dir" > "$fake_dir.log" 2>&1 &
  fakepid=$!
}
# It reads its control file every 50 ms: a change holds from 0.2 s on.
control() { printf '%s\n' "$@" > "$fake_dir/control"; sleep 0.2; }

# Jobs through the command line and IPP (need $app):
#   state_of ID PRINTER        the job's state as `jobs` says it
#   job_message ID URI         its job-state-message
#   reference IMAGE OUT.bin    what the printer must print for IMAGE printed
#                              as the plug-in prints it: lorvex-print's bytes
#                              and the cut (needs $print)
#   same_paper GOT WANT        true when the job GOT prints WANT's paper dot
#                              for dot and sends no white row as raster: the
#                              application feeds over white where the
#                              plug-in's records send it (needs $build)
state_of() { "$app" jobs -d "$2" 2>/dev/null | awk -v id="$1" '$1 == id {print $2}'; }
job_message() {
  ipptool -t -d job_id="$1" "$2" "$here/job-state.test" 2>/dev/null |
    sed -n 's/.*job-state-message (textWithoutLanguage) = //p; s/^ *job-state-message = //p'
}
reference() { "$print" -q -o "$2" "${@:3}" "$1" && printf '\x1d\x56\x42\x00' >> "$2"; }
same_paper() { [ -s "$1" ] && "$build/tests/paper-report" --same "$1" "$2" >/dev/null; }

# A private CUPS (needs root: its filters run as lp), its configuration,
# port and socket in DIR; the machine's CUPS, if any, is never touched:
#   start_cupsd DIR     starts it and sets cupsd_pid and CUPS_SERVER
start_cupsd() {
  local cups=$1
  mkdir -p "$cups/etc/ppd" "$cups/spool/tmp" "$cups/cache" "$cups/state" "$cups/log"
  chmod -R 755 "$cups" && chmod 1777 "$cups/spool/tmp"
  cat > "$cups/etc/cupsd.conf" <<EOF
Listen 127.0.0.1:$(free_port)
Listen $cups/cups.sock
LogLevel warn
WebInterface No
Browsing No
BrowseLocalProtocols none
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
EOF
  cat > "$cups/etc/cups-files.conf" <<EOF
ServerRoot $cups/etc
RequestRoot $cups/spool
TempDir $cups/spool/tmp
CacheDir $cups/cache
StateDir $cups/state
AccessLog $cups/log/access_log
ErrorLog $cups/log/error_log
PageLog $cups/log/page_log
Printcap $cups/printcap
ServerBin /usr/lib/cups
DataDir /usr/share/cups
FileDevice No
SystemGroup root
EOF
  /usr/sbin/cupsd -f -c "$cups/etc/cupsd.conf" -s "$cups/etc/cups-files.conf" > "$cups/cupsd.txt" 2>&1 &
  cupsd_pid=$!
  export CUPS_SERVER=$cups/cups.sock
  local _
  for _ in $(seq 1 50); do lpstat -r >/dev/null 2>&1 && break; sleep 0.2; done
  lpstat -r >/dev/null 2>&1 || fail "the private cupsd does not start: $(cat "$cups/cupsd.txt")"
}
