#!/usr/bin/env bash
# The README's run command on a machine with no display: it starts quillory on a virtual display
# of its own, a window of quillory's shows there, and when quillory ends the display goes too.
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

kill -TERM "$pid"
poll 600 sh -c "! kill -0 $run_pid" || fail "scripts/run went on after quillory ended"
wait "$run_pid" || fail "scripts/run ended with status $? after quillory was asked to quit"
run_pid=""
if DISPLAY=$display xdpyinfo >/dev/null 2>&1; then fail "the virtual display $display outlived quillory"; fi
echo "run-from-nothing: quillory showed on $display and took its display with it"
