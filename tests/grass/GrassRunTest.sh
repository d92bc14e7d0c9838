#!/usr/bin/env bash
# The meadow under Wine: the program runs twice at the same fixed camera over
# a grass surface, once with the shipped grass and once with the grass's draw
# distance at 0 and its projected shadow off. Grass pixels stand where the
# ground alone was and are green, the sky is the same in both, and the blades
# move between two frames more than the bare ground does. The grass is drawn
# through the shadow shader only while its projected shadow is on.
#   GrassRunTest.sh EXE WORKDIR CONTENTDIR
set -u
EXE=$1
WORK=$2
CONTENT=$(cd "$3" && pwd)
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
. "$ROOT/scripts/app-session.sh"
tarnholm_test_setup "$EXE" "$WORK"
# Of the pixels in a region that the grass changed from the bare ground
# (GRASS BARE REGION), the number that are green: green above red and blue,
# and not dark.
green() {
  tarnholm_crop_pair "$@" && compare -fuzz 12% -highlight-color white -lowlight-color black -compose src a.png b.png mask.png 2>/dev/null
  convert a.png -fx '(g > r && g > b && g > 0.2) ? 1 : 0' greenish.png &&
    convert mask.png greenish.png -compose multiply -composite -format '%[fx:round(mean*w*h)]' info:
}
# The first camera looks across a meadow on the left of the line, where the
# grass grows in a band left of the track's far curve; the sky above it
# (1024 x 768 screen).
MEADOW=200x24+100+406
# The sky's left part: the train passes this camera now and then, and its
# smoke drifts over the sky above the track on the right.
SKY=300x80+0+0

# run NAME DISTANCE SHADOW: two pictures a second apart, NAME-1.png and
# NAME-2.png, with the grass's draw distance and its projected shadow switch.
run() {
  reg add "$KEY" /v LoadExternalControlFile /t REG_SZ /d 1 /f
  tarnholm_fixed_camera_values <(sed -e "s/^Grass.MaxDrawDistance .*/Grass.MaxDrawDistance $2 1000/" \
    -e "s/^Grass.UseProjShadows .*/Grass.UseProjShadows $3 (bool)/" "$CONTENT/values.txt") 0 > values.txt
  tarnholm_app_run_until "$EXE" "Grass built" 180 "the grass of run $1 was not built" || return 1
  sleep 5
  tarnholm_app_screenshot "$1-1.png"
  sleep 1
  tarnholm_app_screenshot "$1-2.png"
  tarnholm_app_close 30
  RUNLOG=$1.log
  cp "$LOG" "$RUNLOG" 2>/dev/null
  check "run $1: no error in the log" '! grep -i "error" "$RUNLOG"'
}

reg delete "$KEY" /f
run grass 40000 1 || exit 1
run bare 0 0 || exit 1
reg delete "$KEY" /f

check "the patches were built" 'grep -q "Grass built: 9 patches" grass.log'
area=$((200 * 24))
grown=$(tarnholm_changed grass-1.png bare-1.png $MEADOW)
sky=$(tarnholm_changed grass-1.png bare-1.png $SKY)
echo "meadow pixels that grass changed: $grown of $area; sky pixels: $sky"
check "grass stands where the ground alone was" '[ "$grown" -gt $((area / 4)) ]'
check "the sky is the same with and without grass" '[ "$sky" -lt 60 ]'
greens=$(green grass-1.png bare-1.png $MEADOW)
echo "grass pixels that are green: $greens of $grown"
check "the grass is green" '[ "$greens" -gt $((grown * 9 / 10)) ]'
check "the grass takes the projected shadow" 'grep -q "Grass: drawn with the projected shadow" grass.log'
check "no shadow pass with the grass's shadow off" '! grep -q "Grass: drawn with the projected shadow" bare.log'
sway=$(tarnholm_changed grass-1.png grass-2.png $MEADOW)
still=$(tarnholm_changed bare-1.png bare-2.png $MEADOW)
echo "meadow pixels changed in a second: $sway with grass, $still without"
check "the blades sway" '[ "$sway" -gt $((still * 2 + 50)) ]'
exit $fail
