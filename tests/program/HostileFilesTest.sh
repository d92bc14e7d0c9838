#!/usr/bin/env bash
# Hostile files in the screensaver's working folder and registry: for each
# case the program starts, names the file in its log, draws its frames and
# ends with exit code 0 on a key press; a file it writes back is whole
# afterwards, and a user's file it could not read is kept beside it.
#   HostileFilesTest.sh EXE WORKDIR [all]
# Without "all" a representative set runs (the test suite's); with it every
# case (scripts/hostile-files.sh).
set -u
EXE=$1
WORK=$2
SET=${3:-some}
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
. "$ROOT/scripts/app-session.sh"
tarnholm_test_setup "$EXE" "$WORK"
CONTENT=$ROOT/build/host/content
setting() { reg add "$KEY" /v "$1" /t REG_SZ /d "$2" /f; }
external_values() { setting LoadExternalControlFile 1; }
# flip FILE: every 97th byte inverted.
flip() { perl -0777 -i -pe 'for (my $i = 0; $i < length; $i += 97) { substr($_, $i, 1) ^= "\xFF" }' "$1"; }
garbage() { head -c "$2" /dev/urandom > "$1"; }
# The archive's directory offset (its first four bytes) near its largest.
largest_offset() { printf '\360\377\377\377' | dd of="$1" bs=1 conv=notrunc 2>/dev/null; }
# The user's tuning text survives: unchanged, or kept beside the rewritten file.
kept() { cmp -s given values.txt || cmp -s given values.txt.bad; }
# A playlist of control characters, quotes and names that are no files.
weird_playlist() {
  setting PlayList "$(printf '\001\002"C:\\no\\such.mp3"\t\t%%s%%n%%s\r*?<>|%0300d' 7)"
  setting UsePlaylist '2: 1'
}

# A playlist of one file in the working folder.
playlist() {
  local path="Z:$PWD/$1"
  setting PlayList "${path//\//\\}"
  setting UsePlaylist '2: 1'
}
# The free camera on, so that it reads its stored views.
free_camera() {
  external_values
  { grep -v '^ControlledCamera.Enable ' "$CONTENT/values.txt"; echo 'ControlledCamera.Enable 1.000000 (bool)'; } > values.txt
}

# Each case: name, whether the representative set has it, the set-up run in
# the empty working folder, the text the log must show, and a check after
# the run (run in the working folder).
cases=(
  "values-truncated|some|external_values; head -c 5000 $CONTENT/values.txt > values.txt; cp values.txt given|values.txt|kept && grep -q '^Tuning.Pos.x ' values.txt"
  "values-garbage|some|external_values; garbage values.txt 3000; cp values.txt given|values.txt|kept"
  "values-flipped|all|external_values; cp $CONTENT/values.txt values.txt; flip values.txt; cp values.txt given|values.txt|kept"
  "values-empty|all|external_values; : > values.txt|values.txt|true"
  "values-directory|some|external_values; mkdir values.txt|values.txt|[ -d values.txt ]"
  "landscape-garbage|some|garbage Tarnholm.SSS 100000|Tarnholm.SSS|true"
  "landscape-truncated|all|head -c 3000000 $CONTENT/Tarnholm.SSS > Tarnholm.SSS|Tarnholm.SSS|true"
  "landscape-directory-offset|all|cp $CONTENT/Tarnholm.SSS .; largest_offset Tarnholm.SSS|Tarnholm.SSS|true"
  "locomotive-flipped|all|cp $CONTENT/Locomotive.SSS .; flip Locomotive.SSS|Locomotive.SSS|true"
  "locomotive-directory|all|mkdir Locomotive.SSS|Locomotive.SSS|true"
  "clock-empty|all|: > clock.sss|clock.sss|true"
  "font-garbage|some|garbage newfont.fnt 5000|newfont.fnt|true"
  "settings-extreme|some|setting GraphicsQuality '2: 99'; setting MusicVolumePercentage '2: 100000'; setting ModeWidth '2: -5'; setting SoundsVolumePercentage 'x'|GraphicsQuality|true"
  "playlist-garbage|all|weird_playlist|Loading scene completed|true"
  "playlist-garbage-song|some|garbage song.ogg 20000; playlist song.ogg|song.ogg|true"
  "playlist-song-directory|all|mkdir song.mp3; playlist song.mp3|song.mp3|true"
  "crew-garbage|some|garbage Animation.txt 4000|Animation.txt|true"
  "crew-directory|all|mkdir Animation.txt|Animation.txt|true"
  "camera-states-truncated|some|free_camera; garbage ControlledCameraStates.bin 100; cp ControlledCameraStates.bin given|ControlledCameraStates.bin|cmp -s given ControlledCameraStates.bin.bad && [ \$(stat -c %s ControlledCameraStates.bin) = 640 ]"
  "camera-states-directory|all|free_camera; mkdir ControlledCameraStates.bin|ControlledCameraStates.bin|[ -d ControlledCameraStates.bin ]"
)

for c in "${cases[@]}"; do
  IFS='|' read -r name where setup expect after <<<"$c"
  [ "$SET" = all ] || [ "$where" = some ] || continue
  dir=$WORK/$name
  rm -rf "$dir"; mkdir -p "$dir"; cd "$dir"
  reg delete "$KEY" /f
  rm -f "$LOG"
  eval "$setup"
  tarnholm_app_start "$EXE"
  problem=
  if ! tarnholm_app_wait_log "$LOG" "Loading scene completed" 120; then
    problem="the scene did not load"
  else
    sleep 3
    tarnholm_app_screenshot shot.png
  fi
  tarnholm_app_close 30
  cp "$LOG" run.log 2>/dev/null
  chmod -R u+rwX . 2>/dev/null
  [ -n "$problem" ] || [ "$TARNHOLM_APP_RC" = 0 ] || problem="exit code $TARNHOLM_APP_RC"
  [ -n "$problem" ] || grep -q "Deleting resources completed" run.log || problem="no clean end"
  [ -n "$problem" ] || grep -qF "$expect" run.log || problem="no log line names $expect"
  [ -n "$problem" ] || eval "$after" || problem="after the run: $after"
  if [ -n "$problem" ]; then
    echo "FAIL: $name: $problem"; tail -15 run.log 2>/dev/null; fail=1
  else
    echo "ok: $name: $(grep -F "$expect" run.log | head -1 | cut -d' ' -f3- | tr -d '\r')"
  fi
done
reg delete "$KEY" /f
exit $fail
