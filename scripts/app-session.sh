#!/usr/bin/env bash
# Sourced by the run script and the start-up test: starts a Windows program
# under Wine in the background, waits for log lines, takes screenshots of
# the X display and closes the program with a key press, all with time limits.
TARNHOLM_ROOT=${TARNHOLM_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}

# tarnholm_app_start EXE ARGS...: runs in the current folder; a program
# (.exe) with its Windows exit code (see wine-run.sh --windows-exit).
tarnholm_app_start() {
  TARNHOLM_APP_EXE=$(basename "$1")
  TARNHOLM_APP_TAG=tarnholm-$$-$RANDOM$RANDOM
  local launch=()
  [[ $1 == *.exe ]] && launch=(--windows-exit)
  TARNHOLM_APP_TAG=$TARNHOLM_APP_TAG "$TARNHOLM_ROOT/scripts/wine-run.sh" "${launch[@]}" "$@" &
  TARNHOLM_APP_PID=$!
}

# tarnholm_app_processes: the Unix processes of the started program, one
# line each: "program PID" or "launcher PID".
tarnholm_app_processes() {
  local p
  for p in $(pgrep -f -- "$TARNHOLM_APP_EXE"); do
    tr '\0' '\n' < "/proc/$p/environ" 2>/dev/null | grep -qxF "TARNHOLM_APP_TAG=$TARNHOLM_APP_TAG" || continue
    case $(tr '\0' '\n' < "/proc/$p/cmdline" 2>/dev/null | head -n1) in
      *"$TARNHOLM_APP_EXE"*) echo "program $p" ;;
      *) echo "launcher $p" ;;
    esac
  done
}

# tarnholm_app_kill: ends the started program and its launcher at once.
tarnholm_app_kill() {
  kill -9 $(tarnholm_app_processes | cut -d' ' -f2) "$TARNHOLM_APP_PID" 2>/dev/null
  wait "$TARNHOLM_APP_PID" 2>/dev/null
}

