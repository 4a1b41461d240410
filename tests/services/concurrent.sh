#!/usr/bin/env bash
# Four runs of the test services started at once on one machine: each gets a display with a
# window manager, a system bus with avahi and a session bus with the keyring of its own, and
# keeps them while the runs started with it stop.
set -euo pipefail
services=$1
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
until_exists() {  # waits, bounded, for every file named
  for _ in $(seq 1 3000); do
    local missing=0
    for file in "$@"; do [ -e "$file" ] || missing=1; done
    [ "$missing" -eq 0 ] && return 0
    sleep 0.02
  done
  return 1
}
export -f until_exists
for run in 1 2 3 4; do
  (status=0
   env -u QUILLORY_TEST_SERVICES -u QUILLORY_TEST_DISPLAY -u QUILLORY_TEST_SCREEN -u DISPLAY \
     -u DBUS_SYSTEM_BUS_ADDRESS "$services" -- bash -c '
       set -eu
       run=$0 out=$1
       answers() {
         xdpyinfo >/dev/null && xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id" &&
         dbus-send --system --print-reply --dest=org.freedesktop.Avahi / \
           org.freedesktop.DBus.Peer.Ping >/dev/null &&
         dbus-send --session --print-reply --dest=org.freedesktop.secrets /org/freedesktop/secrets \
           org.freedesktop.DBus.Peer.Ping >/dev/null
       }
       answers || { echo "run $run: a service does not answer"; exit 1; }
       echo "$DISPLAY ${DBUS_SYSTEM_BUS_ADDRESS:-the-machine-bus}" >"$out/$run.services"
       until_exists "$out"/{1,2,3,4}.services
       # The runs stop in order; each looks again once those before it have stopped.
       for ((earlier = 1; earlier < run; earlier++)); do until_exists "$out/$earlier.stopped"; done
       answers || { echo "run $run: a service went away when another run stopped"; exit 1; }' \
     "$run" "$out" || status=$?
   echo "$status" >"$out/$run.stopped") >"$out/$run.log" 2>&1 &
done
wait
status=0
for run in 1 2 3 4; do
  [ "$(cat "$out/$run.stopped")" = 0 ] || { echo "FAIL: run $run:"; cat "$out/$run.log"; status=1; }
done
[ "$status" -eq 0 ] || exit 1
for field in 1 2; do
  distinct=$(cat "$out"/*.services | cut -d' ' -f"$field" | sort -u | wc -l)
  [ "$distinct" -eq 4 ] || { echo "FAIL: runs share services:"; cat "$out"/*.services; exit 1; }
done
echo "services concurrent: four runs, each with its own services"
