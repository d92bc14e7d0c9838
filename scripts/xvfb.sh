#!/usr/bin/env bash
# Sourced by the test and run scripts: starts Xvfb at 1024x768x24 on a free
# display when none is set, and stops it (and the Wine server) on exit.
tarnholm_start_xvfb() {
  if [ -n "${DISPLAY:-}" ]; then return 0; fi
  local n
  for n in $(seq 90 140); do
    [ -e /tmp/.X$n-lock ] && continue
    Xvfb :$n -screen 0 1024x768x24 +extension GLX -nolisten tcp >/dev/null 2>&1 &
    TARNHOLM_XVFB_PID=$!
    local i
    for i in $(seq 50); do
      [ -e /tmp/.X11-unix/X$n ] && break
      sleep 0.1
    done
    if kill -0 $TARNHOLM_XVFB_PID 2>/dev/null; then
      export DISPLAY=:$n
      trap tarnholm_stop_xvfb EXIT
      return 0
    fi
  done
  echo "xvfb: could not start Xvfb" >&2
  return 1
}
tarnholm_stop_xvfb() {
  WINEPREFIX=${WINEPREFIX:-$PWD/build/win/wineprefix} wineserver -k >/dev/null 2>&1 || true
  if [ -n "${TARNHOLM_XVFB_PID:-}" ]; then
    kill $TARNHOLM_XVFB_PID 2>/dev/null || true
    wait $TARNHOLM_XVFB_PID 2>/dev/null || true
  fi
}
