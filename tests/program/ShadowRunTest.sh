#!/usr/bin/env bash
# The train's projected shadow under Wine: the program runs twice at one of
# the train's cameras, once with the shipped shadow colour and once with the
# shadow made white (no shadow). On the sun's far side of the locomotive the
# ground is darker with the shadow; away from it the two pictures agree.
#   ShadowRunTest.sh EXE WORKDIR
set -u
EXE=$1
WORK=$2
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
. "$ROOT/scripts/app-session.sh"
tarnholm_test_setup "$EXE" "$WORK"
# The camera riding beside the train on the sun's far side of it.
CAMERA=${SHADOW_TEST_CAMERA:-49}
# Brightness (r + g + b) of a pixel.
bright() { local p; p=$(tarnholm_pixel "$1" "$2" "$3"); echo $((16#${p:0:2} + 16#${p:2:2} + 16#${p:4:2})); }

# run NAME EXTRA-TUNING-LINES: one run with the tuning file, one screenshot.
run() {
  tarnholm_fixed_camera_values "$ROOT/content/values.txt" "$CAMERA" "${@:2}" > values.txt
  tarnholm_external_values
  reg add "$KEY" /v GraphicsQuality /t REG_SZ /d "2: 4" /f
  rm -f "$LOG"
  tarnholm_app_start "$EXE"
  if ! tarnholm_app_wait_log "$LOG" "Loading scene completed" 120; then
    echo "FAIL: the scene did not load ($1)"; tail -30 "$LOG" 2>/dev/null; tarnholm_app_close 5; return 1
  fi
  sleep 4
  tarnholm_app_screenshot "$1.png"
  tarnholm_app_close 30
  cp "$LOG" "$1.log" 2>/dev/null
  [ "$TARNHOLM_APP_RC" = 0 ]
}

check "run with the shadow" 'run on'
check "run without it" 'run off "ProjectionShadow.Color.r 1.000000" "ProjectionShadow.Color.g 1.000000" "ProjectionShadow.Color.b 1.000000"'
check "the projection shadow was set up" \
  'grep -q "Init projection shadow" on.log && ! grep -q "FAILED.*projection shadow" on.log'
# The shadow of the locomotive on the ground beside it (1024 x 768).
for xy in ${SHADOW_POINTS:-"300 600" "420 640" "560 610"}; do
  read -r x y <<<"$xy"
  check "ground at $x,$y darker in the shadow" '[ $(( $(bright off.png $x $y) - $(bright on.png $x $y) )) -gt 60 ]'
done
# The sky and the far hills are the same in both pictures.
for xy in "100 40" "900 120"; do
  read -r x y <<<"$xy"
  check "sky at $x,$y unchanged" 'd=$(( $(bright off.png $x $y) - $(bright on.png $x $y) )); [ ${d#-} -lt 12 ]'
done
reg delete "$KEY" /f
exit $fail
