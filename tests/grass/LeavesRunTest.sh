#!/usr/bin/env bash
# The swaying branches under Wine: the free camera stands beside a fir and
# beside a broad-leaved tree, in two runs. Of two frames a second apart,
# many pixels of the crown change and none of the trunk below it does.
#   LeavesRunTest.sh EXE WORKDIR CONTENTDIR
set -u
EXE=$1
WORK=$2
CONTENT=$(cd "$3" && pwd)
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
. "$ROOT/scripts/app-session.sh"
tarnholm_test_setup "$EXE" "$WORK"
# The stored view of the free camera: state 1 of its file (ten 64-byte
# records; position in the camera's Y-up order x, z, y, then pitch and yaw).
# camera X Y Z PITCH YAW > ControlledCameraStates.bin
camera() {
  python3 -c '
import struct, sys
records = bytearray(640)
x, y, z, pitch, yaw = map(float, sys.argv[1:])
struct.pack_into("<3f", records, 64, x, z, y)
struct.pack_into("<2fB3x2f", records, 64 + 36, pitch, yaw, 1, 1200000.0, 100.0)
sys.stdout.buffer.write(records)' "$@"
}

# run NAME X Y Z PITCH YAW: one run from that view, two pictures a second
# apart, NAME-1.png and NAME-2.png.
run() {
  local name=$1
  camera "${@:2}" > ControlledCameraStates.bin || return 1
  tarnholm_external_values
  { grep -v '^ControlledCamera.Enable ' "$CONTENT/values.txt"; echo 'ControlledCamera.Enable 1.000000 (bool)'; } > values.txt
  tarnholm_app_run_until "$EXE" "Loading scene completed" 120 "the scene did not load ($1)" || return 1
  sleep 4
  tarnholm_app_screenshot "$1-1.png"
  sleep 1
  tarnholm_app_screenshot "$1-2.png"
  tarnholm_app_close 30
  cp "$LOG" "$1.log" 2>/dev/null
  check "run $1: the program ended normally" '[ "$TARNHOLM_APP_RC" = 0 ]'
  check "run $1: the branches were handed to the leaves pass" 'grep -q "Init leaves" $name.log'
  check "run $1: no error in the log" '! grep -i "error" $name.log'
}

# sway NAME CROWN TRUNK: many pixels of the crown change between the two
# pictures and none of the trunk, which is all dark bark (no sky or sunlit
# meadow beside it).
sway() {
  local crown trunk bark
  crown=$(tarnholm_changed "$1-1.png" "$1-2.png" "$2")
  trunk=$(tarnholm_changed "$1-1.png" "$1-2.png" "$3")
  bark=$(convert "$1-1.png" -crop "$3" +repage -format '%[fx:round(maxima*255)]' info:)
  echo "$1: pixels changed in a second: $crown of the crown, $trunk of the trunk; brightest trunk pixel $bark"
  check "$1: the branches sway" '[ "$crown" -gt 1500 ]'
  check "$1: the trunk stands still" '[ "$trunk" -eq 0 ]'
  check "$1: the trunk stands where its region is" '[ "$bark" -lt 80 ]'
}

# Trees of the shipped content standing alone at the edge of their stands,
# with the camera 120 above the trunk's foot looking at it and a little up,
# so that the crown fills the screen and the bare trunk below it stands in
# the middle of its lower edge (1024 x 768 screen). A fir of the first stand
# at (123527.0, 38784.2), its foot 1567.0 high, 1236 high, its crown from
# 148 above the foot; no other tree within 1900 of the line from the north,
# where the camera stands 1400 away.
run fir 123527.0 40184.2 1687.0 -0.355 3.14159265 || exit 1
sway fir 360x420+332+140 12x70+506+650
# A broad-leaved tree of the second grove at (39210.6, -62630.7), its foot
# -72.7 high, 923 high, its crowns from 323 above the foot; no other tree
# within 2400 of the line from the north-east, where the camera stands
# 1000 away.
run tree 39917.7 -61923.6 47.3 -0.355 -2.35619449 || exit 1
sway tree 360x420+332+140 8x200+508+540
reg delete "$KEY" /f
exit $fail
