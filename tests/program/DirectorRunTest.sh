#!/usr/bin/env bash
# The camera director and the old-movie look in the running program, under
# Wine on Xvfb, with a fixed random seed. The built-in values with show
# times of 10 s in place of 10 to 15 and 12 come from an external values file: over
# five cuts the director alternates train and landscape cameras, each cut
# through a black frame, the views differ. Then, at the locomotive's first
# riding camera (which looks over the train into the sky), O turns the sky
# sepia and tints the display's gamma, a second O gives both back, and a
# third O leaves the look on for the close, which gives the gamma back.
#   DirectorRunTest.sh EXE WORKDIR VALUES
set -u
EXE=$1
WORK=$2
VALUES=$3
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
. "$ROOT/scripts/app-session.sh"
tarnholm_test_setup "$EXE" "$WORK"
# The pixels of a 16 x 12 grid over the 1024 x 768 screen (the centres of
# 64 x 64 blocks), one "x y r g b" a line.
grid() {
  convert "$1" -depth 8 -sample '16x12!' txt:- 2>/dev/null | awk -F'[,:() ]+' '/^[0-9]/ {
    print $1 * 64 + 32, $2 * 64 + 32, $3, $4, $5 }'
}
# Every grid pixel dark.
dark() { grid "$1" | awk '$3 > 40 || $4 > 40 || $5 > 40 { bright++ } END { exit bright > 0 }'; }
# How many grid pixels differ clearly between two pictures.
differing() { paste -d' ' <(grid "$1") <(grid "$2") |
  awk '{ d = ($3-$8)^2 + ($4-$9)^2 + ($5-$10)^2; if (d > 2500) n++ } END { print n + 0 }'; }
# Grid positions of sky-blue pixels.
blue() { grid "$1" | awk '$5 > $3 + 30 && $5 > 100 { print $1, $2 }'; }
# Of the given positions, how many are warm (red above blue) in a picture.
warm() { awk 'NR == FNR { want[$1 " " $2] = 1; next } ($1 " " $2) in want && $3 > $5 + 15 { n++ }
  END { print n + 0 }' "$2" <(grid "$1"); }
cut_line() { grep -a "Camera cut $1:" "$LOG" | head -1; }
export TARNHOLM_SEED=${DIRECTOR_TEST_SEED:-7}

# Show times of 10 s with 2 s of fade at either end.
sed -e 's/^\(RandomCameraController\.Cameras\..*\.Period\) .*/\1 10.000000/' \
    -e 's/^\(RandomCameraController\.BlackTime\) .*/\1 2.000000/' \
    -e 's/^\(RandomCameraController\.LandCameraShowTime\) .*/\1 10.000000/' "$VALUES" > values.txt
tarnholm_external_values
tarnholm_app_run_until "$EXE" "Camera cut 1:" 120 "no camera was chosen" || exit 1
ok=1
tarnholm_app_wait_log "$LOG" "Camera cut 2:" 30 || ok=0
# The frame on the screen when the line is logged may still be one from the
# fade-out; the black one follows.
cut_black=0
tarnholm_screenshot_until cut2.png 3 'dark cut2.png' && cut_black=1
# view FILE: the picture in the middle of the show, past the fade-in. A
# software-drawn frame can take seconds (smoke close to a riding camera), so
# until 7 s into the show the last frame shown may still be a dark one.
view() {
  sleep 4
  tarnholm_screenshot_until "$1" 3 "! dark $1"
}
view view2.png
tarnholm_app_wait_log "$LOG" "Camera cut 3:" 30 || ok=0
view view3.png
tarnholm_app_wait_log "$LOG" "Camera cut 5:" 30 || ok=0
sleep 1
tarnholm_app_close 30
director_rc=$TARNHOLM_APP_RC
cp "$LOG" director.log

check "five cuts within the show times" '[ $ok = 1 ]'
for n in 1 3 5; do
  check "cut $n is a train camera" 'cut_line $n | grep -q "\"Camera_T_"'
done
for n in 2 4; do
  check "cut $n is a landscape camera" 'cut_line $n | grep -q "\"Camera_L_"'
done
check "the cut is black" '[ $cut_black = 1 ]'
check "the views after the cut are bright" '! dark view2.png && ! dark view3.png'
check "the landscape and the train views differ" '[ "$(differing view2.png view3.png)" -ge 40 ]'
check "director run: exit code 0 (was $director_rc)" '[ "$director_rc" = 0 ]'

# The old movie at the locomotive's first riding camera: the landscape's
# cameras count first.
CONTENT=$(dirname "$VALUES")
landscape=$(strings -n 8 "$CONTENT/Tarnholm.SSS" | grep -E '^Camera_[A-Za-z0-9_]+$' | sort -u | wc -l)
tarnholm_fixed_camera_values "$VALUES" "$landscape" "OldMoviePostEffect.Gamma.Blue 0.600000" > values.txt
tarnholm_external_values
tarnholm_app_run_until "$EXE" "Loading scene completed" 120 "the scene did not load" || exit 1
# Past the loading screen and the fade-in.
sleep 5
tarnholm_screenshot_until sky.png 20 '! dark sky.png'
blue sky.png > blue.txt
nblue=$(wc -l < blue.txt)
sepia() { [ "$(warm "$1" blue.txt)" -ge $((nblue * 8 / 10)) ]; }
blue_again() { [ "$(warm "$1" blue.txt)" -le $((nblue / 10)) ]; }
xdotool key o 2>/dev/null
tarnholm_screenshot_until movie.png 20 'sepia movie.png'
xdotool key o 2>/dev/null
tarnholm_screenshot_until back.png 20 'blue_again back.png'
gamma_back=$(grep -ac "gamma ramp is given back" "$LOG")
xdotool key o 2>/dev/null
sleep 1.5
tarnholm_app_close 30
movie_setting=$("$ROOT/scripts/wine-run.sh" reg query "$KEY" /v EnableOldMovieEffect 2>/dev/null | tr -d "\r")
reg delete "$KEY" /f

check "the view shows sky" '[ "$nblue" -ge 6 ]'
check "O turns the sky sepia" 'sepia movie.png'
check "a second O gives the blue back" 'blue_again back.png'
check "a second O gives the gamma back" '[ "$gamma_back" = 1 ]'
check "the look left on is remembered" 'echo "$movie_setting" | grep -q "2: 1"'
check "the close gives the gamma back" '[ "$(grep -ac "gamma ramp is given back" "$LOG")" = 2 ]'
check "exit code 0 on a key press" '[ "$TARNHOLM_APP_RC" = 0 ]'
check "no error in the log" '! grep -i "error" director.log "$LOG"'
[ $fail = 0 ] || { grep -a "Camera cut" director.log; tail -20 "$LOG"; }
exit $fail
