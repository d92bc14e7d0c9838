#!/usr/bin/env bash
# Creates the build tree's Wine prefix once (several callers may race here).
set -u
ROOT=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$ROOT/build/win/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
export WINEARCH=win64
[ -f "$WINEPREFIX/.tarnholm-ready" ] && exit 0
mkdir -p "$(dirname "$WINEPREFIX")"
exec 9>"$WINEPREFIX.lock"
flock -w 600 9 || { echo "wine-prefix: lock timed out" >&2; exit 1; }
[ -f "$WINEPREFIX/.tarnholm-ready" ] && exit 0
echo "wine-prefix: creating $WINEPREFIX" >&2
DISPLAY= timeout 300 wineboot -i >/dev/null 2>&1
timeout 60 wineserver -w
touch "$WINEPREFIX/.tarnholm-ready"
