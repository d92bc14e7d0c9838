#!/usr/bin/env bash
# The train's projected shadow under Wine: the program runs twice from the
# same start on the track (a fixed random seed) at the camera riding beside
# the train, once with the shipped shadow colour and once with the shadow
# made white (no shadow). Under the locomotive's far side the track is much
# darker with the shadow; the wagons behind the locomotive stand in the sun.
#   ShadowRunTest.sh EXE WORKDIR
set -u
EXE=$1
WORK=$2
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
. "$ROOT/scripts/app-session.sh"
tarnholm_test_setup "$EXE" "$WORK"
# The second riding camera, "Camera_T_D_01_03" (after the landscape's 48).
CAMERA=${SHADOW_TEST_CAMERA:-49}
export TARNHOLM_SEED=${SHADOW_TEST_SEED:-7}
# Brightness (r + g + b) of a pixel.
bright() { local p; p=$(tarnholm_pixel "$1" "$2" "$3"); echo $((16#${p:0:2} + 16#${p:2:2} + 16#${p:4:2})); }

# run NAME EXTRA-TUNING-LINES: one run with the tuning file, one screenshot.
run() {
  tarnholm_fixed_camera_values "$ROOT/content/values.txt" "$CAMERA" "${@:2}" > values.txt
  tarnholm_external_values
  reg add "$KEY" /v GraphicsQuality /t REG_SZ /d "2: 4" /f
  tarnholm_app_run_until "$EXE" "Loading scene completed" 120 "the scene did not load ($1)" || return 1
  # Past the fade-in.
  sleep 9
  tarnholm_app_screenshot "$1.png"
  tarnholm_app_close 30
  cp "$LOG" "$1.log" 2>/dev/null
  [ "$TARNHOLM_APP_RC" = 0 ]
}

check "run with the shadow" 'run on'
check "run without it" 'run off "ProjectionShadow.Color.r 1.000000" "ProjectionShadow.Color.g 1.000000" "ProjectionShadow.Color.b 1.000000"'
check "the projection shadow was set up" \
  'grep -q "Init projection shadow" on.log && ! grep -q "FAILED.*projection shadow" on.log'
check "both runs start the train at one place" \
  '[ -n "$(grep -o "Train: starts at.*" on.log)" ] && [ "$(grep -o "Train: starts at.*" on.log)" = "$(grep -o "Train: starts at.*" off.log)" ]'
# The track under the locomotive's far side (1024 x 768): the riding camera
# keeps the train in place while the sleepers pass below, so most, not all,
# of the points must show the shadow.
dark=0
for xy in "566 504" "574 506" "564 514" "546 524" "530 538" "518 548"; do
  read -r x y <<<"$xy"
  [ $(( $(bright off.png $x $y) - $(bright on.png $x $y) )) -gt 100 ] && dark=$((dark + 1))
done
check "the track under the locomotive is in its shadow ($dark of 6 points)" '[ $dark -ge 4 ]'
# The sun lights the wagons' sides behind the locomotive (they stood black
# while the light rode in the engine's frame).
for xy in "740 345" "750 340" "635 430"; do
  read -r x y <<<"$xy"
  check "the wagon at $x,$y is lit" '[ $(bright on.png $x $y) -gt 120 ]'
done
reg delete "$KEY" /f
exit $fail
