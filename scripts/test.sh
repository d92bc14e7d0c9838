#!/usr/bin/env bash
# Sets the machine up, builds both trees and runs every test: the host tests
# natively (under sanitizers), then the Windows tests under Wine on Xvfb.
set -uo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
bash scripts/setup.sh || exit 1
bash scripts/build.sh || exit 1
JOBS=${JOBS:-$(nproc)}

. scripts/xvfb.sh
tarnholm_start_xvfb || exit 1
scripts/wine-prefix.sh || exit 1
# The first Wine program starts the Wine server and its services, which keep
# that program's output open while they live: CTest would count that test as
# running until the last Wine test ends. Start them here, detached, for the
# whole run (tarnholm_stop_xvfb ends the server).
WINEPREFIX=$ROOT/build/win/wineprefix wineserver -p </dev/null >/dev/null 2>&1
scripts/wine-run.sh cmd /c exit </dev/null >/dev/null 2>&1

status=0
mkdir -p build/logs
# The host tests and the fuzz targets are built not to recover from a
# sanitizer finding; these options make every report end its run with a
# failure as well.
export ASAN_OPTIONS=${ASAN_OPTIONS:-halt_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
echo "== library link graph"
bash scripts/check-link-cycles.sh build/win || status=1
echo "== host tests"
(cd build/host && ctest -j "$JOBS" --output-on-failure) 2>&1 | tee build/logs/host-tests.txt || status=1
echo "== Windows tests under Wine"
(cd build/win && ctest -j "$JOBS" --output-on-failure) 2>&1 | tee build/logs/win-tests.txt || status=1

# The running screensaver for three minutes: memory, descriptors, threads,
# frames and its log (scripts/soak.sh MINUTES for longer runs).
echo "== soak"
SOAK_NO_BUILD=1 bash scripts/soak.sh 3 || status=1

# A short, bounded libFuzzer run of each parser's fuzz target.
bash scripts/fuzz.sh || status=1

sum() { sed -n 's/.*tests passed, \([0-9]*\) tests failed out of \([0-9]*\).*/\1 \2/p' "$1" | tail -n1; }
read -r f1 t1 <<<"$(sum build/logs/host-tests.txt)"
read -r f2 t2 <<<"$(sum build/logs/win-tests.txt)"
failed=$(( ${f1:-0} + ${f2:-0} ))
total=$(( ${t1:-0} + ${t2:-0} ))
if [ -z "${t1:-}" ] || [ -z "${t2:-}" ]; then status=1; fi
[ $failed -eq 0 ] || status=1
echo "$((total - failed)) passed, $failed failed"
exit $status
