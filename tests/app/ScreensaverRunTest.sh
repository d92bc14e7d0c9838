#!/usr/bin/env bash
# Screensaver run test: the screensaver test application under Wine on Xvfb.
# One run with the loading screen held, the frame-rate overlay, the hotkey
# help, the letterbox of a 4:3 monitor with widescreen emulation, a second
# instance, F and W toggled and written back, and a key press that ends it
# with exit code 0; then crash runs: one that relaunches the program as the
# error-report viewer of its own log, one on a day a report was sent.
#   ScreensaverRunTest.sh EXE WORKDIR
set -u
EXE=$1
WORK=$2
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
. "$ROOT/scripts/xvfb.sh"
. "$ROOT/scripts/app-session.sh"
tarnholm_start_xvfb || exit 1
export WINEPREFIX=${WINEPREFIX:-$(dirname "$EXE")/../../wineprefix}
rm -rf "$WORK"; mkdir -p "$WORK"; cd "$WORK"

KEY='HKEY_LOCAL_MACHINE\Software\Vellomaris\TarnholmTest 3D Screensaver'
LOG=$WINEPREFIX/drive_c/windows/system32/TarnholmTest.log
fail=0
check() { if ! eval "$2"; then echo "FAIL: $1"; fail=1; else echo "ok: $1"; fi; }
reg() { "$ROOT/scripts/wine-run.sh" reg "$@" 2>/dev/null | tr -d '\r'; }

