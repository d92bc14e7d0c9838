#!/usr/bin/env bash
# The projected shadow switches itself off when its target or the blur of
# it cannot be made (a side no device takes): one log line, and the scene runs on to a clean
# exit with its sky and ground drawn.
#   ShadowGuardTest.sh EXE WORKDIR
set -u
EXE=$1
WORK=$2
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
. "$ROOT/scripts/app-session.sh"
tarnholm_test_setup "$EXE" "$WORK"
rgb() { local p; p=$(tarnholm_pixel "$1" "$2" "$3"); echo $((16#${p:0:2})) $((16#${p:2:2})) $((16#${p:4:2})); }
sky() { read -r r g b <<<"$(rgb "$@")"; [ "$b" -gt 150 ] && [ "$b" -gt "$r" ]; }

# The first landscape camera, which looks over the hills to the sky.
{ grep -v '^RandomCameraController.Enable ' "$ROOT/content/values.txt"
  echo "ProjectionShadow.Texture.Width 1000000.000000"; echo "RandomCameraController.Enable 0.000000 (bool)"; } > values.txt
tarnholm_external_values
reg add "$KEY" /v GraphicsQuality /t REG_SZ /d "2: 4" /f
tarnholm_app_run_until "$EXE" "Loading scene completed" 120 "the scene did not load" || exit 1
sleep 4
tarnholm_app_screenshot shot.png
tarnholm_app_close 30
check "exit code 0 on a key press" '[ "$TARNHOLM_APP_RC" = 0 ]'
# The device clamps the side or refuses it; either the target or its blur
# fails, and the projection shadow goes off with its line.
check "the failed projection shadow is logged" \
  'grep -q -E "FAILED to (initialize|blur) projection shadow texture" "$LOG"'
check "the stencil shadows are still set up" 'grep -q "Init stencil shadow" "$LOG"'
check "sky at the top" 'sky shot.png 100 40 || sky shot.png 900 40'
reg delete "$KEY" /f
[ $fail = 0 ] || tail -30 "$LOG"
exit $fail
