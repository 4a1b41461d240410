#!/usr/bin/env bash
# A full, fresh run of the test services leaves no process behind, also when its command fails.
set -euo pipefail
services=$1
[ "$(id -u)" -eq 0 ] || { echo "needs root for a PID namespace: skipped"; exit 0; }
for command in true false; do
  # In a PID namespace of its own, whatever survives the run is still listed afterwards.
  left=$(env -u QUILLORY_TEST_SERVICES -u QUILLORY_TEST_DISPLAY unshare -pf --mount-proc bash -c '
    "$0" -- '"$command"' >/dev/null 2>&1
    echo "status=$?"
    ps -e -o pid=,comm= | awk "\$1 != 1 && \$2 != \"ps\" && \$2 != \"awk\""' "$services")
  expected=0; [ "$command" = true ] || expected=1
  echo "$left" | grep -q "^status=$expected$" || { echo "FAIL: wrong exit status: $left"; exit 1; }
  others=$(echo "$left" | grep -v '^status=' || true)
  [ -z "$others" ] || { echo "FAIL: left behind after '$command':"; echo "$others"; exit 1; }
done
echo "services cleanup: nothing left behind"
