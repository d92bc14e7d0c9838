#!/usr/bin/env bash
# Sourced by the run script and the start-up test: starts a Windows program
# under Wine in the background, waits for log lines, takes screenshots of
# the X display and closes the program with a key press, all with time limits.
TARNHOLM_ROOT=${TARNHOLM_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}

# tarnholm_app_start EXE ARGS...: runs in the current folder.
tarnholm_app_start() {
  "$TARNHOLM_ROOT/scripts/wine-run.sh" "$@" &
  TARNHOLM_APP_PID=$!
}

# tarnholm_app_wait_log FILE PATTERN SECONDS: 0 once the line is there.
tarnholm_app_wait_log() {
  local i
  for i in $(seq $(( $3 * 10 ))); do
    grep -q -- "$2" "$1" 2>/dev/null && return 0
    kill -0 "$TARNHOLM_APP_PID" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

# tarnholm_app_screenshot FILE.png
tarnholm_app_screenshot() {
  import -window root "$1" 2>/dev/null || { xwd -root -silent | convert xwd:- "$1"; }
}

# tarnholm_pixel FILE.png X Y: the pixel as RRGGBB.
tarnholm_pixel() {
  convert "$1" -format "%[hex:p{$2,$3}]" info: 2>/dev/null | cut -c1-6
}

# tarnholm_app_close SECONDS: presses a key, waits for the end and sets
# TARNHOLM_APP_RC (124 when the program had to be killed).
tarnholm_app_close() {
  xdotool key space 2>/dev/null
  local i
  for i in $(seq $(( $1 * 10 ))); do
    if ! kill -0 "$TARNHOLM_APP_PID" 2>/dev/null; then
      wait "$TARNHOLM_APP_PID"
      TARNHOLM_APP_RC=$?
      return 0
    fi
    sleep 0.1
    # Ask again now and then in case the first press came too early.
    [ $(( i % 20 )) -eq 0 ] && xdotool key space 2>/dev/null
  done
  kill "$TARNHOLM_APP_PID" 2>/dev/null
  wait "$TARNHOLM_APP_PID" 2>/dev/null
  TARNHOLM_APP_RC=124
  return 1
}
