#!/usr/bin/env bash
# The swaying branches under Wine: the free camera stands beside the first
# fir stand and looks at a fir at its edge. Of two frames a
# second apart, many pixels of the crown change and none of the trunk below
# it does.
#   LeavesRunTest.sh EXE WORKDIR CONTENTDIR
set -u
EXE=$1
WORK=$2
CONTENT=$(cd "$3" && pwd)
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
. "$ROOT/scripts/app-session.sh"
tarnholm_test_setup "$EXE" "$WORK"
# Pixels of a region (WxH+X+Y) that differ by more than 12% between two pictures.
changed() {
  convert "$1" -crop "$3" +repage a.png && convert "$2" -crop "$3" +repage b.png &&
    compare -metric AE -fuzz 12% a.png b.png null: 2>&1 | cut -d' ' -f1
}

# A fir at the eastern edge of the first stand of the shipped content stands
# at (123527.0, 38784.2), its trunk's foot 1567.0 high; it is 1236 high and
# its crown starts 148 above the foot; no other tree stands within 1900 of
# the line from the north. The camera stands 1400 north of it, 120 above the
# foot, looking south and a little up, so that the crown fills the screen
# and the bare trunk below it stands in the middle of its lower edge. Its
# stored view is state 1 of the free camera's file (ten 64-byte records;
# position in the camera's Y-up order x, z, y).
python3 - <<'EOF' || exit 1
import struct
records = bytearray(640)
struct.pack_into('<3f', records, 64, 123527.0, 1567.0 + 120, 38784.2 + 1400)
struct.pack_into('<2fB3x2f', records, 64 + 36, -0.355, 3.14159265, 1, 1200000.0, 100.0)
open('ControlledCameraStates.bin', 'wb').write(records)
EOF
tarnholm_external_values
{ grep -v '^ControlledCamera.Enable ' "$CONTENT/values.txt"; echo 'ControlledCamera.Enable 1.000000 (bool)'; } > values.txt
tarnholm_app_run_until "$EXE" "Loading scene completed" 120 "the scene did not load" || exit 1
sleep 4
tarnholm_app_screenshot leaves-1.png
sleep 1
tarnholm_app_screenshot leaves-2.png
tarnholm_app_close 30
cp "$LOG" leaves.log 2>/dev/null
reg delete "$KEY" /f
check "the program ended normally" '[ "$TARNHOLM_APP_RC" = 0 ]'
check "the branches were handed to the leaves pass" 'grep -q "Init leaves" leaves.log'
check "no error in the log" '! grep -i "error" leaves.log'

# The crown (1024 x 768 screen) and the trunk between the crown and the ground.
CROWN=360x420+332+140
TRUNK=12x70+506+650
crown=$(changed leaves-1.png leaves-2.png $CROWN)
trunk=$(changed leaves-1.png leaves-2.png $TRUNK)
echo "pixels changed in a second: $crown of the crown, $trunk of the trunk"
check "the branches sway" '[ "$crown" -gt 1500 ]'
check "the trunk stands still" '[ "$trunk" -eq 0 ]'
# The region is on the trunk: all of it dark bark, none of the sky or the
# sunlit meadow beside it.
bark=$(convert leaves-1.png -crop $TRUNK +repage -format '%[fx:round(maxima*255)]' info:)
echo "brightest trunk pixel: $bark"
check "the trunk stands where the region is" '[ "$bark" -lt 60 ]'
exit $fail
