#!/usr/bin/env bash
# The README's run command on a machine with no display and no service manager: it starts
# quillory on a virtual display of its own, a window of quillory's shows there, tablets browsing
# the machine's network find it, and when quillory ends the display and the services go too.
# Run it under scripts/fresh-machine to try it as on a machine nothing ever ran on.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
out=$(mktemp -d)
run_pid=""
finish() {
  [ -z "$run_pid" ] || kill "$run_pid" 2>/dev/null || true
  rm -rf "$out"
}
trap finish EXIT
fail() { echo "run-from-nothing: $*" >&2; sed 's/^/  | /' "$out/run.log" >&2; exit 1; }
poll() {  # poll <tries of 50 ms> <command...>
  local tries=$1; shift
  for _ in $(seq 1 "$tries"); do "$@" >/dev/null 2>&1 && return 0; sleep 0.05; done
  return 1
}

env -u DISPLAY -u DBUS_SESSION_BUS_ADDRESS "$root/scripts/run" >"$out/run.log" 2>&1 &
run_pid=$!
poll 6000 grep -q 'runs on the virtual display :' "$out/run.log" \
  || fail "no virtual display was announced"
display=$(grep -o 'virtual display :[0-9]*' "$out/run.log" | head -n 1 | cut -d' ' -f3)
quillory_window() {
  DISPLAY=$display xwininfo -root -tree | awk '/\("quillory" "Quillory"\)/ {print $1; exit}'
}
has_window() { [ -n "$(quillory_window)" ]; }
poll 600 has_window || fail "no window of quillory showed on $display"
pid=$(DISPLAY=$display xprop -id "$(quillory_window)" _NET_WM_PID | awk '{print $3}')
[[ "$pid" =~ ^[0-9]+$ ]] || fail "quillory's window names no process"
if grep -q 'XDG_RUNTIME_DIR' "$out/run.log"; then fail "quillory found no runtime folder"; fi
if grep -q 'cannot find this computer' "$out/run.log"; then fail "no services for tablets"; fi
# What a tablet on the network sees, through the machine's own bus and daemon.
advertised() { avahi-browse -prt _ravaridurur._tcp 2>/dev/null | grep -q '^=;eth0;IPv4;'; }
poll 200 advertised || fail "the host is not advertised on the machine's network"

kill -TERM "$pid"
poll 600 sh -c "! kill -0 $run_pid" || fail "scripts/run went on after quillory ended"
wait "$run_pid" || fail "scripts/run ended with status $? after quillory was asked to quit"
run_pid=""
if DISPLAY=$display xdpyinfo >/dev/null 2>&1; then fail "the virtual display $display outlived quillory"; fi
if dbus-send --system --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
     org.freedesktop.DBus.GetId >/dev/null 2>&1; then
  fail "the system D-Bus outlived quillory"
fi
if [ -s /run/avahi-daemon/pid ] && kill -0 "$(cat /run/avahi-daemon/pid)" 2>/dev/null; then
  fail "avahi-daemon outlived quillory"
fi
echo "run-from-nothing: quillory showed on $display, was advertised, and took its display and" \
  "services with it"
