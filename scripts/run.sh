#!/usr/bin/env bash
# Sets up and builds what is missing, then runs the program under Wine.
# With DISPLAY set it runs on that display until you close it (any key).
# Without one it runs on Xvfb for RUN_SECONDS (default 10), saves screenshots
# under build/run/, closes the program with a key press and prints where the
# log and the pictures are.
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
bash scripts/setup.sh || exit 1
bash scripts/build.sh || exit 1

EXE="$ROOT/build/win/src/App/Tarnholm 3D Screensaver.exe"
OUT=$ROOT/build/run
RUN_SECONDS=${RUN_SECONDS:-10}
mkdir -p "$OUT"
rm -f "$OUT"/*.png "$OUT"/run.log "$OUT"/sound.raw
export WINEPREFIX=$ROOT/build/win/wineprefix
. scripts/xvfb.sh
. scripts/app-session.sh

# A screensaver switch ("/c", "/s", "/p N", "/a") goes to the .scr, as
# Windows would pass it.
SCR="$ROOT/build/win/FrontEnd/Program/Tarnholm 3D Screensaver.scr"
if [[ "${1:-}" =~ ^[/-][a-zA-Z] ]]; then
  MAIN=$(find "$ROOT/build/win" -name "Tarnholm 3D Screensaver.exe" -print -quit 2>/dev/null)
  if [ -n "$MAIN" ]; then
    # The front-end finds the main program through "AppPath".
    "$ROOT/scripts/wine-prefix.sh"
    WINEDEBUG=-all wine reg add 'HKLM\Software\Vellomaris\Tarnholm 3D Screensaver' /v AppPath /t REG_SZ \
      /d "Z:$(dirname "$MAIN" | tr / '\\')" /f >/dev/null 2>&1
  fi
  cd "$OUT"
  if [ -n "${DISPLAY:-}" ] && [ -z "${TARNHOLM_HEADLESS:-}" ]; then
    "$ROOT/scripts/wine-run.sh" "$SCR" "$@"
    rc=$?
    echo "Exit code: $rc"
    exit $rc
  fi
  tarnholm_start_xvfb || exit 1
  tarnholm_app_start "$SCR" "$@"
  sleep $(( RUN_SECONDS / 2 ))
  tarnholm_app_screenshot "$OUT/screenshot-1.png"
  # Esc closes the settings dialog and ends a running screensaver.
  xdotool key Escape 2>/dev/null
  tarnholm_app_wait_exit 10 || tarnholm_app_close 10
  echo "Exit code: $TARNHOLM_APP_RC"
  echo "Picture: $OUT/screenshot-1.png"
  exit $TARNHOLM_APP_RC
fi

cd "$OUT"
# The program writes its log beside the system's files, as on Windows.
LOG=$WINEPREFIX/drive_c/windows/system32/Tarnholm.log
rm -f "$LOG"
if [ -n "${DISPLAY:-}" ] && [ -z "${TARNHOLM_HEADLESS:-}" ]; then
  "$ROOT/scripts/wine-run.sh" "$EXE" "$@"
  rc=$?
  cp "$LOG" run.log 2>/dev/null
  echo "Exit code: $rc"
  echo "Log: $OUT/run.log"
  exit $rc
fi

tarnholm_start_xvfb || exit 1
# Headless there is nothing to hear: what the program plays is kept as raw
# 16-bit stereo at 44100 Hz (our ALSA sink, see scripts/alsa/asound.conf).
export TARNHOLM_SOUND_CAPTURE=${TARNHOLM_SOUND_CAPTURE:-$OUT/sound.raw}
tarnholm_app_start "$EXE" "$@"
if ! tarnholm_app_wait_log "$LOG" "Loading scene completed" 120; then
  cp "$LOG" run.log 2>/dev/null
  echo "The program did not load its scene; log: $OUT/run.log" >&2
  tarnholm_app_close 10
  exit 1
fi
shots=3
for i in $(seq $shots); do
  sleep $(( RUN_SECONDS / shots ))
  tarnholm_app_screenshot "$OUT/screenshot-$i.png"
done
tarnholm_app_close 30
cp "$LOG" run.log 2>/dev/null
echo "Exit code: $TARNHOLM_APP_RC"
echo "Log: $OUT/run.log"
[ -s "$OUT/sound.raw" ] && echo "Sound: $OUT/sound.raw (raw s16le, 44100 Hz, stereo)"
echo "Pictures:"
ls -1 "$OUT"/screenshot-*.png
exit $TARNHOLM_APP_RC
