#!/usr/bin/env bash
# The train under Wine on Xvfb, seen from its first riding camera: the
# locomotive stands on its rails where that camera's projection puts it,
# frame after frame, the first cars follow without gaps and the rods turn
# with the driving wheel, while the landscape behind goes by. A crew script
# in the working folder whistles first, then waits, then breaks off: the
# break is reported with its place and the rest of the scene runs. Last, a
# run without two wagon dummies.
#   TrainRunTest.sh EXE WORKDIR CONTENTDIR
set -u
EXE=$1
WORK=$2
CONTENT=$3
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
. "$ROOT/scripts/app-session.sh"
tarnholm_test_setup "$EXE" "$WORK"

# The fixed camera counts the landscape's cameras first, then the
# locomotive's in name order; the first of those is "Camera_T_D_01_01",
# which rides with "Dummy_loco_camera01".
landscape=$(strings -n 8 "$CONTENT/Tarnholm.SSS" | grep -E '^Camera_[A-Za-z0-9_]+$' | sort -u | wc -l)
first=$(strings -n 8 "$CONTENT/Locomotive.SSS" | grep -E '^Camera_[A-Za-z0-9_]+$' | sort -u | head -n1)
check "the riding camera is the locomotive's first" '[ "$first" = Camera_T_D_01_01 ] && [ "$landscape" -gt 0 ]'
printf '[Bip01]\n\tanimation 440, 450\n\twait 1000, 1000\n\t%%%%%%\n' >Animation.txt
tarnholm_fixed_camera_values "$CONTENT/values.txt" "$landscape" >values.txt

tarnholm_external_values
# The same start on the track every run.
export TARNHOLM_SEED=5
tarnholm_app_run_until "$EXE" "Loading scene completed" 120 "the scene did not load" || exit 1
# Past the loading screen and the fade-in (the top of the picture no longer
# black; on a busy machine
# the first frames come slowly), two moments 3 seconds apart.
sleep 5
tarnholm_screenshot_until a.png 60 '[ "$(tarnholm_pixel a.png 512 100)" != 000000 ]'
sleep 2
tarnholm_app_screenshot a.png
sleep 3
tarnholm_app_screenshot b.png
tarnholm_app_close 30
reg delete "$KEY" /f

check "exit code 0 on a key press" '[ "$TARNHOLM_APP_RC" = 0 ]'
check "the train was assembled" 'grep -q "Init train" "$LOG" && grep -q "Init animation" "$LOG"'
check "the broken script is reported where it breaks" \
  'grep -q "Animation.txt : Error: Expected command or object tag \[Line: 4; Column: 5\]" "$LOG"'
check "the driver pulls the whistle once" '[ "$(grep -c "The driver pulls the whistle" "$LOG")" = 1 ]'
check "no other error in the log" '! grep -i "error" "$LOG" | grep -v "Expected command or object tag"'
convert a.png a.ppm && convert b.png b.ppm
check "the locomotive stands where the camera projects it on its rails, the cars close up, the rods turn and the landscape moved" \
  'python3 "$ROOT/tests/program/train_pictures.py" a.ppm b.ppm'
[ $fail = 0 ] || tail -40 "$LOG"

# Two wagon dummies gone from the locomotive archive (renamed in a copy in
# the working folder, which the program reads before its own): both are
# named in the log, the train runs with the rest of its parts and the
# program ends normally.
rm -f Animation.txt
perl -0777 -pe 's/Dummy_loco05_04/Dummy_loco05_x4/g; s/Dummy_loco07_02/Dummy_loco07_x2/g' \
  "$CONTENT/Locomotive.SSS" >Locomotive.SSS
tarnholm_external_values
rm -f "$LOG"
tarnholm_app_start "$EXE"
loaded=0
tarnholm_app_wait_log "$LOG" "Loading scene completed" 120 && loaded=1
sleep 4
tarnholm_app_close 30
reg delete "$KEY" /f
rm -f Locomotive.SSS
check "without two wagon dummies the scene loads, runs and ends with exit code 0" \
  '[ $loaded = 1 ] && [ "$TARNHOLM_APP_RC" = 0 ]'
check "the two missing dummies are named" \
  'grep -q "no dummy with name Dummy_loco05_04" "$LOG" && grep -q "no dummy with name Dummy_loco07_02" "$LOG"'
[ $fail = 0 ] || tail -40 "$LOG"
exit $fail
