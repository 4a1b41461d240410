#!/usr/bin/env bash
# The README's run command as an ordinary user starts it (a PATH without sbin), from a copy of the
# checkout whose setup and build are done. Where a service manager runs and avahi answers, it asks
# for nothing through sudo or systemctl; a TERM or a Ctrl+C to it ends quillory with quillory's own
# quit, before the virtual display goes. Where none runs and sudo refuses, it says why.
set -euo pipefail
scripts=$1 binary=$2
[ -n "${QUILLORY_TEST_SERVICES:-}" ] || { echo "not inside scripts/with-test-services: skipped"; exit 0; }
[ "$(id -u)" -eq 0 ] || { echo "needs root for a mount namespace: skipped"; exit 0; }
here=$(mktemp -d)
run_pid=""
trap '[ -z "$run_pid" ] || kill "$run_pid" 2>/dev/null; rm -rf "$here"' EXIT
checkout="$here/a clone"
mkdir -p "$checkout/build/default/app" "$here/bin" "$here/home"
cp -r "$scripts" "$checkout/"
printf '#!/bin/sh\n' | tee "$checkout/scripts/setup" "$here/bin/cmake" >/dev/null
# What would ask for a password, or start a running avahi again, notes that it was called; sudo
# refuses, as where it has no terminal to ask on.
printf '#!/bin/sh\necho "systemctl $*" >>"%s"\nexit 1\n' "$here/asked" >"$here/bin/systemctl"
printf '#!/bin/sh\necho "sudo $*" >>"%s"\necho "sudo: a password is required" >&2\nexit 1\n' \
  "$here/asked" >"$here/bin/sudo"
chmod +x "$checkout/scripts/setup" "$here"/bin/*
fail() { echo "run-command: $*" >&2; sed 's/^/  | /' "$here/run.log" >&2; exit 1; }
poll() {  # poll <tries of 50 ms> <command...>
  local tries=$1; shift
  for _ in $(seq 1 "$tries"); do "$@" >/dev/null 2>&1 && return 0; sleep 0.05; done
  return 1
}
child() { # the run command's child of that name
  for pid in $(cat /proc/"$run_pid"/task/*/children); do
    [ "$(cat "/proc/$pid/comm" 2>/dev/null)" != "$1" ] || echo "$pid"
  done
}
# In the background, yet with INT at its default, as a command started at a terminal has it.
start_run() {  # start_run with|without <a service manager> [VAR=value...] [runner...]
  local manager=$1; shift
  (cd "$here/home" && exec unshare -m --propagation private bash -euc '
     mount -t tmpfs tmpfs /run
     [ "$0" = without ] || mkdir -p /run/systemd/system
     exec env -i --default-signal=INT "$@"' "$manager" HOME="$here/home" LANG=C.UTF-8 \
       PATH="$here/bin:/usr/local/bin:/usr/bin:/bin" "$@" "$checkout/scripts/run") \
    >"$here/run.log" 2>&1 &
  run_pid=$!
}

ln -s "$binary" "$checkout/build/default/app/quillory"
# quillory's own quit says whether the user asked for it (INT) or the system did (TERM).
for quit in "TERM:the tablet may reconnect" "INT:explicit"; do
  signal=${quit%%:*}
  start_run with DBUS_SYSTEM_BUS_ADDRESS="$DBUS_SYSTEM_BUS_ADDRESS"
  poll 600 grep -q 'Advertising' "$here/run.log" || fail "quillory did not start"
  quillory=$(child quillory) xvfb=$(child Xvfb)
  [ -n "$quillory" ] && [ -n "$xvfb" ] || fail "quillory or its display is not its own"
  [ ! -e "$here/asked" ] || fail "asked for: $(cat "$here/asked")"
  kill -s "$signal" "$run_pid"
  poll 600 sh -c "! kill -0 $run_pid" || fail "went on after $signal"
  wait "$run_pid" || fail "ended with status $? after $signal"
  run_pid=""
  grep -qF ": Quitting (${quit#*:})" "$here/run.log" || fail "quillory did not quit on $signal"
  ! grep -q 'X11 connection broke' "$here/run.log" || fail "the display went before quillory"
  ! kill -0 "$quillory" "$xvfb" 2>/dev/null || fail "quillory or its display outlived the run"
done
echo "run-command: asked for nothing where avahi answers; TERM and INT quit quillory on its display"

# Sudo refuses an ordinary user; the test display, and no system bus to find.
ln -sfn "$(type -P true)" "$checkout/build/default/app/quillory"
start_run without DISPLAY="$DISPLAY" DBUS_SYSTEM_BUS_ADDRESS="unix:path=$here/no-bus" \
  unshare --map-user=1000 --map-group=1000
wait "$run_pid" || fail "ended with status $?"
run_pid=""
grep -q 'cannot find this computer: .*(sudo: a password is required)$' "$here/run.log" \
  || fail "did not say why the services did not start"
echo "run-command: says what sudo said when it refused"
