#!/usr/bin/env bash
# Runs a Windows program under Wine with the build tree's own prefix.
# Used by CTest as the cross-compiling emulator and by the run script.
# Without a DISPLAY it starts a private Xvfb for the duration of the command.
set -u
ROOT=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$ROOT/build/win/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
export WINEARCH=win64

"$ROOT/scripts/wine-prefix.sh" || exit 1

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24 +extension GLX" "$0" "$@"
fi
exec wine "$@"
