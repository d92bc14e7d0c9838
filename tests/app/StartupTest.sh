#!/usr/bin/env bash
# Start-up test: the test application under Wine on Xvfb creates its
# full-screen device, logs the machine and the device, draws frames in its
# clear colour and ends with exit code 0 after a key press.
#   StartupTest.sh EXE WORKDIR
set -u
EXE=$1
WORK=$2
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
. "$ROOT/scripts/xvfb.sh"
. "$ROOT/scripts/app-session.sh"
tarnholm_start_xvfb || exit 1
export WINEPREFIX=${WINEPREFIX:-$(dirname "$EXE")/../../wineprefix}
rm -rf "$WORK"; mkdir -p "$WORK"; cd "$WORK"

fail=0
check() { if ! eval "$2"; then echo "FAIL: $1"; fail=1; else echo "ok: $1"; fi; }

tarnholm_app_start "$EXE" /log:startup.log /width:1024 /height:768 /monitor:5
if ! tarnholm_app_wait_log startup.log "frames drawn" 60; then
  echo "FAIL: no frames drawn"; tail -20 startup.log 2>/dev/null; tarnholm_app_close 5; exit 1
fi
sleep 0.5
tarnholm_app_screenshot shot.png
tarnholm_app_close 30
echo "exit code $TARNHOLM_APP_RC; pixel (8,8) $(tarnholm_pixel shot.png 8 8)"

check "exit code 0" '[ "$TARNHOLM_APP_RC" = 0 ]'
check "clear colour on screen" '[ "$(tarnholm_pixel shot.png 8 8)" = 2060A0 ]'
check "shape on screen" '[ "$(tarnholm_pixel shot.png 512 400)" = F0C020 ]'
stamp='^[0-9][0-9]:[0-9][0-9]:[0-9][0-9]:[0-9][0-9][0-9][0-9] - '
for line in "Local date/time: " "Microsoft Windows" "Monitor 0 found. l: 0 r: 1024 t: 0 b: 768" \
    "Monitor 5 is not available, using the primary monitor" \
    "Adapter description: " "Caps = " "MaxPixelShaderValue = " \
    "Test application mode: 1024x768 D3DFMT_X8R8G8B8" "Using device: HAL" "Available texture memory: " \
    "Key pressed, closing" "Release m_pd3dDevice" "FinalCleanup"; do
  check "log: $line" 'grep -q "${stamp}${line}" startup.log'
done
check "log: CPU line" 'grep -qE "${stamp}CPU (0 frequency|~ )" startup.log'
[ $fail = 0 ] || { echo "--- log"; head -80 startup.log; }
exit $fail
