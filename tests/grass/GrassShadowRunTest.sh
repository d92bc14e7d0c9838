#!/usr/bin/env bash
# The grass in the train's projected shadow under Wine: the program runs
# twice with the train standing at one place on the track (a fixed random
# seed picks it; the speed marks of a copy of the landscape archive are all
# 0) and a camera riding beside it, once with the shipped shadow colour and
# once with the shadow made white (no shadow). The grass at the foot of the
# ballast, where the engine's shadow falls, is darker with the shadow; the
# grass further out, in the sun, is as bright in both.
#   GrassShadowRunTest.sh EXE WORKDIR CONTENTDIR
set -u
EXE=$1
WORK=$2
CONTENT=$(cd "$3" && pwd)
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
. "$ROOT/scripts/app-session.sh"
tarnholm_test_setup "$EXE" "$WORK"
# The second riding camera, "Camera_T_D_01_03", looks along the train past
# the engine's smoke box. Seed 1162 stands the train at 143509 of the loop, on
# the second meadow, where the line runs west and the engine's shadow falls
# to its right.
CAMERA=${GRASS_SHADOW_CAMERA:-49}
export TARNHOLM_SEED=${GRASS_SHADOW_SEED:-1162}
# The marks are named "Dummy_speedNN_SPEED_SECONDS": the same names with a
# speed of 0 keep the archive's layout.
perl -0777 -pe 's/(Dummy_speed\d\d_)(\d{4})_/$1 . "0" x length($2) . "_"/ge' "$CONTENT/Tarnholm.SSS" > Tarnholm.SSS

# run NAME EXTRA-TUNING-LINES: one run with the tuning file, one picture
# past the fade-in.
run() {
  tarnholm_fixed_camera_values "$CONTENT/values.txt" "$CAMERA" "${@:2}" > values.txt
  tarnholm_external_values
  tarnholm_app_picture "$EXE" "$1" "Grass built" 9
}

check "run with the shadow" 'run on'
check "run without it" 'run off "ProjectionShadow.Color.r 1.000000" "ProjectionShadow.Color.g 1.000000" "ProjectionShadow.Color.b 1.000000"'
reg delete "$KEY" /f
for r in on off; do
  check "the train stands on the meadow in run $r" 'grep -q "Train: starts at 143509.0 " $r.log'
done
check "the grass takes the projected shadow" 'grep -q "Grass: drawn with the projected shadow" on.log'

# Of a region (WxH+X+Y): the pixels that are grass without the shadow (green
# above red and blue), and of those the ones that the shadow makes darker
# than 0.6 of their brightness.
grass() { convert off.png -crop "$1" +repage -fx '(g > r && g > b) ? 1 : 0' -format '%[fx:round(mean*w*h)]' info:; }
shaded() {
  convert off.png on.png -crop "$1" +repage \
    -fx '(u.g > u.r && u.g > u.b && v.r + v.g + v.b < 0.6 * (u.r + u.g + u.b)) ? 1 : 0' \
    -format '%[fx:round(mean*w*h)]' info:
}
# On the 1024 x 768 screen the engine stands on the left, the shadow of its
# boiler falls to the right over the ballast onto the grass at the foot of
# the ballast (a band across FOOT); the verge further right lies in the sun.
FOOT=120x100+560+540
g=$(grass $FOOT) d=$(shaded $FOOT)
echo "at the foot of the ballast: $g grass pixels, $d of them darkened by the shadow"
check "grass grows at the foot of the ballast" '[ "$g" -ge 3000 ]'
check "the shadow darkens the grass at the foot of the ballast" '[ "$d" -ge 500 ]'
for region in 120x100+700+560 120x100+680+640; do
  g=$(grass $region) d=$(shaded $region)
  echo "on the verge in the sun, $region: $g grass pixels, $d of them darkened"
  check "grass grows on the verge at $region" '[ "$g" -ge 8000 ]'
  check "the grass in the sun at $region keeps its brightness" '[ $((d * 100)) -lt $((g * 3)) ]'
done
exit $fail
