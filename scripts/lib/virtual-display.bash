# Sourced by with-test-services and run: Xvfb with openbox on a display of their own. Needs
# `work` (a private folder), `pids` (what to stop at the end) and `log`; exports DISPLAY.
#
#   start_virtual_display WxH [launcher...]    for example: start_virtual_display 1280x800 setsid

virtual_display_wait() {  # <tries of 20 ms> <command...>
  local tries=$1; shift
  for _ in $(seq 1 "$tries"); do "$@" >/dev/null 2>&1 && return 0; sleep 0.02; done
  return 1
}

start_virtual_display() {
  local size=$1 lock; shift
  # One X server starts at a time on this machine: servers that pick their display number while
  # another does can take each other's sockets, and the loser's clients then find no display.
  # Without resets the server keeps its sockets as they were when it first answered.
  # Read-only, so that another user's lock file serves as well.
  touch /tmp/.quillory-display.lock 2>/dev/null
  exec {lock}</tmp/.quillory-display.lock
  flock -w 120 "$lock" || { log "another X server kept starting for two minutes"; return 1; }
  "$@" Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 "${size}x24" 3>"$work/display" \
    >"$work/xvfb.log" 2>&1 {lock}>&- &
  pids+=($!)
  virtual_display_wait 1000 test -s "$work/display" \
    || { log "Xvfb did not start:"; cat "$work/xvfb.log" >&2; return 1; }
  export DISPLAY=":$(tr -d '\n' <"$work/display")"
  virtual_display_wait 1000 xdpyinfo \
    || { log "Xvfb does not answer on $DISPLAY:"; cat "$work/xvfb.log" >&2; return 1; }
  exec {lock}>&-
  "$@" openbox --sm-disable >"$work/openbox.log" 2>&1 &
  pids+=($!)
  virtual_display_wait 1000 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' \
    || { log "openbox did not start on $DISPLAY:"; cat "$work/openbox.log" >&2; return 1; }
}
