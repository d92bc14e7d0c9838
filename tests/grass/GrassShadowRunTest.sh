#!/usr/bin/env bash
# The grass in the train's projected shadow under Wine: the program runs
# twice with the train standing at one place on the track (a fixed random
# seed picks it; the speed marks of a copy of the landscape archive are all
# 0) and a camera riding beside it, once with the shipped shadow colour and
# once with the shadow made white (no shadow). The grass on the verge where the train's
# shadow falls is darker with the shadow; the grass further out, in the sun,
# is about as bright in both.
#   GrassShadowRunTest.sh EXE WORKDIR CONTENTDIR
set -u
EXE=$1
WORK=$2
CONTENT=$(cd "$3" && pwd)
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
. "$ROOT/scripts/app-session.sh"
tarnholm_test_setup "$EXE" "$WORK"
# The second riding camera, "Camera_T_D_01_03", looks along the engine from
# behind its right side. Seed 2819 stands the train at 156615 of the loop, on
# the second meadow, where the line runs west and the engine's shadow falls
# to its right.
CAMERA=${GRASS_SHADOW_CAMERA:-49}
export TARNHOLM_SEED=${GRASS_SHADOW_SEED:-2819}
# The marks are named "Dummy_speedNN_SPEED_SECONDS": the same names with a
# speed of 0 keep the archive's layout.
perl -0777 -pe 's/(Dummy_speed\d\d_)(\d{4})_/$1 . "0" x length($2) . "_"/ge' "$CONTENT/Tarnholm.SSS" > Tarnholm.SSS

# run NAME EXTRA-TUNING-LINES: one run with the tuning file, one screenshot.
run() {
  tarnholm_fixed_camera_values "$CONTENT/values.txt" "$CAMERA" "${@:2}" > values.txt
  tarnholm_external_values
  tarnholm_app_run_until "$EXE" "Grass built" 120 "the grass was not built ($1)" || return 1
  # Past the fade-in.
  sleep 9
  tarnholm_app_screenshot "$1.png"
  tarnholm_app_close 30
  cp "$LOG" "$1.log" 2>/dev/null
  [ "$TARNHOLM_APP_RC" = 0 ]
}

check "run with the shadow" 'run on'
check "run without it" 'run off "ProjectionShadow.Color.r 1.000000" "ProjectionShadow.Color.g 1.000000" "ProjectionShadow.Color.b 1.000000"'
reg delete "$KEY" /f
for r in on off; do
  check "the train stands on the meadow in run $r" 'grep -q "Train: starts at 156615.0 " $r.log'
done
check "the grass takes the projected shadow" 'grep -q "Grass: drawn with the projected shadow" on.log'

# Mean brightness (0 to 255) of a region (WxH+X+Y), and the share in percent
# of its pixels that are green (green above red and blue).
mean() { convert "$1" -crop "$2" +repage -colorspace gray -format '%[fx:round(mean*255)]' info:; }
greens() { convert "$1" -crop "$2" +repage -fx '(g > r && g > b) ? 1 : 0' -format '%[fx:round(mean*100)]' info:; }
# On the 1024 x 768 screen the engine stands on the left, its boiler's
# shadow falling to the right over the ballast onto the verge's grass just
# beside it; further right the verge lies in the sun.
for region in 16x12+636+540 16x12+618+560 16x12+600+580 16x12+584+600; do
  on=$(mean on.png $region) off=$(mean off.png $region)
  echo "grass in the shadow at $region: $on with the shadow, $off without"
  check "grass at $region both times" '[ $(greens on.png $region) -ge 80 ] && [ $(greens off.png $region) -ge 80 ]'
  check "the shadow darkens the grass at $region" '[ $((on * 4)) -lt $((off * 3)) ]'
done
for region in 40x30+720+560 40x30+760+620 40x30+700+660; do
  on=$(mean on.png $region) off=$(mean off.png $region)
  echo "grass in the sun at $region: $on with the shadow, $off without"
  check "grass at $region both times" '[ $(greens on.png $region) -ge 80 ] && [ $(greens off.png $region) -ge 80 ]'
  check "the grass in the sun at $region is as bright" '[ $(( (on - off) * 100 )) -le $((off * 8)) ] && [ $(( (off - on) * 100 )) -le $((off * 8)) ]'
done
exit $fail
