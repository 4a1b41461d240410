#!/usr/bin/env bash
# Runs inside scripts/with-test-services: every service answers as the tests expect.
set -euo pipefail
fail() { echo "FAIL: $*" >&2; exit 1; }
[ -n "${QUILLORY_TEST_SERVICES:-}" ] || { echo "not inside scripts/with-test-services: skipped"; exit 0; }

# DNS-SD on lo: publish, then browse and resolve to the loopback address.
name="QuillorySmoke$$"
avahi-publish -s "$name" _quillorysmoke._tcp 4242 "id=smoke" >/dev/null 2>&1 &
publisher=$!
trap 'kill $publisher 2>/dev/null' EXIT
resolved=""
for _ in $(seq 1 100); do
  resolved=$(avahi-browse -prt _quillorysmoke._tcp 2>/dev/null | grep "^=" | grep "$name" || true)
  [ -n "$resolved" ] && break
  sleep 0.05
done
[ -n "$resolved" ] || fail "published service not resolved"
echo "$resolved" | grep -q ';127.0.0.1;4242;' || fail "resolved to something else: $resolved"
echo "$resolved" | grep -q '"id=smoke"' || fail "TXT record lost: $resolved"

# Secret Service: unlocked, stores and reads back.
printf 'secret-%s' $$ | secret-tool store --label=smoke quillory-smoke item || fail "secret not stored"
[ "$(secret-tool lookup quillory-smoke item)" = "secret-$$" ] || fail "secret not read back"

# X server with a window manager.
[ -n "${DISPLAY:-}" ] || fail "DISPLAY unset"
xdpyinfo >/dev/null || fail "no X connection"
xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id' || fail "no window manager"

# A locked keyring refuses quietly: no display for a prompt, and the item cannot be read.
locked=$("$(dirname "$0")/../../scripts/with-test-services" --keyring=locked -- \
  bash -c 'echo "display=${DISPLAY:-none}"; timeout 5 secret-tool lookup quillory-smoke item; echo "lookup=$?"')
echo "$locked" | grep -q 'display=none' || fail "locked keyring run kept a display: $locked"
echo "$locked" | grep -q 'lookup=1' || fail "locked keyring answered: $locked"
echo "services smoke: all services answer"
