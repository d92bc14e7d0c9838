#!/usr/bin/env bash
# Smoke from the standing locomotive's chimney under Wine on Xvfb. A train
# camera that sees the locomotive (chosen with "CameraNo" in an external
# tuning file) shows the plume above the chimney; with graphics quality 0,
# which turns the smoke off, the same place shows none.
#   SmokeRunTest.sh EXE WORKDIR VALUES CAMERA
set -u
EXE=$1
WORK=$2
VALUES=$3
CAMERA=$4
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
. "$ROOT/scripts/xvfb.sh"
. "$ROOT/scripts/app-session.sh"
tarnholm_start_xvfb || exit 1
export WINEPREFIX=${WINEPREFIX:-$(dirname "$EXE")/../../wineprefix}
rm -rf "$WORK"; mkdir -p "$WORK"; cd "$WORK"
LOG=$WINEPREFIX/drive_c/windows/system32/Tarnholm.log
KEY='HKEY_LOCAL_MACHINE\Software\Vellomaris\Tarnholm 3D Screensaver'
fail=0
check() { if ! eval "$2"; then echo "FAIL: $1"; fail=1; else echo "ok: $1"; fi; }
reg() { "$ROOT/scripts/wine-run.sh" reg "$@" >/dev/null 2>&1; }
# Smoke-grey pixels (red, green and blue within 24 of each other, neither
# dark nor white) in a box: smoke_pixels FILE WxH+X+Y
smoke_pixels() {
  convert "$1" -crop "$2" +repage -alpha off -fx \
    'd=max(r,max(g,b))-min(r,min(g,b)); (d<0.095 && max(r,max(g,b))>0.15 && min(r,min(g,b))<0.9) ? 1 : 0' \
    -format '%[fx:round(mean*w*h)]' info: 2>/dev/null || echo 0
}

# run NAME [GRAPHICS_QUALITY]: one start with the camera; leaves NAME.png.
run() {
  reg delete "$KEY" /f
  reg add "$KEY" /v LoadExternalControlFile /t REG_SZ /d 1 /f
  [ -n "${2:-}" ] && reg add "$KEY" /v GraphicsQuality /t REG_SZ /d "2: $2" /f
  { cat "$VALUES"; echo "CameraNo $CAMERA"; } > values.txt
  rm -f "$LOG"
  tarnholm_app_start "$EXE"
  if ! tarnholm_app_wait_log "$LOG" "Loading scene completed" 120; then
    echo "FAIL: the scene did not load ($1)"; tail -30 "$LOG" 2>/dev/null; tarnholm_app_close 5; fail=1; return
  fi
  sleep 4
  tarnholm_app_screenshot "$1.png"
  tarnholm_app_close 30
  cp "$LOG" "$1.log" 2>/dev/null
  check "$1: exit code 0" '[ "$TARNHOLM_APP_RC" = 0 ]'
}

run smoke
check "smoke: the smoke was set up" 'grep -q "Init smoke" smoke.log'
check "smoke: no error in the log" '! grep -i "error\|FAILED\|can.t create" smoke.log'
run nosmoke 0
check "nosmoke: no smoke was set up" '! grep -q "Init smoke" nosmoke.log'
reg delete "$KEY" /f

# The chimney stands at CHIMNEY_X, CHIMNEY_Y on the 1024 x 768 screen; the
# plume fills the box above it.
BOX=${SMOKE_BOX:-160x120+CHIMNEY}
with=$(smoke_pixels smoke.png "$BOX")
without=$(smoke_pixels nosmoke.png "$BOX")
echo "smoke-grey pixels above the chimney: $with with smoke, $without without"
check "smoke above the chimney" '[ "$with" -gt 4000 ]'
check "no smoke at smoke quality 0" '[ "$without" -lt 400 ]'
[ $fail = 0 ] || tail -40 smoke.log
exit $fail
