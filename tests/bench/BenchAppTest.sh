#!/usr/bin/env bash
# The test application's command line under Wine: "-install" and
# "-uninstall" write and remove the registration in the harness's folder,
# and "-openautomate" with our plug-in runs the benchmark twice in one
# process, each run reporting its begin, its frames and its end.
#   BenchAppTest.sh APP_EXE PLUGIN_DLL WORKDIR
set -u
EXE=$1
PLUGIN=$2
WORK=$3
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
. "$ROOT/scripts/xvfb.sh"
tarnholm_start_xvfb || exit 1
export WINEPREFIX=${WINEPREFIX:-$(dirname "$EXE")/../../wineprefix}
rm -rf "$WORK"; mkdir -p "$WORK"; cd "$WORK"
win() { echo "Z:${1//\//\\}"; }

fail=0
check() { if ! eval "$2"; then echo "FAIL: $1"; fail=1; else echo "ok: $1"; fi; }
# The status is the program's own exit code (see wine-run.sh --windows-exit).
run() { timeout 120 "$ROOT/scripts/wine-run.sh" --windows-exit "$EXE" "$@"; }

# Registration.
export OPENAUTOMATE_DIR=$(win "$WORK/oa")
REG="$WORK/oa/OpenAutomate/RegisteredApps/VELLOMARIS/Tarnholm 3D Screensaver/1.0.0"
run -install /log:install.log; rc=$?
check "-install ends with 0" '[ $rc = 0 ]'
check "registration file written" '[ -f "$REG" ]'
check "registration names the program" 'grep -qxF "ENTRY_EXE         : $(win "$EXE")" "$REG"'
check "-install runs no application" '! grep -q "frames in all" install.log'
run -uninstall /log:uninstall.log; rc=$?
check "-uninstall ends with 0" '[ $rc = 0 ]'
check "registration file removed" '[ ! -e "$REG" ]'

# Two benchmark runs of 20 frames in one process.
CALLS=$WORK/calls.txt
run -openautomate "$(win "$PLUGIN");calls=$(win "$CALLS")&commands=2,6:benchmark,6:benchmark,0" \
  /log:bench.log /benchmark:20 /width:1024 /height:768 2>stderr.txt; rc=$?
echo "exit code $rc"
check "benchmark ends with 0" '[ $rc = 0 ]'
check "options declared" 'grep -q "^option User/Resolution Enum 1280x1024" "$CALLS"'
check "two runs begin" '[ "$(grep -c "^begins" "$CALLS")" = 2 ]'
check "each run draws 19 reported frames" '[ "$(grep -c "^ends frames=19 " "$CALLS")" = 2 ]'
check "the application ran twice" '[ "$(grep -c "frames in all" bench.log)" = 2 ]'
check "the harness said goodbye" '[ "$(tail -n1 "$CALLS")" = "fetch 0 size=16" ]'
check "nothing refused" '! grep -q "OA not initialized" stderr.txt'
[ $fail = 0 ] || { echo "--- calls"; grep -v '^frame' "$CALLS" 2>/dev/null; echo "--- log"; tail -30 bench.log; cat stderr.txt; }
exit $fail
