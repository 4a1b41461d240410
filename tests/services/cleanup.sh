#!/usr/bin/env bash
# A full, fresh run of the test services leaves no process behind, also when its command fails.
set -euo pipefail
[ "$(id -u)" -eq 0 ] || { echo "needs root for a PID namespace: skipped"; exit 0; }
# A copy outside /tmp, which the run below replaces with an empty one.
copy=$(mktemp -d /dev/shm/quillory-services.XXXXXX)
trap 'rm -rf "$copy"' EXIT
cp -r "$1" "$(dirname "$1")/lib" "$copy/" && services="$copy/$(basename "$1")"
for command in true false; do
  # In PID, mount and network namespaces of its own: whatever survives the run is still listed
  # afterwards, and its X server cannot take the display (lock file, abstract socket) of ours.
  left=$(env -u QUILLORY_TEST_SERVICES -u QUILLORY_TEST_DISPLAY -u DISPLAY \
    unshare -pfmn --mount-proc bash -c '
      mount -t tmpfs tmpfs /tmp && ip link set lo up || exit 3
      "$0" -- '"$command"' >/dev/null 2>&1
      echo "status=$?"
      ps -e -o pid=,stat=,args= >/tmp/processes
      while read -r pid stat args; do
        [ "$pid" -eq 1 ] || [ "$pid" -eq $$ ] || [[ "$args" == "ps "* ]] || echo "$pid $stat $args"
      done </tmp/processes' "$services")
  expected=0; [ "$command" = true ] || expected=1
  echo "$left" | grep -q "^status=$expected$" || { echo "FAIL: wrong exit status: $left"; exit 1; }
  others=$(echo "$left" | grep -v '^status=' || true)
  [ -z "$others" ] || { echo "FAIL: left behind after '$command':"; echo "$others"; exit 1; }
done
echo "services cleanup: nothing left behind"