# tarnholm_app_wait_log FILE PATTERN SECONDS: 0 once the line is there.
tarnholm_app_wait_log() {
  local i
  for i in $(seq $(( $3 * 10 ))); do
    grep -q -- "$2" "$1" 2>/dev/null && return 0
    kill -0 "$TARNHOLM_APP_PID" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

# tarnholm_app_screenshot FILE.png
tarnholm_app_screenshot() {
  import -window root "$1" 2>/dev/null || { xwd -root -silent | convert xwd:- "$1"; }
}

# tarnholm_screenshot_until FILE.png SECONDS CONDITION: takes screenshots
# until CONDITION (evaluated after each) holds; 1 when it never did. A
# software-drawn frame can take seconds on a busy machine, so a picture that
# must change after a key press is waited for, not taken after a fixed time.
tarnholm_screenshot_until() {
  local end=$((SECONDS + $2))
  while :; do
    tarnholm_app_screenshot "$1"
    eval "$3" && return 0
    [ $SECONDS -ge $end ] && return 1
    sleep 0.2
  done
}

# tarnholm_pixel FILE.png X Y: the pixel as RRGGBB.
tarnholm_pixel() {
  convert "$1" -format "%[hex:p{$2,$3}]" info: 2>/dev/null | cut -c1-6
}

# tarnholm_crop_pair A B REGION: a region (WxH+X+Y) of two pictures as a.png
# and b.png in the current folder.
tarnholm_crop_pair() {
  convert "$1" -crop "$3" +repage a.png && convert "$2" -crop "$3" +repage b.png
}

# tarnholm_changed A B REGION: the pixels of a region that differ by more
# than 12% between two pictures.
tarnholm_changed() {
  tarnholm_crop_pair "$@" && compare -metric AE -fuzz 12% a.png b.png null: 2>&1 | cut -d' ' -f1
}

# tarnholm_app_wait_exit SECONDS: waits for the program to end and sets
# TARNHOLM_APP_RC; 1, with the program left running, when it did not.
tarnholm_app_wait_exit() {
  local i
  for i in $(seq $(( $1 * 10 ))); do
    if ! kill -0 "$TARNHOLM_APP_PID" 2>/dev/null; then
      wait "$TARNHOLM_APP_PID"
      TARNHOLM_APP_RC=$?
      return 0
    fi
    sleep 0.1
  done
  return 1
}

# tarnholm_app_close SECONDS: presses a key, waits for the end and sets
# TARNHOLM_APP_RC (124 when the program had to be killed).
tarnholm_app_close() {
  local i
  # Ask again every 2 s in case a press came too early.
  for i in $(seq $(( ($1 + 1) / 2 ))); do
    xdotool key space 2>/dev/null
    tarnholm_app_wait_exit 2 && return 0
  done
  tarnholm_app_kill
  TARNHOLM_APP_RC=124
  return 1
}

# The common start of a run test of the program: tarnholm_test_setup EXE WORK
# starts the shared X display, uses the build tree's prefix (unless
# WINEPREFIX is set), empties WORK and makes it the current folder, and sets
# LOG (the program's log), KEY (its settings key), fail=0 with check NAME
# CONDITION, and reg ARGS... (the prefix's reg, quietly).
tarnholm_test_setup() {
  . "$TARNHOLM_ROOT/scripts/xvfb.sh"
  tarnholm_start_xvfb || exit 1
  export WINEPREFIX=${WINEPREFIX:-$(dirname "$1")/../../wineprefix}
  rm -rf "$2"; mkdir -p "$2"; cd "$2" || exit 1
  LOG=$WINEPREFIX/drive_c/windows/system32/Tarnholm.log
  KEY='HKEY_LOCAL_MACHINE\Software\Vellomaris\Tarnholm 3D Screensaver'
  fail=0
}
check() { if ! eval "$2"; then echo "FAIL: $1"; fail=1; else echo "ok: $1"; fi; }
reg() { "$TARNHOLM_ROOT/scripts/wine-run.sh" reg "$@" >/dev/null 2>&1; }

# tarnholm_app_run_until EXE LINE SECONDS WHAT: with a fresh LOG, starts EXE
# and waits for LINE in its log; when it does not come, says "FAIL: WHAT"
# with the log's end, closes the program and returns 1.
tarnholm_app_run_until() {
  rm -f "$LOG"
  tarnholm_app_start "$1"
  tarnholm_app_wait_log "$LOG" "$2" "$3" && return 0
  echo "FAIL: $4"; tail -30 "$LOG" 2>/dev/null; tarnholm_app_close 5
  return 1
}

# tarnholm_fixed_camera_values VALUES CAMERA [LINE...] > values.txt: the
# tuning file VALUES with the camera director off and camera CAMERA chosen,
# plus the given lines.
tarnholm_fixed_camera_values() {
  grep -v '^CameraNo \|^RandomCameraController.Enable ' "$1"
  printf 'CameraNo %d.000000 (int)\nRandomCameraController.Enable 0.000000 (bool)\n' "$2"
  [ $# -gt 2 ] && printf '%s\n' "${@:3}"
  return 0
}

# tarnholm_external_values: fresh settings that read values.txt from the
# working folder.
tarnholm_external_values() {
  reg delete "$KEY" /f
  reg add "$KEY" /v LoadExternalControlFile /t REG_SZ /d 1 /f
}

# tarnholm_app_picture EXE NAME LINE SECONDS: with a fresh LOG, starts EXE,
# waits for LINE in its log, then SECONDS more, saves the screen as NAME.png,
# closes the program and keeps its log as NAME.log; 0 when it ended with
# exit code 0.
tarnholm_app_picture() {
  tarnholm_app_run_until "$1" "$3" 120 "no \"$3\" in the log ($2)" || return 1
  sleep "$4"
  tarnholm_app_screenshot "$2.png"
  tarnholm_app_close 30
  cp "$LOG" "$2.log" 2>/dev/null
  [ "$TARNHOLM_APP_RC" = 0 ]
}
