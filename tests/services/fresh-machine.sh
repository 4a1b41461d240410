#!/usr/bin/env bash
# scripts/fresh-machine keeps a checkout where it is, here under /tmp in a path with a space,
# while everything else of /tmp starts empty; and an ordinary user gets the same machine, with
# what the command writes in the checkout still that user's. Root that may not have it is told
# so before scripts/test builds anything.
set -euo pipefail
scripts=$1
parent=$(mktemp -d /tmp/quillory-fresh.XXXXXX)
trap 'rm -rf "$parent"' EXIT
checkout="$parent/a clone"
mkdir -p "$checkout/build"
cp -r "$scripts" "$checkout/"
echo built >"$checkout/build/marker"
touch "$parent/left-by-an-earlier-run"
chmod -R a+rX "$parent"
chmod a+w "$checkout/build"
fail() { echo "FAIL ($1): $2" >&2; exit 1; }

inside() {  # inside <label> [runner...]: the machine as seen from within
  local label=$1; shift
  local seen
  seen=$(cd "$checkout" && "$@" "$checkout/scripts/fresh-machine" bash -c '
    echo "pwd=$PWD"
    echo "marker=$(cat build/marker)"
    echo "tmp=$(ls -A /tmp | grep -v "^home\." | tr "\n" " ")"
    echo "beside=$(ls -A "$(dirname "$PWD")" | tr "\n" " ")"
    echo "home=$(ls -A "$HOME" | wc -l) ${HOME#/tmp/home.}"
    echo "run=$(ls -A /run | grep -Evx "lock|shm|mount" | tr "\n" " ")"
    echo "display=${DISPLAY:-none}"
    touch build/written-inside' 2>&1) || fail "$label" "the command did not run: $seen"
  grep -qx "pwd=$checkout" <<<"$seen" || fail "$label" "not in the checkout: $seen"
  grep -qx "marker=built" <<<"$seen" || fail "$label" "the build tree is not there: $seen"
  grep -qx "tmp=${parent#/tmp/} " <<<"$seen" || fail "$label" "/tmp holds more: $seen"
  grep -qx "beside=a clone " <<<"$seen" || fail "$label" "what lay beside the checkout shows: $seen"
  grep -q "^home=0 " <<<"$seen" || fail "$label" "HOME is not new and empty: $seen"
  grep -qx "run=" <<<"$seen" || fail "$label" "/run is not new: $seen"
  grep -qx "display=none" <<<"$seen" || fail "$label" "the environment came along: $seen"
}

inside "as $(id -un)"
echo "fresh-machine: a checkout under /tmp stays where it is as $(id -un)"

# Root that may not mount, as in a container without CAP_SYS_ADMIN, hears so from scripts/test
# before anything is built.
printf '#!/bin/sh\n' >"$checkout/scripts/setup"
printf '#!/bin/sh\ntouch "%s/built"\n' "$parent" >"$checkout/build/cmake"
chmod +x "$checkout/scripts/setup" "$checkout/build/cmake"
confined=(setpriv --inh-caps=-all --bounding-set=-sys_admin)
[ "$(id -u)" -eq 0 ] || confined=(unshare --map-root-user "${confined[@]}")
said=$(cd "$checkout" && PATH="$checkout/build:$PATH" "${confined[@]}" scripts/test 2>&1) \
  && fail "root that may not mount" "scripts/test went on: $said"
grep -q "^fresh-machine: root may not mount" <<<"$said" || fail "root that may not mount" "$said"
[ ! -e "$parent/built" ] || fail "root that may not mount" "the build started first: $said"
rm "$checkout/build/cmake"
echo "fresh-machine: root that may not mount is told so before the build"

# An ordinary user: nobody, when this is root that may become it.
if [ "$(id -u)" -ne 0 ]; then
  runner=()
elif setpriv --reuid=65534 --regid=65534 --clear-groups true 2>/dev/null; then
  runner=(setpriv --reuid=65534 --regid=65534 --clear-groups)
else
  echo "fresh-machine: root of a user namespace with no other user: the ordinary user skipped"
  exit 0
fi
rm "$checkout/build/written-inside"
inside "as an ordinary user" "${runner[@]}"
owner=$(stat -c %u "$checkout/build/written-inside")
[ "$owner" = "$("${runner[@]}" id -u)" ] || fail "as an ordinary user" "a file written inside belongs to $owner"
echo "fresh-machine: and as an ordinary user, whose files stay its own"
