#!/usr/bin/env bash
# Smoke and steam of the moving locomotive under Wine on Xvfb. Two runs with
# the same random seed, so the train starts at the same place, seen from
# the locomotive's first riding camera (chosen with "CameraNo" in an
# external tuning file): one at graphics quality 1 (smoke quality 1), one at
# 0 (no smoke), each shot the same time after the scene has loaded. The
# camera rides with the train, so the locomotive stands in the same place
# in both pictures: they differ above the chimney, where the plume rises,
# and behind it along the train, where the plume trails. A crew script
# whistles at once: the rope pulled starts the whistle steam.
#   SmokeRunTest.sh EXE WORKDIR VALUES
set -u
EXE=$1
WORK=$2
VALUES=$3
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
. "$ROOT/scripts/app-session.sh"
tarnholm_test_setup "$EXE" "$WORK"
export TARNHOLM_SEED=${SMOKE_TEST_SEED:-7}
# The landscape's cameras count first, then the locomotive's in name order.
CONTENT=$(dirname "$VALUES")
CAMERA=$(strings -n 8 "$CONTENT/Tarnholm.SSS" | grep -E '^Camera_[A-Za-z0-9_]+$' | sort -u | wc -l)
# Pixels of a box that differ between two pictures by more than 8% in some
# channel: changed A.png B.png WxH+X+Y
changed() {
  convert "$1" "$2" -crop "$3" +repage -alpha off -compose difference -composite -separate \
    -evaluate-sequence max -threshold 8% -format '%[fx:round(mean*w*h)]' info: 2>/dev/null || echo 0
}
printf '[Bip01]\n\tanimation 440, 450\n' > Animation.txt

# run NAME GRAPHICS_QUALITY: one start with the camera; leaves NAME.png.
run() {
  tarnholm_external_values
  reg add "$KEY" /v GraphicsQuality /t REG_SZ /d "2: $2" /f
  tarnholm_fixed_camera_values "$VALUES" "$CAMERA" > values.txt
  rm -f "$LOG"
  tarnholm_app_start "$EXE"
  if ! tarnholm_app_wait_log "$LOG" "Loading scene completed" 120; then
    echo "FAIL: the scene did not load ($1)"; tail -30 "$LOG" 2>/dev/null; tarnholm_app_close 5; fail=1; return
  fi
  sleep 6
  tarnholm_app_screenshot "$1.png"
  tarnholm_app_close 30
  cp "$LOG" "$1.log" 2>/dev/null
  check "$1: exit code 0" '[ "$TARNHOLM_APP_RC" = 0 ]'
}

run smoke 1
check "smoke: the smoke was set up" 'grep -q "Init smoke" smoke.log'
check "smoke: the rope pulled starts the whistle steam" 'grep -q "whistle rope is pulled: whistle steam" smoke.log'
check "smoke: no error in the log" '! grep -i "error\|partcile\|can.t create" smoke.log'
run nosmoke 0
check "nosmoke: no smoke was set up" '! grep -q "Init smoke" nosmoke.log'
check "both runs start at the same place" \
  '[ -n "$(grep -a "Train: starts at" smoke.log)" ] && [ "$(grep -a "Train: starts at" smoke.log | cut -d- -f2-)" = "$(grep -a "Train: starts at" nosmoke.log | cut -d- -f2-)" ]'
reg delete "$KEY" /f

above=$(changed smoke.png nosmoke.png 160x160+600+200)
behind=$(changed smoke.png nosmoke.png 300x150+150+40)
echo "changed pixels above the chimney: $above of 25600, behind it: $behind of 45000"
check "smoke above the chimney" '[ "$above" -gt 10000 ]'
check "the plume trails back along the train" '[ "$behind" -gt 15000 ]'
[ $fail = 0 ] || tail -40 smoke.log
exit $fail