# Pixels of a crop within a tolerance of a colour: count_colour FILE GEOMETRY RRGGBB FUZZ%
count_colour() {
  convert "$1" -crop "$2" +repage -alpha off -fuzz "$4" -transparent "#$3" -alpha extract -negate \
    -format '%[fx:round(mean*w*h)]' info: 2>/dev/null || echo 0
}
# Whether a pixel is brighter than black: bright FILE X Y
bright() { local p; p=$(tarnholm_pixel "$1" "$2" "$3"); [ -n "$p" ] && [ $((16#${p:0:2} + 16#${p:2:2} + 16#${p:4:2})) -gt 150 ]; }
# Waits for the program to end: wait_exit SECONDS; sets TARNHOLM_APP_RC
# (124 when it had to be killed).
wait_exit() { tarnholm_app_wait_exit "$1" || { tarnholm_app_kill; TARNHOLM_APP_RC=124; return 1; }; }

# A 4:3 monitor with widescreen emulation wanted, the frame rate shown, the
# desktop's mode.
reg delete "$KEY" /f >/dev/null
cat > settings.reg <<'EOF'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Vellomaris\TarnholmTest 3D Screensaver]
"ShowFPS"="2: 1"
"MonitorAspectRatio"="2: 1"
"WidescreenMode"="2: 1"
"UseDesktopRes"="2: 1"
EOF
reg import settings.reg >/dev/null
rm -f "$LOG"

tarnholm_app_start "$EXE" /loadhold:4000 /grey
if ! tarnholm_app_wait_log "$LOG" "loading screen held" 90; then
  echo "FAIL: no loading screen"; tail -20 "$LOG" 2>/dev/null; tarnholm_app_close 5; exit 1
fi
sleep 1
tarnholm_app_screenshot loading.png
check "loading: logo in the middle" 'bright loading.png 512 300'
check "loading: nothing left of the logo" '[ "$(tarnholm_pixel loading.png 240 384)" = 000000 ]'
check "loading: progress line drawn" '[ "$(tarnholm_pixel loading.png 430 639)" = FFFFFF ]'
check "loading: line starts where it should" '[ "$(tarnholm_pixel loading.png 415 639)" = 000000 ]'
check "loading: percentage text" '[ "$(count_colour loading.png 300x40+362+580 6E6E6E 6%)" -gt 30 ]'
check "loading: hotkey list" '[ "$(count_colour loading.png 300x120+30+600 8C8C8C 6%)" -gt 30 ]'

if ! tarnholm_app_wait_log "$LOG" "frames drawn" 90; then
  echo "FAIL: no frames drawn"; tail -20 "$LOG" 2>/dev/null; tarnholm_app_close 5; exit 1
fi
FIRST_PID=$TARNHOLM_APP_PID FIRST_TAG=$TARNHOLM_APP_TAG
# A second instance ends at once and leaves the running one's log alone.
tarnholm_app_start "$EXE"
wait_exit 30
check "second instance ends with 1" '[ "$TARNHOLM_APP_RC" = 1 ]'
check "second instance keeps the first log" 'grep -q "loading screen held" "$LOG"'
TARNHOLM_APP_PID=$FIRST_PID TARNHOLM_APP_TAG=$FIRST_TAG

xdotool key F1
sleep 1.5
tarnholm_app_screenshot run.png
check "letterbox bar above is black" '[ "$(tarnholm_pixel run.png 512 30)" = 000000 ]'
check "letterbox bar below is black" '[ "$(tarnholm_pixel run.png 512 740)" = 000000 ]'
check "picture between the bars" 'bright run.png 512 384 && bright run.png 1020 66 && bright run.png 3 700'
check "frame rate shown" '[ "$(count_colour run.png 200x40+0+0 B2A080 6%)" -gt 20 ]'
check "help list shown" '[ "$(count_colour run.png 300x100+30+80 B2A080 6%)" -gt 30 ]'

xdotool key f; sleep 0.3; xdotool key w
sleep 1
tarnholm_app_screenshot toggled.png
check "frame rate hidden by F" '[ "$(count_colour toggled.png 200x40+0+0 B2A080 6%)" -lt 5 ]'
check "letterbox gone after W" 'bright toggled.png 512 30'
tarnholm_app_close 60
echo "exit code after the key: $TARNHOLM_APP_RC"
check "exit code 0 after a key" '[ "$TARNHOLM_APP_RC" = 0 ]'
check "ShowFPS written back" 'reg query "$KEY" /v ShowFPS | grep -q "2: 0"'
check "WidescreenMode written back" 'reg query "$KEY" /v WidescreenMode | grep -q "2: 0"'

stamp='^[0-9][0-9]:[0-9][0-9]:[0-9][0-9]:[0-9][0-9][0-9][0-9] - '
for line in "Tarnholm 3D Screensaver 1.0 (" "Build Hash: [0-9a-f]" "Reading m_Settings" \
    "Setting desktop resolution: 1024x768xD3DFMT_X8R8G8B8" "Supported texture formats for D3DFMT_X8R8G8B8:" \
    "Supported depth/stencil buffer formats for D3DFMT_X8R8G8B8:" "Sound initialization completed" \
    "Average FPS: [0-9.]* (lowest: [0-9.]*, highest: [0-9.]*)" "Test application: scene settings saved" \
    "Delete m_pMainScene" "Deleting resources completed" "Test application: exit code 0"; do
  check "log: $line" 'grep -q "${stamp}${line}" "$LOG"'
done
cp "$LOG" run.log 2>/dev/null

# A crash relaunches the program, which shows the crashed run's log in the
# error-report dialog. These runs start without any settings.
reg delete "$KEY" /f >/dev/null
rm -f viewer.txt
tarnholm_app_start "$EXE" /crash:5
wait_exit 90
check "crashed run ends with 1" '[ "$TARNHOLM_APP_RC" = 1 ]'
for i in $(seq 300); do [ -s viewer.txt ] && break; sleep 0.1; done
check "error-report dialog shown by the relaunched program" 'grep -q "dialog shown" viewer.txt'
check "the viewer reads the crashed run's log" 'grep -qi "/SHOWEXCEPTION \"C:.windows.system32.TarnholmTest.log\"" viewer.txt'
check "crash log has the exception" 'grep -q "Exception Address" "$LOG" && grep -q "crashing now" "$LOG"'
check "without settings the desktop mode" 'grep -q "Setting video mode: 1024x768xD3DFMT_X8R8G8B8" "$LOG"'
cp "$LOG" crash.log 2>/dev/null

# On a day a report was sent, a crash only ends the program.
reg add "$KEY" /v LastErrorReportTime /d "$(date +%d%m%y)" /f >/dev/null
rm -f viewer.txt
tarnholm_app_start "$EXE" /crash:5
wait_exit 90
check "crash after today's report ends with 1" '[ "$TARNHOLM_APP_RC" = 1 ]'
sleep 3
check "no viewer after today's report" '[ ! -e viewer.txt ]'

reg delete "$KEY" /f >/dev/null
[ $fail = 0 ] || { echo "--- log"; head -60 run.log 2>/dev/null; }
exit $fail
