#!/usr/bin/env bash
# The screensaver program under Wine on Xvfb with its shipped settings: it
# loads the train scene, draws sky, landscape and the clock, plays its
# sounds, and a key press ends it with exit code 0.
#   ProgramRunTest.sh EXE WORKDIR
set -u
EXE=$1
WORK=$2
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
. "$ROOT/scripts/app-session.sh"
tarnholm_test_setup "$EXE" "$WORK"
# Channel bytes of a pixel: rgb FILE X Y -> "R G B" in decimal.
rgb() { local p; p=$(tarnholm_pixel "$1" "$2" "$3"); echo $((16#${p:0:2})) $((16#${p:2:2})) $((16#${p:4:2})); }
sky() { read -r r g b <<<"$(rgb "$@")"; [ "$b" -gt 150 ] && [ "$b" -gt "$r" ]; }
grass() { read -r r g b <<<"$(rgb "$@")"; [ "$g" -gt 80 ] && [ "$g" -gt "$b" ] && [ "$b" -lt 100 ]; }
dial() { read -r r g b <<<"$(rgb "$@")"; [ "$r" -gt 180 ] && [ "$g" -gt 180 ] && [ "$b" -gt 150 ]; }
# Pixels of the dial's own cream (it shines by itself, whatever the light)
# inside the dial: white steam can pass for the dial at a single point.
dial_area() {
  convert "$1" -crop 150x150+827+578 +repage -alpha off -fuzz 4% -transparent "#DDD3BA" -alpha extract -negate \
    -format '%[fx:round(mean*w*h)]' info: 2>/dev/null || echo 0
}

"$ROOT/scripts/wine-run.sh" reg delete 'HKEY_LOCAL_MACHINE\Software\Vellomaris\Tarnholm 3D Screensaver' /f \
  >/dev/null 2>&1
tarnholm_app_run_until "$EXE" "Loading scene completed" 120 "the scene did not load" || exit 1
# The scene fades in after loading, at the pace of the frames: the picture
# is read once the fade has brought the dial to its own cream.
sleep 4
tarnholm_screenshot_until shot.png 16 '[ "$(dial_area shot.png)" -gt 8000 ]'
# C hides the clock; the scene shows where it was.
xdotool key c 2>/dev/null
tarnholm_screenshot_until noclock.png 20 '[ "$(dial_area noclock.png)" -lt 5000 ]'
tarnholm_app_close 30
check "exit code 0 on a key press" '[ "$TARNHOLM_APP_RC" = 0 ]'
check "the clean-up completed" 'grep -q "Deleting resources completed" "$LOG"'
check "no error in the log" '! grep -i "error" "$LOG"'
# The sky is above the hills whichever camera shows them; the clock sits in the lower right corner (1260, 870 on a
# 1600 x 1200 screen, 300 wide): on 1024 x 768 its dial spans 806..998.
# Smoke may drift over one side of the sky.
check "sky at the top" 'sky shot.png 100 40 || sky shot.png 900 40'
# The director's first camera rides on the train, one of several chosen at
# random: the meadow lies along the horizon below the sky in every one.
meadow() { convert "$1" -depth 8 -crop 721x281+40+160 +repage txt:- 2>/dev/null | awk -F'[,:() ]+' '
  /^[0-9]/ && $1 % 40 == 0 && $2 % 10 == 0 && $4 > 80 && $4 > $5 && $5 < 100 { n++ } END { exit n < 3 }'; }
check "meadow below the sky" 'meadow shot.png'
check "clock dial in the lower right" 'dial shot.png 860 620 && dial shot.png 950 700'
check "the clock's corner is the scene's" '! dial shot.png 790 540'
check "the dial's cream fills the dial" '[ "$(dial_area shot.png)" -gt 8000 ]'
check "no clock after C" '[ "$(dial_area noclock.png)" -lt 5000 ]'
check "C is remembered" '"$ROOT/scripts/wine-run.sh" reg query "HKEY_LOCAL_MACHINE\Software\Vellomaris\Tarnholm 3D Screensaver" /v ShowClock 2>/dev/null | tr -d "\r" | grep -q "2: 0"'
# What the program played, kept by the project's ALSA sink.
check "the scene's sounds were heard" \
  '[ -s "$TARNHOLM_SOUND_CAPTURE" ] && [ "$(tr -d "\0" < "$TARNHOLM_SOUND_CAPTURE" | head -c 4096 | wc -c)" -ge 4096 ]'
[ $fail = 0 ] || tail -40 "$LOG"
exit $fail
