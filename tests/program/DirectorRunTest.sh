#!/usr/bin/env bash
# The camera director and the old-movie look in the running program, under
# Wine on Xvfb. The built-in values with shorter show times come from an
# external values file: the director cuts from a train camera to a
# landscape camera and back, each cut through a black frame, the views
# differ; O turns the sky sepia, a second O gives it back.
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

# Show times of 8 s with 2 s of fade at either end.
sed -e 's/^\(RandomCameraController\.Cameras\..*\.Period\) .*/\1 8.000000/' \
    -e 's/^\(RandomCameraController\.BlackTime\) .*/\1 2.000000/' \
    -e 's/^\(RandomCameraController\.LandCameraShowTime\) .*/\1 8.000000/' "$VALUES" > values.txt
tarnholm_external_values
rm -f "$LOG"
tarnholm_app_start "$EXE"
if ! tarnholm_app_wait_log "$LOG" "Camera cut 1:" 120; then
  echo "FAIL: no camera was chosen"; tail -30 "$LOG" 2>/dev/null; tarnholm_app_close 5; exit 1
fi
ok=1
tarnholm_app_wait_log "$LOG" "Camera cut 2:" 30 || ok=0
tarnholm_app_screenshot cut2.png
sleep 3.5
tarnholm_app_screenshot view2.png
tarnholm_app_wait_log "$LOG" "Camera cut 3:" 30 || ok=0
sleep 3.5
tarnholm_app_screenshot view3.png
blue view3.png > blue.txt
xdotool key o 2>/dev/null
sleep 1
tarnholm_app_screenshot movie.png
xdotool key o 2>/dev/null
sleep 1
tarnholm_app_screenshot back.png
tarnholm_app_close 30
reg delete "$KEY" /f

check "three cuts within the show times" '[ $ok = 1 ]'
check "the first cut is a train camera" 'cut_line 1 | grep -q "\"Camera_T_"'
check "the second cut is a landscape camera" 'cut_line 2 | grep -q "\"Camera_L_"'
check "the third cut is a train camera again" 'cut_line 3 | grep -q "\"Camera_T_"'
check "the cut is black" 'dark cut2.png'
check "the views after the cut are bright" '! dark view2.png && ! dark view3.png'
check "the landscape and the train views differ" '[ "$(differing view2.png view3.png)" -ge 40 ]'
nblue=$(wc -l < blue.txt)
check "the view shows sky" '[ "$nblue" -ge 6 ]'
check "O turns the sky sepia" '[ "$(warm movie.png blue.txt)" -ge $((nblue * 8 / 10)) ]'
check "a second O gives the blue back" '[ "$(warm back.png blue.txt)" -le $((nblue / 10)) ]'
check "exit code 0 on a key press" '[ "$TARNHOLM_APP_RC" = 0 ]'
check "no error in the log" '! grep -i "error" "$LOG"'
[ $fail = 0 ] || { grep -a "Camera cut" "$LOG"; tail -20 "$LOG"; }
exit $fail
